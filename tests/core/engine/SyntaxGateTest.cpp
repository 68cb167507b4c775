// The syntax gate in both languages, probed feature by feature from the same table the gate
// is built from (js/chakracore-profile.json, made from the browser-compatibility data).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/engine/ChakraCore.h"
#include "core/engine/SyntaxGate.h"
#include "core/engine/SyntaxScan.h"
#include "core/json/JsonDocument.h"
#include "core/platform/Assets.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

#define REQUIRE_ENGINE_LIBRARY() \
    if (!ChakraCore::libraryLoaded()) GTEST_SKIP() << ChakraCore::libraryError()

// One piece of code per feature. `alone`: the rest of the code is ES3, so JScript's gate
// names this very feature; otherwise it names an older one the code also needs.
// `chakraFirst`: the feature ChakraCore's gate names first when the code needs another
// feature ChakraCore 1.11 lacks before this one.
struct Probe {
    const char* code;
    bool alone;
    const char* chakraFirst = nullptr;
};

const std::map<std::string, Probe> kProbes = {
    {"getter_setter", {"var o = { get x() { return 1; } };", true}},
    {"object_trailing_comma", {"var o = { a: 1, };", true}},
    {"reserved_property", {"var o = {}; o.class = 1;", true}},
    {"let", {"let a = 1;", true}},
    {"const", {"const a = 1;", true}},
    {"arrow_function", {"var f = function () { return 1; }; var g = x => x;", true}},
    {"class", {"class A {}", true}},
    {"template_literal", {"var s = `a`;", true}},
    {"destructuring", {"var [a, b] = [1, 2];", true}},
    {"default_parameter", {"function f(a = 1) { return a; }", true}},
    {"rest_parameter", {"function f(a, ...b) { return b; }", true}},
    {"spread", {"Math.max.apply(null, [...[1, 2]]);", true}},
    {"for_of", {"for (var x of [1]) {}", true}},
    {"generator", {"function* g() { yield 1; }", true}},
    {"shorthand_property", {"var a = 1; var o = { a };", true}},
    {"method_definition", {"var o = { m() { return 1; } };", true}},
    {"computed_property", {"var k = 'a'; var o = { [k]: 1 };", true}},
    {"binary_literal", {"var n = 0b101;", true}},
    {"octal_literal", {"var n = 0o17;", true}},
    {"unicode_point_escape", {"var s = '\\u{1F600}';", true}},
    {"regexp_sticky", {"var r = /a/y;", true}},
    {"regexp_unicode", {"var r = /a/u;", true}},
    {"new_target", {"function F() { return new.target; }", true}},
    {"exponentiation", {"var n = 2 ** 3;", true}},
    {"exponentiation_assignment", {"var n = 2; n **= 3;", true}},
    {"rest_parameter_destructuring", {"function f(...[a, b]) { return a; }", false}},
    {"async_function", {"async function f() {}", true}},
    {"await", {"async function f() { await 1; }", false}},
    {"function_trailing_comma", {"function f(a, b,) { return a; }", true}},
    {"object_rest", {"var { a, ...rest } = { a: 1, b: 2 };", false}},
    {"object_spread", {"var o = { a: 1 }; var p = { ...o };", false}},
    {"async_generator", {"async function* g() {}", true}},
    {"for_await_of", {"async function f(list) { for await (var x of list) {} }", false}},
    {"regexp_dot_all", {"var r = /a.b/s;", true}},
    {"regexp_lookbehind", {"var r = /(?<=\\$)\\d+/;", true}},
    {"regexp_named_group", {"var r = /(?<year>\\d{4})/;", true}},
    {"regexp_named_backreference", {"var r = /(?<q>a)\\k<q>/;", false, "regexp_named_group"}},
    {"regexp_property_escape", {"var r = /\\p{L}/u;", false}},
    {"template_literal_revision", {"function t(s) { return s; } t`\\unicode`;", false}},
    {"optional_catch_binding", {"try { f(); } catch { }", true}},
    {"json_superset", {"var s = '\xE2\x80\xA8';", true}},
    {"optional_chaining", {"var o = null; var v = o?.a;", true}},
    {"nullish_coalescing", {"var v = null ?? 1;", true}},
    {"bigint_literal", {"var n = 10n;", true}},
    {"dynamic_import", {"import('./m.js');", true}},
    {"logical_or_assignment", {"var a = 0; a ||= 1;", true}},
    {"logical_and_assignment", {"var a = 1; a &&= 2;", true}},
    {"nullish_assignment", {"var a = null; a ?\?= 1;", true}},
    {"numeric_separator", {"var n = 1_000_000;", true}},
    {"class_field", {"class A { x = 1; }", false}},
    {"static_class_field", {"class A { static x = 1; }", false}},
    {"private_member", {"class A { #m() {} }", false}},
    {"private_in", {"class A { #m() {} static has(o) { return #m in o; } }", false, "private_member"}},
    {"static_block", {"class A { static { } }", false}},
    {"top_level_await", {"await 1;", false}},
    {"regexp_has_indices", {"var r = /a/d;", true}},
    {"hashbang", {"#!/usr/bin/env node\nvar a = 1;", true}},
    {"regexp_unicode_sets", {"var r = /[\\w--\\d]/v;", true}},
    {"regexp_modifier", {"var r = /(?i:a)b/;", true}},
    {"regexp_duplicate_named_group", {"var r = /(?<y>a)|(?<y>b)/;", false, "regexp_named_group"}},
};

