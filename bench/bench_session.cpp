// One session write as the window's thread sees it: 20 modules of 100 KB, one of them
// changed since the last write. Peers measured in the same run: copying that module's text
// once, and reading that module's page once. The write's own file work (JSON, fsync,
// rename) runs on the store's thread; its time until the file is on disk is printed too.
//
//   bench_session [DIR]   (default: the temporary directory)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionStore.h"

using namespace quillbox;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
    std::vector<double> samples;
    double best() const { return *std::min_element(samples.begin(), samples.end()); }
    double median() const {
        std::vector<double> s = samples;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
};

std::string moduleText(int m) {
    const std::string line = "var 数据" + std::to_string(m) + " = \"0123456789abcdef\" + f(1, 2, 3); // 注释\r\n";
    std::string code;
    while (code.size() < 100 * 1024)
        code += line;
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        std::filesystem::path(argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string()) / "bench_session";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    ScriptedDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    store.selectNode(store.addProjectCore("big"));
    for (int m = 0; m < 20; ++m)
        store.addModuleCore("m" + std::to_string(m), moduleText(m));
    session::SessionStore keeper(store, session::SessionStoreOptions{(dir / "session.json").string()});
    keeper.saveNow();
    keeper.waitForDisk();

    const int rounds = 30;
    Stats write, disk, copy, read;
    Page& changed = *store.page(7);
    std::string text = changed.getText();
    for (int round = 0; round < rounds; ++round) {
        changed.select(1, 0, 1, 0);
        changed.insert("x");

        auto start = Clock::now();
        keeper.saveNow();
        write.samples.push_back(ms(Clock::now() - start));
        start = Clock::now();
        keeper.waitForDisk();
        disk.samples.push_back(ms(Clock::now() - start));

        start = Clock::now();
        std::string copied = text;
        copy.samples.push_back(ms(Clock::now() - start));
        if (copied.size() != text.size())
            return 2;

        start = Clock::now();
        text = changed.getText();
        read.samples.push_back(ms(Clock::now() - start));
    }

    const bool written = keeper.writeCount() == rounds + 1 && keeper.lastError().empty();
    std::printf("session write, 20 modules of 100 KB, one changed (%d rounds)\n", rounds);
    std::printf("  window thread: best %.3f ms, median %.3f ms (target: under 10 ms)\n", write.best(), write.median());
    std::printf("  copy of the changed module's text: best %.3f ms, median %.3f ms\n", copy.best(), copy.median());
    std::printf("  one read of the changed page: best %.3f ms, median %.3f ms\n", read.best(), read.median());
    std::printf("  ratio to the copy (median): %.1f; ratio to the page read (median): %.2f\n",
                write.median() / copy.median(), write.median() / read.median());
    std::printf("  store thread until on disk after the call (JSON, fsync, rename): median %.1f ms\n", disk.median());
    std::printf("  every write reached the file: %s\n", written ? "yes" : "NO");
    std::printf("  %s\n", write.median() < 10.0 ? "OK: under 10 ms" : "OVER 10 ms");
    std::filesystem::remove_all(dir);
    return written ? 0 : 1;
}
