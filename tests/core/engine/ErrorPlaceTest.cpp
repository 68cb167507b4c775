// Where errors are shown: the excerpt of a long line around the column, and whether an
// engine holds the project the user sees.
#include <gtest/gtest.h>

#include "core/engine/ErrorPlace.h"
#include "core/engine/LoadState.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(Excerpt, AShortLineIsWholeAndALongOneIsCutAroundTheColumn) {
    struct Case {
        const char* name;
        std::string line;
        int column;
        std::string text;
        int caret;
    };
    const std::string minified = repeat('a', 5000) + "BAD" + repeat('b', 5000);
    const Case cases[] = {
        {"short line, whole", "var x = ;", 8, "var x = ;", 8},
        {"column past the end clipped", "abc", 99, "abc", 3},
        {"negative column taken as 0", "abc", -4, "abc", 0},
        {"a line break at the end is not shown", "abc\r", 1, "abc", 1},
        {"exactly the width is whole", repeat('x', 120), 119, repeat('x', 120), 119},
        {"cut at the start only", repeat('x', 200) + "END", 201, "…" + repeat('x', 117) + "END", 119},
        {"cut at both ends", minified, 5000, "…" + repeat('a', 40) + "BAD" + repeat('b', 77) + "…", 41},
        {"near the start: only the end is cut", minified, 3, repeat('a', 120) + "…", 3},
    };
    for (const Case& c : cases) {
        const Excerpt excerpt = excerptAround(c.line, c.column);
        EXPECT_EQ(excerpt.text, c.text) << c.name;
        EXPECT_EQ(excerpt.caret, c.caret) << c.name;
    }
}

TEST(Excerpt, CountsColumnsInUtf16AndNeverSplitsAPair) {
    // "错" is one UTF-16 unit, "😀" two: the caret counts as the engines do.
    const Excerpt chinese = excerptAround("错误 = x;", 5);
    EXPECT_EQ(chinese.text, "错误 = x;");
    EXPECT_EQ(chinese.caret, 5);
    std::string line;
    for (int i = 0; i < 100; ++i)
        line += "😀";
    const Excerpt emoji = excerptAround(line, 101);
    // Whole pairs only: the text reads back as UTF-8 without a broken character.
    EXPECT_EQ(emoji.text.find("\xED"), std::string::npos);
    EXPECT_LE(emoji.text.size(), 4u * 61 + 2 * std::string("…").size());
    // The 199 KB line of the report becomes about 120 characters.
    const std::string huge = "var s='" + repeat('q', 199 * 1024) + "';x=;";
    const ErrorSpot spot = spotOf("p_m.js", 1, static_cast<int>(huge.size()) - 2, huge);
    EXPECT_LE(spot.excerpt.size(), 130u);
    EXPECT_EQ(spot.excerpt.substr(spot.excerpt.size() - 5), "';x=;");
    EXPECT_EQ(spot.page, "p_m.js");
}

class LoadStateTest : public test::MemoryStoreFixture {};

TEST_F(LoadStateTest, AnEngineIsCurrentUntilTheProjectChanges) {
    addProject("demo", {{"a", "var a = 1;"}, {"b", "var b = 2;"}});
    addProject("other", {{"x", "var x = 1;"}});
    const std::optional<LoadStamp> loaded = stampOf(store, "demo");
    EXPECT_EQ(staleness(std::nullopt, stampOf(store, "demo")), Staleness::NeverLoaded);
    EXPECT_EQ(staleness(loaded, stampOf(store, "demo")), Staleness::Current);
    EXPECT_EQ(staleness(loaded, stampOf(store, "other")), Staleness::OtherProject);
    EXPECT_EQ(engineStatus(kNativeEngine, loaded, store), "MSScriptControl: demo (最新)");
    EXPECT_EQ(engineStatus(kChakraEngine, std::nullopt, store), "ChakraCore: 未加载");

    store.page(store.findPage("demo", "b"))->setText("var b = 3;");
    EXPECT_EQ(staleness(loaded, stampOf(store, "demo")), Staleness::Edited);
    EXPECT_EQ(engineStatus(kNativeEngine, loaded, store), "MSScriptControl: demo (已修改)");
    EXPECT_EQ(reloadNote(Staleness::Edited, kChakraEngine), "代码已修改,先重新加载到 ChakraCore 再执行");
    EXPECT_EQ(reloadNote(Staleness::Current, kChakraEngine), "");

    // A module added is a change too.
    const std::optional<LoadStamp> again = stampOf(store, "demo");
    for (NodeId project : store.tree().topLevel())
        if (store.tree().text(project) == "demo")
            store.tree().select(project);
    ASSERT_NE(store.addModuleCore("c", "var c;"), kNoNode);
    EXPECT_EQ(staleness(again, stampOf(store, "demo")), Staleness::Edited);
}

}  // namespace
