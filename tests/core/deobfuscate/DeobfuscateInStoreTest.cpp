// The window's deobfuscation command on the store: a new module beside the original, the
// original untouched, the report and the expression box's check in the output box.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/deobfuscate/DeobfuscateInStore.h"
#include "core/project/ProjectStore.h"
#include "core/tools/Stop.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::deobfuscate;

namespace {

// javascript-obfuscator's defaults on `function hi(n) { return 'Hello, ' + n + '!'; }`,
// cut to what matters: a rotated string array and its decoder.
const char* const kObfuscated =
    "function _0x5d2a(){var _0x3c1=['Hello,\\x20','!'];_0x5d2a=function(){return _0x3c1;};return _0x5d2a();}"
    "function _0x1f0b(_0x1a,_0x2b){_0x1a=_0x1a-0x0;var _0x3c=_0x5d2a();var _0x4d=_0x3c[_0x1a];return _0x4d;}"
    "function hi(_0x9a){var _0x8b=_0x1f0b;return _0x8b(0x0)+_0x9a+_0x8b(0x1);}\n";

Deobfuscator& deobfuscator() {
    static Deobfuscator d;
    return d;
}

class DeobfuscateInStore : public test::MemoryStoreFixture {
protected:
    std::string code(const std::string& project, const std::string& module) {
        const int position = store.findPage(project, module);
        return position > 0 ? store.page(position)->getText() : "<none>";
    }
    bool said(const std::string& part) const {
        for (const std::string& line : output.texts())
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    RecordingOutput output;
};

TEST_F(DeobfuscateInStore, AModuleBecomesANewModuleBesideItAndTheExpressionIsChecked) {
    addProject("site", {{"sign", kObfuscated}, {"other", "var x = 1;\n"}});
    store.selectNode(store.moduleNode("site", "sign"));
    const DeobfuscateTarget target = deobfuscateTarget(store, "hi('E')");
    ASSERT_EQ(target.refusal, "");
    const std::string placed = placeDeobfuscation(store, target, runDeobfuscation(deobfuscator(), target), output);
    EXPECT_EQ(placed, "sign_解混淆");
    EXPECT_EQ(store.moduleNames("site"), (std::vector<std::string>{"sign", "other", "sign_解混淆"}));
    EXPECT_EQ(code("site", "sign"), kObfuscated);
    EXPECT_NE(code("site", "sign_解混淆").find("return \"Hello, \" + "), std::string::npos) << code("site", "sign_解混淆");
    EXPECT_TRUE(said("解混淆：site/sign"));
    EXPECT_TRUE(said("strings restored: 2"));
    EXPECT_TRUE(said("已写入新模块[sign_解混淆]，原代码未改动"));
    EXPECT_TRUE(said("一致 hi('E') = string:Hello, E!"));

    // Again: a new name, nothing overwritten.
    store.selectNode(store.moduleNode("site", "sign"));
    const DeobfuscateTarget again = deobfuscateTarget(store, "");
    EXPECT_EQ(placeDeobfuscation(store, again, runDeobfuscation(deobfuscator(), again), output), "sign_解混淆2");
}

TEST_F(DeobfuscateInStore, NothingIsWrittenWithoutAModuleOrCode) {
    addProject("p", {{"empty", "  \n"}});
    store.selectNode(store.tree().parent(store.moduleNode("p", "empty")));
    EXPECT_EQ(deobfuscateTarget(store, "").refusal, "请先选择要解混淆的模块");
    store.selectNode(store.moduleNode("p", "empty"));
    EXPECT_EQ(deobfuscateTarget(store, "").refusal, "模块[empty]没有代码");
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"empty"});
}

// The window's stop (and the command line's --timeout) reaches the check as well: an
// expression that loops ends when the stop comes, not at each engine's own 30 s limit, and
// the expressions after it are not run.
TEST(DeobfuscateCheck, AStopEndsALoopingCheckInBothEngines) {
    const std::string code = "function spin() { for (;;) {} }\nfunction one() { return 1; }\n";
    for (const CheckEngine engine : {CheckEngine::Chakra, CheckEngine::Native}) {
        tools::Stop stop;
        const auto started = std::chrono::steady_clock::now();
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop.stop();
        });
        const BehaviourCheck check = checkBehaviour(code, code, {"one()", "spin()", "one()"}, engine, &stop);
        stopper.join();
        // Far below the engines' own limit, on however slow a machine.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        EXPECT_TRUE(check.stopped);
        EXPECT_FALSE(check.allAgree());
        ASSERT_EQ(check.expressions.size(), 3u);
        EXPECT_EQ(check.expressions[1].original, "error: stopped");
        EXPECT_EQ(check.expressions[2].result, "error: stopped");
        EXPECT_EQ(checkLines(check, engine).at(0).rfind("检查已停止", 0), 0u);
    }
}

}  // namespace
