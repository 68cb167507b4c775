// The native engine (our ScriptControl over the Duktape built into the program: JScript
// profile, execution time-out check on) against Debian's own libduktape.so.207 (the Duktape
// the program used before), on the same code in the same run: SHA-256 of 256 KB with
// crypto-js 4.0.0, and loop-heavy functions.
//
// Debian's library is opened with dlopen (RTLD_DEEPBIND), so its duk_* calls stay its own.
// Each side loads the code once, then runs each task three times; the best time counts.
// The answers must agree. Prints the time ratio ours / Debian's per task.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <duktape.h>

#include "BenchScripts.h"
#include "core/engine/ScriptControl.h"

namespace {

constexpr int kRounds = 3;
const std::string kCryptoJs = std::string(QUILLBOX_NODE_MODULES) + "/crypto-js-4.0.0/crypto-js.js";

const std::string kSetup = quillbox::bench::loopSetup("256 * 1024");

using quillbox::bench::readAll;
using quillbox::bench::Task;

const Task kTasks[] = {
    {"SHA-256 of 256 KB (crypto-js)", "CryptoJS.SHA256(data).toString()"},
    {"integer loop, 1e7 iterations", "String(mix(10000000))"},
    {"array loop, 1e7 element reads", "String(sumArray(10000000))"},
    {"double modulo loop, 1e6 iter.", "String(modulo(1000000))"},
};

// Debian's library, called through the few entry points the benchmark needs.
struct DebianDuktape {
    void* handle = nullptr;
    decltype(&duk_create_heap) createHeap = nullptr;
    decltype(&duk_destroy_heap) destroyHeap = nullptr;
    decltype(&duk_eval_raw) evalRaw = nullptr;
    decltype(&duk_safe_to_lstring) safeToString = nullptr;
    decltype(&duk_set_top) setTop = nullptr;
    duk_context* ctx = nullptr;

    bool open() {
        handle = dlopen("libduktape.so.207", RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
        if (!handle)
            return false;
        createHeap = reinterpret_cast<decltype(createHeap)>(dlsym(handle, "duk_create_heap"));
        destroyHeap = reinterpret_cast<decltype(destroyHeap)>(dlsym(handle, "duk_destroy_heap"));
        evalRaw = reinterpret_cast<decltype(evalRaw)>(dlsym(handle, "duk_eval_raw"));
        safeToString = reinterpret_cast<decltype(safeToString)>(dlsym(handle, "duk_safe_to_lstring"));
        setTop = reinterpret_cast<decltype(setTop)>(dlsym(handle, "duk_set_top"));
        if (!createHeap || !destroyHeap || !evalRaw || !safeToString || !setTop)
            return false;
        ctx = createHeap(nullptr, nullptr, nullptr, nullptr, nullptr);
        return ctx != nullptr;
    }
    ~DebianDuktape() {
        if (ctx)
            destroyHeap(ctx);
    }
    // The text of the code's completion value, or "error: ..." when it threw.
    std::string eval(const std::string& code) {
        const duk_int_t rc = evalRaw(ctx, code.data(), code.size(),
                                     0 | DUK_COMPILE_EVAL | DUK_COMPILE_SAFE | DUK_COMPILE_NOSOURCE |
                                         DUK_COMPILE_NOFILENAME);
        const std::string text = safeToString(ctx, -1, nullptr);
        setTop(ctx, 0);
        return rc == 0 ? text : "error: " + text;
    }
};

template <class F>
double best(F run, std::string& answer) {
    double fastest = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        answer = run();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        fastest = seconds < fastest ? seconds : fastest;
    }
    return fastest;
}

}  // namespace

int main() {
    const std::string crypto = readAll(kCryptoJs);
    if (crypto.empty()) {
        std::fprintf(stderr, "bench_native: %s not found\n", kCryptoJs.c_str());
        return 1;
    }
    DebianDuktape debian;
    if (!debian.open()) {
        std::fprintf(stderr, "bench_native: Debian's libduktape.so.207 could not be used (install duktape-dev)\n");
        return 1;
    }
    quillbox::engine::ScriptControl ours;
    if (!ours.AddCode(crypto) || !ours.AddCode(kSetup)) {
        std::fprintf(stderr, "bench_native: loading failed in the native engine: %s\n",
                     ours.Error().Description.c_str());
        return 1;
    }
    debian.eval(crypto);
    debian.eval(kSetup);

    std::printf("%-32s %12s %12s %8s\n", "task", "native (s)", "Debian (s)", "ratio");
    int status = 0;
    for (const Task& task : kTasks) {
        std::string a, b;
        const double tOurs = best([&] { return ours.Eval(task.expression).text(); }, a);
        const double tDebian = best([&] { return debian.eval(task.expression); }, b);
        std::printf("%-32s %12.3f %12.3f %8.2f%s\n", task.name, tOurs, tDebian, tOurs / tDebian,
                    a == b ? "" : "  ANSWERS DIFFER");
        if (a != b)
            status = 1;
    }
    return status;
}
