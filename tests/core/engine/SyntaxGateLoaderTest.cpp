// The syntax gate as the load and evaluate commands report it: a refusal reads like the
// engine's own syntax error, at the feature's line and column, with that line selected, and
// the engine never sees the code.
#include <gtest/gtest.h>

#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

class GateLoaderTest : public test::LoaderFixture {
protected:
    void SetUp() override {
        if (!ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << ChakraCore::libraryError();
    }

    void addProject(const std::vector<std::pair<std::string, std::string>>& modules) {
        LoaderFixture::addProject("p", modules);
    }
};

using Lines = std::vector<std::string>;

TEST_F(GateLoaderTest, ALoadRefusedByTheGateReadsLikeEachEnginesSyntaxError) {
    addProject({{"a", "var ok = 1;"}, {"b", "var x = 1;\nvar y = x?.z;\nsideEffect();"}, {"c", "var never = 1;"}});
    EXPECT_FALSE(loader.load(kChakraEngine));
    EXPECT_EQ(output.texts(), (Lines{">>p_a.js：加载成功", ">>错误描述：SyntaxError: 可选链 ?. 需要 ES2020, ChakraCore 1.11 不支持",
                                     ">>错误位置：2行9字符", ">>错误代码：var y = x?.z;"}));
    EXPECT_EQ(store.currentPage()->name(), "p_b.js");
    EXPECT_EQ(store.currentPage()->selectedText(), "var y = x?.z;");

    output.lines.clear();
    store.showPage(store.findPage("p", "a"));
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>p_a.js：加载成功", ">>发生错误：1002",
                                     ">>错误描述：可选链 ?. 需要 ES2020, JScript 5.7 不支持", ">>错误位置：2行9字符",
                                     ">>错误代码：var y = x?.z;"}));
    EXPECT_EQ(store.currentPage()->selectedText(), "var y = x?.z;");
    // The failed load leaves the engine empty, as any failed load does.
    EXPECT_EQ(native.Eval("typeof ok").text(), "undefined");
}

TEST_F(GateLoaderTest, EachEngineHasItsOwnLanguage) {
    addProject({{"m", "var o = { get x() { return 1; }, };\nfunction f(a, b,) { return a ** b; }"}});
    EXPECT_TRUE(loader.load(kChakraEngine));
    output.lines.clear();
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts()[1], ">>错误描述：对象字面量中的 getter/setter 需要 ES5, JScript 5.7 不支持");
    EXPECT_EQ(output.texts()[2], ">>错误位置：1行10字符");
}

TEST_F(GateLoaderTest, AnExpressionRefusedByTheGateIsNotEvaluated) {
    addProject({{"m", "var n = 0;\nfunction inc() { n = n + 1; return n; }"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("inc() ?? 0", kChakraEngine), Evaluation::Failed);
    EXPECT_EQ(output.texts(), (Lines{">>错误位置：1行5字符处", ">>错误描述：：SyntaxError: 空值合并 ?? 需要 ES2020, ChakraCore 1.11 不支持"}));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("inc()", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] 1"}));

    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("[1].map(x => x)", kNativeEngine), Evaluation::Failed);
    EXPECT_EQ(output.texts(), (Lines{">>发生错误：错误号=1002", ">>错误位置：1行8字符处",
                                     ">>错误描述：：箭头函数 => 需要 ES2015, JScript 5.7 不支持"}));
}

TEST_F(GateLoaderTest, AChakraSyntaxErrorTakesItsColumnFromTheParser) {
    // The engine itself gives the line but no column.
    addProject({{"m", "var a = 1;\nvar b = (a +;\n"}});
    EXPECT_FALSE(loader.load(kChakraEngine));
    ASSERT_EQ(output.texts().size(), 3u);
    EXPECT_EQ(output.texts()[1], ">>错误位置：2行12字符");
    output.lines.clear();
    store.page(store.findPage("p", "m"))->setText("var a = 1;");
    ASSERT_TRUE(loader.load(kChakraEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("a +* 2", kChakraEngine), Evaluation::Failed);
    EXPECT_EQ(output.texts()[0], ">>错误位置：1行3字符处");
}

}  // namespace
