// How unpack grows with the number of modules: 100,000 tiny modules against 10,000.
//
// Usage: bench_unpack_scale [DIR] [CLI] [LARGE]
//   DIR: where to work, the temporary directory by default (/dev/shm leaves the disk out);
//   CLI: the quillbox-cli to measure, this build's by default;
//   LARGE: the module count measured against 10,000 (100,000 by default; a smaller one
//          measures a slow build in reasonable time, and the linear ratio is LARGE/10,000).
// Makes project files of 10,000 and 100,000 one-line modules and runs `CLI unpack` on each
// (three times for the small one, twice for the large one), and prints the best times and
// their ratio. Linear growth gives 10; the target is at most 15.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

std::string tinyProject(std::size_t modules) {
    const std::string sep = "//========================";
    std::string text = sep + "\r\n//       START   many\r\n" + sep + "\r\n\r\n";
    for (std::size_t i = 0; i < modules; ++i) {
        text += sep + "\r\n//       m" + std::to_string(i) + ".js\r\n" + sep + "\r\n";
        text += "var v" + std::to_string(i) + " = " + std::to_string(i) + ";";
        text += i + 1 == modules ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n";
    }
    return text + "\r\n" + sep + "\r\n//       END   many\r\n" + sep + "\r\n\r\n//Quillbox By Zorvan 1.30";
}

// Best wall-clock time of `rounds` unpacks of a project of `modules` modules; 0 on failure.
double timeUnpack(const std::string& cli, const fs::path& work, std::size_t modules, int rounds) {
    const std::string file = (work / ("p" + std::to_string(modules) + ".js")).string();
    {
        const std::string text = tinyProject(modules);
        std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const fs::path out = work / "out";
        const bench::Run r = bench::runChild({cli, "unpack", file, out.string()}, (work / "listing.txt").string());
        const auto written = static_cast<std::size_t>(std::distance(fs::directory_iterator(out), {}));
        fs::remove_all(out);
        if (!r.succeeded() || written != modules)
            return 0;
        times.push_back(r.seconds);
        std::printf("  %zu modules: %.3f s\n", modules, r.seconds);
        std::fflush(stdout);
    }
    return bench::best(times);
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const std::string cli = argc > 2 ? argv[2] : QUILLBOX_CLI;
    const fs::path work = base / ("quillbox-bench-unpack-scale-" + std::to_string(getpid()));
    fs::create_directories(work);
    std::printf("cli: %s\n", cli.c_str());
    const double small = timeUnpack(cli, work, 10000, 3);
    const std::size_t largeCount = argc > 3 ? std::stoul(argv[3]) : 100000;
    const double large = small > 0 ? timeUnpack(cli, work, largeCount, 2) : 0;
    fs::remove_all(work);
    if (small <= 0 || large <= 0) {
        std::printf("an unpack failed\nFAIL\n");
        return 1;
    }
    const double ratio = large / small;
    const double linear = static_cast<double>(largeCount) / 10000.0;
    std::printf("unpack 10,000 modules: best %.3f s; %zu modules: best %.3f s\n", small, largeCount, large);
    std::printf("time ratio %zu/10,000: %.2f (linear %.1f, target <= %.1f)\n", largeCount, ratio, linear, 1.5 * linear);
    const bool pass = ratio <= 1.5 * linear;
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
