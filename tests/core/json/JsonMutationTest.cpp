// Changing documents: setting, appending, inserting and removing members and elements.
#include <gtest/gtest.h>

#include <cmath>

#include "core/json/JsonDocument.h"
#include "JsonTestSupport.h"

namespace quillbox {
namespace {

TEST(JsonMutation, BuildsTheProjectDocument) {
    JsonDocument projects = JsonDocument::makeObject();
    JsonDocument project = JsonDocument::makeObject();
    ASSERT_TRUE(project.setMember("", "js", JsonDocument::makeArray()));
    ASSERT_TRUE(projects.setMember("", "demo", project));
    ASSERT_TRUE(projects.append("demo.js", JsonDocument::makeString("main")));
    ASSERT_TRUE(projects.append("demo.js", JsonDocument::makeString("util")));
    EXPECT_EQ(projects.toJson(), R"({"demo":{"js":["main","util"]}})");
    // The value was copied in: changing the original afterwards changes nothing.
    ASSERT_TRUE(project.append("js", JsonDocument::makeString("x")));
    EXPECT_EQ(projects.count("demo.js"), 2u);
}

TEST(JsonMutation, SetMemberReplacesInPlaceAndKeepsOrder) {
    JsonDocument doc = parsed(R"({"a":1,"b":2,"c":3})");
    ASSERT_TRUE(doc.setMember("", "b", JsonDocument::makeString("two")));
    EXPECT_EQ(doc.toJson(), R"({"a":1,"b":"two","c":3})");
    ASSERT_TRUE(doc.setMember("", "d", JsonDocument::makeNull()));
    EXPECT_EQ(doc.toJson(), R"({"a":1,"b":"two","c":3,"d":null})");
}

TEST(JsonMutation, SetMemberTurnsANonObjectIntoAnObject) {
    JsonDocument doc = parsed(R"({"a":[1,2],"s":"x"})");
    ASSERT_TRUE(doc.setMember("a", "k", JsonDocument::makeBoolean(true)));
    ASSERT_TRUE(doc.setMember("s", "k", JsonDocument::makeInteger(5)));
    EXPECT_EQ(doc.toJson(), R"({"a":{"k":true},"s":{"k":5}})");
}

TEST(JsonMutation, SetMemberAndAppendRefuseWhatTheyCannotDo) {
    JsonDocument doc = parsed(R"({"a":1})");
    EXPECT_FALSE(doc.setMember("missing", "k", JsonDocument::makeNull()));
    EXPECT_FALSE(doc.setMember("", "k", JsonDocument()));  // nothing to set
    EXPECT_FALSE(doc.append("missing", JsonDocument::makeNull()));
    EXPECT_FALSE(doc.insertAt("a", 1, JsonDocument::makeNull()));  // past the end of the new array
    EXPECT_FALSE(doc.removeMember("", "zz"));
    EXPECT_FALSE(doc.removeMember("a", "k"));
    EXPECT_FALSE(doc.removeAt("", 5));
    EXPECT_FALSE(doc.setNumber("missing", 1));
    EXPECT_FALSE(doc.setInteger("missing", 1));
    EXPECT_FALSE(doc.setNumber("a", NAN));
    EXPECT_FALSE(doc.setNumber("a", INFINITY));
    EXPECT_EQ(doc.toJson(), R"({"a":1})");
}

TEST(JsonMutation, EmptyDocumentGetsARootFromSetMemberOrAppend) {
    JsonDocument object;
    ASSERT_TRUE(object.setMember("", "k", JsonDocument::makeInteger(1)));
    EXPECT_EQ(object.toJson(), R"({"k":1})");
    JsonDocument array;
    ASSERT_TRUE(array.append("", JsonDocument::makeInteger(1)));
    EXPECT_EQ(array.toJson(), "[1]");
    JsonDocument none;
    EXPECT_FALSE(none.setMember("a", "k", JsonDocument::makeNull()));
}

TEST(JsonMutation, AppendAndInsertAt) {
    JsonDocument doc = parsed(R"({"list":[1,3],"x":"s"})");
    ASSERT_TRUE(doc.insertAt("list", 1, JsonDocument::makeInteger(2)));
    ASSERT_TRUE(doc.insertAt("list", 0, JsonDocument::makeInteger(0)));
    ASSERT_TRUE(doc.insertAt("list", 4, JsonDocument::makeInteger(4)));
    EXPECT_FALSE(doc.insertAt("list", 6, JsonDocument::makeInteger(6)));
    ASSERT_TRUE(doc.append("x", parsed(R"({"deep":[true]})")));
    EXPECT_EQ(doc.toJson(), R"({"list":[0,1,2,3,4],"x":[{"deep":[true]}]})");
}

TEST(JsonMutation, RemoveMemberAndRemoveAt) {
    JsonDocument doc = parsed(R"({"a":1,"b":[1,2,3],"c":{"x":1,"y":2}})");
    ASSERT_TRUE(doc.removeMember("", "a"));
    ASSERT_TRUE(doc.removeAt("b", 1));
    ASSERT_TRUE(doc.removeAt("c", 0));  // the first member of an object
    EXPECT_EQ(doc.toJson(), R"({"b":[1,3],"c":{"y":2}})");
    std::vector<std::string> names;
    EXPECT_EQ(doc.memberNames("", names), 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "c"}));
}

