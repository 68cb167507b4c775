#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/engine/TestPage.h"
#include "core/platform/Dialogs.h"
#include "core/text/Text.h"
#include "support/LoaderFixture.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

class TestPageTest : public test::MemoryStoreFixture {
protected:
    RecordingShell shell;
};

TEST_F(TestPageTest, ModulesComeInOrderUnderTheirHeadersEachFollowedByFiveEmptyLines) {
    addProject("p", {{"a", "var a = 1;"}, {"b", "var b = 2;"}});
    const std::string page = testPageText(store, "p", "a + b");
    const std::string script = "//========================\r\n//       a.js\r\n//========================\r\nvar a = 1;"
                               "\r\n\r\n\r\n\r\n\r\n"
                               "//========================\r\n//       b.js\r\n//========================\r\nvar b = 2;"
                               "\r\n\r\n\r\n\r\n\r\n";
    EXPECT_EQ(page,
              "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n    <meta charset=\"gbk\">\r\n    <title></title>\r\n</head>\r\n"
              "<style type=\"text/css\">\r\n    textarea.form-control {\r\n        border-radius: 0;\r\n    }\r\n"
              "</style>\r\n<body>\r\n    <textarea class=\"form-control\" rows=\"10\" id=\"content\"> \r\n"
              "                        </textarea>\r\n    <script type=\"text/javascript\">\r\n\n" +
                  script +
                  "\r\n        var content =(a + b);\r\n        var element = document.getElementById(\"content\");\r\n"
                  "        element.value= content;\r\n    </script>\r\n</body>\r\n</html>");
}

TEST_F(TestPageTest, AnEmptyExpressionShowsOne) {
    addProject("p", {{"a", "var a = 1;"}});
    EXPECT_NE(testPageText(store, "p", "").find("var content =(1);"), std::string::npos);
}

TEST_F(TestPageTest, PlaceholdersInModuleCodeAreFilledOnceAndTheExpressionGoesEverywhere) {
    // {hanshu} is filled after the code is in, so the code's own {hanshu} gets the
    // expression; a {js代码} inside the code is not expanded again.
    addProject("p", {{"a", "var s = '{hanshu}'; var t = '{js代码}';"}});
    const std::string page = testPageText(store, "p", "go()");
    EXPECT_NE(page.find("var s = 'go()'; var t = '{js代码}';"), std::string::npos) << page;
    EXPECT_NE(page.find("var content =(go());"), std::string::npos);
}

TEST_F(TestPageTest, TheCommandWritesGbkIntoTheHomeDirectoryAndOpensIt) {
    addProject("p", {{"a", "var s = '中文';"}});
    ASSERT_TRUE(runInBrowser(store, "s", shell));
    const std::string path = std::string(std::getenv("QUILLBOX_HOME")) + "/Js_Test.html";
    ASSERT_EQ(shell.opened, std::vector<std::string>{path});
    const std::string bytes = test::readFile(path);
    EXPECT_NE(bytes.find(text::toGb18030("var s = '中文';")), std::string::npos);
    // Running again overwrites the page.
    store.currentPage()->setText("var s = 'again';");
    ASSERT_TRUE(runInBrowser(store, "s", shell));
    EXPECT_NE(test::readFile(path).find("var s = 'again';"), std::string::npos);
    EXPECT_EQ(test::readFile(path).find(text::toGb18030("中文")), std::string::npos);
}

TEST_F(TestPageTest, WithoutACurrentPageOrAWritablePlaceNothingIsOpened) {
    EXPECT_FALSE(runInBrowser(store, "1", shell));
    addProject("p", {{"a", "var a;"}});
    std::string error;
    EXPECT_FALSE(writeTestPage(store, "p", "1", "/nonexistent-dir/x/Js_Test.html", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(shell.opened.empty());
}

}  // namespace
