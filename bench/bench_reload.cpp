// Loading a project again after a load that listed many names: the second load first clears
// the listing the first one built in the project tree, so it must cost about what the
// first load costs, not grow with the square of the names.
//
// Usage: bench_reload [COUNT...]   (function counts; 10000 and 60000 by default)
// For each count, a project of one module defining that many functions is loaded into the
// native engine through the loader the window uses (in-memory pages, no window), then
// loaded again; prints both times, the time of clearing the listing alone, and the ratio
// of the reload to the first load (target: at most 2).
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchScripts.h"
#include "core/editor/MemoryPage.h"
#include "core/engine/ChakraCore.h"
#include "core/engine/CodeLoader.h"
#include "core/engine/JScript.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"

using namespace quillbox;

namespace {

struct Result {
    double first = 0, reload = 0, clear = 0;
    std::size_t listed = 0;
};

Result measure(std::size_t count) {
    std::string code;
    for (std::size_t i = 0; i < count; ++i)
        code += "function f" + std::to_string(i) + "(){return " + std::to_string(i) + ";}\n";
    ScriptedDialogs dialogs;
    ProjectStore store(dialogs, [](const std::string& name, std::string text) -> std::unique_ptr<Page> {
        return std::make_unique<MemoryPage>(name, text);
    });
    store.selectNode(store.addProjectCore("many"));
    store.addModuleCore("m", code);
    store.showFirstModule("many");
    RecordingOutput output;
    engine::JScript native;
    engine::ChakraCore chakra;
    engine::CodeLoader loader(store, output, native, chakra);
    Result r;
    r.first = quillbox::bench::seconds([&] { loader.load(engine::kNativeEngine); });
    r.listed = store.tree().children(store.tree().findChild("m.js", "方法")).size();
    r.reload = quillbox::bench::seconds([&] { loader.load(engine::kNativeEngine); });
    r.clear = quillbox::bench::seconds([&] { loader.clearListing(); });
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::stoul(argv[i]));
    if (counts.empty())
        counts = {10000, 60000};
    bool pass = true;
    for (std::size_t count : counts) {
        const Result r = measure(count);
        const double ratio = r.reload / r.first;
        std::printf("%zu functions (%zu listed): first load %.3f s, reload %.3f s, clearing the listing %.3f s; "
                    "reload/first %.2f (target <= 2)\n",
                    count, r.listed, r.first, r.reload, r.clear, ratio);
        std::fflush(stdout);
        pass = pass && r.listed == count && ratio <= 2.0;
    }
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