TEST(JsonMutation, RemoveMemberTakesTheFirstOfDuplicateKeys) {
    JsonDocument doc = parsed(R"({"k":1,"k":2})");
    EXPECT_EQ(doc.integer("k"), 1);
    ASSERT_TRUE(doc.removeMember("", "k"));
    EXPECT_EQ(doc.integer("k"), 2);
}

TEST(JsonMutation, SetNumberAndSetInteger) {
    JsonDocument doc = parsed(R"({"n":"text","i":[1,2],"r":0})");
    ASSERT_TRUE(doc.setNumber("n", 0.1));
    ASSERT_TRUE(doc.setInteger("i", -9223372036854775807LL - 1));
    ASSERT_TRUE(doc.setNumber("r", 1e21));
    EXPECT_EQ(doc.kind("n"), JsonKind::Number);
    EXPECT_EQ(doc.kind("i"), JsonKind::Integer);
    EXPECT_EQ(doc.toJson(), R"({"n":0.1,"i":-9223372036854775808,"r":1e+21})");
    EXPECT_EQ(doc.integer("i"), INT64_MIN);
    // The text written reads back as the same double.
    JsonDocument back = parsed(doc.toJson());
    EXPECT_EQ(back.number("n"), 0.1);
}

TEST(JsonMutation, SettingADocumentIntoItself) {
    JsonDocument doc = parsed(R"({"a":{"b":1}})");
    ASSERT_TRUE(doc.setMember("a", "self", doc));
    EXPECT_EQ(doc.toJson(), R"({"a":{"b":1,"self":{"a":{"b":1}}}})");
    ASSERT_TRUE(doc.append("a.b", doc.node("a")));
    EXPECT_EQ(doc.toJson("a.b"), R"([{"b":1,"self":{"a":{"b":1}}}])");
}

TEST(JsonMutation, ValueConstructors) {
    EXPECT_EQ(JsonDocument::makeObject().toJson(), "{}");
    EXPECT_EQ(JsonDocument::makeArray().toJson(), "[]");
    EXPECT_EQ(JsonDocument::makeNull().toJson(), "null");
    EXPECT_EQ(JsonDocument::makeBoolean(false).toJson(), "false");
    EXPECT_EQ(JsonDocument::makeString("a\"b").toJson(), R"("a\"b")");
    EXPECT_EQ(JsonDocument::makeString(std::u16string_view(u"中")).string(), "中");
    EXPECT_EQ(JsonDocument::makeNumber(1.5).toJson(), "1.5");
    EXPECT_EQ(JsonDocument::makeNumber(1.5).kind(), JsonKind::Number);
    EXPECT_EQ(JsonDocument::makeNumber(NAN).kind(), JsonKind::Null);
    EXPECT_EQ(JsonDocument::makeInteger(-42).kind(), JsonKind::Integer);
    EXPECT_EQ(JsonDocument::makeInteger(-42).toJson(), "-42");
}

TEST(JsonMutation, ClearLeavesNoRoot) {
    JsonDocument doc = parsed("[1]");
    doc.clear();
    EXPECT_EQ(doc.kind(), JsonKind::None);
    EXPECT_EQ(doc.toJson(), "");
    EXPECT_TRUE(doc.parse("[2]").ok);
    EXPECT_EQ(doc.toJson(), "[2]");
}

}  // namespace
}  // namespace quillbox
