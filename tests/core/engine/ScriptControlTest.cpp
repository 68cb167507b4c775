#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "core/engine/ScriptControl.h"
#include "core/engine/SupportScripts.h"
#include "support/WhileStopping.h"

using quillbox::engine::ScriptControl;
using quillbox::engine::Value;
using quillbox::test::whileStopping;

namespace {

TEST(ScriptControlCode, AddedCodeStaysDefinedUntilReset) {
    ScriptControl sc;
    EXPECT_EQ(sc.Language(), "JScript");
    ASSERT_TRUE(sc.AddCode("function add(a, b) { return a + b; }\nvar base = 40;"));
    EXPECT_EQ(sc.Error().Number, 0);
    EXPECT_EQ(sc.Error().Description, "");
    ASSERT_TRUE(sc.AddCode("var total = add(base, 2);"));
    EXPECT_EQ(sc.Eval("total").text(), "42");
    EXPECT_EQ(sc.Run("add", {Value::number(1, "1"), Value::number(2, "2")}).text(), "3");
    sc.Reset();
    EXPECT_TRUE(sc.Eval("typeof add").text() == "undefined");
    EXPECT_TRUE(sc.Eval("add(1, 2)").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5009);
}

TEST(ScriptControlCode, LaterCodeRedefinesEarlierNames) {
    ScriptControl sc;
    sc.AddCode("function f() { return 1; }");
    sc.AddCode("function f() { return 2; }");
    EXPECT_EQ(sc.Eval("f()").text(), "2");
}

TEST(ScriptControlCode, OnlyJScriptIsSpoken) {
    ScriptControl sc;
    EXPECT_FALSE(sc.SetLanguage("VBScript"));
    EXPECT_EQ(sc.Language(), "JScript");
    EXPECT_TRUE(sc.SetLanguage("jscript"));
    EXPECT_EQ(sc.Language(), "JScript");
}

TEST(ScriptControlValues, ResultsKeepTheirKindAndScriptText) {
    ScriptControl sc;
    EXPECT_EQ(sc.Eval("1 + 1").kind(), Value::Kind::Number);
    EXPECT_EQ(sc.Eval("0.1 + 0.2").text(), "0.30000000000000004");
    EXPECT_EQ(sc.Eval("1e21").text(), "1e+21");
    EXPECT_EQ(sc.Eval("1/0").text(), "Infinity");
    EXPECT_EQ(sc.Eval("1 == 1").kind(), Value::Kind::Boolean);
    EXPECT_TRUE(sc.Eval("1 == 1").boolean());
    EXPECT_EQ(sc.Eval("'a' + 'b'"), Value::string("ab"));
    EXPECT_EQ(sc.Eval("[1, 2]").kind(), Value::Kind::Object);
    EXPECT_EQ(sc.Eval("[1, 2]").text(), "1,2");
    EXPECT_TRUE(sc.Eval("undefined").isEmpty());
    EXPECT_TRUE(sc.Eval("null").isEmpty());
    EXPECT_EQ(sc.Error().Number, 0);
}

TEST(ScriptControlValues, TextCrossesAsUtf8IncludingCharactersAboveTheBmp) {
    ScriptControl sc;
    EXPECT_EQ(sc.Eval("'中文' + '😀'").text(), "中文😀");
    // Standard string lengths: a character above U+FFFF is two code units.
    EXPECT_EQ(sc.Run("String", {Value::string("😀")}).text(), "😀");
    EXPECT_EQ(sc.Eval("'😀'.length").text(), "2");
    EXPECT_EQ(sc.Eval("'\\uD83D\\uDE00'").text(), "😀");
    EXPECT_EQ(sc.Eval("'\\uD83D'").text(), "\xEF\xBF\xBD");
    EXPECT_EQ(sc.Eval("encodeURIComponent('中')").text(), "%E4%B8%AD");
}

// A value that has no text is the call's error, for Eval and Run alike.
TEST(ScriptControlValues, AValueWithoutTextIsAnError) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("function bare() { return Object.create(null); }\n"
                           "function loud() { return {toString: function () { throw new Error('no text'); }}; }\n"
                           "function hollow() { return {toString: function () { return {}; }, valueOf: function () { return {}; }}; }"));
    const std::pair<const char*, long> cases[] = {
        {"bare()", 5007}, {"loud()", 5000}, {"hollow()", 5007}, {"[Object.create(null)]", 5007}};
    for (const auto& [expression, number] : cases) {
        EXPECT_TRUE(sc.Eval(expression).isEmpty()) << expression;
        EXPECT_EQ(sc.Error().Number, number) << expression;
        EXPECT_FALSE(sc.Error().Description.empty()) << expression;
    }
    EXPECT_TRUE(sc.Run("hollow").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5007);
    EXPECT_EQ(sc.Eval("'still ' + 'fine'").text(), "still fine");
}