struct Feature {
    std::string id;
    std::string text;
    long long es;
    bool chakra;
    bool jscript;
};

std::vector<Feature> features() {
    auto bytes = assets::find("js/chakracore-profile.json");
    JsonDocument doc;
    if (!bytes || !doc.parse(std::string(*bytes), true).ok)
        return {};
    std::vector<Feature> out;
    for (std::size_t i = 0; i < doc.count("syntax"); ++i) {
        const JsonDocument f = doc.at("syntax", i);
        out.push_back({f.text("id"), f.text("text"), f.integer("es"), f.boolean("chakra"), f.boolean("jscript")});
    }
    return out;
}

// Code for a quick scan, and whether the scan must be unsure of it.
struct ScanCase {
    const char* code;
    bool maybe;
};

SyntaxGate& gate() {
    static SyntaxGate shared;
    return shared;
}

}  // namespace

TEST(SyntaxGate, EveryFeatureOfTheTableIsProbedInBothLanguages) {
    REQUIRE_ENGINE_LIBRARY();
    const std::vector<Feature> table = features();
    ASSERT_GT(table.size(), 50u);
    std::set<std::string> seen;
    for (const Feature& f : table) {
        SCOPED_TRACE(f.id);
        seen.insert(f.id);
        auto probe = kProbes.find(f.id);
        ASSERT_NE(probe, kProbes.end()) << "no probe for " << f.id;
        const std::string code = probe->second.code;

        const SyntaxVerdict chakra = gate().check(code, SyntaxLevel::ChakraCore);
        if (f.chakra) {
            EXPECT_EQ(chakra.kind, SyntaxVerdict::Kind::Passed) << chakra.message;
        } else {
            // The quick scan must never wave through what ChakraCore's gate refuses.
            EXPECT_TRUE(mayUseSyntaxAfterEs2017(code));
            EXPECT_EQ(chakra.kind, SyntaxVerdict::Kind::Refused);
            if (probe->second.chakraFirst) {
                EXPECT_EQ(chakra.feature, probe->second.chakraFirst);
            } else {
                EXPECT_EQ(chakra.feature, f.id);
                EXPECT_EQ(chakra.message, f.text + " 需要 ES" + std::to_string(f.es) + ", ChakraCore 1.11 不支持");
            }
        }

        const SyntaxVerdict jscript = gate().check(code, SyntaxLevel::JScript);
        if (f.jscript) {
            EXPECT_EQ(jscript.kind, SyntaxVerdict::Kind::Passed) << jscript.message;
        } else {
            EXPECT_TRUE(mayUseSyntaxAfterEs3(code));
            EXPECT_EQ(jscript.kind, SyntaxVerdict::Kind::Refused);
            if (probe->second.alone) {
                EXPECT_EQ(jscript.feature, f.id);
            }
            EXPECT_NE(jscript.message.find("JScript 5.7 不支持"), std::string::npos) << jscript.message;
        }
    }
    EXPECT_EQ(seen.size(), kProbes.size()) << "a probe names a feature the table no longer has";
}

