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
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/text/Text.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kModules = 200;
constexpr std::size_t kFileBytes = 20u * 1024 * 1024;
constexpr int kRounds = 5;

struct Run {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user + system time of the child
    long maxRssKiB = 0;
    int status = -1;  // raw wait status
};

Run runChild(const std::vector<std::string>& args, const std::string& stdoutPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    struct rusage usage {};
    wait4(pid, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKiB = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

// One module: lines of script mixing ASCII and Chinese, about `bytes` long in GB18030.
std::string moduleCode(std::size_t index, std::size_t bytes) {
    std::string code;
    std::size_t gbBytes = 0;
    for (std::size_t line = 0; gbBytes < bytes; ++line) {
        const std::string text = "var 变量_" + std::to_string(index) + "_" + std::to_string(line) +
                                 " = '这是一个用于测试解包速度的中文字符串，包含标点。' + \"ascii text " +
                                 std::to_string(line * 7919 % 10007) + "\";\r\n";
        gbBytes += quillbox::text::gbkLength(text);
        code += text;
    }
    return code;
}

std::string makeProjectFile() {
    const std::string sep = "//========================";
    std::string text = sep + "\r\n//       START   大项目\r\n" + sep + "\r\n\r\n";
    for (std::size_t i = 0; i < kModules; ++i) {
        text += sep + "\r\n//       模块" + std::to_string(i) + ".js\r\n" + sep + "\r\n";
        text += moduleCode(i, kFileBytes / kModules - 100);
        text += i + 1 == kModules ? "\r\n" : "\r\n\r\n\r\n\r\n\r\n";
    }
    text += "\r\n" + sep + "\r\n//       END   大项目\r\n" + sep + "\r\n\r\n//Quillbox By Zorvan 1.30";
    return quillbox::text::toGb18030(text);
}

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
        const std::string bytes = makeProjectFile();
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
