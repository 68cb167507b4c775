// The native engine where real code meets the patched Duktape underneath the JScript profile:
// built-ins that must not notice what the profile hides, functions' source text, and where
// errors are raised.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine/JScript.h"
#include "core/engine/ScriptControl.h"

using quillbox::engine::ScriptControl;

namespace {

struct Case {
    const char* expression;
    const char* expected;
};

void expectAll(ScriptControl& sc, const std::vector<Case>& cases) {
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(sc.Eval(expression).text(), expected) << expression << ": " << sc.Error().Description;
}

// The profile takes away RegExp.prototype.flags (JScript has none); the built-ins that made
// a RegExp from a RegExp, or printed one, read it. Each built-in on that path, with each flag.
TEST(NativeFidelity, RegExpBuiltInsWorkWithoutTheHiddenFlagsProperty) {
    ScriptControl sc;
    expectAll(sc, {
        {"typeof RegExp.prototype.flags + ('flags' in /x/g)", "undefinedfalse"},
        {"'abc'.search(/b/)", "1"},
        {"'aBc'.search(/b/i)", "1"},
        {"'a\\nb'.search(/^b/m)", "2"},
        {"String(/b/g) + String(/b/i) + String(/b/m) + String(/b/gim) + String(/b/)", "/b/g/b/i/b/m/b/gim/b/"},
        {"/a\\/b/g.toString()", "/a\\/b/g"},
        {"RegExp.prototype.toString.call({source: 's', global: true, multiline: true})", "/s/gm"},
        {"var r = new RegExp(/b/gi); r.source + r.global + r.ignoreCase + r.multiline", "btruetruefalse"},
        {"RegExp(/b/m).multiline", "true"},
        {"new RegExp(/b/g, 'i').global + '' + new RegExp(/b/g, 'i').ignoreCase", "falsetrue"},
        {"'abab'.match(/b/g).length + ':' + 'abab'.match(/B/i).index", "2:1"},
        {"'a-b-c'.replace(/-/g, '+') + 'A-B'.replace(/b/i, function (m) { return m.toLowerCase(); })", "a+b+cA-b"},
        {"'a1b2c'.split(/\\d/).join('|')", "a|b|c"},
        // big.js, bignumber.js and decimal.js test numbers this way.
        {"/^-?(\\d+(\\.\\d*)?|\\.\\d+)(e[+-]?\\d+)?$/i.test('1.5e3') + '' + '12.50'.search(/\\.?0+$/)", "true4"},
    });
}

TEST(NativeFidelity, FunctionToStringGivesTheSourceTextAsWritten) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("// a module\r\n"
                           "function add(a, b) { /* sum */ return a +  b; }\r\n"
                           "var named = function inner(x) {\r\n"
                           "  return x; // tail\r\n"
                           "};\n"
                           "var holder = {m: function(){return '\xE4\xB8\xAD\xF0\x9F\x98\x80';}};\n"
                           "function outer() { function nested( ) {} return nested; }\n"
                           "var anonymous = (function () { return function(){}; })();\n"))
        << sc.Error().Description;
    expectAll(sc, {
        {"add.toString()", "function add(a, b) { /* sum */ return a +  b; }"},
        {"String(named)", "function inner(x) {\r\n  return x; // tail\r\n}"},
        {"'' + holder.m", "function(){return '\xE4\xB8\xAD\xF0\x9F\x98\x80';}"},
        {"String(outer())", "function nested( ) {}"},
        {"String(anonymous)", "function(){}"},
        {"String(eval('(function  (a) { return a })'))", "function  (a) { return a }"},
        {"String(new Function('a', 'b', 'return a + b'))", "function anonymous(a,b) {\nreturn a + b\n}"},
        {"String(Function('return 1'))", "function anonymous() {\nreturn 1\n}"},
        // Built-ins, and the profile's functions that stand for them, are native.
        {"String(Math.max)", "\nfunction max() {\n    [native code]\n}\n"},
        {"String(parseInt)", "\nfunction parseInt() {\n    [native code]\n}\n"},
        {"/\\[native code\\]/.test(String(''.split)) + '' + /\\[native code\\]/.test(String(Error))", "truetrue"},
        // A self-defending check: a function tests its own text against a pattern.
        {"(function () { var f = function () { return 'dev'; };"
         " return /^function\\s*\\(\\)\\s*\\{\\s*return\\s*'dev';\\s*\\}$/.test(f + ''); })()",
         "true"},
        {"add.toString().length", "47"},
    });
}

// Where a run-time error was raised: its line and its column (0-based, UTF-16 units), in
// the chunk of the function that raised it, also deep in calls through built-ins.
TEST(NativeFidelity, RunTimeErrorsCarryTheirLineAndColumn) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("var x = 1;\n"
                           "function g(s) {\n"
                           "  return s.replace(/a/g, function (m) {\n"
                           "    return m.nope.deeper;\n"
                           "  });\n"
                           "}\n"
                           "function h() { return g('aaa'); }\n"
                           "function thrower() { throw new Error('boom'); }\n"
                           "function min(){var a=1;var b=null;return a+b.c;}function other(){return 1;}\n"
                           "function wide() { var s = '\xE4\xB8\xAD\xF0\x9F\x98\x80'; return s.no.no; }\n"
                           "function sorter() { [2, 1].sort(function (a, b) { return a.q.r; }); }\n"
                           "function profiled() { return new ActiveXObject('x'); }\n"))
        << sc.Error().Description;
    struct Where {
        const char* call;
        int line;
        int column;
        const char* text;
    };
    const std::vector<Where> cases = {
        {"h()", 4, 18, "    return m.nope.deeper;"},
        {"thrower()", 8, 43, "function thrower() { throw new Error('boom'); }"},
        {"min()", 9, 45, "function min(){var a=1;var b=null;return a+b.c;}function other(){return 1;}"},
        // 中 is one unit, the emoji two.
        {"wide()", 10, 45, "function wide() { var s = '\xE4\xB8\xAD\xF0\x9F\x98\x80'; return s.no.no; }"},
        {"sorter()", 11, 61, "function sorter() { [2, 1].sort(function (a, b) { return a.q.r; }); }"},
        // Raised inside the profile: placed at the user's call.
        {"profiled()", 12, 50, "function profiled() { return new ActiveXObject('x'); }"},
    };
    for (const auto& [call, line, column, text] : cases) {
        EXPECT_TRUE(sc.Eval(call).isEmpty()) << call;
        EXPECT_EQ(sc.Error().Line, line) << call;
        EXPECT_EQ(sc.Error().Column, column) << call;
        EXPECT_EQ(sc.Error().Text, text) << call;
    }
    // The column is that of the failing statement's token, not of the line's start, on
    // every line of a module, and a thrown value without a place keeps 0.
    EXPECT_FALSE(sc.AddCode("var ok = 1;\n  ok.a.b = 2;"));
    EXPECT_EQ(sc.Error().Line, 2);
    EXPECT_GT(sc.Error().Column, 2);
    EXPECT_FALSE(sc.AddCode("throw 'text';"));
    EXPECT_EQ(sc.Error().Line, 0);
    EXPECT_EQ(sc.Error().Column, 0);
}

TEST(NativeFidelity, TheControlsErrorTextNamesLineAndColumn) {
    quillbox::engine::JScript js;
    js.AddCode("function f() {\n  var o = null; return o.p;\n}");
    EXPECT_TRUE(js.Run("f").isEmpty());
    const std::string text = js.ErrorText();
    EXPECT_NE(text.find("【第2 行，第25列 错误】"), std::string::npos) << text;
}

}  // namespace
