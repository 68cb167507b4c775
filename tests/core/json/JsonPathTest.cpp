// Reaching values by path: keys, indexes, escapes, and paths that do not resolve.
#include <gtest/gtest.h>

#include "core/json/JsonDocument.h"
#include "JsonTestSupport.h"

namespace quillbox {
namespace {

TEST(JsonPath, DottedKeysAndIndexes) {
    const JsonDocument doc = parsed(R"({"data":[{"name":"a"},{"name":"b"},{"name":"c","tags":[[1,2],[3]]}]})");
    EXPECT_EQ(doc.string("data[2].name"), "c");
    EXPECT_EQ(doc.string("data.[1].name"), "b");
    EXPECT_EQ(doc.integer("data[2].tags[1][0]"), 3);
    EXPECT_EQ(doc.kind("data[3]"), JsonKind::None);
    EXPECT_EQ(parsed("[[5]]").integer("[0][0]"), 5);
}

TEST(JsonPath, EmptySegmentsAreSkipped) {
    const JsonDocument doc = parsed(R"({"a":{"b":1}})");
    EXPECT_EQ(doc.integer("a..b"), 1);
    EXPECT_EQ(doc.integer(".a.b."), 1);
    EXPECT_EQ(doc.kind("."), JsonKind::Object);
    EXPECT_EQ(doc.kind(""), JsonKind::Object);
}

TEST(JsonPath, BackslashMakesSpecialCharactersPartOfTheKey) {
    const JsonDocument doc = parsed(R"({"a.b":1,"a":{"b":2},"x[0]":3,"c\\d":4,"e\\":5})");
    EXPECT_EQ(doc.integer("a\\.b"), 1);
    EXPECT_EQ(doc.integer("a.b"), 2);
    EXPECT_EQ(doc.integer("x\\[0\\]"), 3);
    EXPECT_EQ(doc.integer("c\\\\d"), 4);
    EXPECT_EQ(doc.integer("e\\\\"), 5);
    // A backslash before an ordinary character stays in the key.
    EXPECT_EQ(doc.integer("c\\d"), 4);
}

TEST(JsonPath, EscapePathKeyMakesAnyNameReachable) {
    const std::vector<std::string> names{"my-lib.beta", "a[1]", "back\\slash", "plain", "点.号", "[", "\\."};
    JsonDocument doc = JsonDocument::makeObject();
    for (const std::string& name : names) {
        JsonDocument project = JsonDocument::makeObject();
        ASSERT_TRUE(project.setMember("", "js", JsonDocument::makeArray()));
        ASSERT_TRUE(doc.setMember("", name, project));
        ASSERT_TRUE(doc.append(JsonDocument::escapePathKey(name) + ".js", JsonDocument::makeString(name)));
    }
    for (const std::string& name : names) {
        EXPECT_EQ(doc.string(JsonDocument::escapePathKey(name) + ".js[0]"), name) << name;
        EXPECT_EQ(doc.count(JsonDocument::escapePathKey(name) + ".js"), 1u) << name;
    }
    EXPECT_EQ(JsonDocument::escapePathKey("a.b[c]\\"), "a\\.b\\[c\\]\\\\");
    EXPECT_EQ(JsonDocument::escapePathKey(std::u16string_view(u"a.b")), u"a\\.b");
}

TEST(JsonPath, MalformedOrMismatchedPathsDoNotResolve) {
    const JsonDocument doc = parsed(R"({"a":[1,2],"o":{"k":1}})");
    for (const char* path : {"a[", "a[x]", "a[]", "a[1", "a[1]b", "a[99999999999]", "o[0]", "a.k", "missing", "a[0].x"})
        EXPECT_EQ(doc.kind(path), JsonKind::None) << path;
    EXPECT_EQ(doc.toJson("missing"), "");
    EXPECT_EQ(doc.count("missing"), 0u);
    EXPECT_EQ(doc.text("missing"), "");
    EXPECT_EQ(doc.number("missing"), 0.0);
    EXPECT_FALSE(doc.boolean("missing"));
    EXPECT_EQ(doc.node("missing").kind(), JsonKind::None);
}

TEST(JsonPath, Utf16PathsMatchUtf8Paths) {
    const JsonDocument doc = parsed(R"({"项目":{"js":["主"]}})");
    EXPECT_EQ(doc.string(std::u16string_view(u"项目.js[0]")), "主");
    EXPECT_EQ(doc.stringUtf16(u"项目.js[0]"), u"主");
    std::vector<std::u16string> names;
    EXPECT_EQ(doc.memberNames(std::u16string_view(u""), names), 1u);
    EXPECT_EQ(names[0], u"项目");
}

TEST(JsonPath, TypedReadersOnOtherKinds) {
    const JsonDocument doc = parsed(R"({"s":"12","n":2.9,"neg":-2.9,"big":1e300,"b":true,"arr":[1]})");
    EXPECT_EQ(doc.integer("s"), 0);
    EXPECT_EQ(doc.number("s"), 0.0);
    EXPECT_EQ(doc.integer("n"), 2);
    EXPECT_EQ(doc.integer("neg"), -2);
    EXPECT_EQ(doc.integer("big"), INT64_MAX);
    EXPECT_FALSE(doc.boolean("s"));
    EXPECT_EQ(doc.count("s"), 0u);
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(doc.memberNames("arr", names), 0u);
    EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace quillbox
