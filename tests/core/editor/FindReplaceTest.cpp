#include <gtest/gtest.h>

#include "core/editor/MemoryPage.h"
#include "PrintSelection.h"

using namespace quillbox;

namespace {

FindOptions plain() { return {}; }
FindOptions caseSensitive() {
    FindOptions o;
    o.caseSensitive = true;
    return o;
}
FindOptions wholeWord() {
    FindOptions o;
    o.wholeWord = true;
    return o;
}
FindOptions regExp() {
    FindOptions o;
    o.regExp = true;
    return o;
}
FindOptions backwards() {
    FindOptions o;
    o.backwards = true;
    return o;
}

// What the find/replace window does for "replace one": find, then replace.
bool replaceOne(MemoryPage& page, const std::string& needle, const std::string& replacement,
                const FindOptions& options = {}) {
    page.find(needle, options);
    return page.replace(replacement);
}

}  // namespace

// ---- find -----------------------------------------------------------------------------------

TEST(MemoryPageFind, SelectsTheNextMatchAfterTheSelectionAndWrapsAround) {
    MemoryPage page("", "foo bar\nfoo baz\nfoo");
    page.find("foo", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 3}));
    EXPECT_EQ(page.selectedText(), "foo");
    page.find("foo", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 2, 3}));
    page.find("foo", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{3, 1, 3, 3}));
    page.find("foo", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 3}));
}

TEST(MemoryPageFind, FindStepKeepsTheMatchSelected) {
    MemoryPage page("", "x1 x2 x3");
    page.find("x", plain());
    const SelectionRange found = page.selectionRange();
    page.findStep();
    EXPECT_EQ(page.selectionRange(), found);
}

TEST(MemoryPageFind, CaseIsIgnoredUnlessCaseSensitive) {
    MemoryPage page("", "Foo foo");
    page.find("foo", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 3}));
    page.gotoLine(1);
    page.find("foo", caseSensitive());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 5, 1, 7}));

    MemoryPage accented("", "x \xC3\x84");  // Ä
    accented.find("\xC3\xA4", plain());        // ä
    EXPECT_EQ(accented.selectedText(), "\xC3\x84");
}

TEST(MemoryPageFind, WholeWordSkipsMatchesInsideWords) {
    MemoryPage page("", "foobar foo_x foo");
    page.find("foo", wholeWord());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 14, 1, 16}));

    // Bounded only where the needle begins or ends with a word character.
    MemoryPage dotted("", "xa.b a.b");
    dotted.find("a.b", wholeWord());
    EXPECT_EQ(dotted.selectionRange(), (SelectionRange{1, 6, 1, 8}));
    MemoryPage call("", "f(x) g(x)");
    call.find("(x", wholeWord());
    EXPECT_EQ(call.selectionRange(), (SelectionRange{1, 2, 1, 3}));
}

TEST(MemoryPageFind, PlainNeedlesAreLiteralAndRegularExpressionsAreJavaScriptLike) {
    MemoryPage page("", "var a1 = 1; var b22 = [2];");
    page.find("[2]", plain());
    EXPECT_EQ(page.selectedText(), "[2]");
    page.gotoLine(1);
    page.find("[a-z]\\d+", regExp());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 5, 1, 6}));
    page.find("[a-z]\\d+", regExp());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 17, 1, 19}));
    page.find("\\u0062(?<n>\\d)\\k<n>", regExp());
    EXPECT_EQ(page.selectedText(), "b22");
    page.find("(?<=var )a", regExp());
    EXPECT_EQ(page.selectedText(), "a");
}

TEST(MemoryPageFind, BackwardsFindsTheMatchBeforeTheSelection) {
    MemoryPage page("", "x1 x2 x3");
    page.gotoLastLine();
    page.find("x", backwards());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 7, 1, 7}));
    page.find("x", backwards());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 4, 1, 4}));
}

TEST(MemoryPageFind, ANeedleThatIsNotFoundLeavesTheSelection) {
    MemoryPage page("", "alpha beta");
    page.select(1, 2, 1, 4);
    const SelectionRange before = page.selectionRange();
    page.find("gamma", plain());
    EXPECT_EQ(page.selectionRange(), before);
    page.find("", plain());
    EXPECT_EQ(page.selectionRange(), before);
    page.find("(unclosed", regExp());
    EXPECT_EQ(page.selectionRange(), before);
    EXPECT_FALSE(page.replace("x"));
    EXPECT_EQ(page.replaceAll("x"), 0);
    EXPECT_EQ(page.getText(), "alpha beta");
}

