// Writing JSON text: compact and pretty layouts, escaping, and round trips.
#include <gtest/gtest.h>

#include "core/json/JsonDocument.h"
#include "JsonTestSupport.h"

namespace quillbox {
namespace {

TEST(JsonSerialize, EscapesKeptAsWrittenAreWrittenBackAsTheyStood) {
    // Without \u decoding the reader keeps such escapes as written; the writer must give
    // back the JSON text of the same string, not one with a doubled backslash.
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case& c : std::vector<Case>{
             {R"({"name":"\u4e2d\u6587"})", R"({"name":"\u4e2d\u6587"})"},
             {R"(["\q and \u12"])", R"(["\q and \u12"])"},
             {R"(["\u0041\"x\/"])", R"(["\u0041\"x\/"])"},
             // A real backslash is written escaped, as ever.
             {R"(["a\\b"])", R"(["a\\b"])"},
         }) {
        const JsonDocument doc = parsed(c.in);
        EXPECT_EQ(doc.toJson(), c.out) << c.in;
        EXPECT_EQ(parsed(doc.toJson()).toJson(), c.out) << "written again: " << c.in;
        JsonDocument copy;
        copy.setMember("", "v", doc);
        EXPECT_EQ(copy.toJson("v"), c.out) << "a copy writes the same: " << c.in;
    }
    // A string set by the program has no kept escapes, and one decoded never had any.
    JsonDocument doc = parsed(R"({"a":"\u4e2d"})");
    doc.setMember("", "a", JsonDocument::makeString("\\u4e2d"));
    EXPECT_EQ(doc.toJson(), R"({"a":"\\u4e2d"})");
    JsonDocument decoded;
    ASSERT_TRUE(decoded.parse(R"(["\u4e2d"])", true).ok);
    EXPECT_EQ(decoded.toJson(), "[\"中\"]");
}

TEST(JsonSerialize, PrettyIndentsObjectsWithTabsAndCrLf) {
    const JsonDocument doc = parsed(R"({"a":{"b":[1,2]}})");
    EXPECT_EQ(doc.toJson("", true), "{\r\n\t\"a\":{\r\n\t\t\"b\":[1,2]\r\n\t}\r\n}");
}

TEST(JsonSerialize, PrettyCountsArraysAsLevelsButKeepsThemOnOneLine) {
    const JsonDocument doc = parsed(R"({"x":1,"list":[{"k":"v"},[]],"e":{}})");
    EXPECT_EQ(doc.toJson("", true),
              "{\r\n"
              "\t\"x\":1,\r\n"
              "\t\"list\":[{\r\n"
              "\t\t\t\"k\":\"v\"\r\n"
              "\t\t},[]],\r\n"
              "\t\"e\":{\r\n"
              "\t}\r\n"
              "}");
    EXPECT_EQ(parsed("{}").toJson("", true), "{\r\n}");
    EXPECT_EQ(parsed("[1,[2]]").toJson("", true), "[1,[2]]");
}

TEST(JsonSerialize, PrettyOfAPathStartsAtItsOwnLevel) {
    const JsonDocument doc = parsed(R"({"a":{"b":{"c":1}}})");
    EXPECT_EQ(doc.toJson("a.b", true), "{\r\n\t\"c\":1\r\n}");
    EXPECT_EQ(doc.toJson("a.b"), R"({"c":1})");
}

TEST(JsonSerialize, EscapesStringsAndKeys) {
    JsonDocument doc = JsonDocument::makeObject();
    ASSERT_TRUE(doc.setMember("", "k/\"\\", JsonDocument::makeString("a/b\"c\\d\b\t\n\f\r\x01'中")));
    EXPECT_EQ(doc.toJson(), "{\"k\\/\\\"\\\\\":\"a\\/b\\\"c\\\\d\\b\\t\\n\\f\\r\x01'中\"}");
    // Without escaping the text goes out as it stands.
    EXPECT_EQ(doc.toJson("", false, false), "{\"k/\"\\\":\"a/b\"c\\d\b\t\n\f\r\x01'中\"}");
}

TEST(JsonSerialize, RoundTripKeepsTextsAndStructure) {
    const std::string text =
        R"({"name":"Quillbox","version":"1.30","n":[0,-1.50,2e10,1E-3],"ok":true,"none":null,)"
        R"("nested":{"a":[[],[{}],{"b":"c\/d"}]},"中文":"值"})";
    const JsonDocument doc = parsed(text);
    EXPECT_EQ(doc.toJson(), text);
    EXPECT_EQ(parsed(doc.toJson("", true)).toJson(), text);
}

TEST(JsonSerialize, LineBreaksSettleAfterOneRoundTrip) {
    const JsonDocument first = parsed(R"(["a\nb"])");
    EXPECT_EQ(first.toJson(), R"(["a\r\nb"])");
    EXPECT_EQ(parsed(first.toJson()).toJson(), R"(["a\r\nb"])");
}

TEST(JsonSerialize, Utf16Twin) {
    const JsonDocument doc = parsed(R"({"键":"值"})");
    EXPECT_EQ(doc.toJsonUtf16(), u"{\"键\":\"值\"}");
    EXPECT_EQ(doc.toJson(std::u16string_view(u"键")), "\"值\"");
    EXPECT_EQ(doc.toJsonUtf16(u"", false, true, 0), u"{\"键\":\"值\"}");
}

}  // namespace
}  // namespace quillbox
