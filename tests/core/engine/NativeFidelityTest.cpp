// The native engine where real code meets the patched Duktape underneath the JScript profile:
// built-ins that must not notice what the profile hides, functions' source text, and where
// errors are raised.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine/JScript.h"
#include "core/engine/ScriptControl.h"
#include "core/engine/SupportScripts.h"

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

// JScript 5.x's documented departures from ES3, which user code meets in the native engine.
// Sources: Microsoft's JScript documentation (learn.microsoft.com, "Windows Scripting -
// JScript": unshift Method, @cc_on Statement, Conditional Compilation, Conditional Compilation
// Variables, @if...@elif...@else...@end Statement, @set Statement, JScript run-time error 5028)
// and Microsoft's "JScript Deviations from ES3" (the JScript team, 2007), whose sections are
// named below.
TEST(NativeFidelity, JScriptDeviationsFromES3AreWhatCodeMeets) {
    ScriptControl sc;
    expectAll(sc, {
        // Deviations, "Array initialiser": a trailing comma adds an element.
        {"[1, 2,].length + ':' + [1, 2].length + ':' + [, 1].length", "3:2:2"},
        // Deviations, "String literals": "\v" is the letter v, not a vertical tab.
        {"'\\v' === 'v' && '\\v'.length", "1"},
        // unshift Method / Deviations "Array.prototype.unshift": the result is undefined.
        {"var a = [1]; typeof a.unshift(0) + ':' + a.join()", "undefined:0,1"},
        // Deviations "Array.prototype.splice": no delete count deletes nothing.
        {"var b = [1, 2, 3]; b.splice(1).length + ':' + b.join() + ':' + b.splice(1, 1).join()", "0:1,2,3:2"},
        // Deviations "Array.prototype.join": an undefined separator is the text "undefined".
        {"[1, 2].join(undefined) + ':' + [1, 2].join() + ':' + [1, 2].join('-') + ':' + String([1, [2, 3]])",
         "1undefined2:1,2:1-2:1,2,3"},
        // Deviations "The try statement": the catch variable is visible in the enclosing scope.
        {"(function () { try { throw 5; } catch (e) {} return typeof e + e; })()", "number5"},
        {"(function () { var e = 1; try { throw 2; } catch (e) { e = 3; } return e; })()", "3"},
        {"(function () { var r = []; try { throw 'x'; } catch (e) { r.push(function () { return e; }); } return r[0](); })()",
         "x"},
        // Deviations "Named function expressions": the name is declared in the enclosing scope,
        // as a function of its own, hoisted.
        {"(function () { var f = function g() { return 1; }; return typeof g + (f === g); })()", "functionfalse"},
        {"(function () { var early = typeof h; var f = function h() {}; return early; })()", "function"},
        {"(function () { var f = function fact(n) { return n < 2 ? 1 : n * fact(n - 1); }; return f(5); })()", "120"},
        // Deviations "Function.prototype.apply": only an array or an arguments object (run-time
        // error 5028, "Array or arguments object expected").
        {"(function () { try { Math.max.apply(null, {length: 1, 0: 5}); return 'taken'; } catch (e) {"
         " return (e instanceof TypeError) + ' ' + (e.number & 0xFFFF); } })()",
         "true 5028"},
        {"Math.max.apply(null, [1, 3]) + (function () { return Math.max.apply(null, arguments); })(4, 2)"
         " + Math.max.apply(null) + Math.max.apply(null, null)",
         "-Infinity"},
        {"String(Math.max.apply(null, [1, 3])) + (function () { return Math.max.apply(null, arguments); })(4, 2)", "34"},
        // Deviations "Date.parse": no ISO 8601 format.
        {"isNaN(Date.parse('2020-01-02')) + ':' + isNaN(new Date('2020-01-02T03:04:05Z'))", "true:true"},
        {"new Date(2020, 0, 2).getDate() + ':' + new Date(0).getTime() + ':' + Date.UTC(2000, 0, 1) + ':' + typeof Date()"
         " + ':' + (new Date() instanceof Date) + ':' + (new Date(5).constructor === Date)",
         "2:0:946684800000:string:true:true"},
        // Deviations "String indexing": a string has no index properties.
        {"typeof 'abc'[1] + ':' + typeof new String('ab')[0] + ':' + 'abc'.charAt(1) + 'abc'.length + ('abc'[5] === undefined)",
         "undefined:undefined:b3true"},
        // Functions have no name property.
        {"typeof (function f() {}).name + typeof function () {}.name", "undefinedundefined"},
        // toUTCString / toGMTString Method: "Thu, 1 Jan 1970 00:00:00 UTC" (code builds cookie
        // expiry dates with it), and Date.parse reads what the date methods write.
        {"new Date(86400000).toUTCString() + '|' + new Date(0).toGMTString()",
         "Fri, 2 Jan 1970 00:00:00 UTC|Thu, 1 Jan 1970 00:00:00 UTC"},
        {"var d = new Date(2020, 0, 2, 22, 5, 9); (Date.parse(d.toString()) === d.getTime()) + ':' +"
         " (Date.parse(d.toUTCString()) === d.getTime()) + ':' + /^Thu Jan 2 22:05:09 UTC[+-]\\d{4} 2020$/.test(d) +"
         " ':' + d.toDateString() + ':' + /^22:05:09 UTC[+-]\\d{4}$/.test(d.toTimeString())",
         "true:true:true:Thu Jan 2 2020:true"},
        // Date.parse: "m/d/yyyy", "Month d, yyyy" with AM/PM, "d Mon yyyy ... GMT"; nonsense is NaN.
        {"(Date.parse('1/2/2020') === new Date(2020, 0, 2).getTime()) + ':' +"
         " (Date.parse('Jan 2, 2020 10:00 PM') === new Date(2020, 0, 2, 22, 0).getTime()) + ':' +"
         " Date.parse('Thu, 01 Jan 1970 00:00:10 GMT') + ':' + isNaN(Date.parse('not a date')) + ':' + new Date('x')",
         "true:true:10000:true:NaN"},
    });
}

