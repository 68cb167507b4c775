// The ChakraCore engine class over libChakraCore.so from the program directory.
#include "support/WhileStopping.h"
#include "core/engine/ChakraCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

namespace quillbox::engine {
namespace {

using namespace std::chrono_literals;
using quillbox::test::whileStopping;
using Lines = std::vector<std::pair<std::string, std::string>>;

class ChakraCoreTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ChakraCore::libraryLoaded()) << ChakraCore::libraryError();
        engine.SetLogCallback([this](const std::string& type, const std::string& text) { logged.emplace_back(type, text); });
        engine.SetWarnCallback([this](const std::string& type, const std::string& text) { warned.emplace_back(type, text); });
        engine.New();
    }

    ChakraCore engine;
    Lines logged;
    Lines warned;
};

// ---------------------------------------------------------------- running code

TEST_F(ChakraCoreTest, AddCodeEvalAndCallShareTheLoadedGlobals) {
    EXPECT_TRUE(engine.AddCode("function join(a, b) { return a + '|' + b; }\nvar counter = 40;"));
    EXPECT_EQ(engine.Eval("counter + 2"), "42");
    EXPECT_EQ(engine.Call("join", {"中文", "\xF0\x9F\x98\x80"}), "中文|\xF0\x9F\x98\x80");
    EXPECT_EQ(engine.Call("join", {"1", "2"}), "1|2") << "arguments arrive as strings";
    EXPECT_EQ(engine.Eval("let modern = (x => x ** 2)(12); `${modern}`"), "144");
    EXPECT_EQ(engine.Eval("[1, [2, 3]]"), "1,2,3");
    EXPECT_EQ(engine.Eval("undefined"), "undefined");
}

TEST_F(ChakraCoreTest, AFailedScriptLeavesItsExceptionForTakeException) {
    EXPECT_FALSE(engine.AddCode("var a = 1;\nvar b = ;"));
    EXPECT_EQ(engine.Eval("1 + 1"), "") << "nothing runs while the exception is pending";
    ChakraException e = engine.TakeException();
    EXPECT_EQ(e.exception.rfind("SyntaxError", 0), 0u) << e.exception;
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.url, "Zorvan");
    EXPECT_EQ(e.source, "var b = ;");
    EXPECT_EQ(engine.Eval("1 + 1"), "2");
}

TEST_F(ChakraCoreTest, EvalThatThrowsReturnsEmptyAndTheSecondTakeIsEmpty) {
    EXPECT_EQ(engine.Eval("\n  throw new Error('boom');"), "");
    ChakraException e = engine.TakeException();
    EXPECT_EQ(e.exception, "Error: boom");
    EXPECT_EQ(e.line, 1);
    EXPECT_GT(e.column, 0);
    EXPECT_EQ(engine.TakeException(), ChakraException{});
}

// A throw is a failure whatever its value; a value without text of its own is described
// readably, and a value that carries no position gives none (-1) rather than line 0.
TEST_F(ChakraCoreTest, EveryThrownValueIsDescribedReadably) {
    const std::pair<const char*, const char*> cases[] = {
        {"throw '';", "未知错误 (\"\")"},
        {"throw Object.create(null);", "未知错误 ({})"},
        {"throw Symbol('s');", "未知错误 (Symbol(s))"},
        {"throw {toString: function () { throw 1; }, k: [1]};", "未知错误 ({\"k\":[1]})"},
        {"throw 'text';", "text"},
    };
    for (const auto& [script, description] : cases) {
        EXPECT_FALSE(engine.AddCode(std::string("var before = 1;\n") + script)) << script;
        const ChakraException e = engine.TakeException();
        EXPECT_TRUE(e.thrown) << script;
        EXPECT_EQ(e.exception, description) << script;
        EXPECT_FALSE(e.positioned()) << script;
        EXPECT_EQ(e.line, -1) << script;
        // Describing the value leaves nothing pending.
        EXPECT_EQ(engine.Eval("before + 1"), "2") << script;
    }
}

TEST_F(ChakraCoreTest, AResultWithoutTextIsAnError) {
    for (const char* script : {"Object.create(null)", "Symbol('r')", "({toString: function () { throw 1; }})"}) {
        EXPECT_EQ(engine.Eval(script), "") << script;
        EXPECT_TRUE(engine.TakeException().thrown) << script;
        EXPECT_EQ(engine.Eval("'next'"), "next") << script;
    }
}

