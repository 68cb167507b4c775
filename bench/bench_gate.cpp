// What the syntax gate adds to a load: a 1 MB module (crypto-js 4.0.0 repeated, ES3 code
// that both engines and both gates accept) loaded into each engine with and without the
// gate in front. Best of three for each. "first" is a module the gate has not seen (it
// parses it); "again" is the same module loaded again (the gate remembers its verdict), as
// when a project is loaded again after an edit elsewhere. The parser is warmed up on other
// code first, as it is after the program's first load.
// Target: the gate costs at most half of the load's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "BenchScripts.h"
#include "core/engine/ChakraCore.h"
#include "core/engine/JScript.h"
#include "core/engine/SyntaxGate.h"

using namespace quillbox::engine;

namespace {

constexpr int kRounds = 3;

struct Figures {
    double load = 1e300, first = 1e300, again = 1e300;
};

// Each round: a load alone, the gate on code it has not seen, the gate on the same code again.
// The code differs per round by a comment, so "first" really parses.
Figures measure(const std::string& module, SyntaxLevel level, const std::function<void()>& reset,
                const std::function<void(const std::string&)>& load) {
    Figures f;
    SyntaxGate gate;
    gate.check("var warm = 1;", level);
    for (int i = 0; i < kRounds; ++i) {
        const std::string code = module + "\n// round " + std::to_string(i) + "\n";
        reset();
        f.load = std::min(f.load, quillbox::bench::seconds([&] { load(code); }));
        f.first = std::min(f.first, quillbox::bench::seconds([&] { gate.check(code, level); }));
        f.again = std::min(f.again, quillbox::bench::seconds([&] { gate.check(code, level); }));
    }
    return f;
}

void print(const char* engine, const Figures& f) {
    std::printf("%-11s %8.3fs %9.3fs %6.2f %10.4fs %6.3f\n", engine, f.load, f.first, f.first / f.load, f.again,
                f.again / f.load);
}

}  // namespace

int main() {
    const std::string unit = quillbox::bench::readAll(std::string(QUILLBOX_NODE_MODULES) + "/crypto-js-4.0.0/crypto-js.js");
    if (unit.empty()) {
        std::fprintf(stderr, "crypto-js 4.0.0 not found under node_modules\n");
        return 1;
    }
    std::string module;
    while (module.size() < 1024 * 1024)
        module += unit + "\n";
    if (!ChakraCore::libraryLoaded()) {
        std::fprintf(stderr, "%s\n", ChakraCore::libraryError().c_str());
        return 1;
    }
    SyntaxGate probe;
    if (probe.check(module, SyntaxLevel::ChakraCore).kind != SyntaxVerdict::Kind::Passed ||
        probe.check(module, SyntaxLevel::JScript).kind != SyntaxVerdict::Kind::Passed) {
        std::fprintf(stderr, "the module did not pass the gate\n");
        return 1;
    }
    std::printf("module: %.2f MB, best of %d\n", module.size() / 1048576.0, kRounds);
    std::printf("%-11s %9s %10s %6s %11s %6s\n", "engine", "load", "gate first", "ratio", "gate again", "ratio");
    ChakraCore chakra;
    print("ChakraCore", measure(module, SyntaxLevel::ChakraCore, [&] { chakra.New(); },
                                [&](const std::string& code) { chakra.AddCode(code); }));
    JScript native;
    print("native", measure(module, SyntaxLevel::JScript, [&] { native.Reset(); },
                            [&](const std::string& code) { native.AddCode(code); }));
    std::printf("target: ratio at most 0.50\n");
    return 0;
}
