// Watch points: a watched ChakraCore load notes every call that runs text or sends it out,
// in order, with its arguments and the module:line that made it, and the code behaves as it
// does unwatched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine/BrowserEnvironment.h"
#include "core/engine/SyntaxGate.h"
#include "core/engine/WatchLog.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace quillbox::engine {
void PrintTo(const WatchRow& row, std::ostream* out) { *out << "{" << row.call << " | " << row.args << " | " << row.where << "}"; }
}  // namespace quillbox::engine

namespace {

class WatchLogTest : public test::LoaderFixture {
protected:
    void SetUp() override {
        if (!ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so is not built";
        loader.onWatchLog = [this](std::vector<WatchRow> rows, bool fresh) {
            if (fresh)
                log.clear();
            fresh_.push_back(fresh);
            log.insert(log.end(), rows.begin(), rows.end());
        };
    }

    std::string evaluate(const std::string& expression) {
        const std::size_t before = output.lines.size();
        loader.evaluate(expression, kChakraEngine);
        for (std::size_t i = before; i < output.lines.size(); ++i)
            if (output.lines[i].type == kResultType)
                return output.lines[i].text;
        return "(nothing)";
    }

    static std::string page(const std::string& module) { return ProjectStore::pageName("p", module); }

    std::vector<WatchRow> log;
    std::vector<bool> fresh_;
};

const char* kModule =
    "var secret = 5;\n"
    "function viaEval() { var local = 2; return eval('local + secret'); }\n"
    "var made = new Function('x', 'return x * 2');\n"
    "var hidden = [].constructor.constructor('return 7')();\n"
    "var indirect = (0, eval)('secret * 10') + this['eval']('1');\n";

TEST_F(WatchLogTest, CallsThatRunTextAreNotedInOrderWithTheirPlace) {
    addProject("p", {{"a", kModule}});
    loader.setWatching(true);
    ASSERT_TRUE(loader.load(kChakraEngine)) << ::testing::PrintToString(output.texts());
    const std::vector<WatchRow> atLoad{{"Function", "\"x\", \"return x * 2\"", page("a") + ":3"},
                                       {"Function", "\"return 7\"", page("a") + ":4"},
                                       {"eval", "\"secret * 10\"", page("a") + ":5"},
                                       {"eval", "\"1\"", page("a") + ":5"}};
    EXPECT_EQ(log, atLoad);
    // An evaluation adds what it ran to the log; a direct eval still sees the caller's
    // variables.
    EXPECT_EQ(evaluate("viaEval() + made(3) + hidden + indirect"), "71");
    ASSERT_EQ(log.size(), atLoad.size() + 1);
    EXPECT_EQ(log.back(), (WatchRow{"eval", "\"local + secret\"", page("a") + ":2"}));
    EXPECT_EQ(evaluate("Function('return 1')()"), "1");
    EXPECT_EQ(log.back(), (WatchRow{"Function", "\"return 1\"", std::string(kExpressionPlace) + ":1"}));
    EXPECT_EQ(fresh_, (std::vector<bool>{true, false, false}));
    // A new load starts the log anew.
    ASSERT_TRUE(loader.load(kChakraEngine));
    EXPECT_EQ(log, atLoad);
}

TEST_F(WatchLogTest, WatchedCodeSeesWhatUnwatchedCodeSees) {
    addProject("p", {{"a", kModule}});
    ASSERT_TRUE(putBrowserModuleFirst(store, "p", browserModuleText(defaultBrowserProfile())));
    const std::vector<std::string> probes{
        "Object.keys(this).join()",
        "Object.keys(XMLHttpRequest.prototype).join()",
        "String(setTimeout) + String(XMLHttpRequest.prototype.send)",
        "JSON.stringify(Object.getOwnPropertyDescriptor(Document.prototype, 'cookie').set.toString())",
        "Function.prototype.toString.call(Function)",
        "String(Function) + Function.length + Function.name",
        "(function () {}).constructor === Function && Function.prototype.constructor === Function",
        "Function.prototype.toString.call(Function.prototype.toString)",
        "new Function('return this')() === this",
        "viaEval() + made(3) + hidden + indirect",
    };
    std::vector<std::string> unwatched;
    ASSERT_TRUE(loader.load(kChakraEngine));
    for (const std::string& probe : probes)
        unwatched.push_back(evaluate(probe));
    loader.setWatching(true);
    ASSERT_TRUE(loader.load(kChakraEngine));
    for (std::size_t i = 0; i < probes.size(); ++i)
        EXPECT_EQ(evaluate(probes[i]), unwatched[i]) << probes[i];
}

TEST_F(WatchLogTest, TheBrowserEnvironmentsTimersCookieAndRequestsAreNoted) {
    addProject("p", {{"b",
                      "setTimeout('timerRan = 1', 0); setTimeout(function () {}, 0);\n"
                      "document.cookie = 'k=v';\n"
                      "var r = new XMLHttpRequest(); r.open('POST', 'http://127.0.0.1:1/x'); r.send('data=1');\n"
                      "try { $$.ajax({}); } catch (e) {}\n"}});
    ASSERT_TRUE(putBrowserModuleFirst(store, "p", browserModuleText(defaultBrowserProfile())));
    loader.setWatching(true);
    ASSERT_TRUE(loader.load(kChakraEngine)) << ::testing::PrintToString(output.texts());
    const std::vector<WatchRow> expected{{"setTimeout", "\"timerRan = 1\", 0", page("b") + ":1"},
                                         {"document.cookie", "\"k=v\"", page("b") + ":2"},
                                         {"XMLHttpRequest.send", "POST http://127.0.0.1:1/x, \"data=1\"", page("b") + ":3"},
                                         {"$$.ajax", "{}", page("b") + ":4"}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(evaluate("timerRan + document.cookie"), "1k=v");
}

TEST_F(WatchLogTest, AFailedLoadStillTellsWhatItNotedAndNativeLoadsNoteNothing) {
    addProject("p", {{"a", "eval('1');\nundefinedFunction();\n"}});
    loader.setWatching(true);
    EXPECT_FALSE(loader.load(kChakraEngine));
    EXPECT_EQ(log, (std::vector<WatchRow>{{"eval", "\"1\"", page("a") + ":1"}}));
    log.clear();
    fresh_.clear();
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_TRUE(fresh_.empty());
}

TEST(WatchSites, EvalCallsGetTheirFirstArgumentMarkedAndNothingElseMoves) {
    if (!ChakraCore::libraryLoaded())
        GTEST_SKIP() << "libChakraCore.so is not built";
    SyntaxGate gate;
    struct Case {
        const char* code;
        const char* watched;  // "" when nothing changes
    } cases[] = {
        {"eval(x)", "eval(QUILLBOX_WATCH_EVAL(x))"},
        {"eval(a, b)", "eval(QUILLBOX_WATCH_EVAL(a), b)"},
        {"window.eval(s); o['eval'](t); (0, eval)(u)",
         "window.eval(QUILLBOX_WATCH_EVAL(s)); o['eval'](QUILLBOX_WATCH_EVAL(t)); (0, eval)(QUILLBOX_WATCH_EVAL(u))"},
        {"eval(eval(x) + '1')", "eval(QUILLBOX_WATCH_EVAL(eval(QUILLBOX_WATCH_EVAL(x)) + '1'))"},
        {"eval('中文' +\n  y)", "eval(QUILLBOX_WATCH_EVAL('中文' +\n  y))"},
        {"eval()", ""},
        {"eval(...args)", ""},
        {"var evaluate = 1; evaluation(x); o.evalx(y); 'eval(z)'", ""},
        {"no eval here (", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gate.watchedCode(c.code), c.watched) << c.code;
}

TEST(WatchLogText, RowsAreReadBackPlacedAndTabulated) {
    const std::string json = std::string(R"([["eval","\"a\tb\"","p_a.js:3"],["Function","","Zorvan:1"],["...","4",""]])");
    const std::vector<WatchRow> rows = parseWatchLog(json);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].where, std::string(kExpressionPlace) + ":1");
    EXPECT_EQ(watchTableText(rows), "调用\t参数\t位置\neval\t\"a\\tb\"\tp_a.js:3\nFunction\t\t求值:1\n...\t4\t\n");
    EXPECT_TRUE(parseWatchLog("[[1,2]]").empty());
    EXPECT_TRUE(parseWatchLog("not json").empty());

    std::string page;
    int line = 0;
    EXPECT_TRUE(splitPlace("p_a:b.js:12", page, line));
    EXPECT_EQ(page, "p_a:b.js");
    EXPECT_EQ(line, 12);
    for (const char* bad : {"", "p.js", "p.js:", ":3", "p.js:0", "p.js:3x"})
        EXPECT_FALSE(splitPlace(bad, page, line)) << bad;
}

}  // namespace
