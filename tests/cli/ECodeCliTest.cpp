// quillbox-cli ecode and econst, end to end.
#include <gtest/gtest.h>

#include <regex>

#include "core/ecode/CallWrapper.h"
#include "core/text/Text.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::test;

namespace {

const std::string kCli = QUILLBOX_CLI;

ProcessResult cli(const std::vector<std::string>& args) { return runProcess(kCli, args); }

std::string lineAt(const std::string& text, int n) {
    std::size_t start = 0;
    for (int i = 0; i < n; ++i)
        start = text.find("\r\n", start) + 2;
    return text.substr(start, text.find("\r\n", start) - start);
}

// A project script file of the project demo with the module main (on the last page).
std::string demoProjectFile(const std::string& dir) {
    writeFile(dir + "/main.js", "var a = 1;");
    const ProcessResult packed = cli({"pack", "demo", dir + "/main.js", "-o", dir + "/demo-export.js"});
    EXPECT_EQ(packed.status, 0) << packed.err;
    return dir + "/demo-export.js";
}

}  // namespace

TEST(ECodeCommand, PlainScriptIsAProjectNamedAfterTheFile) {
    const std::string dir = freshDirectory("ecode-plain");
    writeFile(dir + "/my-lib.beta.js", "function add(a, b) { return a + b; }");
    const ProcessResult r = cli({"ecode", dir + "/my-lib.beta.js", "-e", "add(1, \"x\")"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ecode::fillCallWrapper(ecode::CallStyle::ScriptControl, "JS_my_lib_beta", "add(1, \"x\")"));
    EXPECT_EQ(lineAt(r.out, 2),
              ".子程序 JS_my_lib_beta, 文本型, 公开, 计算例子:调试输出(JS_my_lib_beta(\"add(1,\"+#引号+\"x\"+#引号+\")\"))");
    EXPECT_EQ(lineAt(r.out, 10), "Js.数值方法 (“AddCode”, #常量_JS_my_lib_beta) '在工具中点击复制常量 可直接粘贴进易语言");
}

TEST(ECodeCommand, ProjectFileGivesItsProjectAndOptionsChooseStyleNameAndEncoding) {
    const std::string dir = freshDirectory("ecode-project");
    const std::string file = demoProjectFile(dir);
    const ProcessResult r = cli({"ecode", file, "--style", "1002", "--name", "计算", "-e", "f()"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ecode::fillCallWrapper(ecode::CallStyle::ChakraCoreClass, "计算", "f()"));

    const ProcessResult plain = cli({"ecode", file, "--style", "1001"});
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(lineAt(plain.out, 7), "Js.AddCode (#常量_JS_demo)");

    const ProcessResult gbk = cli({"ecode", file, "--style", "1001", "--gbk"});
    ASSERT_EQ(gbk.status, 0);
    EXPECT_EQ(gbk.out, text::toGb18030(plain.out));
}

TEST(ECodeCommand, BadUsageAndUnreadableFiles) {
    const std::string dir = freshDirectory("ecode-usage");
    writeFile(dir + "/a.js", "1");
    EXPECT_EQ(cli({"ecode"}).status, 2);
    EXPECT_EQ(cli({"ecode", dir + "/a.js", dir + "/a.js"}).status, 2);
    EXPECT_EQ(cli({"ecode", dir + "/a.js", "--style", "999"}).status, 2);
    EXPECT_EQ(cli({"ecode", dir + "/a.js", "--style"}).status, 2);
    EXPECT_EQ(cli({"ecode", dir + "/a.js", "--bogus"}).status, 2);
    const ProcessResult missing = cli({"ecode", dir + "/missing.js"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.js"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());
}

TEST(EConstCommand, ValueIsTheFramedScriptWithVersionAndTimeStamp) {
    const std::string dir = freshDirectory("econst-value");
    const std::string file = demoProjectFile(dir);
    const ProcessResult r = cli({"econst", file, "--value"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The imported module keeps the line break the file format put after it.
    const std::string body =
        "//========================\r\n//       START   demo\r\n//========================\r\n\r\n"
        "//========================\r\n//       main.js\r\n//========================\r\n"
        "var a = 1;\r\n\r\n"
        "\r\n//========================\r\n//       END   demo\r\n//========================\r\n"
        "\r\n//Quillbox1.30\r\n";
    ASSERT_EQ(r.out.substr(0, body.size()), body);
    EXPECT_TRUE(std::regex_match(r.out.substr(body.size()), std::regex("//[1-9][0-9]{3}/[1-9][0-9]?/[1-9][0-9]? "
                                                                       "([1-9]?[0-9]):([1-9]?[0-9]):([1-9]?[0-9])")))
        << r.out.substr(body.size());
}

TEST(EConstCommand, ImageHoldsTheConstantAndGoesToAFileOrStandardOutput) {
    const std::string dir = freshDirectory("econst-image");
    writeFile(dir + "/工具.js", "var s = \"中文\";");
    const ProcessResult toFile = cli({"econst", dir + "/工具.js", "-o", dir + "/image.bin"});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_TRUE(toFile.out.empty());
    const std::string image = readFile(dir + "/image.bin");
    EXPECT_EQ(image.substr(0, 8), "CNWTEPRG");
    EXPECT_NE(image.find(text::toGb18030("常量_JS_工具") + '\0' + text::toGb18030("代码由 Quillbox生成 by Zorvan") + '\0'),
              std::string::npos);
    EXPECT_NE(image.find(text::toGb18030("var s = \"中文\";")), std::string::npos);

    const ProcessResult toOut = cli({"econst", dir + "/工具.js"});
    ASSERT_EQ(toOut.status, 0) << toOut.err;
    // The same image but for its time stamp line, whose digits may differ in number.
    EXPECT_NEAR(static_cast<double>(toOut.out.size()), static_cast<double>(image.size()), 4.0);
    EXPECT_EQ(toOut.out.substr(0, 8), "CNWTEPRG");
}

TEST(EConstCommand, UnwritableImageFailsAndBadUsageIsRefused) {
    const std::string dir = freshDirectory("econst-fail");
    writeFile(dir + "/a.js", "1");
    const ProcessResult r = cli({"econst", dir + "/a.js", "-o", dir + "/no/such/image"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(cli({"econst"}).status, 2);
    EXPECT_EQ(cli({"econst", dir + "/a.js", "-o"}).status, 2);
    EXPECT_EQ(cli({"econst", dir + "/a.js", "--bogus"}).status, 2);
    EXPECT_EQ(cli({"econst", dir + "/missing.js"}).status, 1);
}
