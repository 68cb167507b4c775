#include <gtest/gtest.h>

#include "core/editor/AceBridge.h"
#include "core/editor/MemoryPage.h"
#include "PrintSelection.h"

using namespace quillbox;

namespace {
const std::string kZhongwen = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kEmoji = "\xF0\x9F\x98\x80";             // U+1F600: two UTF-16 units
const std::string kThreeLines = "line one\nline two\n0123456789abc";
}  // namespace

// ---- what the page is sent and reads back ---------------------------------------------

TEST(AceBridge, SelectSendsZeroBasedStartAndEndRowWithTheEndColumnUnchanged) {
    EXPECT_EQ(editor::selectRangeJson(3, 1, 3, 10),
              "{\"start\":{\"row\":2,\"column\":0},\"end\":{\"row\":2,\"column\":10}}");
    // AppendText's select and PrependText's.
    EXPECT_EQ(editor::selectRangeJson(5, 999999, 5, 999999),
              "{\"start\":{\"row\":4,\"column\":999998},\"end\":{\"row\":4,\"column\":999999}}");
    EXPECT_EQ(editor::selectRangeJson(0, 0, 0, 0),
              "{\"start\":{\"row\":-1,\"column\":-1},\"end\":{\"row\":-1,\"column\":0}}");
}

TEST(AceBridge, FindOptionsCarryTheFlagsWrapAndTheFindStart) {
    FindOptions options;
    options.caseSensitive = true;
    options.regExp = true;
    EXPECT_EQ(editor::findOptionsJson(options, 0),
              "{\"backwards\":false,\"wrap\":true,\"caseSensitive\":true,\"wholeWord\":false,"
              "\"regExp\":true,\"start\":0}");
    EXPECT_EQ(editor::findOptionsJson(FindOptions{}, 12),
              "{\"backwards\":false,\"wrap\":true,\"caseSensitive\":false,\"wholeWord\":false,"
              "\"regExp\":false,\"start\":12}");
}

TEST(AceBridge, SelectionRangeTextReadsBackAsSelectTakesIt) {
    EXPECT_EQ(editor::parseSelectionRange("Range: [2/0] -> [2/10]"), (SelectionRange{3, 1, 3, 10}));
    EXPECT_EQ(editor::parseSelectionRange("Range: [0/0] -> [0/0]"), (SelectionRange{1, 1, 1, 0}));
    EXPECT_EQ(editor::parseSelectionRange(""), std::nullopt);
    EXPECT_EQ(editor::parseSelectionRange("undefined"), std::nullopt);
    EXPECT_EQ(editor::parseSelectionRange("Range: [99999999999/0] -> [2/10]"), std::nullopt);
}

// ---- text, lines and the first use -------------------------------------------------------

TEST(MemoryPageText, FirstGetTextReturnsThePendingText) {
    MemoryPage page("p_m.js", "var a=1;\r\nvar b=2;");
    EXPECT_EQ(page.getText(), "var a=1;\r\nvar b=2;");
    EXPECT_EQ(page.name(), "p_m.js");
    EXPECT_EQ(page.lineCount(), 2);
}

TEST(MemoryPageText, AnEmptyPageHasOneEmptyLine) {
    MemoryPage page;
    EXPECT_EQ(page.lineCount(), 1);
    EXPECT_EQ(page.getText(), "");
    EXPECT_EQ(page.getLine(1), "");
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 0}));
}

TEST(MemoryPageText, LinesAreReadOneBasedAndOutOfRangeLinesAreEmpty) {
    MemoryPage page("", kThreeLines);
    EXPECT_EQ(page.getLine(1), "line one");
    EXPECT_EQ(page.getLine(3), "0123456789abc");
    EXPECT_EQ(page.getLine(0), "");
    EXPECT_EQ(page.getLine(4), "");
}

TEST(MemoryPageText, LengthsCountCodePage936Bytes) {
    MemoryPage page("", kZhongwen + "\nab");
    EXPECT_EQ(page.lineLength(1), 4u);
    EXPECT_EQ(page.textLength(), 7u);
    EXPECT_EQ(page.utf8Length(), 9u);
    EXPECT_EQ(page.getTextPrefix(1), "\xE4\xB8\xAD");
}

