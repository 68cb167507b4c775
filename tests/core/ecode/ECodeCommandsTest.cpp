// The two commands on the project store: E code for the current page's project, and its
// script as an E text constant. Also the command line's plain clipboard.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "core/ecode/CallWrapper.h"
#include "core/ecode/ConstantConversion.h"
#include "core/ecode/FileClipboard.h"
#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::ecode;

namespace {

const LocalTime kTime{2024, 3, 5, 9, 7, 0};

class ECodeCommands : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    ProjectStore store{dialogs, [](const std::string& name, const std::string& code) {
                           return std::make_unique<MemoryPage>(name, code);
                       }};
    MemoryClipboard clipboard;
    RecordingOutput output;

    void addProject(const std::string& project, const std::vector<std::pair<std::string, std::string>>& modules) {
        store.selectNode(store.addProjectCore(project));
        for (const auto& [module, code] : modules)
            ASSERT_NE(store.addModuleCore(module, code), kNoNode);
    }
    void show(const std::string& project, const std::string& module) {
        const int position = store.findPage(project, module);
        ASSERT_NE(position, 0);
        store.showPage(position);
    }
    std::string clipboardText() const {
        EXPECT_EQ(clipboard.last.size(), 1u);
        std::string bytes = clipboard.last.at(0).bytes;
        EXPECT_EQ(bytes.back(), '\0');
        bytes.pop_back();
        return text::fromGb18030(bytes);
    }
    std::string constantValueOf(const std::string& project) {
        return projectConstant(store, project, kTime).value;
    }
};

}  // namespace

// ---- E code -------------------------------------------------------------------------------

