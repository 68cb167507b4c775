// The plain Duktape context: the program's own libraries without the JScript profile, bounded
// like the engines.
#include <gtest/gtest.h>

#include <chrono>

#include "core/engine/PlainDuktape.h"

using namespace quillbox::engine;

namespace {

std::string evaluate(PlainDuktape& duktape, const std::string& expression) {
    std::string result;
    EXPECT_TRUE(duktape.run("function probe() { return String(" + expression + "); }", "probe")) << duktape.error();
    EXPECT_TRUE(duktape.call("probe", {}, result)) << expression << ": " << duktape.error();
    return result;
}

// Library code is compiled as the standard says, with none of the deviations the native
// engine imitates, and sees no profile (no ActiveXObject, ScriptEngine, QUILLBOX).
TEST(PlainDuktape, RunsLibraryCodeAsTheStandardSays) {
    const std::pair<const char*, const char*> cases[] = {
        {"[1, 2,].length", "2"},
        {"'\\v'.charCodeAt(0)", "11"},
        {"(function () { var f = function g() {}; return typeof g; })()", "undefined"},
        {"(function () { try { throw 1; } catch (e) {} return typeof e; })()", "undefined"},
        {"typeof ActiveXObject + typeof ScriptEngine + typeof QUILLBOX", "undefinedundefinedundefined"},
        {"'😀中'.length", "3"},
    };
    for (const auto& [expression, expected] : cases) {
        PlainDuktape duktape;
        EXPECT_EQ(evaluate(duktape, expression), expected) << expression;
    }
}

TEST(PlainDuktape, TextsCrossAsUtf8AndAFailureIsTheThrownValuesText) {
    PlainDuktape duktape;
    ASSERT_TRUE(duktape.run("function twice(s) { if (!s) throw new TypeError('nothing given'); return s + s; }", "lib"));
    std::string result;
    ASSERT_TRUE(duktape.call("twice", {"中😀"}, result));
    EXPECT_EQ(result, "中😀中😀");
    EXPECT_FALSE(duktape.call("twice", {""}, result));
    EXPECT_EQ(result, "");
    EXPECT_EQ(duktape.error(), "TypeError: nothing given");
    EXPECT_FALSE(duktape.outOfMemory());

    PlainDuktape broken;
    EXPECT_FALSE(broken.run("var a = ;", "lib"));
    EXPECT_EQ(broken.error().rfind("SyntaxError: ", 0), 0u) << broken.error();
    EXPECT_FALSE(broken.call("twice", {"a"}, result)) << "a failed context takes no more work";
}

// A library that catches every failed allocation still ends at the limit, soon, with the
// same words as the engines.
TEST(PlainDuktape, AScriptThatPassesTheMemoryLimitEndsThere) {
    PlainDuktape duktape(std::size_t(96) << 20);
    ASSERT_TRUE(duktape.run("function spin() { var x = new Array(100001).join('x'), a = [];"
                            " for (;;) try { a.push(x + a.length); } catch (e) {} }",
                            "lib"));
    const auto start = std::chrono::steady_clock::now();
    std::string result;
    EXPECT_FALSE(duktape.call("spin", {}, result));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_TRUE(duktape.outOfMemory());
    EXPECT_EQ(duktape.error(), "Error: " + memoryLimitDescription(std::size_t(96) << 20, "loaded"));
}

}  // namespace
