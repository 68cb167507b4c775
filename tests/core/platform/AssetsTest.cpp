// Built-in files: every one a program needs is embedded and not empty, and the check that
// the programs run at start names what is missing.
#include <gtest/gtest.h>

#include "core/platform/Assets.h"

using namespace quillbox;

namespace {

const char kEmpty[] = "";
const char kSome[] = "x";
const assets::AssetEntry kTestEntries[] = {
    {"test/empty", kEmpty, kEmpty},
    {"test/some", kSome, kSome + 1},
};
const assets::Registration kTestRegistration(kTestEntries, 2);

}  // namespace

TEST(BuiltInFiles, EveryCoreFileIsEmbeddedAndNotEmpty) {
    EXPECT_EQ(assets::missingOrEmpty(assets::coreAssets()), std::vector<std::string>{});
    EXPECT_EQ(assets::missingAssetsMessage({}), "");
}

TEST(BuiltInFiles, MissingAndEmptyFilesAreNamed) {
    const std::vector<std::string> missing = assets::missingOrEmpty({"test/some", "test/empty", "test/none"});
    EXPECT_EQ(missing, (std::vector<std::string>{"test/empty", "test/none"}));
    const std::string message = assets::missingAssetsMessage(missing);
    EXPECT_NE(message.find("test/empty, test/none"), std::string::npos) << message;
}
