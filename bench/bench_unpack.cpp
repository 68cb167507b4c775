// Unpacking a large project script file, measured against iconv converting the same file.
//
// Usage: bench_unpack [DIR]   (DIR: where to work; the system's temporary directory by default)
// Run it on a quiet machine: the verdict is on the best wall-clock times; the CPU times
// (user + system of each child) are printed beside them as a check against load.
//
// Makes a 20 MB project file of 200 modules (GB18030, with Chinese text), then runs, in
// turns, `quillbox-cli unpack FILE DIR` and `iconv -f GB18030 -t UTF-8 FILE` (its output
// to a file, as unpack writes files). Prints the best time of each, their ratio (target:
// unpack within 4x of iconv), the peak memory of the unpack process (target: under 10x
// the file size) and whether it ended normally (a stack overflow would end it by signal).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "BenchSupport.h"
#include "core/text/Text.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kModules = 200;
constexpr std::size_t kFileBytes = 20u * 1024 * 1024;
constexpr int kRounds = 5;

using bench::Run;
using bench::runChild;

}  // namespace

int main(int argc, char** argv) {
    // Both programs write into the same directory; give one on another file system (for
    // example /dev/shm) to leave the disk's own costs out of the comparison.
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path work = base / ("quillbox-bench-unpack-" + std::to_string(getpid()));
    std::printf("working directory: %s\n", work.c_str());
    fs::create_directories(work);
    const std::string file = (work / "big.js").string();
    {
        const std::string bytes = bench::makeProjectFile(kModules, kFileBytes);
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const auto fileBytes = fs::file_size(file);

    std::vector<double> unpackTimes, iconvTimes, unpackCpu, iconvCpu;
    long peakKiB = 0;
    bool allEndedNormally = true;
    bool allSucceeded = true;
    std::size_t filesWritten = 0;
    for (int round = 0; round < kRounds; ++round) {
        const fs::path out = work / ("out" + std::to_string(round));
        const Run unpack = runChild({QUILLBOX_CLI, "unpack", file, out.string()}, (work / "listing.txt").string());
        const Run iconv = runChild({"iconv", "-f", "GB18030", "-t", "UTF-8", file}, (work / "iconv.txt").string());
        allEndedNormally = allEndedNormally && WIFEXITED(unpack.status);
        allSucceeded = allSucceeded && WIFEXITED(unpack.status) && WEXITSTATUS(unpack.status) == 0 &&
                       WIFEXITED(iconv.status) && WEXITSTATUS(iconv.status) == 0;
        if (WIFSIGNALED(unpack.status))
            std::printf("unpack ended by signal %d\n", WTERMSIG(unpack.status));
        unpackTimes.push_back(unpack.seconds);
        iconvTimes.push_back(iconv.seconds);
        unpackCpu.push_back(unpack.cpuSeconds);
        iconvCpu.push_back(iconv.cpuSeconds);
        peakKiB = std::max(peakKiB, unpack.maxRssKiB);
        filesWritten = static_cast<std::size_t>(std::distance(fs::directory_iterator(out), fs::directory_iterator()));
        fs::remove_all(out);
    }
    if (!std::getenv("QUILLBOX_BENCH_KEEP"))
        fs::remove_all(work);

    const double unpackBest = *std::min_element(unpackTimes.begin(), unpackTimes.end());
    const double iconvBest = *std::min_element(iconvTimes.begin(), iconvTimes.end());
    const double ratio = unpackBest / iconvBest;
    const double unpackCpuBest = *std::min_element(unpackCpu.begin(), unpackCpu.end());
    const double iconvCpuBest = *std::min_element(iconvCpu.begin(), iconvCpu.end());
    const double memoryRatio = static_cast<double>(peakKiB) * 1024.0 / static_cast<double>(fileBytes);
    std::printf("file: %.1f MB, %zu modules, %zu module files written\n", fileBytes / 1048576.0, kModules, filesWritten);
    std::printf("unpack: best %.3f s wall, %.3f s cpu, of %d runs\n", unpackBest, unpackCpuBest, kRounds);
    std::printf("iconv:  best %.3f s wall, %.3f s cpu, of %d runs\n", iconvBest, iconvCpuBest, kRounds);
    std::printf("time ratio unpack/iconv: %.2f wall (target <= 4), %.2f cpu\n", ratio, unpackCpuBest / iconvCpuBest);
    std::printf("peak memory of unpack: %.1f MB = %.2f x file size (target < 10)\n", peakKiB / 1024.0, memoryRatio);
    std::printf("stack overflow: %s\n", allEndedNormally ? "none (every run ended normally)" : "a run ended by signal");
    const bool ok = allSucceeded && filesWritten == kModules && ratio <= 4.0 && memoryRatio < 10.0;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
