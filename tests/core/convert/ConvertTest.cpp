// The conversion for the native engine: ES2015+ syntax becomes code the native engine's gate
// accepts and runs with the same results; what has no ES3 form is reported where it is; the
// shims follow the built-ins the code uses; the check by running compares both engines.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/convert/Convert.h"
#include "core/platform/Assets.h"
#include "core/tools/Stop.h"

using namespace quillbox::convert;

namespace {

Converter& converter() {
    static Converter c;  // Babel loads once for the whole test program
    return c;
}

std::vector<std::string> shimNames(const std::vector<Shim>& shims) {
    std::vector<std::string> names;
    for (const Shim& s : shims)
        names.push_back(s.asset);
    return names;
}

// Each case: modern code and an expression whose value the converted code must give in the
// native engine, as ChakraCore gives it for the original.
struct SyntaxCase {
    const char* what;
    const char* code;
    const char* expression;
    const char* expected;  // "type:value"
};

TEST(Convert, ModernSyntaxRunsInTheNativeEngineWithTheOriginalsResults) {
    const SyntaxCase cases[] = {
        {"arrows and const", "const twice = (x) => x * 2;", "twice(21)", "number:42"},
        {"let in loops keeps each turn's value",
         "var fs = []; for (let i = 0; i < 3; i++) fs.push(() => i); var r = fs[0]() + fs[2]();", "r", "number:2"},
        {"classes and inheritance",
         "class A { constructor(n) { this.n = n; } get2() { return this.n * 2; } static make() { return new B(5); } }\n"
         "class B extends A { get2() { return super.get2() + 1; } }",
         "A.make().get2()", "number:11"},
        {"template strings", "var who = 'E'; var s = `hi ${who}!\\n${1 + 1}`;", "s", "string:hi E!\n2"},
        {"destructuring, defaults and rest",
         "function f({a, b = 2}, [c, ...d]) { return a + b + c + d.length; }", "f({a: 1}, [3, 4, 5])", "number:8"},
        {"spread in calls and arrays", "var m = Math.max(...[1, 9, 3]); var arr = [0, ...[1, 2]];", "m + arr.length",
         "number:12"},
        {"spread of a string and of arguments is by element, not the whole",
         "var chars = [...'abc']; function f() { return [...arguments]; }", "chars.join('|') + f(1, 2).length",
         "string:a|b|c2"},
        {"reserved words as property names and trailing commas",
         "var o = {default: 1, class: 2, new: 3,}; o.delete = 4; var list = [1, 2,];",
         "o.default + o.class + o['new'] + o.delete + list.length", "number:12"},
        {"shorthand, computed keys and methods",
         "var k = 'x'; var v = 7; var o = {v, [k + 1]: 2, m() { return this.v; }};", "o.m() + o.x1", "number:9"},
        {"exponent operator", "var p = 2 ** 10;", "p", "number:1024"},
        {"for...of over an array", "var sum = 0; for (const x of [1, 2, 3]) sum += x;", "sum", "number:6"},
    };
    for (const SyntaxCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<SourceModule> modules{{"m", c.code}};
        const Conversion conversion = converter().convert(modules);
        ASSERT_TRUE(conversion.ok) << conversion.error;
        EXPECT_TRUE(conversion.problems.empty()) << conversion.problems.front().construct;
        const RunCheck check = checkByRunning(modules, conversion, {c.expression});
        ASSERT_TRUE(check.loaded) << check.loadError << "\n" << conversion.modules[0].code;
        ASSERT_EQ(check.expressions.size(), 1u);
        EXPECT_EQ(check.expressions[0].original, c.expected);
        EXPECT_EQ(check.expressions[0].converted, c.expected) << conversion.modules[0].code;
        EXPECT_TRUE(check.allAgree());
    }
}

TEST(Convert, WhatHasNoES3FormIsReportedWithItsModuleLineAndColumn) {
    struct Case {
        const char* code;
        int line;
        int column;
        const char* construct;
    };
    const Case cases[] = {
        {"var a = 1;\nvar o = { get size() { return 1; } };", 2, 11, "getter size"},
        {"class C {\n  set v(x) {}\n}", 2, 3, "class setter v"},
        {"var p = new Proxy({}, {});", 1, 13, "Proxy"},
        {"var r = /a/y;", 1, 9, "/a/y"},
        {"Object.defineProperty(o, 'x', { get: function () { return 1; } });", 1, 1, "Object.defineProperty with get/set"},
        {"var n = 10n;", 1, 9, "10n"},
        {"var t = Symbol.toPrimitive;", 1, 9, "Symbol.toPrimitive"},
        {"var w = new WeakMap();", 1, 13, "WeakMap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Conversion conversion = converter().convert({{"mod", c.code}});
        ASSERT_TRUE(conversion.ok) << conversion.error;
        EXPECT_FALSE(conversion.complete());
        ASSERT_FALSE(conversion.problems.empty());
        const Problem& p = conversion.problems.front();
        EXPECT_EQ(p.module, "mod");
        EXPECT_EQ(p.line, c.line);
        EXPECT_EQ(p.column, c.column);
        EXPECT_EQ(p.construct, c.construct);
        EXPECT_FALSE(p.why.empty());
        const std::vector<std::string> lines = reportLines(conversion);
        EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) {
                                   return l.find("mod:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ") !=
                                          std::string::npos;
                               }),
                  lines.end());
    }
}

