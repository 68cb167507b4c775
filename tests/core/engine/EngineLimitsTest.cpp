// The stop, the time limit and the memory limit of both engines, on the scripts whose time goes
// into one long built-in call or a regular expression rather than into many instructions.
// The bounds are generous (the machine may be busy); bench_limits measures the real delays.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/ChakraCore.h"
#include "core/engine/MemoryLimit.h"
#include "core/engine/ScriptControl.h"

namespace quillbox::engine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One engine behind the calls these tests make.
class Engine {
public:
    virtual ~Engine() = default;
    virtual bool add(const std::string& code) = 0;
    // Calls spin(); false when it did not finish.
    virtual bool spin() = 0;
    virtual std::string eval(const std::string& expression) = 0;
    virtual bool stop() = 0;
    virtual void setTimeLimit(std::chrono::milliseconds limit) = 0;
    virtual void setMemoryLimit(std::size_t bytes) = 0;
    virtual bool stopped() const = 0;
    virtual bool outOfMemory() const = 0;
    // The failed call's error as the user reads it.
    virtual std::string error() = 0;
};

class Native : public Engine {
public:
    bool add(const std::string& code) override { return control.AddCode(code); }
    bool spin() override {
        control.Run("spin");
        return control.Error().Number == 0;
    }
    std::string eval(const std::string& expression) override { return control.Eval(expression).text(); }
    bool stop() override { return control.stop(); }
    void setTimeLimit(std::chrono::milliseconds limit) override { control.setTimeLimit(limit); }
    void setMemoryLimit(std::size_t bytes) override { control.setMemoryLimit(bytes); }
    bool stopped() const override { return control.lastCallStopped(); }
    bool outOfMemory() const override { return control.lastCallOutOfMemory(); }
    std::string error() override { return std::to_string(control.Error().Number) + " " + control.Error().Description; }

    ScriptControl control;
};

class Chakra : public Engine {
public:
    Chakra() { engine.New(); }
    bool add(const std::string& code) override { return engine.AddCode(code); }
    bool spin() override {
        engine.Call("spin", {});
        taken = engine.TakeException();
        return !engine.lastCallStopped() && !engine.lastCallOutOfMemory() && !taken.thrown;
    }
    std::string eval(const std::string& expression) override { return engine.Eval(expression); }
    bool stop() override { return engine.stop(); }
    void setTimeLimit(std::chrono::milliseconds limit) override { engine.setTimeLimit(limit); }
    void setMemoryLimit(std::size_t bytes) override {
        engine.setMemoryLimit(bytes);
        engine.New();
    }
    bool stopped() const override { return engine.lastCallStopped(); }
    bool outOfMemory() const override { return engine.lastCallOutOfMemory(); }
    std::string error() override {
        const ChakraException e = taken.thrown ? taken : engine.TakeException();
        taken = ChakraException();
        return e.exception;
    }

    ChakraCore engine;
    ChakraException taken;
};

std::unique_ptr<Engine> make(const std::string& name) {
    if (name == "native")
        return std::make_unique<Native>();
    return std::make_unique<Chakra>();
}

// A script that runs for ever, its time in one kind of long call.
struct BlindSpot {
    const char* name;
    const char* spin;
    bool native = true;  // whether the native engine speaks it
};

const BlindSpot kBlindSpots[] = {
    {"join", "function spin() { for (;;) new Array(1000001).join('ab'); }"},
    {"sort",
     "function spin() { var a = []; for (var i = 0; i < 300000; i++) a.push((i * 7919) % 300007);"
     " for (;;) a.slice(0).sort(); }"},
    {"replace",
     "function spin() { var s = new Array(800001).join('x');"
     " for (;;) s.replace(/x/g, function (m) { return 'y'; }); }"},
    {"concat", "function spin() { var s = ''; for (;;) { s += 'abcdefgh'; if (s.length > 67108864) s = ''; } }"},
    {"append", "function spin() { var s = ''; for (var i = 0;; i++) {"
               " s += String.fromCharCode(97 + i % 26) + i; if (s.length > 67108864) s = ''; } }"},
    {"regexp", "function spin() { var s = new Array(41).join('a') + '!'; for (;;) /^(a+)+$/.test(s); }"},
    {"reverse", "function spin() { var a = []; a.length = 4294967295; for (;;) a.reverse(); }"},
    {"stringify",
     "function spin() { var o = []; for (var i = 0; i < 200000; i++) o.push({a: i, b: 'x' + i});"
     " for (;;) JSON.stringify(o); }",
     false},
};

struct Case {
    std::string engine;
    BlindSpot spot;
};

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const BlindSpot& spot : kBlindSpots)
        for (const char* engine : {"native", "chakra"})
            if (spot.native || std::string(engine) == "chakra")
                all.push_back({engine, spot});
    return all;
}

class BlindSpotStop : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        engine = make(GetParam().engine);
        ASSERT_TRUE(engine->add(std::string("var kept = 1;\n") + GetParam().spot.spin)) << engine->error();
    }

    // The script stopped, and the engine is empty and answers.
    void expectStoppedAndMadeAnew() {
        EXPECT_TRUE(engine->stopped());
        EXPECT_FALSE(engine->outOfMemory());
        EXPECT_EQ(engine->eval("typeof kept"), "undefined") << "a stop leaves the engine empty";
        EXPECT_EQ(engine->eval("6 * 7"), "42");
        EXPECT_FALSE(engine->stopped());
    }

    std::unique_ptr<Engine> engine;
};

