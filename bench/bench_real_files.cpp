// Heavy real files, whole runs: `quillbox-cli run FILE --engine native|chakra -e EXPR` against
// Node loading the same file into a fresh context and evaluating the same expression, each a
// whole process, best of three. Prints each process's CPU time (user + system: the machine is
// shared, so wall time says more about the neighbours) and the ratio to Node's.
// Goal: every case at most 6x Node's time in the native engine.
//   build/bin/bench_real_files
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

struct Case {
    const char* name;
    const char* file;  // under node_modules
    const char* expression;
};

const Case kCases[] = {
    {"PBKDF2 (crypto-js 3.3.0), 1000 rounds", "crypto-js-3/crypto-js.js",
     "CryptoJS.PBKDF2('password', 'salt', {keySize: 512 / 32, iterations: 1000}).toString()"},
    {"SHA-256 of 1 MB (crypto-js 4.0.0)", "crypto-js-4.0.0/crypto-js.js",
     "(function () { var s = ''; for (var i = 0; i < 32768; i++) s += 'abcdefghijklmnopqrstuvwxyz012345';"
     " return CryptoJS.SHA256(s).toString(); })()"},
    {"AES-CBC of 256 KB (crypto-js 4.0.0)", "crypto-js-4.0.0/crypto-js.js",
     "(function () { var s = ''; for (var i = 0; i < 8192; i++) s += 'abcdefghijklmnopqrstuvwxyz012345';"
     " var k = CryptoJS.enc.Hex.parse('000102030405060708090a0b0c0d0e0f');"
     " return CryptoJS.AES.encrypt(s, k, {iv: k}).ciphertext.sigBytes; })()"},
    {"deflate + inflate of 512 KB (pako 1.0.11)", "pako/dist/pako.js",
     "(function () { var s = ''; for (var i = 0; i < 16384; i++) s += 'line ' + i + ' ' + (i * 7919 % 1000) + ' text\\n';"
     " var d = pako.deflate(s, {to: 'string'}); return d.length + ':' + (pako.inflate(d, {to: 'string'}) === s); })()"},
    {"pi to 500 digits (decimal.js 10.4.3)", "decimal.js/decimal.js",
     "Decimal.clone({precision: 500}).acos(-1).toString().slice(-10)"},
    {"2^20000 and a 300-digit square root (bignumber.js 9.1.2)", "bignumber.js/bignumber.js",
     "new BigNumber(2).pow(20000).toString().length + ':' + BigNumber.clone({DECIMAL_PLACES: 300})(2).sqrt().toFixed().slice(-8)"},
    {"MD5 of 1 MB (blueimp-md5 2.19.0)", "blueimp-md5/js/md5.js",
     "(function () { var s = ''; for (var i = 0; i < 32768; i++) s += 'abcdefghijklmnopqrstuvwxyz012345'; return md5(s); })()"},
    {"a 1 MB string built in a loop (big.js loaded)", "big.js/big.js",
     "(function () { var s = ''; for (var i = 0; i < 100000; i++) s += '0123456789'; return s.length + ':' + new Big(s.length).div(3).toFixed(2); })()"},
};

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bench::Run best(const std::vector<std::string>& args, const std::string& out) {
    bench::Run bestRun;
    for (int i = 0; i < 3; ++i) {
        const bench::Run run = bench::runChild(args, out, out + ".err");
        if (!run.succeeded())
            return run;
        if (i == 0 || run.cpuSeconds < bestRun.cpuSeconds)
            bestRun = run;
    }
    return bestRun;
}

}  // namespace

int main() {
    const std::string nodeModules = QUILLBOX_NODE_MODULES;
    const std::string out = "/tmp/bench_real_files." + std::to_string(getpid());
    std::printf("%-58s %9s %9s %9s %8s %8s\n", "case (CPU seconds)", "node", "native", "chakra", "native×", "chakra×");
    bool allWithinGoal = true;
    for (const Case& c : kCases) {
        const std::string file = nodeModules + "/" + c.file;
        const std::string nodeScript = "const vm = require('vm'), fs = require('fs'); const c = vm.createContext({});"
                                       " vm.runInContext(fs.readFileSync(process.argv[1], 'utf8'), c);"
                                       " console.log(vm.runInContext('String(' + process.argv[2] + ')', c));";
        const bench::Run node = best({"node", "-e", nodeScript, file, c.expression}, out);
        const std::string nodeAnswer = readAll(out);
        const bench::Run native = best({QUILLBOX_CLI, "run", file, "--engine", "native", "-e", c.expression}, out);
        const std::string nativeAnswer = readAll(out);
        const bench::Run chakra = best({QUILLBOX_CLI, "run", file, "--engine", "chakra", "-e", c.expression}, out);
        const std::string chakraAnswer = readAll(out);
        if (!node.succeeded() || !native.succeeded() || !chakra.succeeded()) {
            std::printf("%-58s failed: node %d native %d chakra %d\n%s%s", c.name, node.status, native.status,
                        chakra.status, nativeAnswer.c_str(), chakraAnswer.c_str());
            allWithinGoal = false;
            continue;
        }
        // The answer is the last line; the programs must agree.
        const std::string expected = nodeAnswer.substr(0, nodeAnswer.find('\n'));
        const bool agree = nativeAnswer.find(expected) != std::string::npos && chakraAnswer.find(expected) != std::string::npos;
        const double nativeRatio = native.cpuSeconds / node.cpuSeconds, chakraRatio = chakra.cpuSeconds / node.cpuSeconds;
        allWithinGoal = allWithinGoal && agree && nativeRatio <= 6;
        std::printf("%-58s %9.3f %9.3f %9.3f %8.2f %8.2f%s\n", c.name, node.cpuSeconds, native.cpuSeconds, chakra.cpuSeconds,
                    nativeRatio, chakraRatio, agree ? "" : "  (answers differ)");
    }
    std::remove(out.c_str());
    std::remove((out + ".err").c_str());
    std::printf("goal (native at most 6x Node, same answers): %s\n", allWithinGoal ? "met" : "NOT met");
    return 0;
}