TEST(Convert, WhatMayDifferIsSaidOnlyWhereItCan) {
    // subarray copies under the typed-array shim: said where the shim is added, not elsewhere.
    const Conversion typed = converter().convert({{"t", "var a = new Uint8Array(4);\nvar b = a.subarray(1);"}});
    ASSERT_EQ(typed.warnings.size(), 1u);
    EXPECT_EQ(typed.warnings[0].construct, ".subarray()");
    EXPECT_EQ(typed.warnings[0].line, 2);
    EXPECT_TRUE(typed.complete());  // a warning is not a failure
    const Conversion other = converter().convert({{"o", "var b = list.subarray(1);"}});
    EXPECT_TRUE(other.warnings.empty());
    // Code made at run time is not converted, whether Function is called or passed around.
    const Conversion made = converter().convert({{"f", "var f = new Function('return 1');\nvar F = ok ? Function : g;"}});
    ASSERT_EQ(made.warnings.size(), 2u);
    EXPECT_EQ(made.warnings[0].construct, "Function(...)");
    EXPECT_EQ(made.warnings[1].construct, "Function");
    const std::vector<std::string> lines = reportLines(made);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "may differ in JScript 5.7: f:2:14: Function — code made at run time is not converted: the old "
                        "engine refuses it if it uses ES2015+ syntax"),
              lines.end());
}

