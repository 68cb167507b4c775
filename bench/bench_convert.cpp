// The conversion for the native engine against Babel in Node, on the same 1 MB of modern npm
// code, in the same run. Target: our conversion within 3 times Babel's time per MB.
//
// Ours: convert::Converter (Babel standalone in the tools context, plus our scan pass and the
// syntax gate on the result), timed in this process. The peer: @babel/core 7.29 with
// @babel/preset-env and the same options and plugins, timed inside Node. Each side converts the
// input once to warm up (ours loads Babel then: that load is printed on its own), then three
// times; the best time counts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "BenchScripts.h"
#include "BenchSupport.h"
#include "core/convert/Convert.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;
constexpr std::size_t kScriptBytes = 1024 * 1024;

// Modern (ES2015+) files of the conversion suite, each wrapped in a function of its own.
const char* const kSources[] = {"pako-2/dist/pako.js", "luxon/build/global/luxon.js", "punycode/punycode.js",
                                "camelcase/index.js", "hashids/dist/hashids.js", "pretty-bytes/index.js"};

const char* const kPeer = R"(
const fs = require('fs');
const babel = require(process.argv[2] + '/@babel/core');
const code = fs.readFileSync(process.argv[3], 'utf8');
const options = {
  sourceType: 'script', babelrc: false, configFile: false, comments: true,
  presets: [[require.resolve(process.argv[2] + '/@babel/preset-env'), {targets: {ie: '6'}, loose: true, modules: false}]],
  plugins: [require.resolve(process.argv[2] + '/@babel/plugin-transform-member-expression-literals'),
            require.resolve(process.argv[2] + '/@babel/plugin-transform-property-literals')]
};
babel.transformSync(code, options);
let best = Infinity, out = '';
for (let i = 0; i < 3; i++) {
  const start = process.hrtime.bigint();
  out = babel.transformSync(code, options).code;
  best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
}
console.log(best + ' ' + out.length);
)";

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
    using namespace quillbox;
    const std::string modules = QUILLBOX_NODE_MODULES;
    const fs::path dir = fs::temp_directory_path() / "quillbox_bench_convert";
    fs::create_directories(dir);
    std::string script;
    while (script.size() < kScriptBytes)
        for (const char* source : kSources)
            script += "(function () {\n" + quillbox::bench::readAll(modules + "/" + source) + "\n})();\n";
    const fs::path input = dir / "input.js";
    std::ofstream(input, std::ios::binary) << script;
    const double megabytes = static_cast<double>(script.size()) / (1024.0 * 1024.0);

    convert::Converter converter;
    auto start = std::chrono::steady_clock::now();
    convert::Conversion first = converter.convert({{"input", script}});
    const double firstCall = seconds(start);
    if (!first.ok) {
        std::cerr << "the conversion failed: " << first.error << "\n";
        return 1;
    }
    double ours = 1e300;
    std::size_t outBytes = 0;
    for (int i = 0; i < kRounds; ++i) {
        start = std::chrono::steady_clock::now();
        const convert::Conversion c = converter.convert({{"input", script}});
        ours = std::min(ours, seconds(start));
        outBytes = c.modules[0].code.size();
    }

    const fs::path peerScript = dir / "peer.js";
    std::ofstream(peerScript) << kPeer;
    const ::bench::Run peer = ::bench::runChild({"node", peerScript.string(), modules, input.string()}, (dir / "peer.txt").string());
    if (!peer.succeeded()) {
        std::cerr << "Babel under node failed\n";
        return 1;
    }
    double theirs = 0;
    std::size_t theirBytes = 0;
    std::sscanf(quillbox::bench::readAll((dir / "peer.txt").string()).c_str(), "%lf %zu", &theirs, &theirBytes);

    std::printf("input %.2f MB of modern npm code; output %zu bytes (Babel in Node: %zu)\n", megabytes, outBytes, theirBytes);
    std::printf("first conversion, loading Babel into the tools context: %.3f s\n", firstCall);
    std::printf("%-34s %8.3f s per MB\n%-34s %8.3f s per MB\nratio %.2f (target: at most 3.00)\n",
                "quillbox conversion (tools context)", ours / megabytes, "Babel 7.29 in Node (@babel/core)",
                theirs / megabytes, ours / theirs);
    fs::remove_all(dir);
    return 0;
}
