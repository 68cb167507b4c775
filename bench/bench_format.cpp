// `quillbox-cli format` of a 1 MB script against js-beautify's own command line under Node,
// on the same file with default options. Both outputs must be identical.
//
// The script is crypto-js 4.0.0 repeated, each copy in its own function, to 1 MB. Each
// command runs three times in turns; the best wall-clock time of each counts (both include
// their start-up: our program parses the library, Node loads it). Target: quillbox-cli
// within 1.5 times js-beautify's time.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "BenchScripts.h"
#include "BenchSupport.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;
constexpr std::size_t kScriptBytes = 1024 * 1024;

}  // namespace

int main() {
    const std::string modules = QUILLBOX_NODE_MODULES;
    const fs::path dir = fs::temp_directory_path() / "quillbox_bench_format";
    fs::create_directories(dir);
    const std::string library = quillbox::bench::readAll(modules + "/crypto-js-4.0.0/crypto-js.js");
    std::string script;
    while (script.size() < kScriptBytes)
        script += "(function () {\n" + library + "\n})();\n";
    const fs::path input = dir / "input.js";
    std::ofstream(input, std::ios::binary) << script;

    const std::vector<std::string> ours = {QUILLBOX_CLI, "format", input.string()};
    const std::vector<std::string> peer = {"node", modules + "/js-beautify/js/bin/js-beautify.js", input.string()};
    double bestOurs = 1e300, bestPeer = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        const bench::Run a = bench::runChild(ours, (dir / "ours.js").string());
        const bench::Run b = bench::runChild(peer, (dir / "peer.js").string());
        if (!a.succeeded() || !b.succeeded()) {
            std::cerr << (a.succeeded() ? "js-beautify under node" : "quillbox-cli format") << " failed\n";
            return 1;
        }
        bestOurs = std::min(bestOurs, a.seconds);
        bestPeer = std::min(bestPeer, b.seconds);
    }
    const std::string outOurs = quillbox::bench::readAll((dir / "ours.js").string());
    const std::string outPeer = quillbox::bench::readAll((dir / "peer.js").string());
    const bool same = outOurs == outPeer;
    std::printf("input %zu bytes, output %zu bytes\n", script.size(), outOurs.size());
    std::printf("%-28s %10.3f s\n%-28s %10.3f s\nratio %.2f (target: at most 1.50); outputs %s\n",
                "quillbox-cli format", bestOurs, "js-beautify (node)", bestPeer, bestOurs / bestPeer,
                same ? "identical" : "DIFFER");
    fs::remove_all(dir);
    return same ? 0 : 1;
}
