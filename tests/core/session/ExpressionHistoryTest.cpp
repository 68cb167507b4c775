// The function box's history: kept per project across runs, shared by two windows, and
// walked with ↑/↓ as a shell does.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/platform/FileIO.h"
#include "core/session/ExpressionHistory.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::session;

namespace {

using Lines = std::vector<std::string>;

TEST(ExpressionHistory, KeepsEachProjectsExpressionsAcrossRuns) {
    const std::string path = test::freshDirectory("history") + "/session/history.json";
    {
        ExpressionHistory history(path);
        EXPECT_TRUE(history.entries("demo").empty());
        EXPECT_TRUE(history.add("demo", "sign('a')"));
        EXPECT_TRUE(history.add("demo", "sign(\"b\\n\") + '错误'"));
        EXPECT_TRUE(history.add("other", "1 + 1"));
        EXPECT_TRUE(history.add("demo", "   "));  // blank: not kept
        EXPECT_TRUE(history.add("demo", "sign('a')"));  // again: moves to the end
    }
    const ExpressionHistory again(path);
    EXPECT_EQ(again.entries("demo"), (Lines{"sign(\"b\\n\") + '错误'", "sign('a')"}));
    EXPECT_EQ(again.entries("other"), (Lines{"1 + 1"}));
    EXPECT_TRUE(again.entries("none").empty());
}

TEST(ExpressionHistory, TwoWindowsAddToOneFileAndTheOldestGoFirst) {
    const std::string path = test::freshDirectory("history-two") + "/history.json";
    ExpressionHistory first(path);
    ExpressionHistory second(path);
    first.add("p", "a()");
    second.add("q", "b()");
    first.add("p", "c()");
    EXPECT_EQ(ExpressionHistory(path).entries("q"), (Lines{"b()"}));
    EXPECT_EQ(ExpressionHistory(path).entries("p"), (Lines{"a()", "c()"}));

    for (std::size_t i = 0; i < ExpressionHistory::kLimit + 5; ++i)
        first.add("p", "f(" + std::to_string(i) + ")");
    const ExpressionHistory reread(path);
    const Lines& kept = reread.entries("p");
    ASSERT_EQ(kept.size(), ExpressionHistory::kLimit);
    EXPECT_EQ(kept.front(), "f(5)");
    EXPECT_EQ(kept.back(), "f(" + std::to_string(ExpressionHistory::kLimit + 4) + ")");
}

TEST(ExpressionHistory, AnUnreadableFileIsAnEmptyHistoryAndAFailedWriteKeepsTheEntry) {
    const std::string dir = test::freshDirectory("history-bad");
    ASSERT_TRUE(files::writeAtomically(dir + "/history.json", "{not json"));
    ExpressionHistory history(dir + "/history.json");
    EXPECT_TRUE(history.entries("p").empty());
    EXPECT_TRUE(history.add("p", "x"));
    EXPECT_EQ(ExpressionHistory(dir + "/history.json").entries("p"), (Lines{"x"}));

    // A directory where the file should be: the write fails, the entry stays for this run.
    std::filesystem::create_directories(dir + "/blocked");
    ExpressionHistory blocked(dir + "/blocked");
    std::string error;
    EXPECT_FALSE(blocked.add("p", "y", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(blocked.entries("p"), (Lines{"y"}));
    EXPECT_EQ(historyPathBeside("/home/u/session/session-2.json"), "/home/u/session/history.json");
}

TEST(HistoryWalk, UpAndDownWalkTheEntriesAndBringBackWhatWasTyped) {
    const Lines entries{"one", "two", "three"};
    HistoryWalk walk;
    std::string shown;
    EXPECT_FALSE(walk.newer(entries, shown)) << "↓ before any ↑ does nothing";
    const struct {
        bool up;
        bool moved;
        const char* shown;
    } steps[] = {
        {true, true, "three"}, {true, true, "two"},  {true, true, "one"}, {true, false, "one"},
        {false, true, "two"},  {false, true, "three"}, {false, true, "typ"}, {false, false, "typ"},
    };
    shown = "typ";
    for (const auto& step : steps) {
        std::string next = shown;
        const bool moved = step.up ? walk.older(entries, "typ", next) : walk.newer(entries, next);
        EXPECT_EQ(moved, step.moved) << step.shown;
        if (moved)
            shown = next;
        EXPECT_EQ(shown, step.shown);
    }
    EXPECT_FALSE(walk.older(Lines{}, "x", shown));
}

}  // namespace