TEST_F(ChakraCoreTest, CallOfAMissingFunctionGivesEmpty) {
    EXPECT_EQ(engine.Call("noSuchFunction", {"x"}), "");
    EXPECT_EQ(engine.Call("Math", {}), "") << "not a function";
}

TEST_F(ChakraCoreTest, ResetEmptiesTheEngineAndNewStartsAfresh) {
    ASSERT_TRUE(engine.AddCode("var kept = 1;"));
    EXPECT_TRUE(engine.Reset());
    EXPECT_EQ(engine.Eval("1"), "");
    EXPECT_FALSE(engine.AddCode("1")) << "no engine, no success";
    EXPECT_EQ(engine.TakeException(), ChakraException{});
    EXPECT_TRUE(engine.Reset()) << "twice is harmless";
    engine.New();
    EXPECT_EQ(engine.Eval("typeof kept"), "undefined");
}

TEST_F(ChakraCoreTest, AnotherInstanceDoesNotDisturbThisOne) {
    ASSERT_TRUE(engine.AddCode("var mine = 'global instance';"));
    {
        ChakraCore transform;
        transform.New();
        EXPECT_EQ(transform.Eval("typeof mine"), "undefined");
    }
    EXPECT_TRUE(engine.AddCode("mine += '!';"));
    EXPECT_EQ(engine.Eval("mine"), "global instance!");
}

TEST_F(ChakraCoreTest, PromiseContinuationsRunInsideTheCallThatQueuedThem) {
    EXPECT_TRUE(engine.AddCode("Promise.resolve('later').then(function (v) { console.log(v); });\n"
                               "(async function () { await null; console.log('awaited'); })();"));
    EXPECT_EQ(logged, (Lines{{"string", "later"}, {"string", "awaited"}}));
}

// ---------------------------------------------------------------- the console

TEST_F(ChakraCoreTest, ConsoleCallsTheCallbackOncePerArgument) {
    EXPECT_TRUE(engine.AddCode("console.log();"));
    EXPECT_TRUE(logged.empty()) << "no argument, no callback";

    EXPECT_TRUE(engine.AddCode("console.log('a', {b: 1}, null, [1, 2], 3.5, true, undefined);"));
    EXPECT_EQ(logged, (Lines{{"string", "a"},
                             {"object", "{\"b\":1}"},
                             {"null", "null"},
                             {"array", "[1,2]"},
                             {"number", "3.5"},
                             {"boolean", "true"},
                             {"undefined", "undefined"}}));
    logged.clear();
    EXPECT_TRUE(engine.AddCode("$$.log(function f() { return 1; }, new Error('e'), '中文');"));
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[0], (std::pair<std::string, std::string>{"function", "function f() { return 1; }"}));
    EXPECT_EQ(logged[1].first, "error");
    EXPECT_EQ(logged[2], (std::pair<std::string, std::string>{"string", "中文"}));

    EXPECT_TRUE(engine.AddCode("console.warn('careful', 2);"));
    EXPECT_EQ(warned, (Lines{{"string", "careful"}, {"number", "2"}}));
}

TEST_F(ChakraCoreTest, HostObjectIsOneObjectUnderTwoNames) {
    EXPECT_EQ(engine.Eval("console === $$ && console.ajax === $$.ajax && $$.log === console.log"), "true");
    EXPECT_EQ(engine.Eval("typeof console.log.apply"), "function");
}

TEST_F(ChakraCoreTest, ConsoleWithoutCallbackIsSilent) {
    ChakraCore quiet;
    quiet.New();
    EXPECT_TRUE(quiet.AddCode("console.log('nobody hears'); console.warn('this either');"));
}

TEST_F(ChakraCoreTest, LoggingAValueJsonCannotWriteNeverThrows) {
    EXPECT_TRUE(engine.AddCode("var loop = {}; loop.self = loop; console.log(loop); var after = 1;"));
    EXPECT_EQ(logged, (Lines{{"object", "[object Object]"}}));
    EXPECT_EQ(engine.Eval("after"), "1");
    // Nor when the string form throws as well.
    logged.clear();
    EXPECT_TRUE(engine.AddCode("console.log({toJSON: function () { throw 1; }, toString: function () { throw 2; }});"
                               "var later = 2;"));
    EXPECT_EQ(logged, (Lines{{"object", ""}}));
    EXPECT_EQ(engine.Eval("later"), "2");
}

