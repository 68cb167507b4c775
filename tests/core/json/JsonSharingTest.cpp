// Nodes handed to other documents: they share changes and outlive their first owner.
#include <gtest/gtest.h>

#include <optional>

#include "core/json/JsonDocument.h"
#include "JsonTestSupport.h"

namespace quillbox {
namespace {

TEST(JsonSharing, MemberSharesTheNodeBothWays) {
    JsonDocument doc = parsed(R"({"p":{"js":["a"]}})");
    JsonDocument project = doc.member("", "p");
    ASSERT_EQ(project.kind(), JsonKind::Object);
    ASSERT_TRUE(project.append("js", JsonDocument::makeString("b")));
    EXPECT_EQ(doc.toJson(), R"({"p":{"js":["a","b"]}})");
    ASSERT_TRUE(doc.append("p.js", JsonDocument::makeString("c")));
    EXPECT_EQ(project.toJson(), R"({"js":["a","b","c"]})");
    EXPECT_EQ(doc.member("", "missing").kind(), JsonKind::None);
    EXPECT_EQ(doc.member("p.js", "x").kind(), JsonKind::None);
}

TEST(JsonSharing, NodeAtAndRootShareToo) {
    JsonDocument doc = parsed(R"({"list":[{"v":1},{"v":2}],"o":{"x":true}})");
    JsonDocument second = doc.at("list", 1);
    ASSERT_TRUE(second.setInteger("v", 20));
    EXPECT_EQ(doc.integer("list[1].v"), 20);
    EXPECT_TRUE(doc.at("o", 0).boolean());
    EXPECT_EQ(doc.at("list", 2).kind(), JsonKind::None);
    JsonDocument whole = doc.root();
    ASSERT_TRUE(whole.removeMember("", "o"));
    EXPECT_EQ(doc.kind("o"), JsonKind::None);
    EXPECT_EQ(doc.node("list[0]").toJson(), R"({"v":1})");
}

TEST(JsonSharing, HeldNodeOutlivesItsDocument) {
    std::optional<JsonDocument> doc = parsed(R"({"keep":{"deep":[1,{"s":"x"}]},"drop":[1,2]})");
    JsonDocument kept = doc->member("", "keep");
    doc.reset();
    EXPECT_EQ(kept.toJson(), R"({"deep":[1,{"s":"x"}]})");
    ASSERT_TRUE(kept.append("deep", JsonDocument::makeInteger(3)));
    EXPECT_EQ(kept.count("deep"), 3u);
}

TEST(JsonSharing, HeldNodeSurvivesRemovalAndClear) {
    JsonDocument doc = parsed(R"({"a":{"b":{"c":1}},"z":2})");
    JsonDocument inner = doc.node("a.b");
    ASSERT_TRUE(doc.removeMember("", "a"));
    EXPECT_EQ(inner.toJson(), R"({"c":1})");
    ASSERT_TRUE(inner.setMember("", "d", JsonDocument::makeInteger(2)));
    EXPECT_EQ(doc.toJson(), R"({"z":2})");  // the removed tree is no longer part of doc

    JsonDocument other = parsed(R"({"x":{"y":[1,2,3]}})");
    JsonDocument y = other.node("x.y");
    other.clear();
    EXPECT_EQ(y.toJson(), "[1,2,3]");
    ASSERT_TRUE(other.parse("[0]").ok);
    EXPECT_EQ(y.toJson(), "[1,2,3]");
}

TEST(JsonSharing, HeldNodeSurvivesReplacementAndReset) {
    JsonDocument doc = parsed(R"({"a":{"v":1},"n":[{"w":2}]})");
    JsonDocument oldA = doc.member("", "a");
    JsonDocument w = doc.at("n", 0);
    ASSERT_TRUE(doc.setMember("", "a", JsonDocument::makeString("new")));
    ASSERT_TRUE(doc.setInteger("n", 7));  // turns the array into an integer, dropping its element
    EXPECT_EQ(oldA.toJson(), R"({"v":1})");
    EXPECT_EQ(w.toJson(), R"({"w":2})");
    EXPECT_EQ(doc.toJson(), R"({"a":"new","n":7})");
}

TEST(JsonSharing, SetRootSharesAndCanTakeAPartOfItself) {
    JsonDocument doc = parsed(R"({"a":{"b":[1]},"c":2})");
    doc.setRoot(doc.node("a"));
    EXPECT_EQ(doc.toJson(), R"({"b":[1]})");

    JsonDocument source = parsed("[1]");
    JsonDocument target;
    target.setRoot(source);
    ASSERT_TRUE(target.append("", JsonDocument::makeInteger(2)));
    EXPECT_EQ(source.toJson(), "[1,2]");
    target.setRoot(JsonDocument());
    EXPECT_EQ(target.kind(), JsonKind::None);
    EXPECT_EQ(source.toJson(), "[1,2]");
}

TEST(JsonSharing, CopiesAreIndependentAndMovesAreCheap) {
    JsonDocument doc = parsed(R"({"a":[1]})");
    JsonDocument copy = doc;
    ASSERT_TRUE(copy.append("a", JsonDocument::makeInteger(2)));
    EXPECT_EQ(doc.toJson(), R"({"a":[1]})");
    EXPECT_EQ(copy.toJson(), R"({"a":[1,2]})");

    JsonDocument assigned;
    assigned = doc.member("", "a");  // a copy of a shared handle is still a handle
    JsonDocument deep;
    deep = static_cast<const JsonDocument&>(assigned);
    ASSERT_TRUE(deep.append("", JsonDocument::makeInteger(9)));
    EXPECT_EQ(doc.toJson(), R"({"a":[1]})");

    JsonDocument moved = std::move(copy);
    EXPECT_EQ(moved.toJson(), R"({"a":[1,2]})");
    EXPECT_EQ(copy.kind(), JsonKind::None);  // NOLINT(bugprone-use-after-move)
}

TEST(JsonSharing, ManyReplacementsAndRemovalsKeepTheTreeSound) {
    // Replaced and removed members go back to the heap and their memory is reused by
    // later members; the tree must come out whole.
    JsonDocument doc = JsonDocument::makeObject();
    for (int i = 0; i < 20000; ++i) {
        ASSERT_TRUE(doc.setMember("", "p" + std::to_string(i % 7), parsed(R"({"js":["a","b"]})")));
        if (i % 3 == 0) {
            ASSERT_TRUE(doc.removeMember("", "p" + std::to_string(i % 7)));
        }
    }
    EXPECT_LE(doc.count(), 7u);
    std::vector<std::string> names;
    doc.memberNames("", names);
    for (const std::string& name : names)
        EXPECT_EQ(doc.toJson(name), R"({"js":["a","b"]})");
}

}  // namespace
}  // namespace quillbox
