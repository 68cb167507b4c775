// The module library: its index, the filter, the look-up of a pick and its insertion.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/editor/MemoryPage.h"
#include "core/online/ModuleLibrary.h"
#include "core/online/StarterLibrary.h"
#include "core/platform/Assets.h"
#include "core/project/ProjectStore.h"
#include "support/TestSupport.h"

namespace quillbox::online {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class ModuleLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::freshDirectory("lib"); }
    void index(const std::string& text) { test::writeFile(dir_ + "/lib.json", text); }
    std::string dir_;
};

TEST_F(ModuleLibraryTest, FilterIgnoresCaseAndKeepsIndexOrder) {
    index(R"({"ver":"1","data":{"JSON2":"json2.js","myJs":"my.js","Base64":"b64.js"}})");
    ModuleLibrary library(dir_);
    library.load();
    EXPECT_EQ(library.names(), (Names{"JSON2", "myJs", "Base64"}));
    EXPECT_EQ(library.filter("js"), (Names{"JSON2", "myJs"}));
    EXPECT_EQ(library.filter("BASE"), (Names{"Base64"}));
    EXPECT_EQ(library.filter("zzz"), Names{});
    // Typing a filter then deleting it shows every name exactly once.
    EXPECT_EQ(library.filter(""), library.names());
}

TEST_F(ModuleLibraryTest, MissingOrBrokenIndexListsNothing) {
    ModuleLibrary library(dir_);
    library.load();
    EXPECT_TRUE(library.names().empty());
    index("{not json");
    library.load();
    EXPECT_TRUE(library.names().empty());
    EXPECT_EQ(library.code("anything"), "");
}

TEST_F(ModuleLibraryTest, CodeIsLookedUpByTheExactMemberName) {
    index(R"({"data":{"a.b[0]":"dotted.js","gbk":"gbk.js","escape":"../outside.js","gone":"gone.js","empty":"empty.js"}})");
    test::writeFile(dir_ + "/dotted.js", "var dotted = 1;");
    test::writeFile(dir_ + "/gbk.js", "var s = '\xd6\xd0\xce\xc4';");  // "中文" in code page 936
    test::writeFile(dir_ + "/empty.js", "");
    test::writeFile(fs::path(dir_).parent_path().string() + "/outside.js", "var outside;");
    ModuleLibrary library(dir_);
    library.load();
    EXPECT_EQ(library.code("a.b[0]"), "var dotted = 1;");
    EXPECT_EQ(library.code("gbk"), "var s = '中文';");
    EXPECT_EQ(library.code("escape"), "");
    EXPECT_EQ(library.code("gone"), "");
    EXPECT_EQ(library.code("empty"), "");
    EXPECT_EQ(library.code("not listed"), "");
}

class LibraryInsertTest : public ::testing::Test {
protected:
    LibraryInsertTest()
        : store_(dialogs_, [](const std::string& name, std::string code) {
              return std::make_unique<MemoryPage>(name, std::move(code));
          }) {}
    ScriptedDialogs dialogs_;
    ProjectStore store_;
};

TEST_F(LibraryInsertTest, PickIsAddedToTheSelectedProjectOnce) {
    const NodeId project = store_.addProjectCore("demo");
    store_.tree().select(project);
    const NodeId node = insertLibraryPick(store_, {"MD5", "function md5(){}"});
    ASSERT_NE(node, kNoNode);
    EXPECT_EQ(store_.tree().selected(), node);
    EXPECT_EQ(store_.moduleNames("demo"), Names{"MD5"});
    EXPECT_EQ(store_.page(store_.findPage("demo", "MD5"))->getText(), "function md5(){}");

    // The same name again is refused by the add-module check.
    store_.tree().select(project);
    EXPECT_EQ(insertLibraryPick(store_, {"MD5", "other"}), kNoNode);
    EXPECT_EQ(store_.moduleNames("demo"), Names{"MD5"});
    EXPECT_EQ(dialogs_.messages().back(), "名称重复[MD5]！请重新命名");
}

TEST_F(LibraryInsertTest, EmptyCodeCancelAndNoSelectionInsertNothing) {
    store_.addProjectCore("demo");
    EXPECT_EQ(insertLibraryPick(store_, {"Empty", ""}), kNoNode);
    EXPECT_EQ(insertLibraryPick(store_, LibraryPick{}), kNoNode);
    EXPECT_TRUE(dialogs_.records.empty());
    store_.tree().select(kNoNode);
    EXPECT_EQ(insertLibraryPick(store_, {"MD5", "var x;"}), kNoNode);
    EXPECT_EQ(dialogs_.records.size(), 1u);  // the add-module check reports the missing selection
    EXPECT_TRUE(store_.moduleNames("demo").empty());
}

TEST(StarterLibraryTest, IsWrittenOnceWithLicencesAndListsEveryModule) {
    const std::string dir = test::freshDirectory("starter") + "/lib";
    ASSERT_TRUE(writeStarterLibraryIfMissing(dir));
    ModuleLibrary library(dir);
    library.load();
    ASSERT_EQ(library.names().size(), starterModules().size());
    for (const StarterModule& module : starterModules()) {
        SCOPED_TRACE(module.fileName);
        EXPECT_FALSE(library.code(module.displayName).empty());
        EXPECT_FALSE(test::readFile(dir + "/" + module.fileName + ".LICENSE.txt").empty());
    }
    // A library already there is left alone.
    test::writeFile(dir + "/lib.json", "{\"ver\":\"mine\",\"data\":{}}");
    EXPECT_FALSE(writeStarterLibraryIfMissing(dir));
    EXPECT_EQ(test::readFile(dir + "/lib.json"), "{\"ver\":\"mine\",\"data\":{}}");
}

}  // namespace
}  // namespace quillbox::online
