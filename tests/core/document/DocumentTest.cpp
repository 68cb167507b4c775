// The module's document: the view's deltas, the program's edits told to the view, and
// documents kept apart from each other.
#include <gtest/gtest.h>

#include <vector>

#include "core/document/Document.h"

namespace quillbox::document {
namespace {

Delta insertAt(int row, int column, std::vector<std::u16string> lines) {
    return Delta{Delta::Action::Insert, {row, column}, {}, std::move(lines)};
}

Delta removeRange(int startRow, int startColumn, int endRow, int endColumn) {
    return Delta{Delta::Action::Remove, {startRow, startColumn}, {endRow, endColumn}, {}};
}

struct Heard {
    std::vector<Document::Change> changes;
    Document::Listener listener() {
        return [this](Document&, Document::Change change) { changes.push_back(change); };
    }
};

TEST(DocumentDeltas, TypingAndDeletingAsTheEditorReportsThem) {
    Document doc("demo_main.js", "var a = 1;\r\nvar b = 2;");
    doc.applyDelta(insertAt(0, 10, {u"", u""}));  // Enter at the end of line 1
    doc.applyDelta(insertAt(1, 0, {u"// 中文 😀"}));
    EXPECT_EQ(doc.getText(), "var a = 1;\r\n// 中文 😀\r\nvar b = 2;");
    // A removal across lines, as a backspace over a selection sends it.
    doc.applyDelta(removeRange(0, 9, 2, 4));
    EXPECT_EQ(doc.getText(), "var a = 1b = 2;");
    // Undo in the editor arrives as the inverse deltas: the text comes back exactly.
    doc.applyDelta(insertAt(0, 9, {u";", u"// 中文 😀", u"var "}));
    EXPECT_EQ(doc.getText(), "var a = 1;\r\n// 中文 😀\r\nvar b = 2;");
    EXPECT_EQ(doc.lineCount(), 3);
}

TEST(DocumentDeltas, PositionsOffTheTextAreClippedAsTheEditorClipsThem) {
    Document doc("d", "ab\ncd");
    doc.applyDelta(insertAt(0, 99, {u"X"}));   // past the line's end: at its end
    doc.applyDelta(insertAt(9, 0, {u"Y"}));    // below the last line: at the end of the text
    doc.applyDelta(insertAt(-3, 1, {u"Z"}));   // above the first line: the first line, same column
    EXPECT_EQ(doc.getText(), "aZbX\ncdY");
    doc.applyDelta(removeRange(1, 99, 0, 3));  // ends given backwards, one past the text
    EXPECT_EQ(doc.getText(), "aZb");
    doc.applyDelta(removeRange(0, 1, 0, 1));   // nothing to remove
    doc.applyDelta(insertAt(0, 0, {u""}));     // nothing to insert
    EXPECT_EQ(doc.getText(), "aZb");
}

TEST(DocumentDeltas, TheSelectionFollowsTheViewsEdits) {
    Document doc("d", "one\ntwo\nthree");
    doc.setSelectionFromView({2, 1}, {2, 3});
    doc.applyDelta(insertAt(0, 0, {u"zero", u""}));
    EXPECT_EQ(doc.selectedText(), "hr");
    doc.applyDelta(removeRange(3, 0, 3, 2));  // removes "th" around the anchor
    EXPECT_EQ(doc.anchor(), (TextPosition{3, 0}));
    EXPECT_EQ(doc.cursor(), (TextPosition{3, 1}));
    // A report past the end is clipped, never kept out of range.
    doc.setSelectionFromView({99, 0}, {0, 99});
    EXPECT_EQ(doc.anchor(), (TextPosition{3, 3}));
    EXPECT_EQ(doc.cursor(), (TextPosition{0, 4}));
}

TEST(DocumentDeltas, EveryEditMovesTheRevisionTheSessionStoreWatches) {
    Document doc("d", "x");
    auto seen = doc.revision();
    doc.applyDelta(insertAt(0, 1, {u"y"}));
    EXPECT_NE(doc.revision(), seen);
    seen = doc.revision();
    doc.setSelectionFromView({0, 0}, {0, 1});
    doc.setScroll({120, 4});
    EXPECT_EQ(doc.revision(), seen);
    EXPECT_EQ(doc.scroll(), (ScrollPosition{120, 4}));
}

// Deltas, and undoing them, in one module never touch another: each keeps its own text,
// selection and scroll position, as each editor session keeps its own undo history.
TEST(DocumentDeltas, ModulesAreIndependent) {
    Document a("p_a.js", "alpha");
    Document b("p_b.js", "alpha");
    EXPECT_NE(a.id(), b.id());
    a.applyDelta(insertAt(0, 5, {u"!"}));
    b.applyDelta(removeRange(0, 0, 0, 1));
    a.setSelectionFromView({0, 0}, {0, 2});
    a.applyDelta(removeRange(0, 5, 0, 6));  // a's undo
    EXPECT_EQ(a.getText(), "alpha");
    EXPECT_EQ(b.getText(), "lpha");
    EXPECT_EQ(a.selectedText(), "al");
    EXPECT_EQ(b.selectedText(), "");
}

TEST(DocumentProgramEdits, AreToldSoTheViewCanFollow) {
    Heard heard;
    Document doc("p_m.js", "foo bar foo");
    doc.setListener(heard.listener());
    doc.setText("foo bar foo\nfoo");
    EXPECT_EQ(doc.selectionRange(), (SelectionRange{1, 1, 1, 0}));
    doc.select(1, 5, 1, 7);
    doc.insert("BAR");
    FindOptions options;
    doc.find("foo", options);
    EXPECT_EQ(doc.replaceAll("x"), 3);
    EXPECT_EQ(doc.replaceAll("y"), 0);  // no match left: nothing told
    doc.gotoLine(2);
    using C = Document::Change;
    EXPECT_EQ(heard.changes, (std::vector<C>{C::Text, C::Selection, C::Text, C::Selection, C::Selection, C::Text,
                                             C::Selection}));
    EXPECT_EQ(doc.getText(), "x BAR x\nx");
}

TEST(DocumentProgramEdits, ShowingRenamingAndClosingAreToldOnce) {
    Heard heard;
    using C = Document::Change;
    {
        Document doc("p_m.js", "");
        doc.setListener(heard.listener());
        doc.setVisible(false);
        doc.setVisible(false);  // no change: nothing told
        doc.setName("p_n.js");
        doc.close();
        EXPECT_EQ(doc.getText(), "");
    }
    EXPECT_EQ(heard.changes, (std::vector<C>{C::Display, C::Display, C::Closed}));
    {
        Document dropped("p_x.js", "code");
        dropped.setListener(heard.listener());
    }  // destroyed without a close: the view still hears of it
    EXPECT_EQ(heard.changes.back(), C::Closed);
}

}  // namespace
}  // namespace quillbox::document