// ---------------------------------------------------------------- ajax checks

TEST_F(ChakraCoreTest, AjaxRefusesBadOptionsWithItsTexts) {
    struct Case {
        const char* call;
        const char* answer;
    } cases[] = {
        {"$$.ajax('x')", "parmas error"},
        {"$$.ajax()", "parmas error"},
        {"$$.ajax([1])", "parmas error"},
        {"$$.ajax({})", "url error"},
        {"$$.ajax({url: 1})", "url error"},
        {"$$.ajax({url: 'u', type: 1})", "type error"},
        {"$$.ajax({url: 'u', cookies: 1})", "cookies error"},
        {"$$.ajax({url: 'u', headers: 'x'})", "headersObject error"},
        {"$$.ajax({url: 'u', data: {}})", "data error"},
        {"$$.ajax({url: 'u', success: 'f'})", "successFunction error"},
        {"$$.ajax({url: 'u', error: 1})", "errorFunction error"},
        {"$$.ajax({url: 'u', code: 1})", "string error"},
        {"$$.ajax({url: 'u', type: 1, code: 1})", "type error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine.Eval(c.call), c.answer) << c.call;
}

// ---------------------------------------------------------------- ajax over loopback

class ChakraCoreAjax : public ChakraCoreTest {
protected:
    std::string url(const std::string& path) { return server.url(path); }
    test::LoopbackHttpServer server{[](const test::LoopbackRequest& r) {
        if (r.target == "/missing")
            return test::LoopbackResponse::text("gone", 404);
        if (r.target == "/gbk")
            return test::LoopbackResponse::text(std::string("\xD6\xD0\xCE\xC4"));  // 中文 in GBK
        if (r.target == "/utf8")
            return test::LoopbackResponse::text("中文");
        if (r.target == "/bytes")
            return test::LoopbackResponse::text(std::string("\x00\x7F\xFF", 3));
        return test::LoopbackResponse::text(r.method + " " + r.body);
    }};
};

TEST_F(ChakraCoreAjax, SuccessGetsTheBodyInTheCodeAsked) {
    ASSERT_TRUE(engine.AddCode("var got = [];"
                               "function keep(text) { got.push(text); }"));
    EXPECT_EQ(engine.Eval("$$.ajax({url: '" + url("/gbk") + "', success: keep})"), "undefined");
    EXPECT_EQ(engine.Eval("$$.ajax({url: '" + url("/utf8") + "', code: 'utf-8', success: keep})"), "undefined");
    EXPECT_EQ(engine.Eval("$$.ajax({url: '" + url("/bytes") + "', code: 'byte', success: keep})"), "undefined");
    EXPECT_EQ(engine.Eval("$$.ajax({url: '" + url("/post") + "', type: 'post', data: 'a=1', success: keep})"),
              "undefined");
    EXPECT_EQ(engine.Eval("got.join('\\n')"), "中文\n中文\n[0,127,255]\nPOST a=1");
}

TEST_F(ChakraCoreAjax, OtherStatusesGoToTheErrorCallback) {
    ASSERT_TRUE(engine.AddCode("var seen = '';"));
    engine.Eval("$$.ajax({url: '" + url("/missing") +
                "', success: function () { seen += 'success'; }, error: function (t) { seen += 'error:' + t; }})");
    EXPECT_EQ(engine.Eval("seen"), "error:gone");

    test::RefusingLoopbackPort refusing;
    engine.Eval("$$.ajax({url: '" + refusing.url("/") + "', error: function (t) { seen = 'no answer[' + t + ']'; }})");
    EXPECT_EQ(engine.Eval("seen"), "no answer[]");
}

TEST_F(ChakraCoreAjax, HeadersStopAtTheFirstEmptyValueAndCookiesAreSent) {
    engine.Eval("$$.ajax({url: '" + url("/h") + "', headers: {a: 1, b: '', c: 3}, cookies: 'sid=7'})");
    ASSERT_EQ(server.requestCount(), 1);
    test::LoopbackRequest r = server.requests()[0];
    EXPECT_EQ(r.header("a"), "1");
    EXPECT_FALSE(r.hasHeader("b"));
    EXPECT_FALSE(r.hasHeader("c"));
    EXPECT_NE(r.header("Cookie").find("sid=7"), std::string::npos) << r.head;
}

TEST_F(ChakraCoreAjax, AnExceptionInTheSuccessCallbackReachesTheScript) {
    EXPECT_EQ(engine.Eval("try { $$.ajax({url: '" + url("/x") +
                          "', success: function () { throw new Error('in callback'); }}); 'no' }"
                          " catch (e) { e.message }"),
              "in callback");
}

// A script's data cannot add lines to the request, an answer cannot grow without end, and
// what went wrong reaches the error callback as its second argument.
TEST_F(ChakraCoreAjax, HeaderAndCookieTextsWithLineBreaksAreRefusedAndNothingIsSent) {
    const std::pair<std::string, std::string> cases[] = {
        {"headers: {'X-A': '1\\r\\nX-Injected: 1'}", "header refused: \"X-A\""},
        {"headers: {'X-A': '1\\nX-Injected: 1'}", "header refused: \"X-A\""},
        {"headers: {'X-A': 'a\\u0000b'}", "header refused: \"X-A\""},
        {"headers: {'X A': '1'}", "header refused: \"X A\""},
        {"cookies: 'sid=1\\r\\nX-Injected: 1'", "cookies refused"},
    };
    for (const auto& [options, answer] : cases) {
        const std::string got = engine.Eval("$$.ajax({url: '" + url("/h") + "', " + options + "})");
        EXPECT_EQ(got.rfind(answer, 0), 0u) << options << " -> " << got;
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(ChakraCoreAjax, FailuresReachTheErrorCallbackWithWhy) {
    server.setHandler([](const test::LoopbackRequest& r) {
        test::LoopbackResponse response = test::LoopbackResponse::text(std::string(64 * 1024, 'x'));
        if (r.target == "/endless") {
            response.endless = true;
            response.framing = test::LoopbackResponse::Framing::CloseDelimited;
        } else if (r.target == "/trickle") {
            response.endless = true;
            response.trickleMs = 100;
            response.framing = test::LoopbackResponse::Framing::Chunked;
        } else if (r.target == "/malformed") {
            response.raw = "HTTP/1.1 200 OK\r\nBad Name: 1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        }
        return response;
    });
    ASSERT_TRUE(engine.AddCode("var seen = [];"
                               "function ok(t) { seen.push('success:' + t.length); }"
                               "function failed(t, why) { seen.push('error:' + t.length + ':' + why); }"));
    const std::pair<std::string, std::string> cases[] = {
        {"url: '" + url("/endless") + "', maxBytes: 100000", "error:0:the response is larger than 100000 bytes"},
        {"url: '" + url("/endless") + "'", "error:0:the response is larger than 67108864 bytes"},
        {"url: '" + url("/trickle") + "', timeout: 500", "error:0:the request took longer than its deadline of 500 ms"},
        {"url: '" + url("/malformed") + "'", "error:2:malformed response header line: \"Bad Name: 1\""},
        {"url: '" + url("/fine") + "', maxBytes: 65536", "success:65536"},
    };
    for (const auto& [options, outcome] : cases) {
        engine.Eval("seen = []; $$.ajax({" + options + ", success: ok, error: failed})");
        EXPECT_EQ(engine.Eval("seen.join('|')"), outcome) << options;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"maxBytes: 'x'", "maxBytes error"}, {"maxBytes: -1", "maxBytes error"},
        {"maxBytes: 1.5", "maxBytes error"}, {"timeout: {}", "timeout error"}};
    for (const auto& [option, answer] : bad)
        EXPECT_EQ(engine.Eval("$$.ajax({url: 'u', " + std::string(option) + "})"), answer) << option;
}

// ---------------------------------------------------------------- stopping

TEST_F(ChakraCoreTest, TimeLimitStopsAnEndlessLoadAndTheEngineGoesOn) {
    engine.setTimeLimit(300ms);
    ASSERT_TRUE(engine.AddCode("var loaded = 1;"));
    EXPECT_FALSE(engine.lastCallStopped());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine.AddCode("while (true) {}"));
    EXPECT_TRUE(engine.lastCallStopped());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << "generous: the machine may be busy";
    EXPECT_EQ(engine.TakeException(), ChakraException{}) << "a stop is not a script error";

    EXPECT_EQ(engine.Eval("typeof loaded"), "undefined") << "the stopped engine was made anew";
    EXPECT_FALSE(engine.lastCallStopped());
    EXPECT_TRUE(engine.AddCode("console.log('still listening');"));
    EXPECT_EQ(logged, (Lines{{"string", "still listening"}}));
}

TEST_F(ChakraCoreTest, StopFromAnotherThreadEndsEvalAndCall) {
    EXPECT_FALSE(engine.stop()) << "nothing is running";
    EXPECT_EQ(whileStopping(engine, [&] { return engine.Eval("for (;;) {}"); }), "");
    EXPECT_TRUE(engine.lastCallStopped());

    ASSERT_TRUE(engine.AddCode("function spin() { for (;;) {} }"));
    EXPECT_EQ(whileStopping(engine, [&] { return engine.Call("spin", {}); }), "");
    EXPECT_TRUE(engine.lastCallStopped());
    EXPECT_EQ(engine.Eval("6 * 7"), "42");
}

TEST_F(ChakraCoreTest, ACallThatEndsInTimeIsNotStopped) {
    engine.setTimeLimit(10s);
    EXPECT_EQ(engine.Eval("var s = 0; for (var i = 0; i < 1000; i++) s += i; s"), "499500");
    EXPECT_FALSE(engine.lastCallStopped());
    EXPECT_EQ(engine.Eval("s"), "499500") << "the engine kept its state";
}

TEST_F(ChakraCoreAjax, StopEndsARequestThatIsWaiting) {
    server.setHandler([](const test::LoopbackRequest&) {
        test::LoopbackResponse slow = test::LoopbackResponse::text("late");
        slow.delayMs = 20000;
        return slow;
    });
    engine.setTimeLimit(300ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.Eval("$$.ajax({url: '" + url("/slow") + "'}); while (true) {}"), "");
    EXPECT_TRUE(engine.lastCallStopped());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

// ---------------------------------------------------------------- the check at start

TEST(EngineLibraryCheck, PresentLibraryAsksNothing) {
    const std::string dir = test::freshDirectory("engine-present");
    test::writeFile(dir + "/libChakraCore.so", "x");
    ScriptedDialogs dialogs;
    RecordingShell shell;
    EXPECT_TRUE(checkEngineLibrary(dialogs, shell, dir));
    EXPECT_TRUE(dialogs.records.empty());
}

TEST(EngineLibraryCheck, MissingLibraryAnsweredNoEndsAtOnce) {
    const std::string dir = test::freshDirectory("engine-missing-no");
    ScriptedDialogs dialogs;
    dialogs.yesNoAnswers = {MessageAnswer::No};
    RecordingShell shell;
    EXPECT_FALSE(checkEngineLibrary(dialogs, shell, dir));
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].text, "目录下未找到「libChakraCore.so」,是否前往下载？");
    EXPECT_EQ(dialogs.records[0].title, "警告");
    EXPECT_EQ(dialogs.records[0].icon, MessageIcon::Warning);
    EXPECT_EQ(dialogs.records[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(shell.opened.empty());
}

TEST(EngineLibraryCheck, MissingLibraryAnsweredYesOpensThePageThenEnds) {
    const std::string dir = test::freshDirectory("engine-missing-yes");
    ScriptedDialogs dialogs;
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    RecordingShell shell;
    EXPECT_FALSE(checkEngineLibrary(dialogs, shell, dir));
    EXPECT_EQ(shell.opened, std::vector<std::string>{kEngineDownloadUrl});
    ASSERT_EQ(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[1].text, "提取码为「7k2p」\r\n下载完毕后,请将「libChakraCore.so」移至运行目录下");
    EXPECT_EQ(dialogs.records[1].title, "提示");
    EXPECT_EQ(dialogs.records[1].icon, MessageIcon::Warning);
    EXPECT_EQ(dialogs.records[1].buttons, MessageButtons::Ok);
}

TEST(EngineLibraryCheck, TheBuiltProgramDirectoryHoldsTheLibrary) {
    EXPECT_TRUE(engineLibraryPresent());
}

}  // namespace
}  // namespace quillbox::engine
