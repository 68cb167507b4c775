#include <gtest/gtest.h>

#include <cstdlib>

#include "core/engine/JScript.h"
#include "core/engine/SupportScripts.h"

using quillbox::engine::JScript;

namespace {

TEST(JScriptCalls, RunPassesExactlyTheArgumentsGivenUpToTheFirstAbsentOne) {
    JScript js;
    js.AddCode("function count() { return arguments.length + ':' + Array.prototype.join.call(arguments, '|'); }");
    EXPECT_EQ(js.Run("count").text(), "0:");
    EXPECT_EQ(js.Run("count", "a", "b").text(), "2:a|b");
    EXPECT_EQ(js.Run("count", "a", std::nullopt, "c").text(), "1:a");
    EXPECT_EQ(js.Run("count", "1", "2", "3", "4", "5", "6").text(), "6:1|2|3|4|5|6");
    // Arguments arrive as strings.
    js.AddCode("function kind(x) { return typeof x; }");
    EXPECT_EQ(js.Run("kind", "12").text(), "string");
}

TEST(JScriptCalls, RunOfAnUnknownFunctionFailsWithAnError) {
    JScript js;
    EXPECT_TRUE(js.Run("nowhere").isEmpty());
    EXPECT_NE(js.ControlObject()->Error().Number, 0);
}

TEST(JScriptCalls, CopiesShareOneControl) {
    JScript a;
    JScript b = a;
    a.AddCode("var shared = 7;");
    EXPECT_EQ(b.Eval("shared").text(), "7");
    b.Reset();
    EXPECT_EQ(a.Eval("typeof shared").text(), "undefined");
}

TEST(JScriptHelpers, RandomNeverStartsWithADot) {
    JScript js;
    for (int i = 0; i < 50; ++i) {
        const std::string r = js.Random();
        ASSERT_FALSE(r.empty());
        EXPECT_NE(r[0], '.');
        const double v = std::atof(r.c_str());
        EXPECT_GE(v, 0.0);
        EXPECT_LT(v, 1.0);
    }
}

TEST(JScriptHelpers, NowAndNowPlusAreMillisecondsAndNowPlusAddsTheOffset) {
    JScript js;
    const std::string now = js.Now();
    ASSERT_GE(now.size(), 13u);
    EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
    // No DefineTimeHelper before: NowPlus defines gettime_add itself.
    const std::string later = js.NowPlus(3600000);
    ASSERT_EQ(later.find_first_not_of("0123456789"), std::string::npos) << later;
    const long long difference = std::atoll(later.c_str()) - std::atoll(now.c_str());
    EXPECT_GE(difference, 3600000);
    EXPECT_LT(difference, 3600000 + 600000);  // generous: a busy machine may be slow
    EXPECT_EQ(js.Eval("typeof gettime_add").text(), "function");
}

TEST(JScriptHelpers, EscapingRoundTrips) {
    JScript js;
    EXPECT_EQ(js.Escape("a b&中"), "a%20b%26%u4E2D");
    EXPECT_EQ(js.Unescape("a%20b%26%u4E2D"), "a b&中");
    EXPECT_EQ(js.EncodeURI("http://x/a b?q=中"), "http://x/a%20b?q=%E4%B8%AD");
    EXPECT_EQ(js.DecodeURI("a%20b%E4%B8%AD"), "a b中");
    EXPECT_EQ(js.EncodeURIComponent("a/b c"), "a%2Fb%20c");
    EXPECT_EQ(js.DecodeURIComponent("a%2Fb%20c"), "a/b c");
    // A malformed escape gives an empty text and an error, not a crash.
    EXPECT_EQ(js.DecodeURIComponent("%"), "");
    EXPECT_NE(js.ControlObject()->Error().Number, 0);
}

TEST(JScriptErrorText, WithoutAnErrorTheLineStillHasEveryField) {
    JScript js;
    EXPECT_EQ(js.ErrorText(), "【第0 行，第0列 错误】【代码：0】【源：】【描述：】【语句：】");
}

TEST(JScriptErrorText, DescribesTheLastFailure) {
    JScript js;
    js.AddCode("var a = 1;\nvar b = ;");
    EXPECT_EQ(js.ErrorText(), "【第2 行，第0列 错误】【代码：1002】【源：JScript compilation error】【描述：" +
                                  js.ControlObject()->Error().Description + "】【语句：var b = ;】");
}

TEST(JScriptTransformLibrary, DefinesOnlyItsThreeGlobals) {
    JScript js;
    const char* const globals = "(function () { var n = [], k; for (k in this) n.push(k); return n.sort().join(','); })()";
    ASSERT_EQ(js.Eval(globals).text(), "");
    js.AddCode(quillbox::engine::transformLibrary());
    EXPECT_EQ(js.Eval(globals).text(), "js_beautify,jsmin,ysjs");
    EXPECT_EQ(js.Eval("'abc'.has('b')").text(), "true");
}

TEST(JScriptTransformLibrary, NeedsMoreThanJScriptHas) {
    // js-beautify 1.15 uses ES5 and ES2015 built-ins (Array.prototype.some, Object.assign)
    // that JScript 5.7 lacks: the transforms run it in ChakraCore.
    JScript js;
    js.AddCode(quillbox::engine::transformLibrary());
    EXPECT_EQ(js.ControlObject()->Error().Number, 5007) << js.ErrorText();
}

}  // namespace