// JavaScriptCore cannot be interrupted inside a regular expression: the match runs until its
// own backtracking limit gives up (seconds), and the stop takes at the next instruction.
std::chrono::seconds boundFor(const Case& c) {
    return c.engine == "chakra" && std::string(c.spot.name) == "regexp" ? 60s : 10s;
}

TEST_P(BlindSpotStop, StopFromAnotherThread) {
    std::atomic<bool> done{false};
    std::atomic<Clock::rep> requested{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);  // let it get into the long call
        while (!done) {
            const auto at = Clock::now();
            if (engine->stop()) {
                requested = at.time_since_epoch().count();
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
    });
    const bool finished = engine->spin();
    const auto end = Clock::now();
    done = true;
    stopper.join();
    EXPECT_FALSE(finished);
    ASSERT_NE(requested.load(), 0);
    EXPECT_LT(end - Clock::time_point(Clock::duration(requested.load())), boundFor(GetParam()));
    expectStoppedAndMadeAnew();
}

TEST_P(BlindSpotStop, TimeLimit) {
    engine->setTimeLimit(500ms);
    const auto start = Clock::now();
    EXPECT_FALSE(engine->spin());
    EXPECT_LT(Clock::now() - start, 500ms + boundFor(GetParam()));
    engine->setTimeLimit(0ms);
    expectStoppedAndMadeAnew();
}

INSTANTIATE_TEST_SUITE_P(Engines, BlindSpotStop, testing::ValuesIn(cases()), [](const auto& info) {
    return info.param.engine + "_" + info.param.spot.name;
});

// ---------------------------------------------------------------- the memory limit

class MemoryLimit : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { engine = make(GetParam()); }
    std::unique_ptr<Engine> engine;
};

constexpr std::size_t k96MiB = std::size_t(96) << 20;

TEST_P(MemoryLimit, AScriptThatPassesItFailsWithTheLimitNamedAndTheEngineWorksAgain) {
    engine->setMemoryLimit(k96MiB);
    ASSERT_TRUE(engine->add("var kept = 1;\n"
                            "function spin() { var x = new Array(100001).join('x'), a = [];"
                            " for (;;) try { a.push(x + a.length); } catch (e) {} }"));
    const auto start = Clock::now();
    EXPECT_FALSE(engine->spin());
    EXPECT_LT(Clock::now() - start, 60s);
    EXPECT_TRUE(engine->outOfMemory());
    EXPECT_FALSE(engine->stopped()) << "passing the limit is an error, not a stop";
    const std::string error = engine->error();
    EXPECT_NE(error.find("Out of memory: the script passed the memory limit of 96 MiB; the engine was made anew"),
              std::string::npos)
        << error;
    if (GetParam() == "native") {
        EXPECT_EQ(error.rfind("7 ", 0), 0u) << "Error.Number stays 7: " << error;
    }
    EXPECT_EQ(engine->eval("typeof kept"), "undefined") << "the engine was reset";
    EXPECT_EQ(engine->eval("new Array(1001).join('y').length"), "1000");
    EXPECT_FALSE(engine->outOfMemory());
}

TEST_P(MemoryLimit, CodeUnderTheLimitRunsAsBefore) {
    engine->setMemoryLimit(k96MiB);
    ASSERT_TRUE(engine->add("var kept = [];\n"
                            "function spin() { for (var i = 0; i < 200; i++) kept.push(new Array(10001).join('x')); }"));
    EXPECT_TRUE(engine->spin()) << engine->error();
    EXPECT_FALSE(engine->outOfMemory());
    EXPECT_EQ(engine->eval("kept.length"), "200");
}

INSTANTIATE_TEST_SUITE_P(Engines, MemoryLimit, testing::Values("native", "chakra"));

// The native engine grows some things in place: a string appended to while the old one dies,
// an array given its array part back once it is dense. Runaway growth of either still ends at
// the limit, as an error, and the engine works again.
TEST(NativeMemoryLimit, RunawayGrowthInPlaceEndsAtTheLimit) {
    const char* const runaways[] = {
        "function spin() { var piece = new Array(1025).join('x'), s = piece; for (;;) s += piece; }",
        "function spin() { var a = []; a[30000000] = 0; for (var i = 0; ; i++) a[i] = i; }",
        "function spin() { var a = []; for (var i = 30000000; ; i--) a[i] = i; }",
    };
    for (const char* spin : runaways) {
        Native engine;
        engine.setMemoryLimit(k96MiB);
        ASSERT_TRUE(engine.add(std::string("var kept = 1;\n") + spin)) << engine.error();
        const auto start = Clock::now();
        EXPECT_FALSE(engine.spin()) << spin;
        EXPECT_LT(Clock::now() - start, 60s) << spin;
        EXPECT_TRUE(engine.outOfMemory()) << spin << ": " << engine.error();
        EXPECT_EQ(engine.error().rfind("7 ", 0), 0u) << spin << ": " << engine.error();
        EXPECT_EQ(engine.eval("typeof kept"), "undefined") << spin;
        EXPECT_EQ(engine.eval("var s = ''; for (var i = 0; i < 1000; i++) s += 'ab'; s.length"), "2000") << spin;
    }
}

TEST(MemoryLimitText, NamesTheLimitInMiBOrBytes) {
    EXPECT_EQ(memoryLimitText(kDefaultMemoryLimit), "1024 MiB");
    EXPECT_EQ(memoryLimitText(std::size_t(96) << 20), "96 MiB");
    EXPECT_EQ(memoryLimitText(1000000), "1000000 bytes");
    EXPECT_EQ(ChakraCore().memoryLimit(), kDefaultMemoryLimit);
    EXPECT_EQ(ScriptControl().memoryLimit(), kDefaultMemoryLimit);
}

}  // namespace
}  // namespace quillbox::engine
