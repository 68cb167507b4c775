// Reading JSON text: kinds, literal texts, quoting, unescaping, and the errors with their
// codes and positions.
#include <gtest/gtest.h>

#include "core/json/JsonDocument.h"

namespace quillbox {
namespace {

JsonDocument parsed(std::string_view text, bool unicodeEscape = false) {
    JsonDocument doc;
    const JsonParseResult result = doc.parse(text, unicodeEscape);
    EXPECT_TRUE(result.ok) << text << " -> error " << result.error << " at " << result.position;
    return doc;
}

TEST(JsonParse, SingleQuotedKeysAndStrings) {
    const JsonDocument doc = parsed("{'a':'x'}");
    EXPECT_EQ(doc.string("a"), "x");
    EXPECT_EQ(parsed(R"({"a":'say "hi"', 'b':"it's"})").string("a"), "say \"hi\"");
    EXPECT_EQ(parsed(R"({"a":'say "hi"', 'b':"it's"})").string("b"), "it's");
}

TEST(JsonParse, BareIntegerIsIntegerButNumbersInsideContainersAreNumbers) {
    const JsonDocument bare = parsed("12");
    EXPECT_EQ(bare.kind(), JsonKind::Integer);
    EXPECT_EQ(bare.integer(), 12);
    EXPECT_EQ(bare.toJson(), "12");

    const JsonDocument inArray = parsed("[12]");
    EXPECT_EQ(inArray.kind("[0]"), JsonKind::Number);
    EXPECT_EQ(inArray.number("[0]"), 12.0);
    EXPECT_EQ(inArray.integer("[0]"), 12);
    EXPECT_EQ(inArray.toJson(), "[12]");

    EXPECT_EQ(parsed("1.5").kind(), JsonKind::Number);
    EXPECT_EQ(parsed("-7").integer(), -7);
    EXPECT_EQ(parsed("+7").integer(), 7);
}

TEST(JsonParse, NumbersKeepTheirSourceText) {
    const JsonDocument doc = parsed("{\"price\":1.50,\"big\":1E+3,\"neg\":-0.0,\"plus\":+2}");
    EXPECT_EQ(doc.toJson(), "{\"price\":1.50,\"big\":1E+3,\"neg\":-0.0,\"plus\":+2}");
    EXPECT_EQ(doc.text("price"), "1.50");
    EXPECT_DOUBLE_EQ(doc.number("price"), 1.5);
    EXPECT_DOUBLE_EQ(doc.number("big"), 1000.0);
}

TEST(JsonParse, IntegersBeyondDoublePrecisionStayExact) {
    const JsonDocument doc = parsed("[9007199254740993]");
    EXPECT_EQ(doc.integer("[0]"), 9007199254740993LL);
    EXPECT_EQ(doc.toJson(), "[9007199254740993]");
    // Too big for 64 bits at the top level: a number, its text kept whole.
    const JsonDocument huge = parsed("123456789012345678901234567890");
    EXPECT_EQ(huge.kind(), JsonKind::Number);
    EXPECT_EQ(huge.toJson(), "123456789012345678901234567890");
}

TEST(JsonParse, StringAndTextOfScalars) {
    const JsonDocument doc = parsed("{\"n\":1.50,\"t\":true,\"f\":false,\"z\":null,\"s\":\"v\"}");
    EXPECT_EQ(doc.string("n"), "");
    EXPECT_EQ(doc.text("n"), "1.50");
    EXPECT_EQ(doc.text("t"), "true");
    EXPECT_EQ(doc.text("f"), "false");
    EXPECT_EQ(doc.text("z"), "null");
    EXPECT_EQ(doc.text("s"), "v");
    EXPECT_EQ(doc.kind("t"), JsonKind::Boolean);
    EXPECT_TRUE(doc.boolean("t"));
    EXPECT_FALSE(doc.boolean("f"));
    EXPECT_EQ(doc.kind("z"), JsonKind::Null);
    EXPECT_EQ(doc.text(""), "");  // an object has no literal text
}

TEST(JsonParse, ToleratesBareKeysTrailingCommasAndOuterNuls) {
    const JsonDocument doc = parsed("{ js : [1,2,], 'x':{},}");
    EXPECT_EQ(doc.count("js"), 2u);
    EXPECT_EQ(doc.count("x"), 0u);
    EXPECT_EQ(doc.kind("x"), JsonKind::Object);
    EXPECT_EQ(parsed(std::string_view(" [1]\0\0", 6)).count(), 1u);
    EXPECT_EQ(parsed("[]").kind(), JsonKind::Array);
    EXPECT_EQ(parsed("\t\r\n{}\n").kind(), JsonKind::Object);
}

TEST(JsonParse, KeysKeepOrderAndCase) {
    const JsonDocument doc = parsed("{\"b\":1,\"A\":2,\"a\":3}");
    std::vector<std::string> names;
    EXPECT_EQ(doc.memberNames("", names), 3u);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "A", "a"}));
    EXPECT_EQ(doc.integer("a"), 3);
    EXPECT_EQ(doc.integer("A"), 2);
}

TEST(JsonParse, UnescapesStrings) {
    EXPECT_EQ(parsed(R"(["a\\b\/c\"d"])").string("[0]"), "a\\b/c\"d");
    EXPECT_EQ(parsed(R"(["\b\t\r\f"])").string("[0]"), "\b\t\r\f");
    // A line break always decodes to CR LF; "\r\n" stays a single CR LF.
    EXPECT_EQ(parsed(R"(["a\nb"])").string("[0]"), "a\r\nb");
    EXPECT_EQ(parsed(R"(["a\r\nb"])").string("[0]"), "a\r\nb");
    EXPECT_EQ(parsed(R"(["\n\n"])").string("[0]"), "\r\n\r\n");
    EXPECT_EQ(parsed(R"({"k\tey":1})").integer("k\tey"), 1);
}

TEST(JsonParse, UnicodeEscapesOnlyWhenAsked) {
    EXPECT_EQ(parsed(R"(["\u4e2d\u6587"])", true).string("[0]"), "中文");
    EXPECT_EQ(parsed(R"(["\ud83d\ude00"])", true).string("[0]"), "😀");
    // Without the flag the escape is kept as written, so nothing is lost.
    EXPECT_EQ(parsed(R"(["\u4e2d"])").string("[0]"), "\\u4e2d");
    // A short escape does not swallow the closing quote.
    const JsonDocument shortEscape = parsed(R"(["\u12","x"])", true);
    EXPECT_EQ(shortEscape.count(), 2u);
    EXPECT_EQ(shortEscape.string("[1]"), "x");
}

TEST(JsonParse, Utf8AndUtf16TextsAgree) {
    JsonDocument fromUtf8 = parsed("{\"名称\":\"测试😀\"}");
    JsonDocument fromUtf16;
    ASSERT_TRUE(fromUtf16.parse(std::u16string_view(u"{\"名称\":\"测试😀\"}")).ok);
    EXPECT_EQ(fromUtf8.string("名称"), "测试😀");
    EXPECT_EQ(fromUtf16.stringUtf16(u"名称"), u"测试😀");
    EXPECT_EQ(fromUtf8.toJson(), fromUtf16.toJson());
}

TEST(JsonParse, CreateEmptiesAndParsesOnlyWithTheFlag) {
    JsonDocument doc = parsed("[1]");
    EXPECT_TRUE(doc.create("[1,2]").ok);
    EXPECT_EQ(doc.kind(), JsonKind::None);
    EXPECT_TRUE(doc.create("[1,2]", true).ok);
    EXPECT_EQ(doc.count(), 2u);
}

struct ParseError {
    std::string text;
    int error;
    std::size_t position;
};

class JsonParseErrors : public ::testing::TestWithParam<ParseError> {};

TEST_P(JsonParseErrors, GiveCodePositionAndAnEmptyDocument) {
    const ParseError& c = GetParam();
    JsonDocument doc;
    ASSERT_TRUE(doc.parse("{\"old\":1}").ok);
    const JsonParseResult result = doc.parse(c.text);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.position, c.position);
    EXPECT_EQ(doc.kind(), JsonKind::None);
    EXPECT_EQ(doc.toJson(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonParseErrors,
    ::testing::Values(ParseError{"", -2, 0},                 // no text at all
                      ParseError{"[1,2", -5, 4},             // unclosed array
                      ParseError{"{\"a\":[1,{\"b\":2}", -5, 15},
                      ParseError{"True", -6, 0},             // words are case-sensitive
                      ParseError{"[nul]", -6, 1},
                      ParseError{"{:1}", -4, 1},             // ":" without a key
                      ParseError{"{\"a:1}", -4, 1},          // unmatched quote in a key
                      ParseError{"{\"a\" 1}", -4, 5},        // key without ":"
                      ParseError{"{\"a\":}", -6, 5},         // no value
                      ParseError{"[1,,2]", -6, 3},
                      ParseError{"[,]", -6, 1},
                      ParseError{"[\"abc]", -6, 1},          // unmatched quote in a value
                      ParseError{"[\"abc']", -6, 1},         // closing quote of the other kind
                      ParseError{"[1 2]", -6, 3},
                      ParseError{"[1}", -6, 2},              // wrong closing bracket
                      ParseError{"[1.2.3]", -6, 1},
                      ParseError{"[1e5e5]", -6, 1},
                      ParseError{"[1e]", -6, 1},
                      ParseError{"[-]", -6, 1},
                      ParseError{"[.]", -6, 1},
                      ParseError{"[0x10]", -6, 1},
                      ParseError{"[NaN]", -6, 1},
                      ParseError{"   ", -6, 3},               // only space
                      ParseError{"[1] x", -6, 4},            // text after the root
                      ParseError{"{} {}", -6, 3},
                      ParseError{"12 13", -6, 3}));

TEST(JsonParse, LooseNumbersThatFitTheRuleAreAccepted) {
    EXPECT_EQ(parsed("[1.]").text("[0]"), "1.");
    EXPECT_DOUBLE_EQ(parsed("[.5]").number("[0]"), 0.5);
    EXPECT_DOUBLE_EQ(parsed("[1e-2]").number("[0]"), 0.01);
    EXPECT_EQ(parsed("[007]").integer("[0]"), 7);
}

}  // namespace
}  // namespace quillbox