// Microsoft's JScript documentation, "Date.parse Method (Windows Scripting - JScript)"
// (learn.microsoft.com/previous-versions/windows/internet-explorer/ie-developer/
// scripting-articles/k4w173wk(v=vs.84)): the rules of what parse reads, one row per rule, and
// what the rules call an error (NaN).
TEST(NativeFidelity, DateParseReadsTheFormsJScriptsDocumentationLists) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("function at(y, mo, d, h, mi, s) { return new Date(y, mo, d, h || 0, mi || 0, s || 0).getTime(); }\n"
                           "function utc(y, mo, d, h, mi) { return Date.UTC(y, mo, d, h || 0, mi || 0); }\n"
                           "function same(text, time) { return Date.parse(text) === time; }\n"))
        << sc.Error().Description;
    expectAll(sc, {
        // "Short dates can use either a "/" or "-" date separator, but must follow the
        // month/day/year format".
        {"same('7/20/96', at(1996, 6, 20)) && same('7-20-96', at(1996, 6, 20)) && same('1/2/2020', at(2020, 0, 2))", "true"},
        // "Long dates of the form "July 10 1995" can be given with the year, month, and day in
        // any order, and the year in 2-digit or 4-digit form ... greater than or equal to 70."
        {"same('July 10 1995', at(1995, 6, 10)) && same('10 July 1995', at(1995, 6, 10)) &&"
         " same('1995 July 10', at(1995, 6, 10)) && same('July 10 95', at(1995, 6, 10)) && isNaN(Date.parse('July 10 69'))",
         "true"},
        // "Any text inside parentheses is treated as a comment. These parentheses may be nested."
        {"same('Jan 2 2020 (a (nested) comment) 10:00', at(2020, 0, 2, 10))", "true"},
        // "Both commas and spaces are treated as delimiters. Multiple delimiters are permitted."
        {"same('Jan,,  2 ,2020', at(2020, 0, 2))", "true"},
        // "Month and day names must have two or more characters. Two character names that are
        // not unique are resolved as the last match. For example, "Ju" is resolved as July".
        {"same('Ju 4 1999', at(1999, 6, 4)) && same('Ma 4 1999', at(1999, 4, 4)) && same('Sept 4 1999', at(1999, 8, 4))"
         " && same('We Jan 5 2000', at(2000, 0, 5)) && isNaN(Date.parse('J 4 1999'))",
         "true"},
        // "The stated day of the week is ignored if it is incorrect".
        {"same('Tuesday November 9 1996', at(1996, 10, 9))", "true"},
        // "JScript handles all standard time zones, as well as ... UTC and ... GMT."
        {"same('Jan 1 2000 10:00 UTC', utc(2000, 0, 1, 10)) && same('Jan 1 2000 10:00 GMT', utc(2000, 0, 1, 10)) &&"
         " same('Jan 1 2000 10:00 EST', utc(2000, 0, 1, 15)) && same('Jan 1 2000 10:00 PDT', utc(2000, 0, 1, 17)) &&"
         " same('Jan 1 2000 10:00 UTC+0800', utc(2000, 0, 1, 2)) && same('Jan 1 2000 10:00 GMT-0130', utc(2000, 0, 1, 11, 30))",
         "true"},
        // "Hours, minutes, and seconds are separated by colons, although all need not be
        // specified. "10:", "10:11", and "10:11:12" are all valid."
        {"same('Jan 1 2000 10:', at(2000, 0, 1, 10)) && same('Jan 1 2000 10:11', at(2000, 0, 1, 10, 11)) &&"
         " same('Jan 1 2000 10:11:12', at(2000, 0, 1, 10, 11, 12))",
         "true"},
        // "it is an error to specify "PM" for times later than 12 noon" (12 AM is midnight).
        {"isNaN(Date.parse('Jan 1 2000 23:15 PM')) && same('Jan 1 2000 11:15 PM', at(2000, 0, 1, 23, 15)) &&"
         " same('Jan 1 2000 12:00 AM', at(2000, 0, 1)) && same('Jan 1 2000 12:30 PM', at(2000, 0, 1, 12, 30))",
         "true"},
        // "A string containing an invalid date is an error. For example, a string containing
        // two years or two months is an error."
        {"isNaN(Date.parse('Jan 1 2000 1999')) + ':' + isNaN(Date.parse('Jan Feb 1 2000')) + ':' +"
         " isNaN(Date.parse('1/2/2000 Mar')) + ':' + isNaN(Date.parse('13/1/2000')) + ':' + isNaN(Date.parse('Jan 32 2000'))",
         "true:true:true:true:true"},
        // The documentation's own examples, and what the engine underneath alone would read.
        {"same('Jan 5, 1996 08:47:00', at(1996, 0, 5, 8, 47)) && same('November 1, 1997 10:15 AM', at(1997, 10, 1, 10, 15))",
         "true"},
        {"isNaN(Date.parse('2000/01/02')) + ':' + isNaN(Date.parse('2000-01-02 10:00')) + ':' + isNaN(new Date('1.2.2000'))",
         "true:true:true"},
    });
}