TEST(MemoryPageFind, ANeedleWithLineBreaksMatchesAcrossLines) {
    MemoryPage page("", "a\nfoo\nbar\nfoo\nbaz");
    page.find("foo\nba", plain());
    EXPECT_EQ(page.selectionRange(), (SelectionRange{2, 1, 3, 2}));
    EXPECT_EQ(page.selectedText(), "foo\nba");
    EXPECT_EQ(page.replaceAll("X"), 2);
    EXPECT_EQ(page.getText(), "a\nXr\nXz");
}

TEST(MemoryPageFind, ARunawayExpressionOnALongLineFindsNothingInsteadOfHanging) {
    const std::string line(30000, 'a');
    MemoryPage page("", line);
    page.find("(a+)+\\d", regExp());
    EXPECT_EQ(page.selectedText(), "");
    EXPECT_EQ(page.replaceAll("x"), 0);
    EXPECT_EQ(page.getText(), line);
}

// ---- replace --------------------------------------------------------------------------------

TEST(MemoryPageReplace, ReplaceOneReplacesTheFoundMatchAndSelectsTheReplacement) {
    MemoryPage page("", "a foo b foo\nc foo");
    ASSERT_TRUE(replaceOne(page, "foo", "quux"));
    EXPECT_EQ(page.getText(), "a quux b foo\nc foo");
    EXPECT_EQ(page.selectedText(), "quux");
    // Repeating it walks through every match without skipping one.
    ASSERT_TRUE(replaceOne(page, "foo", "quux"));
    EXPECT_EQ(page.getText(), "a quux b quux\nc foo");
    ASSERT_TRUE(replaceOne(page, "foo", "quux"));
    EXPECT_EQ(page.getText(), "a quux b quux\nc quux");
    EXPECT_FALSE(replaceOne(page, "foo", "quux"));
    EXPECT_EQ(page.getText(), "a quux b quux\nc quux");
}

TEST(MemoryPageReplace, NothingIsReplacedBeforeAFind) {
    MemoryPage page("", "foo");
    EXPECT_FALSE(page.replace("bar"));
    EXPECT_EQ(page.replaceAll("bar"), 0);
    EXPECT_EQ(page.getText(), "foo");
}

TEST(MemoryPageReplace, RegularExpressionReplacementsReadGroupsAndEscapes) {
    MemoryPage page("", "let x = 10;");
    ASSERT_TRUE(replaceOne(page, "(\\w+) = (\\d+)", "$2=$1 [$&|$0] $$ $9\\n", regExp()));
    EXPECT_EQ(page.getText(), "let 10=x [x = 10|x = 10] $ $9\n;");
}

TEST(MemoryPageReplace, PlainReplacementsAreTakenLiterally) {
    MemoryPage page("", "price: a");
    ASSERT_TRUE(replaceOne(page, "a", "$&$1\\n"));
    EXPECT_EQ(page.getText(), "price: $&$1\\n");
}

TEST(MemoryPageReplace, ReplaceAllCountsAndKeepsTheSelection) {
    MemoryPage page("", "foo foo\nfoo");
    page.find("foo", plain());
    EXPECT_EQ(page.replaceAll("quux"), 3);
    EXPECT_EQ(page.getText(), "quux quux\nquux");
    EXPECT_EQ(page.selectionRange(), (SelectionRange{1, 1, 1, 3}));
    EXPECT_EQ(page.replaceAll("quux"), 0);
}

TEST(MemoryPageReplace, ReplaceAllOfTextHoldingTheNeedleStops) {
    MemoryPage page("", "aaa");
    page.find("a", plain());
    EXPECT_EQ(page.replaceAll("aa"), 3);
    EXPECT_EQ(page.getText(), "aaaaaa");
}

TEST(MemoryPageReplace, ReplaceAllWithGroupsAndEmptyMatches) {
    MemoryPage page("", "a1 b2");
    page.find("(\\w)(\\d)", regExp());
    EXPECT_EQ(page.replaceAll("$2$1"), 2);
    EXPECT_EQ(page.getText(), "1a 2b");

    MemoryPage lines("", "one\r\n\r\nthree");
    lines.find("^", regExp());
    EXPECT_EQ(lines.replaceAll("// "), 3);
    EXPECT_EQ(lines.getText(), "// one\r\n// \r\n// three");
}

TEST(MemoryPageReplace, ReplacingTextOutsideGbkKeepsItWhole) {
    const std::string emoji = "\xF0\x9F\x98\x80";
    MemoryPage page("", "a" + emoji + "b" + emoji);
    page.find(emoji, plain());
    EXPECT_EQ(page.replaceAll("\xE4\xB8\xAD"), 2);
    EXPECT_EQ(page.getText(), "a\xE4\xB8\xAD" "b\xE4\xB8\xAD");
    // "." is a whole character, not half of a surrogate pair.
    MemoryPage astral("", emoji + "x");
    astral.find(".", regExp());
    EXPECT_EQ(astral.selectedText(), emoji);
}