TEST(ScriptControlErrors, SyntaxErrorsAreCompileErrorsWithTheirLine) {
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode("var a = 1;\nvar b = 2;\nlet c = 3;\nvar d = 4;"));
    const auto& e = sc.Error();
    EXPECT_EQ(e.Number, 1002);
    EXPECT_EQ(e.Source, ScriptControl::kCompileSource);
    EXPECT_EQ(e.Line, 3);
    EXPECT_EQ(e.Column, 0);
    EXPECT_EQ(e.Text, "let c = 3;");
    EXPECT_FALSE(e.Description.empty());
    EXPECT_EQ(e.Description.find("(line"), std::string::npos);
    // Nothing of the refused code ran.
    EXPECT_EQ(sc.Eval("typeof a").text(), "undefined");
}

TEST(ScriptControlErrors, NewerSyntaxIsRefusedWithItsLine) {
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode("var ok = 1;\r\nvar f = (x) => x * 2;\r\n"));
    EXPECT_EQ(sc.Error().Line, 2);
    EXPECT_EQ(sc.Error().Text, "var f = (x) => x * 2;");
    EXPECT_FALSE(sc.AddCode("\n\nclass A {}"));
    EXPECT_EQ(sc.Error().Line, 3);
}

TEST(ScriptControlErrors, RuntimeErrorsNameTheirKindAndLine) {
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode("var a = 1;\n\nmissing();\n"));
    EXPECT_EQ(sc.Error().Number, 5009);
    EXPECT_EQ(sc.Error().Source, ScriptControl::kRuntimeSource);
    EXPECT_EQ(sc.Error().Line, 3);
    EXPECT_EQ(sc.Error().Text, "missing();");
    // The statements before the failing one ran.
    EXPECT_EQ(sc.Eval("a").text(), "1");

    EXPECT_TRUE(sc.Eval("null.x").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5007);
    EXPECT_TRUE(sc.Eval("new Array(-1)").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5029);
    EXPECT_TRUE(sc.Eval("decodeURIComponent('%')").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5030);
    EXPECT_TRUE(sc.Eval("eval('{')").isEmpty());
    EXPECT_EQ(sc.Error().Number, 1002);
    EXPECT_EQ(sc.Error().Source, ScriptControl::kRuntimeSource);
    EXPECT_TRUE(sc.Eval("throw new Error('boom')").isEmpty());
    EXPECT_EQ(sc.Error().Number, 5000);
    EXPECT_EQ(sc.Error().Description, "boom");
}

TEST(ScriptControlErrors, AnErrorInsideAFunctionPointsAtItsOwnModule) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("// module one\nfunction bad() {\n  return undefinedName;\n}"));
    EXPECT_TRUE(sc.Eval("bad()").isEmpty());
    EXPECT_EQ(sc.Error().Line, 3);
    EXPECT_EQ(sc.Error().Text, "  return undefinedName;");
}

TEST(ScriptControlErrors, EveryFailureHasADescription) {
    // Callers take an empty description for success, so none may be empty on failure.
    ScriptControl sc;
    for (const char* code : {"throw ''", "throw new Error()", "throw new Error('')", "throw undefined",
                             "throw {toString: function () { throw 1; }}"}) {
        EXPECT_FALSE(sc.AddCode(code)) << code;
        EXPECT_NE(sc.Error().Number, 0) << code;
        EXPECT_FALSE(sc.Error().Description.empty()) << code;
    }
    sc.AddCode("throw 'plain text'");
    EXPECT_EQ(sc.Error().Number, 5022);
    EXPECT_NE(sc.Error().Description.find("plain text"), std::string::npos);
}

TEST(ScriptControlErrors, EveryCallStartsWithACleanError) {
    ScriptControl sc;
    sc.Eval("nothing.here");
    EXPECT_NE(sc.Error().Number, 0);
    EXPECT_EQ(sc.Eval("1").text(), "1");
    EXPECT_EQ(sc.Error().Number, 0);
    EXPECT_EQ(sc.Error().Description, "");
    EXPECT_EQ(sc.Error().Text, "");
}