TEST_F(ECodeCommands, WithoutACurrentPageNothingHappens) {
    addProject("demo", {});
    EXPECT_FALSE(generateCallWrapper(store, "f()", {CallStyle::ScriptControl, true}, dialogs, clipboard, output));
    EXPECT_FALSE(convertCurrentProject(store, clipboard, output, kTime));
    EXPECT_EQ(clipboard.writes, 0);
    EXPECT_TRUE(output.lines.empty());
    EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(ECodeCommands, ECodeGoesToTheClipboardAsPlainTextForTheStoredProject) {
    addProject("a_b", {{"m", "var x;"}});
    show("a_b", "m");
    EXPECT_TRUE(generateCallWrapper(store, "f(1)", {CallStyle::JScriptClass, false}, dialogs, clipboard, output));
    EXPECT_EQ(clipboard.last.at(0).number, 1u);
    EXPECT_EQ(clipboardText(), fillCallWrapper(CallStyle::JScriptClass, "JS_a_b", "f(1)"));
    EXPECT_EQ(output.texts(), std::vector<std::string>{formatMessageLine("复制易代码成功")});
}

TEST_F(ECodeCommands, ECodeAsksForTheNameThroughTheDialogs) {
    addProject("demo", {{"main", ""}});
    show("demo", "main");
    dialogs.inputAnswers.push_back("计算");
    ASSERT_TRUE(generateCallWrapper(store, "", {CallStyle::ScriptControl, true}, dialogs, clipboard, output));
    EXPECT_NE(clipboardText().find(".子程序 计算, "), std::string::npos);
}

TEST_F(ECodeCommands, ECodeReportsAClipboardThatCannotBeWritten) {
    addProject("demo", {{"main", ""}});
    show("demo", "main");
    clipboard.refuse = true;
    EXPECT_FALSE(generateCallWrapper(store, "", {}, dialogs, clipboard, output));
    EXPECT_EQ(output.texts(), std::vector<std::string>{formatMessageLine("复制易代码失败")});
}

// ---- The constant ---------------------------------------------------------------------------

TEST_F(ECodeCommands, ConstantGoesToTheClipboardAsAnImageNamedAfterTheProject) {
    addProject("a_b", {{"m", "var 中 = \"x\";"}});
    show("a_b", "m");
    EXPECT_TRUE(convertCurrentProject(store, clipboard, output, kTime));
    ASSERT_EQ(clipboard.last.size(), 5u);
    const std::string& image = clipboard.last[0].bytes;
    EXPECT_EQ(clipboard.last[0].format, "EClipFormat");
    EXPECT_NE(image.find(text::toGb18030("常量_JS_a_b") + '\0' + text::toGb18030("代码由 Quillbox生成 by Zorvan") + '\0'),
              std::string::npos);
    EXPECT_NE(image.find(text::toGb18030(constantValueOf("a_b"))), std::string::npos);
    EXPECT_EQ(output.texts(), std::vector<std::string>{formatMessageLine("转换易常量成功")});
}

TEST_F(ECodeCommands, ConstantReportsAClipboardThatCannotBeWritten) {
    addProject("demo", {{"main", "x"}});
    show("demo", "main");
    clipboard.refuse = true;
    EXPECT_FALSE(convertCurrentProject(store, clipboard, output, kTime));
    EXPECT_EQ(output.texts(), std::vector<std::string>{formatMessageLine("转换易常量失败")});
}

TEST_F(ECodeCommands, ConstantTakesModulesInProjectOrderWithTheLastPageRule) {
    addProject("demo", {{"main", "M"}, {"util", "U"}});
    addProject("other", {{"z", "Z"}});
    // demo's pages are not last: five CR LF after each module.
    EXPECT_NE(constantValueOf("demo").find("M\r\n\r\n\r\n\r\n\r\n//========================\r\n//       util.js"),
              std::string::npos);
    EXPECT_NE(constantValueOf("demo").find("U\r\n\r\n\r\n\r\n\r\n\r\n//========================\r\n//       END   demo"),
              std::string::npos);
    // other's only page is the last page of the list: one CR LF.
    EXPECT_NE(constantValueOf("other").find("Z\r\n\r\n//========================\r\n//       END   other"),
              std::string::npos);
}

TEST_F(ECodeCommands, ConstantFindsPagesByTheirProjectNotByPageName) {
    // Both pages are named a_b_c.js.
    addProject("a", {{"b_c", "from a"}});
    addProject("a_b", {{"c", "from a_b"}});
    const std::string value = constantValueOf("a_b");
    EXPECT_NE(value.find("from a_b"), std::string::npos);
    EXPECT_EQ(value.find("from a\r\n"), std::string::npos);
    EXPECT_EQ(projectConstant(store, "a_b", kTime).name, "常量_JS_a_b");
}

TEST_F(ECodeCommands, ConstantOfAProjectWithPathCharactersKeepsItsModules) {
    addProject("my-lib.beta", {{"main", "var lib;"}});
    const EConstant constant = projectConstant(store, "my-lib.beta", kTime);
    EXPECT_EQ(constant.name, "常量_JS_my_lib_beta");
    EXPECT_NE(constant.value.find("//       main.js\r\n//========================\r\nvar lib;"), std::string::npos);
}

TEST_F(ECodeCommands, ConstantTakesEachPageOnceInDocumentOrder) {
    addProject("demo", {{"main", "FIRST"}, {"util", "SECOND"}});
    store.selectNode(store.tree().findChild("demo", "util.js"));
    store.moveModuleUp();  // the document order changes, the page order does not
    ASSERT_EQ(store.moduleNames("demo"), (std::vector<std::string>{"util", "main"}));
    const std::string value = constantValueOf("demo");
    const std::size_t first = value.find("FIRST"), second = value.find("SECOND");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(second, first);
    EXPECT_EQ(value.find("FIRST", first + 1), std::string::npos) << "no code is repeated";
    EXPECT_EQ(value.find("SECOND", second + 1), std::string::npos);
    // util's page is the last page: one line break after it; main's is not: five.
    EXPECT_NE(value.find("SECOND\r\n//"), std::string::npos);
    EXPECT_NE(value.find("FIRST\r\n\r\n\r\n\r\n\r\n\r\n//"), std::string::npos);
}

TEST_F(ECodeCommands, ConstantReadsTheCodeAsThePageHoldsItNow) {
    addProject("demo", {{"main", "old"}});
    store.page(store.findPage("demo", "main"))->setText("new");
    EXPECT_NE(constantValueOf("demo").find("new"), std::string::npos);
    EXPECT_EQ(constantValueOf("demo").find("old"), std::string::npos);
}

// ---- The command line's clipboard and files ---------------------------------------------------

TEST(FileClipboard, WritesRoutedEntriesAndDropsTheRest) {
    const std::string dir = test::freshDirectory("clip");
    std::ostringstream out;
    FileClipboard clipboard(out);
    clipboard.route("EClipFormat", dir + "/image");
    clipboard.route(13u, "-");
    ASSERT_TRUE(clipboard.write({{"EClipFormat", 0xC226, "IMG"}, {"", 1, "text"}, {"", 13, "u16"}}));
    EXPECT_EQ(test::readFile(dir + "/image"), "IMG");
    EXPECT_EQ(out.str(), "u16");
}

TEST(FileClipboard, FailsWithAReasonAndKeepsTheOldFile) {
    const std::string dir = test::freshDirectory("clip-fail");
    test::writeFile(dir + "/image", "old");
    std::ostringstream out;
    FileClipboard missingFormat(out);
    missingFormat.route("EClipFormat", dir + "/image");
    EXPECT_FALSE(missingFormat.write({{"", 1, "text"}}));
    EXPECT_NE(missingFormat.error().find("EClipFormat"), std::string::npos);
    EXPECT_EQ(test::readFile(dir + "/image"), "old");

    FileClipboard badPath(out);
    badPath.route("EClipFormat", dir + "/no/such/dir/image");
    EXPECT_FALSE(badPath.write({{"EClipFormat", 0xC226, "IMG"}}));
    EXPECT_FALSE(badPath.error().empty());
}

