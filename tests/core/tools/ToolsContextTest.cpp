// The tools context: JavaScriptCore's own language (no ChakraCore 1.11 profile), the embedded
// tools loaded once, calls with texts in and out, and failures as values.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/tools/Stop.h"
#include "core/tools/ToolsContext.h"

using quillbox::tools::Stop;
using quillbox::tools::StopAfter;
using quillbox::tools::ToolsContext;

namespace {

TEST(ToolsContext, HasTheBuiltInsTheChakraCoreProfileHides) {
    ToolsContext tools;
    // The user's ChakraCore engine lacks these (1.11 predates them); the tools need them.
    for (const char* expression : {"[1, [2, [3]]].flat(2).length === 3", "typeof Object.fromEntries === 'function'",
                                   "typeof 'a'.padStart === 'function'", "typeof globalThis === 'object'"}) {
        const auto r = tools.run(expression, "check.js");
        EXPECT_TRUE(r.ok) << expression << ": " << r.error;
        EXPECT_EQ(r.text, "true") << expression;
    }
    EXPECT_EQ(tools.run("typeof $$ + typeof QUILLBOX", "host.js").text, "undefinedundefined");
    EXPECT_TRUE(tools.run("console.log('quiet'); console.warn('quiet'); 1", "console.js").ok);
}

TEST(ToolsContext, CallsPassTextsBothWaysUnchanged) {
    ToolsContext tools;
    ASSERT_TRUE(tools.run("function echo(a, b) { return a + '|' + b + '|' + arguments.length; }", "echo.js").ok);
    const std::string odd = std::string("中文 \"q\" \\ ") + '\0' + "\xF0\x9F\x98\x80";
    const auto r = tools.call("echo", {odd, ""});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.text, odd + "||2");
    EXPECT_EQ(tools.call("echo", {}).text, "undefined|undefined|0");
}

TEST(ToolsContext, FailuresComeBackAsErrorsAndLeaveTheContextUsable) {
    ToolsContext tools;
    const auto syntax = tools.run("var = ;", "bad.js");
    EXPECT_FALSE(syntax.ok);
    EXPECT_NE(syntax.error.find("SyntaxError"), std::string::npos) << syntax.error;
    ASSERT_TRUE(tools.run("function boom() { throw new TypeError('no'); }", "boom.js").ok);
    const auto thrown = tools.call("boom", {});
    EXPECT_FALSE(thrown.ok);
    EXPECT_NE(thrown.error.find("TypeError: no"), std::string::npos) << thrown.error;
    EXPECT_FALSE(tools.call("missing", {}).ok);
    EXPECT_FALSE(tools.load("tools/no-such-tool.js").ok);
    EXPECT_EQ(tools.run("6 * 7", "after.js").text, "42");
}

TEST(ToolsContext, LoadsAnEmbeddedToolOnceAndBabelConverts) {
    ToolsContext tools;
    ASSERT_TRUE(tools.load("tools/babel.js").ok);
    ASSERT_TRUE(tools.run("var loads = (this.loads || 0) + 1; Babel.loadedOnce = true", "mark.js").ok);
    ASSERT_TRUE(tools.load("tools/babel.js").ok);  // kept: the mark survives
    EXPECT_EQ(tools.run("String(Babel.loadedOnce)", "read.js").text, "true");
    ASSERT_TRUE(tools.run("function es5(code) { return Babel.transform(code, {sourceType: 'script', presets: [['env', {targets: {ie: '6'}}]]}).code; }",
                          "es5.js")
                    .ok);
    const auto r = tools.call("es5", {"const f = (x) => x * 2;"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.text, "var f = function f(x) {\n  return x * 2;\n};");
}

// A tool that runs away ends when its stop comes from another thread (only the stop can end
// these loops), a call after the stop does not begin, and the context serves the next run.
TEST(ToolsContext, AStopFromAnotherThreadEndsTheCallAndTheOnesAfterIt) {
    ToolsContext tools;
    ASSERT_TRUE(tools.run("var turns = 0; function spin() { for (;;) turns++; }", "spin.js").ok);
    auto stop = std::make_shared<Stop>();
    tools.setStop(stop);
    {
        StopAfter limit(stop, std::chrono::milliseconds(200));
        const auto spun = tools.call("spin", {});
        EXPECT_FALSE(spun.ok);
        EXPECT_TRUE(spun.stopped);
        EXPECT_TRUE(stop->stopped());
    }
    const auto evaluated = tools.run("while (true) {}", "loop.js");
    EXPECT_TRUE(evaluated.stopped);
    EXPECT_FALSE(tools.call("spin", {}).ok);

    // A new run has a stop of its own; a script's own errors are not stops.
    tools.setStop(std::make_shared<Stop>());
    EXPECT_EQ(tools.run("turns > 0", "after.js").text, "true");
    const auto thrown = tools.run("throw new Error('own')", "throw.js");
    EXPECT_FALSE(thrown.stopped);
    EXPECT_NE(thrown.error.find("own"), std::string::npos);
    tools.setStop(nullptr);
    EXPECT_EQ(tools.run("6 * 7", "none.js").text, "42");
}

TEST(ToolsContext, AStopReachesWhatHookedOnBeforeOrAfterItCame) {
    Stop stop;
    int told = 0;
    {
        Stop::Hook hook = stop.onStop([&told] { ++told; });
        stop.stop();
        EXPECT_EQ(told, 1);
    }
    stop.stop();  // the hook is gone
    EXPECT_EQ(told, 1);
    Stop::Hook late = stop.onStop([&told] { told += 10; });
    EXPECT_EQ(told, 11);
    // A time limit that is not reached stops nothing.
    auto unused = std::make_shared<Stop>();
    { StopAfter limit(unused, std::chrono::hours(1)); }
    EXPECT_FALSE(unused->stopped());
}

}  // namespace
