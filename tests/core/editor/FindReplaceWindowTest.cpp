#include <gtest/gtest.h>

#include "core/editor/FindReplace.h"
#include "core/editor/MemoryPage.h"
#include "PrintSelection.h"
#include "core/platform/Dialogs.h"

using namespace quillbox;
using namespace quillbox::editor;

TEST(SearchOptions, CheckingOneClearsTheOtherTwo) {
    FindReplaceForm form;
    clickSearchOption(form, SearchOption::CaseSensitive);
    clickSearchOption(form, SearchOption::WholeWord);
    EXPECT_TRUE(form.wholeWord);
    EXPECT_FALSE(form.caseSensitive);
    clickSearchOption(form, SearchOption::RegExp);
    EXPECT_TRUE(form.regExp);
    EXPECT_FALSE(form.caseSensitive);
    EXPECT_FALSE(form.wholeWord);
    // Clicking the checked box clears it.
    clickSearchOption(form, SearchOption::RegExp);
    EXPECT_FALSE(form.regExp || form.caseSensitive || form.wholeWord);
}

TEST(FindReplaceWindow, ReplaceOneReportsSuccessOrFailure) {
    MemoryPage page("", "var foo = foo;");
    FindReplaceForm form{"foo", "bar"};
    EXPECT_EQ(replaceOneInPage(&page, form), "替换成功");
    EXPECT_EQ(page.getText(), "var bar = foo;");
    EXPECT_EQ(replaceOneInPage(&page, form), "替换成功");
    EXPECT_EQ(replaceOneInPage(&page, form), "替换失败");
    EXPECT_EQ(page.getText(), "var bar = bar;");
}

TEST(FindReplaceWindow, ReplaceAllReportsTheCountOrFailure) {
    MemoryPage page("", "a.b a.b\na.b");
    FindReplaceForm form{"a.b", "c"};
    EXPECT_EQ(replaceAllInPage(&page, form), "替换成功 共替换3项");
    EXPECT_EQ(page.getText(), "c c\nc");
    // Nothing matched: a failure, not a count of 0.
    EXPECT_EQ(replaceAllInPage(&page, form), "替换失败");
}

TEST(FindReplaceWindow, TheCheckedOptionReachesTheSearch) {
    MemoryPage page("", "Foo foo");
    FindReplaceForm form{"foo", "x"};
    clickSearchOption(form, SearchOption::CaseSensitive);
    EXPECT_EQ(replaceAllInPage(&page, form), "替换成功 共替换1项");
    EXPECT_EQ(page.getText(), "Foo x");
}

TEST(FindReplaceWindow, WithoutAPageNothingHappens) {
    FindReplaceForm form{"foo", "bar"};
    findInPage(nullptr, form);
    EXPECT_EQ(replaceOneInPage(nullptr, form), "");
    EXPECT_EQ(replaceAllInPage(nullptr, form), "");
    ScriptedDialogs dialogs;
    goToLine(nullptr, dialogs);
    EXPECT_TRUE(dialogs.records.empty());
}

TEST(GoToLine, ProposesTheLastLineAndSelectsTheLineChosen) {
    MemoryPage page("", "1\n22\n333\n4444\n55555\n6");
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back("5");
    goToLine(&page, dialogs);
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].text, "请输入跳转行数");
    EXPECT_EQ(dialogs.records[0].title, "6");  // the initial text
    EXPECT_EQ(page.selectedText(), "55555");
    EXPECT_EQ(page.selectionRange(), (SelectionRange{5, 1, 5, 5}));
}

TEST(GoToLine, AnswerBelowOneWarnsAndAsksAgain) {
    MemoryPage page("", "1\n22\n333\n4444\n55555\n6");
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back("0");
    dialogs.inputAnswers.push_back("5");
    goToLine(&page, dialogs);
    ASSERT_EQ(dialogs.records.size(), 3u);
    EXPECT_EQ(dialogs.records[1].text, "请输入正确的行数");
    EXPECT_EQ(dialogs.records[1].icon, MessageIcon::Warning);
    EXPECT_EQ(dialogs.records[2].kind, DialogRecord::Input);
    EXPECT_EQ(page.selectedText(), "55555");
}

TEST(GoToLine, CancelOrAnEmptyAnswerChangesNothingAndPastTheEndClips) {
    MemoryPage page("", "ab\ncd");
    page.select(1, 1, 1, 1);
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back(std::nullopt);
    dialogs.inputAnswers.push_back("  ");
    goToLine(&page, dialogs);
    goToLine(&page, dialogs);
    EXPECT_EQ(page.selectedText(), "a");

    // Past the end: the editor clips both ends to the last line, which is selected.
    dialogs.inputAnswers.push_back("99");
    goToLine(&page, dialogs);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 2, 2}));
    EXPECT_EQ(page.selectedText(), "cd");
}

// "line:column" goes to the character there, as the output's error places read.
TEST(GoToLine, ALineAndColumnSelectTheCharacterThere) {
    struct Case {
        const char* answer;
        std::optional<LinePlace> place;
    };
    const Case cases[] = {
        {"12", LinePlace{12, 0}},       {"12:5", LinePlace{12, 5}},  {" 3 : 7", LinePlace{3, 7}},
        {"3：7", LinePlace{3, 7}},       {"0:4", std::nullopt},        {"3:", std::nullopt},
        {"3:0", std::nullopt},          {"3:x", std::nullopt},        {"abc", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<LinePlace> place = linePlace(c.answer);
        ASSERT_EQ(place.has_value(), c.place.has_value()) << c.answer;
        if (place) {
            EXPECT_EQ(place->line, c.place->line) << c.answer;
            EXPECT_EQ(place->column, c.place->column) << c.answer;
        }
    }

    MemoryPage page("", "first\nvar x = 1, y = ;\nlast");
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back("2:5");
    goToLine(&page, dialogs);
    EXPECT_EQ(page.selectedText(), "x");
    // A bad column warns and asks again, as a bad line does; past the end clips.
    dialogs.inputAnswers.push_back("2:");
    dialogs.inputAnswers.push_back("2:999");
    goToLine(&page, dialogs);
    EXPECT_EQ(dialogs.records[2].text, "请输入正确的行数");
    EXPECT_EQ(page.selectionRange().startRow, 2);
    EXPECT_EQ(page.selectedText(), "");
}
