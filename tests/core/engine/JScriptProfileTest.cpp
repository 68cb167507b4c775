// The native engine against JScript 5.7: every built-in of the generated list probed in both
// directions, and JScript's own behaviour where it differs from the standard.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/engine/ScriptControl.h"
#include "core/engine/SupportScripts.h"
#include "core/json/JsonDocument.h"

using quillbox::JsonDocument;
using quillbox::engine::ScriptControl;

namespace {

// Built-ins JScript 5.7 has that neither Duktape's configuration nor the profile script can
// give the native engine, and why.
const std::map<std::string, std::string> kKnownGaps = {
    {"RegExp.prototype.compile", "a compiled expression cannot be changed in place from script"},
};

std::string probe(const std::string& owner, const std::string& member) {
    const std::string object = owner.empty() ? "(function () { return this; })()" : owner;
    return "(function () { try { return ('" + member + "' in " + object + ") ? 'present' : 'absent'; }"
           " catch (e) { return 'absent'; } })()";
}

TEST(JScriptProfile, EveryBuiltInIsPresentExactlyWhereJScriptHasIt) {
    JsonDocument data;
    ASSERT_TRUE(data.parse(quillbox::engine::jscriptBuiltins(), true).ok);
    const std::size_t n = data.count("entries");
    ASSERT_GT(n, 300u);
    ScriptControl sc;
    std::vector<std::string> differences;
    int present = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const JsonDocument entry = data.at("entries", i);
        const std::string name = entry.text("name");
        const bool expected = entry.boolean("present");
        present += expected;
        const std::string seen = sc.Eval(probe(entry.text("owner"), entry.text("member"))).text();
        if (seen != (expected ? "present" : "absent"))
            differences.push_back(name);
    }
    EXPECT_GT(present, 150);
    std::vector<std::string> known;
    for (const auto& [name, why] : kKnownGaps)
        known.push_back(name);
    EXPECT_EQ(differences, known) << "a built-in differs from JScript 5.7, or a known gap was closed";
}

TEST(JScriptProfile, BehavesAsJScriptWhereItDiffersFromTheStandard) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        // parseInt without a radix: a leading 0 is octal.
        {"parseInt('08')", "0"},
        {"parseInt('010')", "8"},
        {"parseInt(' -010')", "-8"},
        {"parseInt('0x1f')", "31"},
        {"parseInt('08', 10)", "8"},
        {"parseInt('12px')", "12"},
        // getYear: two digits within 1900-1999 only.
        {"new Date(1996, 0, 1).getYear()", "96"},
        {"new Date(2025, 5, 1).getYear()", "2025"},
        {"new Date(1825, 5, 1).getYear()", "1825"},
        // split with a regular expression drops the captured groups.
        {"'a1b'.split(/(\\d)/).join('|')", "a|b"},
        {"'a,b,,c'.split(/,/).length", "4"},
        {"'abc'.split(/(?:)/).join('|')", "a|b|c"},
        {"'a1b2c3d'.split(/\\d/, 2).join('|')", "a|b"},
        {"''.split(/x/).length", "1"},
        {"'a b'.split(' ').join('|')", "a|b"},
        // Error(number, description).
        {"new Error(5, 'm').number + ' ' + new Error(5, 'm').description + ' ' + new Error(5, 'm').message", "5 m m"},
        {"Error('t').number + ' ' + Error('t').description + ' ' + Error('t').message", "0 t t"},
        {"new Error(5, 'm') instanceof Error", "true"},
        {"(function () { try { null.x; } catch (e) { return e instanceof Error; } })()", "true"},
        {"Object.prototype.toString.call(new Error(1, 'x'))", "[object Error]"},
        // Windows-only objects exist and fail as JScript fails without the component.
        {"(function () { try { new ActiveXObject('Scripting.FileSystemObject'); } catch (e) {"
         " return (e.number & 0xFFFF) + ' ' + e.description; } })()",
         "429 Automation 服务器不能创建对象"},
        {"(function () { try { new VBArray(1); } catch (e) { return e.number & 0xFFFF; } })()", "5013"},
        {"(function () { try { GetObject('winmgmts:'); } catch (e) { return e.number & 0xFFFF; } })()", "429"},
        // substr takes no negative start; the length still counts.
        {"'abc'.substr(-1) + '|' + 'abc'.substr(-2, 2) + '|' + 'abc'.substr(1) + '|' + 'abc'.substr(1, 1)", "abc|ab|bc|b"},
        {"(function () { var e = new Enumerator([1, 2]), s = []; for (; !e.atEnd(); e.moveNext()) s.push(e.item());"
         " return s.join(','); })()",
         "1,2"},
        {"ScriptEngine() + ' ' + ScriptEngineMajorVersion() + '.' + ScriptEngineMinorVersion()", "JScript 5.8"},
        {"typeof ScriptEngineBuildVersion()", "number"},
        {"'x'.bold() + 'x'.anchor('a\"b')", "<B>x</B><A NAME=\"a&quot;b\">x</A>"},
        // No strict mode, and nothing of Duktape's own.
        {"(function () { 'use strict'; undeclared = 1; return typeof this; })()", "object"},
        {"typeof Duktape + typeof JSON + typeof Symbol + typeof Proxy + typeof Uint8Array", "undefinedundefinedundefinedundefinedundefined"},
    };
    ScriptControl sc;
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(sc.Eval(expression).text(), expected) << expression << ": " << sc.Error().Description;
}

TEST(JScriptProfile, ScriptControlReportsJScriptNumbersAtTheUsersLine) {
    ScriptControl sc;
    EXPECT_FALSE(sc.AddCode("var a = 1;\nvar fso = new ActiveXObject('Scripting.FileSystemObject');\n"));
    EXPECT_EQ(sc.Error().Number, 429);
    EXPECT_EQ(sc.Error().Description, "Automation 服务器不能创建对象");
    EXPECT_EQ(sc.Error().Line, 2);
    EXPECT_EQ(sc.Error().Text, "var fso = new ActiveXObject('Scripting.FileSystemObject');");
    EXPECT_FALSE(sc.AddCode("\n\nthrow new Error(1234, 'custom');"));
    EXPECT_EQ(sc.Error().Number, 1234);
    EXPECT_EQ(sc.Error().Description, "custom");
    EXPECT_EQ(sc.Error().Line, 3);
    // The profile is back after a reset, and its globals are not the user's.
    sc.Reset();
    EXPECT_EQ(sc.Eval("parseInt('09') + ':' + typeof [].map").text(), "0:undefined");
    EXPECT_EQ(sc.Eval("var n = []; for (var k in this) n.push(k); n.join(',')").text(), "n,k");
}

}  // namespace
