// One expression in both engines: the answers and what differs between them.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/engine/BothEngines.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

class BothEnginesTest : public test::LoaderFixture {
protected:
    void SetUp() override {
        if (!ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << ChakraCore::libraryError();
    }
};

TEST_F(BothEnginesTest, NamesWhatDiffersBetweenTheEngines) {
    addProject("p", {{"m", "function twice(x) { return x * 2; }"}});
    const struct {
        const char* expression;
        const char* difference;
    } cases[] = {
        {"twice(21)", ""},
        {"typeof [].map", "值不同"},        // the native engine speaks ES3
        {"twice(1) == 2", "结果类型不同"},  // the native engine refuses a boolean
        {"noSuch()", "错误不同"},           // each engine words its error
    };
    for (const auto& c : cases) {
        const BothAnswers answers = evaluateInBoth(store, native, chakra, c.expression);
        EXPECT_EQ(answers.difference, c.difference) << c.expression;
        EXPECT_TRUE(answers.native.loaded && answers.chakra.loaded) << c.expression;
    }
    const BothAnswers same = evaluateInBoth(store, native, chakra, "twice(21)");
    EXPECT_EQ(comparisonLines(same), (std::vector<std::string>{"[MSScriptControl] 42", "[ChakraCore] 42", "两个引擎结果相同"}));
}

TEST_F(BothEnginesTest, ALoadThatFailsInOneEngineIsADifference) {
    addProject("p", {{"m", "let modern = () => 1;"}});
    RecordingOutput seen;
    const BothAnswers answers = evaluateInBoth(store, native, chakra, "modern()", &seen);
    EXPECT_FALSE(answers.native.loaded);
    EXPECT_FALSE(answers.native.error.empty());
    EXPECT_TRUE(answers.chakra.loaded);
    EXPECT_EQ(answers.chakra.value, "1");
    EXPECT_EQ(answers.difference, "结果类型不同");
    EXPECT_EQ(comparisonLines(answers)[0].rfind("[MSScriptControl] 加载失败：", 0), 0u);
    // What each loader wrote went to the output too, after a heading per engine.
    EXPECT_EQ(seen.texts().front(), ">>—— MSScriptControl ——");
}

TEST(BothEngines, TheDifferenceOfTwoAnswers) {
    const EngineAnswer result{true, Evaluation::Result, "1", ""};
    const EngineAnswer other{true, Evaluation::Result, "2", ""};
    const EngineAnswer failed{true, Evaluation::Failed, "", "x"};
    const EngineAnswer failedOtherwise{true, Evaluation::Failed, "", "y"};
    const EngineAnswer notLoaded{false, Evaluation::Nothing, "", "x"};
    EXPECT_EQ(differenceOf(result, result), "");
    EXPECT_EQ(differenceOf(result, other), "值不同");
    EXPECT_EQ(differenceOf(result, failed), "结果类型不同");
    EXPECT_EQ(differenceOf(failed, failed), "");
    EXPECT_EQ(differenceOf(failed, failedOtherwise), "错误不同");
    EXPECT_EQ(differenceOf(notLoaded, failed), "结果类型不同");
}

}  // namespace

namespace {

// A one-line module fails on its only line; its formatted copy, loaded in the same engine,
// puts the error on a line of its own, and the original is left as it was.
TEST_F(BothEnginesTest, AFormattedCopyLocatesAnErrorOfOneLineCode) {
    addProject("p", {{"ok", "var fine = 1;"}, {"min", "var a=1,b=2;var c=b.missing.deep;var d=4;"}});
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        ProjectCopy copy(store, "p", "min");
        copy.setModuleText("min", "var a = 1,\n    b = 2;\nvar c = b.missing.deep;\nvar d = 4;");
        const LocatedFailure located = loadAndLocate(copy.store(), native, chakra, engine);
        EXPECT_TRUE(located.failed);
        ASSERT_EQ(located.spots.size(), 1u);
        EXPECT_EQ(located.spots[0].page, "p_min.js");
        EXPECT_EQ(located.spots[0].line, 3);
        EXPECT_EQ(located.spots[0].excerpt, "var c = b.missing.deep;");
        EXPECT_NE(std::find(located.lines.begin(), located.lines.end(), "错误代码：var c = b.missing.deep;"),
                  located.lines.end());
    }
    EXPECT_EQ(store.page(store.findPage("p", "min"))->getText(), "var a=1,b=2;var c=b.missing.deep;var d=4;");
}

}  // namespace
