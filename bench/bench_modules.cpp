// Loading is linear in the number of modules: the same code run with `quillbox-cli run` as a
// project of N modules and as one file holding all of it, in both engines, best of 3 whole
// processes each.
//
// Usage: bench_modules [CLI]
// Goals: run of 400 modules <= 4x the one file; time(400 modules) / time(200 modules) <= 2.5.
// `list` of the same projects is printed beside them for information (it prints every
// module's listing, which grows with modules x globals by what it is).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchSupport.h"

namespace fs = std::filesystem;
using bench::Run;
using bench::runChild;

namespace {

std::string oneFile(std::size_t modules) {
    std::string text;
    for (std::size_t i = 0; i < modules; ++i)
        text += bench::siteModuleCode(i);
    return text;
}

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

double best(const std::vector<std::string>& args, const fs::path& out, bool& ok) {
    double fastest = 1e9;
    for (int i = 0; i < 3; ++i) {
        const Run run = runChild(args, out.string(), "/dev/null");
        ok = ok && run.succeeded();
        fastest = std::min(fastest, run.seconds);
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cli = argc > 1 ? argv[1] : QUILLBOX_CLI;
    const fs::path work = fs::temp_directory_path() / ("bench_modules." + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::size_t counts[] = {200, 400};
    for (std::size_t n : counts) {
        write(work / ("p" + std::to_string(n) + ".txt"), bench::siteProjectFile("bench", n));
        write(work / ("one" + std::to_string(n) + ".js"), oneFile(n));
    }
    bool pass = true;
    for (const char* engine : {"native", "chakra"}) {
        bool ok = true;
        double project[2], single[2], listed[2];
        for (int k = 0; k < 2; ++k) {
            const std::string n = std::to_string(counts[k]);
            project[k] = best({cli, "run", (work / ("p" + n + ".txt")).string(), "--engine", engine, "-e",
                               "new Widget_" + std::to_string(counts[k] - 1) + "(3).twice()"},
                              work / "out.txt", ok);
            single[k] = best({cli, "run", (work / ("one" + n + ".js")).string(), "--engine", engine, "-e",
                              "new Widget_" + std::to_string(counts[k] - 1) + "(3).twice()"},
                             work / "out.txt", ok);
            listed[k] = best({cli, "list", (work / ("p" + n + ".txt")).string(), "--engine", engine},
                             work / "list.txt", ok);
        }
        const double vsOne = project[1] / single[1];
        const double growth = project[1] / project[0];
        std::printf("%-6s run: 200 modules %.3f s, 400 modules %.3f s, one file of 400 %.3f s | "
                    "400 modules / one file %.2f (goal <= 4), 400 / 200 modules %.2f (goal <= 2.5) | "
                    "list: 200 %.3f s, 400 %.3f s (x%.2f)%s\n",
                    engine, project[0], project[1], single[1], vsOne, growth, listed[0], listed[1],
                    listed[1] / listed[0], ok ? "" : " [a run failed]");
        std::fflush(stdout);
        pass = pass && ok && vsOne <= 4.0 && growth <= 2.5;
    }
    fs::remove_all(work);
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
