// The page that pack and unpack use: code passes through it untouched.
#include <gtest/gtest.h>

#include "core/project/TextPage.h"

using namespace quillbox;

TEST(TextPage, KeepsMixedLineBreaksByteForByte) {
    TextPage page("p_m.js", "a\r\nb\nc\rd\r\n");
    EXPECT_EQ(page.getText(), "a\r\nb\nc\rd\r\n");
    EXPECT_FALSE(page.edited());
    page.setText("x\n\r\ny");
    EXPECT_EQ(page.getText(), "x\n\r\ny");
}

TEST(TextPage, EditingHandsTheTextToAnEditorThatKeepsNameAndVisibility) {
    TextPage page("p_m.js", "line1\r\nline2");
    page.setVisible(false);
    EXPECT_EQ(page.lineCount(), 2);
    EXPECT_TRUE(page.edited());
    EXPECT_EQ(page.getLine(2), "line2");
    page.select(1, 1, 1, 6);
    page.insert("first");
    EXPECT_EQ(page.getText(), "first\r\nline2");
    EXPECT_FALSE(page.visible());
    page.setName("p_n.js");
    EXPECT_EQ(page.name(), "p_n.js");
}

TEST(TextPage, CloseKeepsTheText) {
    TextPage page("p_m.js", "keep me");
    page.close();
    EXPECT_TRUE(page.closed());
    EXPECT_EQ(page.getText(), "keep me");
}
