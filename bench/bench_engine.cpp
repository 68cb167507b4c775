// The ChakraCore engine (our libChakraCore.so over JavaScriptCore) against Node.js on the
// same code: SHA-256 of 1 MB with crypto-js, and loop-heavy functions (integer mixing, array
// reads, and floating-point modulo).
//
// Each side loads the code once, then runs each task five times; the best time of each
// counts (the first runs warm up the JIT on both sides). Times are taken inside each
// engine's process around the call only, so Node's start-up is not counted. Target: the
// ChakraCore engine within 1.5 times Node's time. Both answers must agree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "BenchScripts.h"
#include "core/engine/ChakraCore.h"

namespace {

constexpr int kRounds = 5;
const std::string kCryptoJs = std::string(QUILLBOX_NODE_MODULES) + "/crypto-js-4.0.0/crypto-js.js";

const std::string kSetup = quillbox::bench::loopSetup("1024 * 1024");

using quillbox::bench::readAll;
using quillbox::bench::Task;

const Task kTasks[] = {
    {"SHA-256 of 1 MB (crypto-js)", "CryptoJS.SHA256(data).toString()"},
    {"integer loop, 1e8 iterations", "String(mix(100000000))"},
    {"array loop, 1e8 element reads", "String(sumArray(100000000))"},
    {"double modulo loop, 1e7 iter.", "String(modulo(10000000))"},
};

struct Timing {
    double best = 1e300;
    std::string answer;
};

Timing runChakra(quillbox::engine::ChakraCore& chakra, const Task& task) {
    Timing t;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        t.answer = chakra.Eval(task.expression);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        t.best = std::min(t.best, s);
    }
    return t;
}

// Runs the tasks in one Node process; it prints "best-seconds answer" per task.
std::vector<Timing> runNode() {
    const std::filesystem::path script = std::filesystem::temp_directory_path() / "quillbox_bench_engine.js";
    std::ofstream out(script);
    out << "var CryptoJS = require(" << '"' << kCryptoJs << '"' << ");\n" << kSetup;
    for (const Task& task : kTasks) {
        out << "(function () { var best = Infinity, answer;\n"
            << "for (var i = 0; i < " << kRounds << "; i++) {\n"
            << "  var t = process.hrtime.bigint(); answer = " << task.expression << ";\n"
            << "  best = Math.min(best, Number(process.hrtime.bigint() - t) / 1e9); }\n"
            << "console.log(best + ' ' + answer); })();\n";
    }
    out.close();
    std::vector<Timing> timings;
    FILE* pipe = popen(("node " + script.string()).c_str(), "r");
    if (!pipe)
        return timings;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        Timing t;
        std::istringstream in(line);
        in >> t.best >> t.answer;
        timings.push_back(t);
    }
    pclose(pipe);
    std::filesystem::remove(script);
    return timings;
}

}  // namespace

int main() {
    using quillbox::engine::ChakraCore;
    if (!ChakraCore::libraryLoaded()) {
        std::cerr << "libChakraCore.so is not usable: " << ChakraCore::libraryError() << "\n";
        return 1;
    }
    ChakraCore chakra;
    chakra.New();
    if (!chakra.AddCode(readAll(kCryptoJs)) || !chakra.AddCode(kSetup)) {
        std::cerr << "the benchmark code did not load: " << chakra.TakeException().exception << "\n";
        return 1;
    }
    const std::vector<Timing> node = runNode();
    if (node.size() != std::size(kTasks)) {
        std::cerr << "node did not run the benchmark (is node on PATH?)\n";
        return 1;
    }
    bool ok = true;
    std::printf("%-32s %12s %12s %8s  %s\n", "task", "chakra (s)", "node (s)", "ratio", "answers");
    for (std::size_t i = 0; i < std::size(kTasks); ++i) {
        const Timing c = runChakra(chakra, kTasks[i]);
        const bool same = c.answer == node[i].answer;
        const double ratio = c.best / node[i].best;
        std::printf("%-32s %12.4f %12.4f %8.2f  %s\n", kTasks[i].name, c.best, node[i].best, ratio,
                    same ? "agree" : ("DIFFER: " + c.answer + " / " + node[i].answer).c_str());
        ok = ok && same;
    }
    std::printf("target: ratio at most 1.50\n");
    return ok ? 0 : 1;
}
