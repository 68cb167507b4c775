// What the syntax gate adds to a load: a 1 MB module (crypto-js 4.0.0 repeated, ES3 code
// that both engines and both gates accept) loaded into each engine with and without the
// gate in front. Best of three for each; the gate's parser is warmed up once first, as it is
// after the program's first load. Target: the gate costs at most half of the load's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "core/engine/ChakraCore.h"
#include "core/engine/JScript.h"
#include "core/engine/SyntaxGate.h"

using namespace quillbox::engine;

namespace {

constexpr int kRounds = 3;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

double bestOf(const std::function<void()>& reset, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        reset();
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main() {
    const std::string unit = readAll(std::string(QUILLBOX_NODE_MODULES) + "/crypto-js-4.0.0/crypto-js.js");
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

    SyntaxGate gate;
    bool passed = gate.check(module, SyntaxLevel::ChakraCore).kind == SyntaxVerdict::Kind::Passed &&
                  gate.check(module, SyntaxLevel::JScript).kind == SyntaxVerdict::Kind::Passed;
    if (!passed) {
        std::fprintf(stderr, "the module did not pass the gate\n");
        return 1;
    }
    std::printf("module: %.2f MB\n%-12s %10s %10s %10s %8s\n", module.size() / 1048576.0, "engine", "load", "gate",
                "load+gate", "gate/load");

    ChakraCore chakra;
    const double chakraLoad = bestOf([&] { chakra.New(); }, [&] { chakra.AddCode(module); });
    const double chakraGate = bestOf([] {}, [&] { gate.check(module, SyntaxLevel::ChakraCore); });
    const double chakraBoth =
        bestOf([&] { chakra.New(); }, [&] { gate.check(module, SyntaxLevel::ChakraCore), chakra.AddCode(module); });
    std::printf("%-12s %9.3fs %9.3fs %9.3fs %8.2f\n", "ChakraCore", chakraLoad, chakraGate, chakraBoth,
                (chakraBoth - chakraLoad) / chakraLoad);

    JScript native;
    const double nativeLoad = bestOf([&] { native.Reset(); }, [&] { native.AddCode(module); });
    const double nativeGate = bestOf([] {}, [&] { gate.check(module, SyntaxLevel::JScript); });
    const double nativeBoth =
        bestOf([&] { native.Reset(); }, [&] { gate.check(module, SyntaxLevel::JScript), native.AddCode(module); });
    std::printf("%-12s %9.3fs %9.3fs %9.3fs %8.2f\n", "native", nativeLoad, nativeGate, nativeBoth,
                (nativeBoth - nativeLoad) / nativeLoad);
    std::printf("target: gate/load at most 0.50\n");
    return 0;
}