TEST(MemoryPageText, TextComesBackWithTheFirstLineBreakFound) {
    MemoryPage page;
    page.setText("a\r\nb\nc\rd");
    EXPECT_EQ(page.getText(), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(page.lineCount(), 4);
    page.setText("x\ny");
    EXPECT_EQ(page.getText(), "x\ny");
}

TEST(MemoryPageText, SetTextSelectsEverythingSoInsertReplacesIt) {
    MemoryPage page("", "old");
    page.setText("one\ntwo");
    EXPECT_EQ(page.selectedText(), "one\ntwo");
    page.insert("new");
    EXPECT_EQ(page.getText(), "new");
    page.clear();
    EXPECT_EQ(page.getText(), "");
}

// ---- append and prepend ---------------------------------------------------------------------

TEST(MemoryPageAppend, OnAnEmptyPageTheTextGoesAtTheStart) {
    MemoryPage page;
    page.appendText("var a=1;\nvar b;");
    EXPECT_EQ(page.getText(), "var a=1;\nvar b;");
}

TEST(MemoryPageAppend, WithoutAFinalNewlineTheLastLineIsContinued) {
    MemoryPage page("", "a\nb");
    page.appendText("c");
    EXPECT_EQ(page.getText(), "a\nbc");
    page.appendText("\nd");
    EXPECT_EQ(page.getText(), "a\nbc\nd");
}

TEST(MemoryPageAppend, AfterAFinalNewlineTheTextStartsANewLine) {
    MemoryPage page("", "a\r\n");
    page.appendText("b");
    EXPECT_EQ(page.getText(), "a\r\nb");
}

TEST(MemoryPageAppend, PrependPutsTheTextBeforeEverything) {
    MemoryPage page("", "b\nc");
    page.gotoLine(2);
    page.prependText("a\n");
    EXPECT_EQ(page.getText(), "a\nb\nc");
}

// ---- select, clipping and the selection range --------------------------------------------

TEST(MemoryPageSelect, SelectionRangeGivesBackWhatSelectTook) {
    MemoryPage page("", kThreeLines);
    page.select(3, 1, 3, 10);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{3, 1, 3, 10}));
    EXPECT_EQ(page.selectedText(), "0123456789");
    // Made backwards: the cursor is at the start.
    EXPECT_EQ(page.cursorRow(), 2);
    EXPECT_EQ(page.cursorColumn(), 0);

    const SelectionRange across{1, 6, 2, 4};
    page.select(across.startRow, across.startColumn, across.endRow, across.endColumn);
    EXPECT_EQ(page.selectionRange(), across);
    EXPECT_EQ(page.selectedText(), "one\nline");
}

TEST(MemoryPageSelect, PositionsAreClippedAsTheEditorClipsThem) {
    MemoryPage page("", kThreeLines);
    // A column past the line's end goes to the end.
    page.select(1, 3, 1, 500);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 3, 1, 8}));
    // A row past the last goes to the last line's end.
    page.select(2, 1, 99, 1);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 3, 13}));
    // A start column of 0 (the editor's -1) clips to 0; so does row 0.
    page.select(2, 0, 2, 4);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 2, 4}));
    page.select(0, 0, 0, 0);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 0}));
    // Extreme values neither overflow nor escape the text.
    page.select(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(page.selectedText(), kThreeLines);
}

TEST(MemoryPageSelect, ASelectionMadeEndFirstIsOrdered) {
    MemoryPage page("", kThreeLines);
    page.select(2, 5, 1, 2);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 3, 2, 4}));
}

TEST(MemoryPageSelect, ColumnsCountUtf16UnitsAndNeverSplitACharacter) {
    MemoryPage page("", "a" + kEmoji + "b");
    page.select(1, 2, 1, 2);  // would end between the two halves of the emoji
    EXPECT_EQ(page.selectedText(), kEmoji);
    page.insert("x");
    EXPECT_EQ(page.getText(), "axb");
    EXPECT_EQ(page.lineLength(1), 3u);
}

TEST(MemoryPageSelect, GotoLineMovesTheCursorToTheLineStartAndClips) {
    MemoryPage page("", kThreeLines);
    page.gotoLine(2);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 2, 0}));
    page.gotoLine(0);
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 0}));
    page.gotoLine(50);  // past the end: the end of the last line
    EXPECT_EQ(page.selectionRange(), (SelectionRange{3, 14, 3, 13}));
    page.gotoLastLine();
    EXPECT_EQ(page.cursorRow(), 2);
    EXPECT_EQ(page.selectedText(), "");
}

TEST(MemoryPageSelect, GoToLineSelectionSelectsTheWholeLine) {
    MemoryPage page("", kThreeLines);
    page.gotoLine(2);
    page.select(2, 0, 2, 999999);
    EXPECT_EQ(page.selectedText(), "line two");
}

// ---- insert ---------------------------------------------------------------------------------

TEST(MemoryPageInsert, ReplacesTheSelectionAndLeavesTheCursorAfterTheText) {
    MemoryPage page("", kThreeLines);
    page.select(1, 6, 2, 5);
    page.insert("1\nnew ");
    EXPECT_EQ(page.getText(), "line 1\nnew two\n0123456789abc");
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 5, 2, 4}));
    page.insert("!");
    EXPECT_EQ(page.getLine(2), "new !two");
}

TEST(MemoryPageInsert, TextIsTakenVerbatim) {
    MemoryPage page;
    page.insert("f(");
    page.insert("\n");
    page.insert("\t{");
    EXPECT_EQ(page.getText(), "f(\n\t{");
}

TEST(MemoryPageInsert, LineBreaksOfInsertedTextFollowThePage) {
    MemoryPage page("", "a\r\nb");
    page.appendText("\nc\rd");
    EXPECT_EQ(page.getText(), "a\r\nb\r\nc\r\nd");
}

TEST(MemoryPageClose, ClosingKeepsTheText) {
    MemoryPage page("p_m.js", "code");
    page.setVisible(false);
    page.close();
    EXPECT_TRUE(page.closed());
    EXPECT_FALSE(page.visible());
    EXPECT_EQ(page.getText(), "code");
}