TEST(SyntaxGate, TheLanguagesAreChakraCore111sAndJScript57s) {
    REQUIRE_ENGINE_LIBRARY();
    // ChakraCore 1.11 has ES2017 and nothing of ES2018's syntax; JScript nothing past ES3.
    // The one ES2016 piece Edge 18 lacks by the data: a pattern after `...` in parameters.
    for (const Feature& f : features()) {
        SCOPED_TRACE(f.id);
        EXPECT_EQ(f.chakra, f.es <= 2017 && f.id != "rest_parameter_destructuring");
        EXPECT_FALSE(f.jscript);
    }
}

TEST(SyntaxGate, PlainOldCodePassesBothLanguages) {
    REQUIRE_ENGINE_LIBRARY();
    const char* const kOld[] = {
        "var a = [1, 2, 3,]; function f(x) { return x + a.length; }",
        "var o = { 'class': 1, b: [ , 2] }; o['default'] = 2; var r = /a(b)\\1[(?<]/gi;",
        "for (var k in o) { if (o.hasOwnProperty(k)) continue; } label: while (false) { break label; }",
        "var s = 'x\\\n y'; /* { a: 1, } */ var t = { a: 1 /* , */ };",
        "var n = 010 + 0x1F; try { throw 1; } catch (e) { n = e; } finally { n = 2; }",
        "f(1, 2 /* , */); new Date(2020, 1); var v = void 0, w = typeof v, u = !v;",
    };
    for (const char* code : kOld) {
        SCOPED_TRACE(code);
        EXPECT_EQ(gate().check(code, SyntaxLevel::ChakraCore).kind, SyntaxVerdict::Kind::Passed)
            << gate().check(code, SyntaxLevel::ChakraCore).message;
        EXPECT_EQ(gate().check(code, SyntaxLevel::JScript).kind, SyntaxVerdict::Kind::Passed)
            << gate().check(code, SyntaxLevel::JScript).message;
        EXPECT_FALSE(mayUseSyntaxAfterEs3(code));
    }
    // ES2017 is ChakraCore's: async functions, classes, destructuring, ** and trailing commas.
    const std::string es2017 =
        "class A extends Object { constructor(...a) { super(); } static m({x, y} = {}) { return x ** 2; } }\n"
        "async function f(a, b,) { const [p, ...q] = await Promise.all([a, b]); return `${p}`; }\n"
        "let g = function* () { yield* [1, 2]; }; var r = /\\u{61}/u, s = /a/y;";
    EXPECT_EQ(gate().check(es2017, SyntaxLevel::ChakraCore).kind, SyntaxVerdict::Kind::Passed)
        << gate().check(es2017, SyntaxLevel::ChakraCore).message;
}

