// A file named on the command line as a project: a project script file or one plain module.
#include <gtest/gtest.h>

#include "core/project/ProjectFile.h"
#include "core/project/ProjectSource.h"
#include "StoreFixture.h"

using namespace quillbox;

namespace {

class ProjectSourceTest : public test::StoreFixture {};

TEST_F(ProjectSourceTest, PlainScriptIsOneModuleNamedAfterTheFile) {
    const ProjectSource plain = addProjectSource(store, "/some/dir/crypto.min.js", "var k = \"中\";");
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.project, "crypto.min");
    EXPECT_EQ(store.moduleNames("crypto.min"), std::vector<std::string>{"crypto.min"});
    EXPECT_EQ(store.page(store.findPage("crypto.min", "crypto.min"))->getText(), "var k = \"中\";");
}

TEST_F(ProjectSourceTest, ProjectScriptFileIsImportedWithItsModules) {
    project("demo");
    module("main", "var a=1;");
    module("util", "var b;");
    const std::string exported = store.exportBytes("demo");
    ScriptedDialogs otherDialogs;
    ProjectStore other(otherDialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    const ProjectSource imported = openProjectSource(other, "whatever.js", exported);
    ASSERT_TRUE(imported.ok) << imported.error;
    EXPECT_EQ(imported.project, "demo");
    EXPECT_EQ(other.moduleNames("demo"), (std::vector<std::string>{"main", "util"}));
    // Opening makes the first module the current page, whatever the file's last page was.
    ASSERT_NE(other.currentPage(), nullptr);
    EXPECT_EQ(other.currentPage()->name(), "demo_main.js");
}

TEST_F(ProjectSourceTest, FileNamesWithoutAUsableProjectName) {
    EXPECT_EQ(projectNameForFile("a/b.c/lib.js"), "lib");
    EXPECT_EQ(projectNameForFile("lib.mjs"), "lib.mjs");
    EXPECT_EQ(projectNameForFile("dir/.js"), ".js");  // not an empty name

    const ProjectSource noName = addProjectSource(store, "dir/", "var a;");
    EXPECT_FALSE(noName.ok);
    EXPECT_FALSE(noName.error.empty());
    EXPECT_TRUE(store.projectNames().empty());
}

TEST_F(ProjectSourceTest, ProjectWithoutModulesIsAddedButCannotBeOpened) {
    const std::string empty = project_file::build("p", {});
    EXPECT_TRUE(addProjectSource(store, "p.js", empty).ok);

    ScriptedDialogs otherDialogs;
    ProjectStore other(otherDialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    const ProjectSource opened = openProjectSource(other, "p.js", empty);
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.error, "the project p has no modules");
}

}  // namespace
