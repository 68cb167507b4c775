// The loader with its engines on their own thread, as the window runs it: the caller is never
// held up by a script, lines, progress and results come back to the caller's side in order,
// a stop from the caller's side ends a runaway script, and a listed object's members arrive
// when its node is opened.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "core/engine/EngineThread.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;
using Lines = std::vector<std::string>;

namespace {

// The window's side: tasks posted from the engine's thread wait here until the test runs
// them, as a window's event loop would.
class WindowQueue {
public:
    void post(std::function<void()> task) {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    // Runs what arrives until `done` holds; false when 30 s pass first.
    bool runUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!tasks_.empty()) {
                    task = std::move(tasks_.front());
                    tasks_.pop_front();
                }
            }
            if (task)
                task();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

class ThreadedLoaderTest : public test::LoaderFixture {
protected:
    ThreadedLoaderTest() {
        loader.setThreads([this](EngineKind e, std::function<void()> t) { threadOf(e).post(std::move(t)); },
                          [this](std::function<void()> t) { window.post(std::move(t)); });
    }
    ~ThreadedLoaderTest() override {
        native.ControlObject()->stop();
        chakra.stop();
        nativeThread.reset();  // before the engines and the loader go
        chakraThread.reset();
    }
    EngineThread& threadOf(EngineKind engine) { return engine == kNativeEngine ? *nativeThread : *chakraThread; }

    WindowQueue window;
    std::unique_ptr<EngineThread> nativeThread = std::make_unique<EngineThread>();
    std::unique_ptr<EngineThread> chakraThread = std::make_unique<EngineThread>();
};

TEST_F(ThreadedLoaderTest, ARunawayLoadHoldsNothingUpAndAStopEndsIt) {
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (engine == kChakraEngine && !ChakraCore::libraryLoaded())
            continue;
        SCOPED_TRACE(engineName(engine));
        addProject(std::string("p") + engineName(engine), {{"a", "var a = 1;"}, {"b", "var b = 2;"}, {"c", "while (true) {}"}});
        output.lines.clear();
        std::vector<std::pair<std::size_t, std::size_t>> steps;
        loader.onProgress = [&](std::size_t done, std::size_t total) { steps.emplace_back(done, total); };
        std::optional<bool> outcome;
        ASSERT_TRUE(loader.load(engine, [&](bool ok) { outcome = ok; }));
        EXPECT_FALSE(outcome) << "the call returns while the script runs";
        ASSERT_TRUE(window.runUntil([&] { return steps.size() == 2; }));
        EXPECT_TRUE(threadOf(engine).busy());
        EXPECT_FALSE(outcome);
        // A stop asked before the script has begun does nothing: ask until it takes.
        const auto stop = [&] { return engine == kNativeEngine ? native.ControlObject()->stop() : chakra.stop(); };
        for (int i = 0; i < 1000 && !stop(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(window.runUntil([&] { return outcome.has_value(); }));
        EXPECT_FALSE(*outcome);
        const std::string project = std::string("p") + engineName(engine);
        EXPECT_EQ(output.texts(), (Lines{">>" + project + "_a.js：加载成功", ">>" + project + "_b.js：加载成功",
                                         ">>执行已停止", ">>引擎已重新创建,请重新加载项目"}));
        EXPECT_EQ(steps, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 3}, {2, 3}}));
        // The engine goes on, empty.
        std::optional<Evaluation> result;
        loader.evaluate("typeof a", engine, [&](Evaluation e) { result = e; });
        ASSERT_TRUE(window.runUntil([&] { return result.has_value(); }));
        EXPECT_EQ(*result, Evaluation::Result);
        EXPECT_EQ(output.texts().back(), ">>[结果] undefined");
    }
}

TEST_F(ThreadedLoaderTest, MembersArriveWhenTheirNodeIsOpened) {
    addProject("p", {{"m", "var o = {x: 1, y: 2};\nfunction f() {}"}});
    std::optional<bool> outcome;
    loader.load(kNativeEngine, [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(window.runUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(*outcome);
    ProjectTree& tree = store.tree();
    const NodeId properties = tree.node(store.moduleNode("p", "m"))->children[1];
    ASSERT_EQ(tree.children(properties).size(), 1u);
    const NodeId object = tree.children(properties)[0];
    EXPECT_EQ(tree.text(object), "o");
    EXPECT_TRUE(tree.children(object).empty()) << "read where the engine lives, not here";
    ASSERT_TRUE(window.runUntil([&] { return tree.node(object)->children.size() == 2; }));
    EXPECT_EQ(tree.text(tree.node(object)->children[1]), "y");
    // A load again makes a new listing whose objects get their members once each.
    const NodeId oldGroup = tree.node(store.moduleNode("p", "m"))->children[1];
    outcome.reset();
    loader.load(kNativeEngine, [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(window.runUntil([&] { return outcome.has_value(); }));
    const NodeId fresh = tree.children(oldGroup)[0];
    EXPECT_TRUE(tree.children(fresh).empty());
    ASSERT_TRUE(window.runUntil([&] { return tree.node(fresh)->children.size() == 2; }));
    window.runUntil([] { return true; });
    EXPECT_EQ(tree.node(fresh)->children.size(), 2u) << "each member once";
}

// Each engine has a thread of its own: a script that never ends in one engine holds up
// nothing in the other, and its stop leaves the other engine's listing in the tree.
TEST_F(ThreadedLoaderTest, ARunawayScriptInOneEngineHoldsUpNothingInTheOther) {
    if (!ChakraCore::libraryLoaded())
        GTEST_SKIP() << "libChakraCore.so not built";
    addProject("spin", {{"m", "function spin() { while (true) {} }"}});
    std::optional<bool> loaded;
    loader.load(kNativeEngine, [&](bool ok) { loaded = ok; });
    ASSERT_TRUE(window.runUntil([&] { return loaded.has_value(); }));
    std::optional<Evaluation> spun;
    loader.evaluate("spin()", kNativeEngine, [&](Evaluation e) { spun = e; });

    addProject("other", {{"m", "var o = {x: 1};\nfunction twice(n) { return 2 * n; }"}});
    loaded.reset();
    loader.load(kChakraEngine, [&](bool ok) { loaded = ok; });
    ASSERT_TRUE(window.runUntil([&] { return loaded.has_value(); }));
    EXPECT_TRUE(*loaded);
    std::optional<Evaluation> result;
    loader.evaluate("twice(21)", kChakraEngine, [&](Evaluation e) { result = e; });
    ASSERT_TRUE(window.runUntil([&] { return result.has_value(); }));
    EXPECT_EQ(output.texts().back(), ">>[结果] 42");
    EXPECT_FALSE(spun) << "the native engine still runs";
    EXPECT_TRUE(threadOf(kNativeEngine).busy());

    while (!native.ControlObject()->stop())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(window.runUntil([&] { return spun.has_value(); }));
    EXPECT_EQ(*spun, Evaluation::Stopped);
    ProjectTree& tree = store.tree();
    const NodeId methods = tree.node(store.moduleNode("other", "m"))->children[0];
    ASSERT_EQ(tree.children(methods).size(), 1u) << "ChakraCore's listing stays";
    EXPECT_EQ(tree.text(tree.children(methods)[0]), "twice");
}

}  // namespace