TEST(SyntaxGate, ARefusalPointsAtTheFirstFeatureByPosition) {
    REQUIRE_ENGINE_LIBRARY();
    struct Case {
        const char* code;
        SyntaxLevel level;
        int line, column;
        const char* feature;
    };
    const Case cases[] = {
        {"var a = 1;\nvar b = a?.c ?? 2;\n", SyntaxLevel::ChakraCore, 2, 9, "optional_chaining"},
        {"var a = 1;\nvar b = a ?? a?.c;\n", SyntaxLevel::ChakraCore, 2, 9, "nullish_coalescing"},
        // columns count UTF-16 units, as the editor does
        {"var s = '中文'; var o = {...s};", SyntaxLevel::ChakraCore, 1, 23, "object_spread"},
        {"function f() {\n  try { g(); } catch { }\n}", SyntaxLevel::ChakraCore, 2, 15, "optional_catch_binding"},
        {"var r = /x/gs;", SyntaxLevel::ChakraCore, 1, 12, "regexp_dot_all"},
        {"var r = new RegExp('a'), q = /a(?<n>b)/;", SyntaxLevel::ChakraCore, 1, 31, "regexp_named_group"},
        {"var o = {\n  a: 1,\n  b: 2,\n};", SyntaxLevel::JScript, 3, 6, "object_trailing_comma"},
        {"var x = y.default;", SyntaxLevel::JScript, 1, 10, "reserved_property"},
        {"var x = { if: 1 };", SyntaxLevel::JScript, 1, 10, "reserved_property"},
        {"  const k = 1;", SyntaxLevel::JScript, 1, 2, "const"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const SyntaxVerdict v = gate().check(c.code, c.level);
        EXPECT_EQ(v.kind, SyntaxVerdict::Kind::Refused);
        EXPECT_EQ(v.feature, c.feature);
        EXPECT_EQ(v.line, c.line);
        EXPECT_EQ(v.column, c.column);
    }
}

TEST(SyntaxGate, AnErrorInEveryVersionIsLeftToTheEngineWithTheParsersPosition) {
    REQUIRE_ENGINE_LIBRARY();
    const std::string code = "var a = 1;\nvar b = (a +;\n";
    EXPECT_FALSE(gate().check(code, SyntaxLevel::ChakraCore).refused());
    EXPECT_EQ(gate().check(code, SyntaxLevel::JScript).kind, SyntaxVerdict::Kind::SyntaxError);
    const SyntaxVerdict v = gate().locateError(code);
    EXPECT_EQ(v.kind, SyntaxVerdict::Kind::SyntaxError);
    EXPECT_EQ(v.line, 2);
    EXPECT_EQ(v.column, 12);
    EXPECT_FALSE(v.message.empty());
    EXPECT_FALSE(v.refused());
}

TEST(SyntaxScan, SaysNoOnlyWhenNoSyntaxAfterEs2017CanBeThere) {
    const ScanCase cases[] = {
        // ES2017 and older, with the tokens of later syntax only in comments, strings and patterns
        {"var a = b / c / d; x = y / 2; // a?.b ...rest class #x `t`", false},
        {"/* async await import 1_000 10n catch { */ var s = 'a?.b ?? c', t = \"...\";", false},
        {"try { f(); } catch (e) { g(); } var r = /a[/(?<]b\\//gi, q = /x/y;", false},
        {"var f = (a, b) => a ** b; let [x, y] = [1, 2]; const {p} = o; for (const k of list) {}", false},
        {"return /=+$/.test(s) ? 0x1F : 1e-7; a = b ? .5 : c;", false},
        {"if (x) { y(); } /a/g.test(s);", false},
        // later syntax, or code the scan cannot be sure of
        {"var v = a?.b;", true},
        {"var v = a ?? b;", true},
        {"var o = { ...p };", true},
        {"var n = 1_000;", true},
        {"var n = 10n;", true},
        {"try { f(); } catch { }", true},
        {"try { f(); } catch /* no binding */ { }", true},
        {"a ||= b;", true},
        {"a &&= b;", true},
        {"import('m');", true},
        {"class A { #x = 1; }", true},
        {"async function f() {}", true},
        {"var t = `x`;", true},
        {"#!/usr/bin/env node", true},
        {"var r = /(?<=a)b/;", true},
        {"var r = /(?<y>a)\\k<y>/;", true},
        {"var r = /\\p{L}/u;", true},
        {"var r = /a.b/s;", true},
        {"var r = /a/d;", true},
        {"if (x) /(?<n>a)/.test(s);", true},
        {"if (x) /a.b/s.test(y);", true},
        {"var s = '\xE2\x80\xA8';", true},
        {"var s = 'not closed\nvar v = a?.b;", true},
        {"var \\u0061 = 1;", true},
        {"x = {} / 'a'; y = a?.b", true},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(mayUseSyntaxAfterEs2017(c.code), c.maybe);
    }
}

TEST(SyntaxScan, SaysNoForJScriptOnlyWhenTheCodeIsEs3) {
    const ScanCase cases[] = {
        // ES3: object literals in every place an expression starts, blocks where statements do
        {"var o = {a: 1, 'b': {c: [1, {d: 2}]}, 3: function (x, y) { return {e: x ? {f: 1} : {g: 2}}; }};", false},
        {"f({a: 1}, [{b: 2}]); x = y ? {a: 1} : {b: 2}; return {a: 1}; throw {message: 'm'};", false},
        {"switch (k) { case 1: { a(); break; } default: { b(); } } label: { break label; }", false},
        {"if (a) { b(); } else { c(); } do { d(); } while (e); try { f(); } catch (err) { } finally { }", false},
        {"var a = [1, , 3,], b = a[0], c = (a)[1]; a[0] = b; a[1] == c; o['default'] = 1; x.get = x.set;", false},
        {"var f = function (a, b) { return a; }, g = function named() {}; function h(a) {} {a: 1}", false},
        {"o = {get: 1, set: 2, of: 3}; for (var k in o) {} var r = /[a-z]+/gim; n = 010 + 0x1F;", false},
        // later syntax
        {"var o = {get a() { return 1; }};", true},
        {"f({set a(v) {}});", true},
        {"x = y ? {a: 1} : {get b() {}};", true},
        {"var o = {a: 1,};", true},
        {"var o = {a: {b: 1,}};", true},
        {"var o = {a, b};", true},
        {"var o = {a};", true},
        {"var o = {m() {}};", true},
        {"var o = {[k]: 1};", true},
        {"var o = {default: 1};", true},
        {"x = o.default;", true},
        {"x = o.new;", true},
        {"f(a, b,);", true},
        {"function f(a, b,) {}", true},
        {"function f(a = 1) {}", true},
        {"function f({a}) {}", true},
        {"function f([a]) {}", true},
        {"try {} catch ({message}) {}", true},
        {"function* g() {}", true},
        {"var f = x => x;", true},
        {"var f = (a, b) => a;", true},
        {"x = a ** b;", true},
        {"var [a, b] = c;", true},
        {"var {a} = c;", true},
        {"[a, b] = [b, a];", true},
        {"for ([k, v] in o) {}", true},
        {"let a = 1;", true},
        {"const a = 1;", true},
        {"for (var x of list) {}", true},
        {"var n = 0b101, m = 0o17;", true},
        {"var s = '\\u{61}';", true},
        {"var r = /a/y;", true},
        {"var r = /a/u;", true},
        {"function F() { return new.target; }", true},
        {"var o = {a: 1", true},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(mayUseSyntaxAfterEs3(c.code), c.maybe);
    }
}

TEST(SyntaxGate, OnlyNewCodeIsParsedAndOldCodeNotAtAll) {
    REQUIRE_ENGINE_LIBRARY();
    SyntaxGate own;
    const std::string modern = "class A { #x = 1; }\n";
    EXPECT_TRUE(own.check(modern, SyntaxLevel::ChakraCore).refused());
    EXPECT_EQ(own.parses(), 1u);
    // the same text again, as when the project is loaded again: the verdict is remembered
    EXPECT_TRUE(own.check(modern, SyntaxLevel::ChakraCore).refused());
    EXPECT_EQ(own.parses(), 1u);
    // the other language is another verdict; an edit is new code
    EXPECT_TRUE(own.check(modern, SyntaxLevel::JScript).refused());
    EXPECT_EQ(own.parses(), 2u);
    EXPECT_FALSE(own.check("class A { }\n", SyntaxLevel::ChakraCore).refused());
    EXPECT_EQ(own.parses(), 3u);
    // ES2017 code without any later token passes ChakraCore's gate without a parse
    EXPECT_EQ(own.check("var f = function (a, b) { return a ** b; };", SyntaxLevel::ChakraCore).kind,
              SyntaxVerdict::Kind::Passed);
    EXPECT_EQ(own.parses(), 3u);
    // ES3 code passes JScript's gate without a parse too
    EXPECT_EQ(own.check("var o = {a: [1, 2], b: function (x) { return x; }};", SyntaxLevel::JScript).kind,
              SyntaxVerdict::Kind::Passed);
    EXPECT_EQ(own.parses(), 3u);
}
