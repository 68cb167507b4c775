#pragma once
#include <gtest/gtest.h>

#include <string_view>

#include "core/json/JsonDocument.h"

namespace quillbox {

// A document parsed from text that the test expects to be valid JSON.
inline JsonDocument parsed(std::string_view text) {
    JsonDocument doc;
    EXPECT_TRUE(doc.parse(text).ok) << text;
    return doc;
}

}  // namespace quillbox
