// `quillbox-cli econst FILE -o IMAGE` of a 16 MB project, measured against iconv reading
// the same file.
//
// Usage: bench_econst [DIR] [CLI]   (DIR: where to work, the temporary directory by default;
//                                    CLI: the quillbox-cli to measure, this build's by default)
// Makes a 16 MB project file of 100 modules (GB18030, Chinese and ASCII script), then runs,
// in turns, `CLI econst FILE -o IMAGE` and `iconv -f GB18030 -t UTF-8 FILE > OUT` five
// times each and prints the best wall-clock and CPU times and their ratio (target: econst
// within 6x of iconv). Run it on a quiet machine.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "BenchSupport.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const std::string cli = argc > 2 ? argv[2] : QUILLBOX_CLI;
    const fs::path work = base / ("quillbox-bench-econst-" + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string file = (work / "big.js").string();
    {
        const std::string bytes = bench::makeProjectFile(100, 16u * 1024 * 1024);
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string image = (work / "image.bin").string();
    std::vector<double> econst, iconv, econstCpu, iconvCpu;
    bool ok = true;
    for (int round = 0; round < 5; ++round) {
        const bench::Run e = bench::runChild({cli, "econst", file, "-o", image}, (work / "econst.out").string());
        const bench::Run i =
            bench::runChild({"iconv", "-f", "GB18030", "-t", "UTF-8", file}, (work / "iconv.out").string());
        ok = ok && e.succeeded() && i.succeeded();
        econst.push_back(e.seconds);
        iconv.push_back(i.seconds);
        econstCpu.push_back(e.cpuSeconds);
        iconvCpu.push_back(i.cpuSeconds);
    }
    const double imageMb = static_cast<double>(fs::file_size(image)) / 1048576.0;
    std::printf("file: %.1f MB, image: %.1f MB, cli: %s\n", fs::file_size(file) / 1048576.0, imageMb, cli.c_str());
    fs::remove_all(work);
    const double ratio = bench::best(econst) / bench::best(iconv);
    std::printf("econst -o: best %.3f s wall, %.3f s cpu, of 5 runs\n", bench::best(econst), bench::best(econstCpu));
    std::printf("iconv:     best %.3f s wall, %.3f s cpu, of 5 runs\n", bench::best(iconv), bench::best(iconvCpu));
    std::printf("time ratio econst/iconv: %.2f wall (target <= 6), %.2f cpu\n", ratio,
                bench::best(econstCpu) / bench::best(iconvCpu));
    const bool pass = ok && ratio <= 6.0;
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