// What the engine keeps for itself is out of scripts' sight: functions have no name (built-ins
// and the profile's functions included; toString still names them), the record of the last
// match and the host's reader of it are not properties any script can find, and JScript's own
// objects show no members of ours.
TEST(NativeFidelity, WhatTheEngineKeepsForItselfIsOutOfSight) {
    ScriptControl sc;
    expectAll(sc, {
        // Before any other expression here declares a global (n and k are this one's own).
        {"var n = []; for (var k in RegExp) n.push(k); for (k in this) if (k != 'n' && k != 'k') n.push(k);"
         " for (k in new Enumerator([1])) n.push(k); n.join()",
         ""},
        {"var fs = [Math.max, parseInt, escape, String.prototype.split, Array.prototype.join, Date, Date.parse, Error,"
         " Object, RegExp.prototype.exec, ActiveXObject, Enumerator, ScriptEngine, Function.prototype];"
         " var seen = []; for (var i = 0; i < fs.length; i++) if ('name' in fs[i] || fs[i].name !== undefined) seen.push(i);"
         " seen.join()",
         ""},
        {"String(Math.max) + String(Date)", "\nfunction max() {\n    [native code]\n}\n\nfunction Date() {\n    [native code]\n}\n"},
        {"/a(b)/.exec('xab'); ('\\x01lastMatch' in RegExp) + ':' + typeof __quillboxLastMatch + ':' +"
         " ('__quillboxLastMatch' in this) + ':' + RegExp.$1",
         "false:undefined:false:b"},
    });
}

