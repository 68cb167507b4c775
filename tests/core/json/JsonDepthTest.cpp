// Nesting depth is bounded by memory, never by the call stack.
#include <gtest/gtest.h>

#include "core/json/JsonDocument.h"

namespace quillbox {
namespace {

constexpr std::size_t kDepth = 1000000;

TEST(JsonDepth, AMillionOpeningBracketsIsAnErrorNotACrash) {
    JsonDocument doc;
    const JsonParseResult result = doc.parse(std::string(kDepth, '['));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, -5);
    EXPECT_EQ(result.position, kDepth);
    EXPECT_EQ(doc.kind(), JsonKind::None);
}

TEST(JsonDepth, AMillionDeepDocumentParsesWritesCopiesAndFrees) {
    std::string text = std::string(kDepth, '[') + std::string(kDepth, ']');
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(text).ok);
    EXPECT_EQ(doc.toJson(), text);
    {
        JsonDocument copy = doc;  // deep copy
        EXPECT_EQ(copy.count(), 1u);
        ASSERT_TRUE(copy.setMember("", "k", doc));  // turns the root into an object holding a copy
        EXPECT_EQ(copy.toJson().size(), text.size() + 6);
    }
    // Releasing a deep tree while the heap is shared walks it without recursion.
    JsonDocument held = doc.at("", 0);
    doc.clear();
    EXPECT_EQ(held.toJson().size(), text.size() - 2);
}

TEST(JsonDepth, DeepObjectsPrettyPrint) {
    constexpr int depth = 2000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "{\"a\":";
    text += "1";
    text += std::string(depth, '}');
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(text).ok);
    const std::string pretty = doc.toJson("", true);
    JsonDocument back;
    ASSERT_TRUE(back.parse(pretty).ok);
    EXPECT_EQ(back.toJson(), text);
    EXPECT_NE(pretty.find(std::string(depth, '\t') + "\"a\":1"), std::string::npos);
}

}  // namespace
}  // namespace quillbox
