// `quillbox-cli format` of a 1 MB script against js-beautify's own command line under Node,
// on the same file with default options. Both outputs must be identical.
//
// The script is crypto-js 4.0.0 repeated, each copy in its own function, to 1 MB. Each
// command runs three times in turns; the best wall-clock time of each counts (both include
// their start-up: our program parses the library, Node loads it). Target: quillbox-cli
// within 1.5 times js-beautify's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;
constexpr std::size_t kScriptBytes = 1024 * 1024;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Wall-clock seconds of the child, its standard output in outPath; negative when it failed.
double timeChild(const std::vector<std::string>& args, const fs::path& outPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

}  // namespace

int main() {
    const std::string modules = QUILLBOX_NODE_MODULES;
    const fs::path dir = fs::temp_directory_path() / "quillbox_bench_format";
    fs::create_directories(dir);
    const std::string library = readAll(modules + "/crypto-js-4.0.0/crypto-js.js");
    std::string script;
    while (script.size() < kScriptBytes)
        script += "(function () {\n" + library + "\n})();\n";
    const fs::path input = dir / "input.js";
    std::ofstream(input, std::ios::binary) << script;

    const std::vector<std::string> ours = {QUILLBOX_CLI, "format", input.string()};
    const std::vector<std::string> peer = {"node", modules + "/js-beautify/js/bin/js-beautify.js", input.string()};
    double bestOurs = 1e300, bestPeer = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        const double a = timeChild(ours, dir / "ours.js");
        const double b = timeChild(peer, dir / "peer.js");
        if (a < 0 || b < 0) {
            std::cerr << (a < 0 ? "quillbox-cli format" : "js-beautify under node") << " failed\n";
            return 1;
        }
        bestOurs = std::min(bestOurs, a);
        bestPeer = std::min(bestPeer, b);
    }
    const std::string outOurs = readAll(dir / "ours.js");
    const std::string outPeer = readAll(dir / "peer.js");
    const bool same = outOurs == outPeer;
    std::printf("input %zu bytes, output %zu bytes\n", script.size(), outOurs.size());
    std::printf("%-28s %10.3f s\n%-28s %10.3f s\nratio %.2f (target: at most 1.50); outputs %s\n",
                "quillbox-cli format", bestOurs, "js-beautify (node)", bestPeer, bestOurs / bestPeer,
                same ? "identical" : "DIFFER");
    fs::remove_all(dir);
    return same ? 0 : 1;
}
