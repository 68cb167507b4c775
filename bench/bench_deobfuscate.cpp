// Deobfuscation against webcrack in Node, on the same obfuscated input, in the same run.
// Target: ours within 3 times Node's time per 100 KB.
//
// The input: our two sample scripts (tests/cli/deobfuscate-suite), several copies each in a
// function of its own, obfuscated once by javascript-obfuscator (pinned) with an RC4 string
// array, control-flow flattening and dead code, made by Node at the start. Ours:
// deobfuscate::Deobfuscator (webcrack in the tools context, decoders in fresh ChakraCore
// engines); the peer: webcrack 2.16 in Node with node:vm as its sandbox. Each side runs once to
// warm up, then three times; the best time counts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "BenchScripts.h"
#include "BenchSupport.h"
#include "core/deobfuscate/Deobfuscate.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;

const char* const kMakeInput = R"(
const fs = require('fs');
const JavaScriptObfuscator = require(process.argv[2] + '/javascript-obfuscator');
let plain = '';
for (let i = 0; plain.length < 60000; i++)
  for (const name of ['signer', 'catalog'])
    plain += '(function () {\n' + fs.readFileSync(process.argv[3] + '/' + name + '.js', 'utf8') + '\n})();\n';
const code = JavaScriptObfuscator.obfuscate(plain, {
  seed: 99, stringArrayEncoding: ['rc4'], stringArrayThreshold: 1, controlFlowFlattening: true,
  controlFlowFlatteningThreshold: 0.75, deadCodeInjection: true, deadCodeInjectionThreshold: 0.4
}).getObfuscatedCode();
fs.writeFileSync(process.argv[4], code);
)";

const char* const kPeer = R"(
const fs = require('fs');
const vm = require('vm');
const { pathToFileURL } = require('url');
(async () => {
  const { webcrack } = await import(pathToFileURL(process.argv[2] + '/webcrack/dist/index.js'));
  const code = fs.readFileSync(process.argv[3], 'utf8');
  const options = () => ({ unpack: false, jsx: false, sandbox: async (c) => vm.runInNewContext(c, {}, { timeout: 10000 }) });
  await webcrack(code, options());
  let best = Infinity, out = '';
  for (let i = 0; i < 3; i++) {
    const start = process.hrtime.bigint();
    out = (await webcrack(code, options())).code;
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
  }
  console.log(best + ' ' + out.length);
})();
)";

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
    using namespace quillbox;
    const std::string modules = QUILLBOX_NODE_MODULES;
    const fs::path samples = fs::path(modules).parent_path() / "tests/cli/deobfuscate-suite";
    const fs::path dir = fs::temp_directory_path() / "quillbox_bench_deobfuscate";
    fs::create_directories(dir);
    const fs::path input = dir / "input.js";
    std::ofstream(dir / "make.js") << kMakeInput;
    if (!::bench::runChild({"node", (dir / "make.js").string(), modules, samples.string(), input.string()},
                           (dir / "make.txt").string())
             .succeeded()) {
        std::cerr << "javascript-obfuscator under node failed (the samples are looked for in " << samples << ")\n";
        return 1;
    }
    const std::string code = ::quillbox::bench::readAll(input.string());
    const double hundredKb = static_cast<double>(code.size()) / (100.0 * 1024.0);

    deobfuscate::Deobfuscator deobfuscator;
    auto start = std::chrono::steady_clock::now();
    const deobfuscate::Deobfuscation first = deobfuscator.run(code);
    const double firstRun = seconds(start);
    if (!first.ok || first.partial) {
        std::cerr << "the deobfuscation failed: " << first.error << first.why << "\n";
        return 1;
    }
    double ours = 1e300;
    std::size_t outBytes = 0;
    for (int i = 0; i < kRounds; ++i) {
        start = std::chrono::steady_clock::now();
        const deobfuscate::Deobfuscation d = deobfuscator.run(code);
        ours = std::min(ours, seconds(start));
        outBytes = d.code.size();
    }

    std::ofstream(dir / "peer.js") << kPeer;
    const ::bench::Run peer =
        ::bench::runChild({"node", (dir / "peer.js").string(), modules, input.string()}, (dir / "peer.txt").string());
    if (!peer.succeeded()) {
        std::cerr << "webcrack under node failed\n";
        return 1;
    }
    double theirs = 0;
    std::size_t theirBytes = 0;
    std::sscanf(::quillbox::bench::readAll((dir / "peer.txt").string()).c_str(), "%lf %zu", &theirs, &theirBytes);

    std::printf("input %.1f KB of obfuscated code (rc4 string array, control-flow flattening, dead code); "
                "%d strings restored, %d sandbox engines; output %zu bytes (webcrack in Node: %zu)\n",
                static_cast<double>(code.size()) / 1024.0, first.report.stringsRestored, first.report.sandboxRuns, outBytes,
                theirBytes);
    std::printf("first run, loading webcrack into the tools context: %.3f s\n", firstRun);
    std::printf("%-36s %8.3f s per 100 KB\n%-36s %8.3f s per 100 KB\nratio %.2f (target: at most 3.00)\n",
                "quillbox deobfuscate (tools context)", ours / hundredKb, "webcrack 2.16 in Node (node:vm)",
                theirs / hundredKb, ours / theirs);
    fs::remove_all(dir);
    return 0;
}
