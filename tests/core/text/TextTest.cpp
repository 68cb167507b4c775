#include <gtest/gtest.h>

#include "core/text/Text.h"

using namespace quillbox::text;

namespace {
const std::string kZhongwenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kZhongwenGbk = "\xD6\xD0\xCE\xC4";
const std::string kEmojiUtf8 = "\xF0\x9F\x98\x80";                 // U+1F600, outside GBK
}  // namespace

TEST(Gb18030, GbkTextConvertsByteForByteBothWays) {
    EXPECT_EQ(toGb18030(kZhongwenUtf8), kZhongwenGbk);
    EXPECT_EQ(fromGb18030(kZhongwenGbk), kZhongwenUtf8);
    EXPECT_EQ(toGb18030("var a=1;\r\n"), "var a=1;\r\n");
}

TEST(Gb18030, CharactersOutsideGbkSurviveAsFourByteCodes) {
    const std::string bytes = toGb18030(kEmojiUtf8);
    EXPECT_EQ(bytes.size(), 4u);
    EXPECT_NE(bytes, "?");
    EXPECT_EQ(fromGb18030(bytes), kEmojiUtf8);
}

TEST(Gb18030, BytesThatAreNoCharacterBecomeReplacementCharacters) {
    EXPECT_EQ(fromGb18030("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    // A lead byte cut off at the end of the input.
    EXPECT_EQ(fromGb18030("a\xD6"), "a\xEF\xBF\xBD");
}

TEST(Gb18030, IllFormedUtf8BecomesQuestionMarks) {
    EXPECT_EQ(toGb18030("a\xC0" "b" + kZhongwenUtf8), "a?b" + kZhongwenGbk);
}

TEST(FileReadingRule, Utf8WithNonAsciiReadsAsUtf8) {
    EXPECT_EQ(decodeFileText(kZhongwenUtf8), kZhongwenUtf8);
}

TEST(FileReadingRule, ByteOrderMarkIsRemoved) {
    EXPECT_EQ(decodeFileText("\xEF\xBB\xBF" + kZhongwenUtf8), kZhongwenUtf8);
    EXPECT_EQ(decodeFileText("\xEF\xBB\xBFvar a;"), "var a;");
}

TEST(FileReadingRule, GbkBytesReadAsGb18030) {
    EXPECT_EQ(decodeFileText(kZhongwenGbk), kZhongwenUtf8);
}

TEST(FileReadingRule, AsciiIsTheSameEitherWay) {
    EXPECT_EQ(decodeFileText("var a=1;"), "var a=1;");
    EXPECT_EQ(decodeFileText(""), "");
}

TEST(ByteLength, CountsCodePage936Bytes) {
    EXPECT_EQ(gbkLength(kZhongwenUtf8), 4u);
    EXPECT_EQ(gbkLength("abc"), 3u);
    EXPECT_EQ(gbkLength(kEmojiUtf8), 4u);
}

TEST(Utf16, RoundTripsIncludingSurrogatePairs) {
    const std::string s = "a" + kZhongwenUtf8 + kEmojiUtf8;
    const std::u16string wide = utf8ToUtf16(s);
    EXPECT_EQ(wide.size(), 1u + 2u + 2u);
    EXPECT_EQ(utf16ToUtf8(wide), s);
}

TEST(Utf16, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(utf16ToUtf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
}

TEST(Utf8Validation, RejectsOverlongAndSurrogateForms) {
    EXPECT_TRUE(isValidUtf8(kZhongwenUtf8));
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(isValidUtf8("\xE4\xB8"));
}

// Strict JSON that is also a script string literal in old and new engines alike.
TEST(QuoteJson, EscapesEverythingAReaderCouldMisread) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain 中文", "\"plain 中文\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"a\nb\r\tc", "\"a\\nb\\r\\tc\""},
        {std::string("nul\0x", 5) + "\x01\x1f\x7f", "\"nul\\u0000x\\u0001\\u001f\\u007f\""},
        {"line\u2028para\u2029", "\"line\\u2028para\\u2029\""},
        {"bad\xff", "\"bad\xEF\xBF\xBD\""},
        {"a/b", "\"a/b\""},
    };
    for (const auto& [input, quoted] : cases)
        EXPECT_EQ(quillbox::text::quoteJson(input), quoted) << input;
}