// JScript 5.7 strings have no index properties: reads that may index a string read its
// characters after the conversion, as ES5 does, and reads of arrays stay as they were.
TEST(Convert, ReadsThatMayIndexAStringGiveItsCharacters) {
    const SyntaxCase cases[] = {
        {"a parameter tested for a string (base-x)",
         "function ends(s) { if (typeof s !== 'string') throw new TypeError('text'); return s[0] + s[s.length - 1]; }",
         "ends('abc')", "string:ac"},
        {"a parameter with string methods, in a loop over its length",
         "function codes(s) { var out = []; for (var i = 0; i < s.length; i++) out.push(s[i] + s.charCodeAt(i)); return out.join(); }",
         "codes('ab')", "string:a97,b98"},
        {"a variable of the module that String() fills, read in another function (json5)",
         "var source, pos; function parse(t) { source = String(t); pos = 1; return peek(); }\n"
         "function peek() { if (source[pos]) return source[pos]; }",
         "parse('xyz')", "string:y"},
        {"a parameter its callers pass text to (json5's stringify), and a switch on typeof",
         "function quote(v) { var out = ''; for (var i = 0; i < v.length; i++) out += '<' + v[i] + '>'; return out; }\n"
         "function show(x) { if (typeof x === 'string') return quote(x); return String(x); }\n"
         "function first(x) { switch (typeof x) { case 'string': return x[0]; default: return x; } }",
         "show('ab') + first('zq') + first(1)", "string:<a><b>z1"},
        {"a property that holds text elsewhere in the program",
         "function P(t) { this.input = t.trim(); } P.prototype.at = function (i) { return this.input[i]; };",
         "new P(' hey ').at(1)", "string:e"},
        {"past the end, not a whole number, or a key that is no index",
         "function at(s, k) { s = s.toUpperCase(); return s[k]; }",
         "[typeof at('ab', 5), at('ab', 'length'), typeof at('ab', -1), typeof at('ab', 1.5), at('ab', '1'),"
         " typeof at('ab', '01')].join()",
         "string:undefined,2,undefined,undefined,B,undefined"},
        {"a key with a side effect is read once",
         "var t = 'abc'.substr(0), i = 0; var pair = t[i++] + t[i++];", "pair + i", "string:ab2"},
        {"arrays and objects read through the same code keep their members",
         "function second(x) { if (typeof x === 'string') return x.charAt(1); return x[1]; }\n"
         "function pick(x, k) { if (typeof x == 'string') x = x.toUpperCase(); return x[k]; }",
         "second([5, 6]) + ':' + pick({a: 7}, 'a') + ':' + pick('q', 0) + pick([8], 0)", "string:6:7:Q8"},
    };
    for (const SyntaxCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<SourceModule> modules{{"m", c.code}};
        const Conversion conversion = converter().convert(modules);
        ASSERT_TRUE(conversion.ok) << conversion.error;
        ASSERT_FALSE(conversion.shims.empty()) << conversion.modules[0].code;
        EXPECT_EQ(conversion.shims.front().asset, "shims/string-index.js");
        const RunCheck check = checkByRunning(modules, conversion, {c.expression});
        ASSERT_TRUE(check.loaded) << check.loadError << "\n" << conversion.modules[0].code;
        EXPECT_EQ(check.expressions[0].original, c.expected);
        EXPECT_EQ(check.expressions[0].converted, c.expected) << conversion.modules[0].code;
    }

    // Code that treats nothing as text stays as it was: hot loops over arrays pay nothing.
    const Conversion arrays = converter().convert(
        {{"sum", "function sum(a) { let t = 0; for (let i = 0; i < a.length; i++) t += a[i]; return t; }"}});
    ASSERT_TRUE(arrays.ok);
    EXPECT_NE(arrays.modules[0].code.find("t += a[i];"), std::string::npos) << arrays.modules[0].code;
    EXPECT_TRUE(arrays.shims.empty());

    // What no rewrite can mend is said where it is.
    const Conversion doubtful = converter().convert(
        {{"w", "function f(s) { s = s.trim();\n  s[0] += 'x';\n  for (var k in s) count++; }"}});
    ASSERT_EQ(doubtful.warnings.size(), 2u);
    EXPECT_EQ(doubtful.warnings[0].construct, "may index a string");
    EXPECT_EQ(doubtful.warnings[0].line, 2);
    EXPECT_EQ(doubtful.warnings[1].line, 3);
    EXPECT_TRUE(doubtful.complete());
}

// A conversion can be stopped from another thread, and so can its check by running (code
// that loops at load never ends but by the stop); the converter serves the next run.
TEST(Convert, AConversionAndItsCheckStopWhenAskedAndNothingHalfMadeIsGiven) {
    Converter& c = converter();
    const std::vector<SourceModule> looping{{"loop", "let n = 0;\nwhile (true) { n++; }\n"}};
    auto before = std::make_shared<quillbox::tools::Stop>();
    before->stop();
    c.setStop(before);
    const Conversion stopped = c.convert(looping);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.ok);
    EXPECT_TRUE(stopped.modules.empty());
    EXPECT_EQ(reportLines(stopped), std::vector<std::string>{"转换已停止：nothing was written"});

    auto stop = std::make_shared<quillbox::tools::Stop>();
    c.setStop(stop);
    const Conversion converted = c.convert(looping);
    ASSERT_TRUE(converted.ok) << converted.error;
    RunCheck check;
    {
        quillbox::tools::StopAfter limit(stop, std::chrono::milliseconds(300));
        check = checkByRunning(looping, converted, {"n > 0"}, {}, stop.get());
    }
    EXPECT_TRUE(check.stopped);
    EXPECT_FALSE(check.loaded);
    ASSERT_EQ(check.expressions.size(), 1u);
    EXPECT_FALSE(check.expressions[0].agree);
    EXPECT_EQ(checkLines(check).front(), "检查已停止：the converted code was not run to the end");

    c.setStop(nullptr);
    const Conversion after = c.convert({{"after", "const x = () => 1;"}});
    EXPECT_TRUE(after.complete()) << after.error;
}