TEST(ScriptControlLimits, RunawayRecursionIsAnErrorNotACrash) {
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode("function r(n) { return r(n + 1) + 1; }\nr(0);"));
    EXPECT_EQ(sc.Error().Number, 28);
    EXPECT_FALSE(sc.AddCode("var s = ''; for (var i = 0; i < 5000; i++) s += '('; eval(s + '1');"));
    EXPECT_NE(sc.Error().Number, 0);
    // The engine goes on working afterwards.
    EXPECT_EQ(sc.Eval("2 * 21").text(), "42");
}

TEST(ScriptControlLimits, TheHeapLimitEndsRunawayMemoryUse) {
    ScriptControl sc(8 << 20);
    EXPECT_FALSE(sc.AddCode("var keep = [];\nwhile (true) keep.push(keep.length + 'xxxxxxxxxxxxxxxx');"));
    EXPECT_EQ(sc.Error().Number, 7);
    sc.Reset();
    EXPECT_EQ(sc.Eval("'still' + ' working'").text(), "still working");
}

TEST(ScriptControlSupport, TheJsonSupportScriptCreatesOnlyQuillbox) {
    ScriptControl sc;
    const std::string before = sc.Eval("var n = []; for (var k in this) n.push(k); n.join(',')").text();
    ASSERT_TRUE(sc.AddCode(quillbox::engine::jsonSupportScript())) << sc.Error().Description;
    const std::string after = sc.Eval("var n = []; for (var k in this) n.push(k); n.join(',')").text();
    EXPECT_EQ(after, before.empty() ? "n,QUILLBOX" : before + ",QUILLBOX");
    EXPECT_EQ(sc.Eval("QUILLBOX.JSON.stringify({a: [1, 'x', null]})").text(), "{\"a\":[1,\"x\",null]}");
    EXPECT_EQ(sc.Eval("QUILLBOX.JSON.parse('{\"b\": [2]}').b[0]").text(), "2");
    EXPECT_EQ(sc.Eval("QUILLBOX.log.length").text(), "0");
}

// ---------------------------------------------------------------- stopping

TEST(ScriptControlStop, EveryKindOfCallCanBeStoppedFromAnotherThread) {
    ScriptControl sc;
    EXPECT_FALSE(sc.stop()) << "nothing is running";
    ASSERT_TRUE(sc.AddCode("function spin() { for (;;) {} }"));
    const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
        {"AddCode", [&] { return sc.AddCode("var before = 1; while (true) {}"); }},
        {"ExecuteStatement", [&] { return sc.ExecuteStatement("for (;;) {}"); }},
        {"Eval", [&] { return !sc.Eval("(function () { while (1) {} })()").isEmpty(); }},
        {"Run", [&] { return !sc.Run("spin").isEmpty(); }},
        // A script cannot catch the stop and carry on.
        {"caught", [&] { return sc.AddCode("for (;;) { try { while (true) {} } catch (e) {} finally { } }"); }},
    };
    for (const auto& [name, call] : calls) {
        sc.AddCode("function spin() { for (;;) {} }");
        EXPECT_FALSE(whileStopping(sc, call)) << name;
        EXPECT_TRUE(sc.lastCallStopped()) << name;
        EXPECT_EQ(sc.Error().Number, 5) << name;
        EXPECT_FALSE(sc.Error().Description.empty()) << name;
        // Made anew: what was added is gone, and the next call answers.
        EXPECT_EQ(sc.Eval("typeof spin + typeof before").text(), "undefinedundefined") << name;
        EXPECT_FALSE(sc.lastCallStopped()) << name;
        EXPECT_EQ(sc.Error().Number, 0) << name;
    }
}

TEST(ScriptControlStop, TheTimeLimitEndsOnlyCallsThatRunTooLong) {
    ScriptControl sc;
    sc.setTimeLimit(std::chrono::milliseconds(200));
    EXPECT_FALSE(sc.AddCode("var kept = 1;\nwhile (true) {}"));
    EXPECT_TRUE(sc.lastCallStopped());
    EXPECT_TRUE(sc.AddCode("var kept = 2; for (var i = 0; i < 1000; i++) {}"));
    EXPECT_FALSE(sc.lastCallStopped());
    EXPECT_EQ(sc.Eval("kept").text(), "2");
    // An error is still an error, not a stop.
    EXPECT_TRUE(sc.Eval("missing()").isEmpty());
    EXPECT_FALSE(sc.lastCallStopped());
    EXPECT_EQ(sc.Error().Number, 5009);
    // A value whose text never comes is stopped too.
    EXPECT_TRUE(sc.Eval("({toString: function () { for (;;) {} }})").isEmpty());
    EXPECT_TRUE(sc.lastCallStopped());
}

}  // namespace