// JScript documentation, RegExp Object: the properties $1...$9, index, input ($_), lastIndex,
// lastMatch, lastParen, leftContext and rightContext describe the last successful match,
// whichever method made it.
TEST(NativeFidelity, TheRegExpStaticsDescribeTheLastMatch) {
    ScriptControl sc;
    expectAll(sc, {
        {"RegExp.$1 + '|' + RegExp.lastMatch + '|' + RegExp.index", "||-1"},
        {"/(\\d+)-(\\d+)/.exec('tel 010-1234 x'); [RegExp.$1, RegExp.$2, RegExp.$3, RegExp.lastMatch, RegExp.lastParen,"
         " RegExp.leftContext, RegExp.rightContext, RegExp.input, RegExp.$_, RegExp.index, RegExp.lastIndex].join('|')",
         "010|1234||010-1234|1234|tel | x|tel 010-1234 x|tel 010-1234 x|4|12"},
        // Matches made inside the engine count too; a failed one changes nothing.
        {"'a=1,b=2'.replace(/(\\w)=(\\d)/g, '$2$1'); RegExp.$1 + RegExp.$2 + RegExp.leftContext", "b2a=1,"},
        {"'xyz'.search(/y/); /q/.test('abc'); RegExp.lastMatch + RegExp.rightContext", "yz"},
        {"'k:v'.match(/(k):/); 'one two'.split(/(\\s)/); RegExp.$1 === ' ' && RegExp.input", "one two"},
        {"var n = []; for (var k in RegExp) n.push(k); n.length", "0"},
    });
}

// Conditional compilation, as the documentation's own examples use it.
TEST(NativeFidelity, ConditionalCompilationRunsAsJScriptDoes) {
    ScriptControl sc;
    expectAll(sc, {
        // @cc_on Statement / Conditional Compilation: the guarded comment is code.
        {"/*@cc_on @*/\n/*@if (@_jscript_version >= 5)\n'JScript 5 or better';\n@else @*/\n'other';\n/*@end @*/",
         "JScript 5 or better"},
        {"/*@cc_on 'on: ' + @_jscript_version + ' ' + @_jscript + ' ' + @_win32 + ' ' + @_mac @*/", "on: 5.8 true true NaN"},
        {"/*@cc_on @*/ /*@if (@_win16) 'w16' @elif (@_win32 && !@_mac) 'w32' @else 'other' @end @*/", "w32"},
        // @set Statement.
        {"/*@cc_on @set @level = 3 @*/ /*@if (@level > 2) 'high' @else 'low' @end @*/", "high"},
        // Without @cc_on the comments stay comments, and a string holding directives is text.
        {"/*@if (@_jscript) 'cc' @end @*/ 'plain'", "plain"},
        {"'/*@cc_on @*/ /*@if (@_jscript) x @end @*/'.length", "41"},
    });
    // Lines and columns of an error are the user's.
    EXPECT_FALSE(sc.AddCode("/*@cc_on @*/\n/*@if (@_jscript)\n  null.boom;\n@end @*/"));
    EXPECT_EQ(sc.Error().Line, 3);
    EXPECT_EQ(sc.Error().Text, "  null.boom;");
}

// Our own support scripts run under the same profile: the JSON support script and the
// listing helper keep working with JScript's arrays, catch and function expressions.
TEST(NativeFidelity, TheSupportScriptsStillWorkUnderJScriptsRules) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode(quillbox::engine::jsonSupportScript())) << sc.Error().Description;
    expectAll(sc, {
        {"QUILLBOX.JSON.stringify({a: [1, 2, {b: 'v\\u000b'}], c: null, d: new Date(0) > 0})",
         "{\"a\":[1,2,{\"b\":\"v\\u000b\"}],\"c\":null,\"d\":false}"},
        {"QUILLBOX.JSON.parse('{\"x\":[1,\"2\",{\"y\":true}]}').x[2].y", "true"},
        {"(function () { try { QUILLBOX.JSON.parse('{bad'); return 'parsed'; } catch (e) { return 'refused'; } })()",
         "refused"},
    });
}