TEST(Convert, CodeThatDoesNotParseIsRefusedWithItsPlace) {
    const Conversion conversion = converter().convert({{"fine", "var a = 1;"}, {"broken", "var b = ;\n"}});
    EXPECT_FALSE(conversion.ok);
    EXPECT_EQ(conversion.error.rfind("broken:1:9: ", 0), 0u) << conversion.error;
    EXPECT_EQ(reportLines(conversion).front().rfind("转换失败：broken:1:9", 0), 0u);
}

TEST(Convert, OldCodeComesThroughAndNeedsNoShims) {
    const Conversion conversion = converter().convert({{"old", "function add(a, b) { return a + b; }\n"}});
    ASSERT_TRUE(conversion.ok);
    EXPECT_TRUE(conversion.complete());
    EXPECT_TRUE(conversion.shims.empty());
    EXPECT_TRUE(conversion.shimCode.empty());
    EXPECT_EQ(conversion.modules[0].code, "function add(a, b) {\n  return a + b;\n}");
}

TEST(Convert, ShimsFollowTheNamesTheCodeUsesInLoadOrder) {
    struct Case {
        std::vector<std::string> uses;
        std::vector<std::string> shims;
    };
    const Case cases[] = {
        {{}, {}},
        {{"Math", ".floor", "String"}, {}},
        {{"JSON", ".stringify"}, {"shims/json3.js"}},
        {{".forEach"}, {"shims/es5-shim.js"}},
        {{"Object.create", ".create"}, {"shims/es5-shim.js", "shims/es5-sham.js"}},
        // a method of the code's own that shares a built-in function's name
        {{".sign", ".create", ".keys"}, {}},
        // core-js stands on the ES5 shims
        {{".padStart"}, {"shims/es5-shim.js", "shims/es5-sham.js", "shims/regexp-fix.js", "shims/core-js.js"}},
        {{"Uint8Array", "JSON"}, {"shims/json3.js", "shims/typed-array.js"}},
        // the reader of a string's characters comes before any other code
        {{"__qbIndex", ".padStart"},
         {"shims/string-index.js", "shims/es5-shim.js", "shims/es5-sham.js", "shims/regexp-fix.js", "shims/core-js.js"}},
        {{"Promise", "ArrayBuffer", ".map", "JSON"},
         {"shims/es5-shim.js", "shims/es5-sham.js", "shims/json3.js", "shims/regexp-fix.js", "shims/core-js.js",
          "shims/typed-array.js"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shimNames(chooseShims(c.uses)), c.shims);
    const std::vector<Shim> shims = chooseShims({".padStart", ".repeat"});
    EXPECT_EQ(shims[0].reason, "needed by core-js 3.51.0 (converted)");
    EXPECT_EQ(shims[3].reason, "uses .repeat, .padStart");
}

TEST(Convert, TheConvertedCodeGetsTheShimsItNeedsAndRunsWithThem) {
    const std::vector<SourceModule> modules{
        {"a", "var padded = 'ab'.padStart(5, '-'); var json = JSON.stringify({k: [1, 2]});"},
        {"b", "var bytes = new Uint8Array([1, 2, 255]); var total = Array.from(bytes).reduce((s, x) => s + x, 0);"}};
    const Conversion conversion = converter().convert(modules);
    ASSERT_TRUE(conversion.ok) << conversion.error;
    EXPECT_EQ(shimNames(conversion.shims),
              (std::vector<std::string>{"shims/es5-shim.js", "shims/es5-sham.js", "shims/json3.js", "shims/regexp-fix.js",
                                        "shims/core-js.js", "shims/typed-array.js"}));
    const RunCheck check = checkByRunning(modules, conversion, {"padded", "json", "total", "bytes.length"});
    ASSERT_TRUE(check.loaded) << check.loadError;
    for (const CheckedExpression& e : check.expressions)
        EXPECT_TRUE(e.agree) << e.expression << ": " << e.original << " / " << e.converted;
}

TEST(Convert, TheCheckSaysWhenTheConvertedCodeFailsOrDisagrees) {
    // A getter cannot be defined in the native engine: the converted class fails at load.
    const std::vector<SourceModule> accessor{{"acc", "class C { get v() { return 1; } }\nvar c = new C();"}};
    const Conversion conversion = converter().convert(accessor);
    ASSERT_TRUE(conversion.ok);
    const RunCheck failed = checkByRunning(accessor, conversion, {"c.v"});
    EXPECT_FALSE(failed.loaded);
    EXPECT_EQ(failed.loadError.rfind("acc: ", 0), 0u) << failed.loadError;
    EXPECT_FALSE(failed.allAgree());
    EXPECT_EQ(failed.expressions[0].original, "number:1");

    // Engines that differ: the expression (not the code) reaches for an ES5 method, so no shim
    // was added for it.
    const std::vector<SourceModule> plain{{"d", "const t = (a, m) => typeof a[m];"}};
    const Conversion converted = converter().convert(plain);
    EXPECT_TRUE(converted.shims.empty());
    const RunCheck differs = checkByRunning(plain, converted, {"t([], 'forEach')", "nothing"});
    EXPECT_TRUE(differs.loaded);
    EXPECT_FALSE(differs.expressions[0].agree);
    EXPECT_EQ(differs.expressions[1].original.rfind("error: ", 0), 0u);
    EXPECT_FALSE(differs.expressions[1].agree);  // an error on both sides is no agreement
    const std::vector<std::string> lines = checkLines(differs);
    EXPECT_EQ(lines[0].rfind("加载成功", 0), 0u);
    EXPECT_EQ(lines[1], "不一致 t([], 'forEach'): original string:function, converted string:undefined");
}

TEST(Convert, ThePreludeRunsFirstInBothEngines) {
    const std::vector<SourceModule> modules{{"cjs", "module.exports = { twice: (x) => x * 2 };"}};
    const Conversion conversion = converter().convert(modules);
    const RunCheck check =
        checkByRunning(modules, conversion, {"module.exports.twice(4)"}, "var module = { exports: {} }, exports = module.exports;");
    ASSERT_TRUE(check.loaded) << check.loadError;
    EXPECT_TRUE(check.allAgree()) << check.expressions[0].converted;
}

// The typed-array stand-ins in the native engine against the real ones in ChakraCore, for the
// uses they cover. Outside them (writes past the element type's range, writes through a
// subarray, instanceof) they differ by design, as the shim's header states.
TEST(Convert, TypedArrayShimGivesTheRealOnesResultsForTheCommonByteArrayUses) {
    Conversion shimOnly;
    shimOnly.ok = true;
    shimOnly.shimCode = std::string(*quillbox::assets::find("shims/typed-array.js"));
    const std::vector<std::string> expressions = {
        // construction: length, array (converted to the type), buffer (little-endian)
        "Array.prototype.join.call(new Uint8Array(3))",
        "Array.prototype.join.call(new Uint8Array([1, 256, -1, 3.7]))",
        "Array.prototype.join.call(new Int8Array([127, 128, 255, -129]))",
        "Array.prototype.join.call(new Uint16Array([65536, -1, 70000]))",
        "Array.prototype.join.call(new Int32Array([4294967295, 2147483648]))",
        "Array.prototype.join.call(new Uint32Array([-1, 4294967296, 1.5]))",
        "Array.prototype.join.call(new Float64Array([1.5, -0.25, 1e300, 5e-324]))",
        "Array.prototype.join.call(new Float32Array([0.1, -1e-40, 3.4e39, 16777217, 1.5]))",
        "Array.prototype.join.call(new Uint8ClampedArray([-5, 0.5, 1.5, 2.5, 254.6, 300, NaN]))",
        "(function () { var f = new Float32Array([0.1, -2.5e-42]); return Array.prototype.join.call(new Float32Array(f.buffer)) + '/' +"
        " Array.prototype.join.call(new Uint8Array(new Float32Array([1, -2]).buffer)); })()",
        "(function () { var u = new Uint8Array([1, 2, 0, 0, 255, 0, 0, 128]);"
        " return Array.prototype.join.call(new Uint32Array(u.buffer)) + '/' + Array.prototype.join.call(new Int16Array(u.buffer, 4)); })()",
        "(function () { var f = new Float64Array([3.25, -1e-310]); return Array.prototype.join.call(new Float64Array(f.buffer)); })()",
        "(function () { var u = new Uint32Array([0x01020304]); return Array.prototype.join.call(new Uint8Array(u.buffer)); })()",
        // index read and write within the type's range, length and BYTES_PER_ELEMENT
        "(function () { var a = new Uint8Array(4); a[1] = 200; a[3] = a[1] + 5; return a[3] + ',' + a.length + ',' + a.BYTES_PER_ELEMENT + ',' + Uint32Array.BYTES_PER_ELEMENT; })()",
        // a byte view shares its buffer's bytes
        "(function () { var b = new ArrayBuffer(4), x = new Uint8Array(b), y = new Uint8Array(b); x[2] = 9; return y[2] + ',' + b.byteLength; })()",
        // instanceof, generic Array methods, fill, toString
        "(function () { var a = new Uint16Array([3, 1, 2]); return (a instanceof Uint16Array) + ',' + (a instanceof Uint8Array) + ','"
        " + Array.prototype.join.call(a, '-') + ',' + String(new Uint8Array([1, 2]).fill(7)) + ',' + [].concat(a).length; })()",
        // a second byte view of a buffer, and of a byte array's buffer, sees the first one's writes
        "(function () { var b = new ArrayBuffer(2), x = new Uint8Array(b); x[0] = 5; var y = new Uint8Array(b), z = new Uint8Array(x.buffer);"
        " x[1] = 6; return y[0] + ',' + y[1] + ',' + z[1] + ',' + new Uint8Array([9]).buffer.byteLength; })()",
        // subarray, slice and set (with conversion and an offset)
        "Array.prototype.join.call(new Uint8Array([1, 2, 3, 4, 5]).subarray(1, -1))",
        "Array.prototype.join.call(new Uint8Array([1, 2, 3, 4, 5]).slice(-2))",
        "(function () { var a = new Uint8Array(5); a.set([1, 2, 300], 1); a.set(new Uint8Array([7]), 4); return Array.prototype.join.call(a); })()",
        "(function () { try { new Uint8Array(2).set([1, 2, 3]); return 'no'; } catch (e) { return e instanceof RangeError; } })()",
        "(function () { try { new Uint32Array(new ArrayBuffer(6)); return 'no'; } catch (e) { return e instanceof RangeError; } })()",
    };
    const RunCheck check = checkByRunning({}, shimOnly, expressions);
    ASSERT_TRUE(check.loaded) << check.loadError;
    for (const CheckedExpression& e : check.expressions)
        EXPECT_TRUE(e.agree) << e.expression << "\n  ChakraCore " << e.original << "\n  native     " << e.converted;

    // Views that must share bytes the stand-ins cannot share fail rather than give values that
    // miss each other's writes (as an MD5 with a byte view and a word view of one buffer would).
    const RunCheck aliased = checkByRunning(
        {}, shimOnly, {"(function () { var b = new ArrayBuffer(8), x = new Uint8Array(b); return new Uint32Array(b).length; })()"});
    EXPECT_EQ(aliased.expressions[0].original, "number:2");
    EXPECT_EQ(aliased.expressions[0].converted.rfind("error: Uint32Array over an ArrayBuffer that another view already uses", 0), 0u)
        << aliased.expressions[0].converted;
}

TEST(Convert, TheRegExpFixMendsWhatTheNativeEngineGetsWrongAndOnlyThat) {
    Conversion shimOnly;
    shimOnly.ok = true;
    shimOnly.shimCode = std::string(*quillbox::assets::find("shims/regexp-fix.js"));
    const RunCheck check = checkByRunning({}, shimOnly,
                                          {"'a1e5'.search(/e/i)", "'a1e5'.search(/E/g)", "'a.b'.search('.')", "'abc'.search(/x/)",
                                           "String(new RegExp(/a/gi)) + String(/b/m)", "new RegExp(/a/g, 'i').global",
                                           "RegExp(/q/) instanceof RegExp", "/x/ instanceof RegExp", "'aXbxc'.replace(/x/gi, '-')"});
    ASSERT_TRUE(check.loaded) << check.loadError;
    for (const CheckedExpression& e : check.expressions)
        EXPECT_TRUE(e.agree) << e.expression << "\n  ChakraCore " << e.original << "\n  native     " << e.converted;
}

}  // namespace
