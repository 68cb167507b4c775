// The ChakraCore engine (our libChakraCore.so) against Node.js on the same code, measured in
// the same run: SHA-256 of 1 MB with crypto-js, and a loop-heavy function. Each side times
// the work itself with Date.now(), so start-up and loading are not counted. Best of five.
//
// Prints one line per workload: both times and the ratio (engine / Node; target <= 1.5).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "core/engine/ChakraCore.h"

namespace {

constexpr int kRounds = 5;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Each workload defines run(), which does the work once and returns the milliseconds it took.
struct Workload {
    const char* name;
    std::string setup;
};

std::string sha256Setup() {
    return readFile(std::string(QUILLBOX_NODE_MODULES) + "/crypto-js/crypto-js.js") +
           "\nvar megabyte = new Array(1024 * 1024 + 1).join('a');\n"
           "function run() { var t = Date.now(); var h = CryptoJS.SHA256(megabyte).toString();"
           " if (h !== '9bc1b2a288b26af7257a36277ae3816a7d4f16e89c1e7e77d0a5c48bad62b360') throw new Error(h);"
           " return Date.now() - t; }\n";
}

std::string loopSetup() {
    return "function mix(n) { var h = 0, a = []; for (var i = 0; i < n; i++) { h = (h * 31 + i) | 0;"
           " if ((i & 1023) === 0) a.push(h & 255); } return h + a.length; }\n"
           "function run() { var t = Date.now(); mix(50000000); return Date.now() - t; }\n";
}

double bestOfEngine(const Workload& w) {
    quillbox::engine::ChakraCore engine;
    engine.New();
    if (!engine.AddCode(w.setup)) {
        std::cerr << w.name << ": " << engine.TakeException().exception << "\n";
        return -1;
    }
    double best = 1e18;
    for (int k = 0; k < kRounds; ++k)
        best = std::min(best, std::atof(engine.Eval("run()").c_str()));
    return best;
}

double bestOfNode(const Workload& w) {
    char path[] = "/tmp/quillbox-bench-XXXXXX.js";
    int fd = mkstemps(path, 3);
    if (fd < 0)
        return -1;
    std::string script = w.setup;
    if (w.setup.find("CryptoJS") != std::string::npos)
        script = "var CryptoJS = require('" + std::string(QUILLBOX_NODE_MODULES) + "/crypto-js');\n" +
                 w.setup.substr(w.setup.find("\nvar megabyte"));
    script += "var best = 1e18; for (var k = 0; k < " + std::to_string(kRounds) +
              "; k++) best = Math.min(best, run()); console.log(best);\n";
    if (write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
        close(fd);
        return -1;
    }
    close(fd);
    std::string command = std::string("node ") + path;
    FILE* pipe = popen(command.c_str(), "r");
    double best = -1;
    if (pipe) {
        char line[64] = {};
        if (fgets(line, sizeof line, pipe))
            best = std::atof(line);
        if (pclose(pipe) != 0)
            best = -1;
    }
    unlink(path);
    return best;
}

}  // namespace

int main() {
    if (!quillbox::engine::ChakraCore::libraryLoaded()) {
        std::cerr << "libChakraCore.so: " << quillbox::engine::ChakraCore::libraryError() << "\n";
        return 1;
    }
    const Workload workloads[] = {{"sha256-1MB", sha256Setup()}, {"loop", loopSetup()}};
    for (const Workload& w : workloads) {
        const double ours = bestOfEngine(w);
        const double node = bestOfNode(w);
        if (ours < 0 || node <= 0) {
            std::printf("%-12s engine %.0f ms, node %s\n", w.name, ours, node < 0 ? "not available" : "0 ms");
            continue;
        }
        std::printf("%-12s engine %6.0f ms  node %6.0f ms  ratio %.2f (target <= 1.50)\n", w.name, ours, node,
                    ours / node);
    }
    return 0;
}