// Strings built by `+=` grow in place when the old string dies with the concatenation; what
// a script sees of them must be what a copy would give: equal to the same text built another
// way (one string per text), usable as keys, unchanged where a copy was kept, with the right
// length in characters.
TEST(NativeFidelity, StringsBuiltByAppendingBehaveAsAnyOther) {
    ScriptControl sc;
    ASSERT_TRUE(sc.AddCode("function build(piece, n) { var s = ''; for (var i = 0; i < n; i++) s += piece; return s; }\n"
                           "function repeat(piece, n) { return new Array(n + 1).join(piece); }\n"))
        << sc.Error().Description;
    expectAll(sc, {
        {"build('ab', 1000) === repeat('ab', 1000)", "true"},
        {"build('ab', 1000).length + ':' + build('ab', 1000).slice(1995) + ':' + build('ab', 1000).charAt(1999)",
         "2000:babab:b"},
        {"var o = {}; o[repeat('k', 300)] = 1; o[build('k', 300)] + ':' + (repeat('k', 300) in o)", "1:true"},
        {"var t = {}; t[build('q', 200)] = 'a'; t[build('q', 201)] = 'b'; t[repeat('q', 200)] + t[repeat('q', 201)]", "ab"},
        {"build('a,b;', 200).split(',').length + ':' + build('a,b;', 200).replace(/;/g, '').length", "201:600"},
        {"build('x', 500).indexOf('xx', 497) + ':' + build('x', 500).lastIndexOf('x')", "497:499"},
        // A copy kept before appending does not change.
        {"(function () { var s = repeat('c', 100), kept = s; s += 'X'; s += 'Y';"
         " return kept.length + ':' + kept.charAt(99) + ':' + s.slice(-3); })()",
         "100:c:cXY"},
        {"(function () { var s = repeat('c', 100), list = []; for (var i = 0; i < 3; i++) { s += i; list.push(s); }"
         " return list.join('|').length + ':' + list[0].slice(-1) + list[1].slice(-2) + list[2].slice(-3); })()",
         "308:001012"},
        // A closure's variable, and a valueOf that reassigns the string while it is appended to.
        {"(function () { var s = repeat('e', 100), f = function () { return s; }; s += 'E'; return f().length; })()", "101"},
        {"(function () { var s = repeat('h', 100); s += {valueOf: function () { s = 'other'; return 'V'; }};"
         " return s.length + s.slice(-2); })()",
         "101hV"},
        // Characters beyond ASCII, before and after the length is known, and surrogate pairs.
        {"build('\\u4e2d\\u6587x', 100).length + ':' + build('\\u4e2d\\u6587x', 100).charCodeAt(298).toString(16)", "300:6587"},
        {"(function () { var s = build('abc', 100); var n = s.length; s += '\\u00e9'; for (var i = 0; i < 10; i++) s += 'z';"
         " return n + ':' + s.length + ':' + s.charCodeAt(300) + ':' + s.charAt(310); })()",
         "300:311:233:z"},
        {"build('x\\ud83d\\ude00', 100).length + ':' + build('x\\ud83d\\ude00', 100).charCodeAt(299).toString(16)", "300:de00"},
        // `s += y` where y runs code: y reads or replaces s; the value of the assignment.
        {"(function () { var s = repeat('b', 100); s += s.length; s += (s = 'x'); return s.length + s.slice(-4); })()",
         "104100x"},
        {"(function () { var s = repeat('b', 100), f = function () { s = 'changed'; return 'F'; }; s += f(); return s.slice(-2); })()",
         "bF"},
        {"(function () { var s = repeat('b', 100), g = function () { return s.length; };"
         " for (var i = 0; i < 3; i++) s += g(); return s.slice(100); })()",
         "100103106"},
        {"(function () { var s = repeat('b', 100), t = s, kept = s; s += (t += 't'); var r = (s += String.fromCharCode(65));"
         " return s.length + ':' + t.length + ':' + kept.length + ':' + (r === s); })()",
         "202:101:100:true"},
        {"(function () { var r = ''; for (var i = 0; i < 5000; i++) r += String.fromCharCode(97 + i % 26);"
         " return r.length + r.slice(0, 3) + r.slice(-1); })()",
         "5000abch"},
        // Appending itself, nothing, numbers and objects; a global variable.
        {"(function () { var d = repeat('d', 64); d += d; d += ''; d += 5; d += {toString: function () { return 'T'; }};"
         " return d.length + d.slice(-3); })()",
         "130d5T"},
        {"var G = ''; for (var i = 0; i < 1000; i++) G += 'g'; G.length + ':' + (G === repeat('g', 1000))", "1000:true"},
        // Digits only: a long text of digits is never an array index.
        {"var arr = []; arr[build('1', 70)] = 3; arr.length + ':' + arr[repeat('1', 70)]", "0:3"},
        {"(function () { var s = build('w', 69) + '!'; switch (s) { case repeat('w', 69) + '!': return 'case'; } return 'none'; })()",
         "case"},
    });
}

