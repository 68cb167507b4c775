// Every module of the starter library loads in each engine it claims, through the load
// command users run, and does its job there.
#include <gtest/gtest.h>

#include <map>

#include "core/editor/MemoryPage.h"
#include "core/engine/ChakraCore.h"
#include "core/engine/CodeLoader.h"
#include "core/engine/JScript.h"
#include "core/online/ModuleLibrary.h"
#include "core/online/StarterLibrary.h"
#include "core/project/ProjectStore.h"
#include "support/TestSupport.h"

namespace quillbox::online {
namespace {

// An expression per module file and the result it must give.
const std::map<std::string, std::pair<std::string, std::string>> kChecks = {
    {"crypto-js.js", {"CryptoJS.MD5('abc').toString()", "900150983cd24fb0d6963f7d28e17f72"}},
    {"md5.js", {"md5('abc')", "900150983cd24fb0d6963f7d28e17f72"}},
    {"base64.js", {"Base64.encode('abc') + Base64.decode('YWJj')", "YWJjabc"}},
    {"jsencrypt.js", {"typeof new JSEncrypt().encrypt", "function"}},
    // "abc" deflated by zlib.
    {"pako_inflate.js", {"pako.inflate([120,156,75,76,74,6,0,2,77,1,39], {to: 'string'})", "abc"}},
};

TEST(StarterLibraryLoadTest, EachModuleWorksInTheEnginesItClaims) {
    const std::string dir = test::freshDirectory("starter-load") + "/lib";
    ASSERT_TRUE(writeStarterLibrary(dir));
    ModuleLibrary library(dir);
    library.load();
    for (const StarterModule& module : starterModules()) {
        ASSERT_TRUE(kChecks.count(module.fileName)) << "no check for " << module.fileName;
        const auto& [expression, expected] = kChecks.at(module.fileName);
        for (const engine::EngineKind engine : {engine::kNativeEngine, engine::kChakraEngine}) {
            if (!(engine == engine::kNativeEngine ? module.nativeEngine : module.chakraCore))
                continue;
            if (engine == engine::kChakraEngine && !engine::ChakraCore::libraryLoaded())
                GTEST_SKIP() << "libChakraCore.so not built: " << engine::ChakraCore::libraryError();
            SCOPED_TRACE(std::string(module.fileName) + (engine == engine::kNativeEngine ? " native" : " chakra"));
            ScriptedDialogs dialogs;
            ProjectStore store(dialogs, [](const std::string& name, std::string code) {
                return std::make_unique<MemoryPage>(name, std::move(code));
            });
            RecordingOutput output;
            engine::JScript native;
            engine::ChakraCore chakra;
            engine::CodeLoader loader(store, output, native, chakra);
            store.tree().select(store.addProjectCore("demo"));
            const NodeId node = insertLibraryPick(store, {module.displayName, library.code(module.displayName)});
            ASSERT_NE(node, kNoNode);
            store.showPage(1);
            ASSERT_TRUE(loader.load(engine)) << ::testing::PrintToString(output.texts());
            output.lines.clear();
            loader.evaluate(expression, engine);
            EXPECT_EQ(output.texts(), std::vector<std::string>{">>[结果] " + expected});
        }
    }
}

}  // namespace
}  // namespace quillbox::online