// An array written first at its end, or filled from the back, loses its array part and gets
// it back once it is dense; nothing a script sees may change: elements, holes, length, order.
TEST(NativeFidelity, ArraysFilledFromTheEndBehaveAsAnyOther) {
    ScriptControl sc;
    expectAll(sc, {
        {"var a = []; a[999] = undefined; for (var i = 0; i < a.length; i++) a[i] = i * 2;"
         " var sum = 0; for (var i = 0; i < a.length; i++) sum += a[i]; a.length + ':' + a[998] + ':' + sum",
         "1000:1996:999000"},
        {"var b = []; for (var i = 2999; i >= 0; i--) b[i] = 3000 - i; b.length + ':' + b[0] + ':' + b[2999]", "3000:3000:1"},
        {"b.sort(function (x, y) { return x - y; }); b[0] + ':' + b[2999] + ':' + b.slice(0, 3).join('-')", "1:3000:1-2-3"},
        {"b.length = 10; b.length + ':' + b[9] + ':' + b[10] + ':' + (10 in b)", "10:10:undefined:false"},
        // Holes stay holes, and for-in gives the indexes in ascending order.
        {"var c = []; c[5000] = 'x'; for (var i = 0; i < 2000; i++) c[i] = i;"
         " (3000 in c) + ':' + (1999 in c) + ':' + c.length",
         "false:true:5001"},
        {"var keys = []; for (var k in c) keys.push(k); keys.length + ':' + keys[0] + ':' + keys[1999] + ':' + keys[2000]",
         "2001:0:1999:5000"},
        {"delete c[5]; (5 in c) + ':' + c[6] + ':' + c.length", "false:6:5001"},
        // Named properties stay beside the elements; the methods see every element.
        {"var d = []; d[400] = 1; d.foo = 'bar'; for (var i = 0; i < 400; i++) d[i] = i;"
         " var n = 0; for (var k in d) n++; d.foo + ':' + (d[399] + d[400]) + ':' + n",
         "bar:400:402"},
        {"d.push(7); d.length + ':' + d[401] + ':' + d.pop() + ':' + d.length + ':' + d.reverse()[0] + ':' + [].concat(d).length",
         "402:7:7:401:1:401"},
        {"var e = []; e[10000] = 0; for (var i = 0; i < 10000; i += 2) e[i] = 1;"
         " e[9998] + ':' + e[9999] + ':' + e.length + ':' + e.join('').length",
         "1:undefined:10001:5001"},
        // A sparse array stays sparse: far writes with few elements.
        {"var f = []; f[100000] = 1; for (var i = 0; i < 100; i++) f[i * 1000] = i; f[99000] + ':' + f.length", "99:100001"},
    });
}

}  // namespace
