// quillbox-cli pack and unpack, end to end.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/text/Text.h"
#include "support/ProjectFileText.h"
#include "support/TestSupport.h"

using namespace quillbox::test;
namespace fs = std::filesystem;

namespace {
const std::string kCli = QUILLBOX_CLI;
ProcessResult cli(const std::vector<std::string>& args, const std::string& input = "") {
    return runProcess(kCli, args, input);
}

}  // namespace

class PackUnpack : public ::testing::Test {
protected:
    std::string dir = freshDirectory("packunpack");
    std::string put(const std::string& name, const std::string& bytes) {
        writeFile(dir + "/" + name, bytes);
        return dir + "/" + name;
    }
};

using Pack = PackUnpack;

TEST_F(Pack, WorkedExampleByteForByteOnStandardOutput) {
    // However the one line was saved: without a final line break, with LF or with CR LF.
    for (const std::string ending : {"", "\n", "\r\n"}) {
        ProcessResult r = cli({"pack", "demo", put("main.js", "var a=1;" + ending)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, kWorkedExample);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Pack, OnlyTheFinalLineBreakOfAFileIsLeftOut) {
    ProcessResult r = cli({"pack", "p", put("m.js", "a\n\n")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(kSep + "\r\na\n\r\n\r\n" + kSep), std::string::npos);
}

TEST_F(Pack, ModulesInOrderAndOnlyTheLastWithOneLineBreak) {
    const std::string a = put("src/a.js", "A");
    const std::string b = put("lib/b.js", "B");
    ProcessResult r = cli({"pack", "p", b, a, "-o", dir + "/p.js"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(dir + "/p.js"), projectFileText("p", {{"b", "B"}, {"a", "A"}}));
}

TEST_F(Pack, NoFilesGivesAnEmptyProject) {
    ProcessResult r = cli({"pack", "empty"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, projectFileText("empty", {}));
    EXPECT_NE(r.out.find("START   empty\r\n" + kSep + "\r\n\r\n\r\n" + kSep + "\r\n//       END   empty"),
              std::string::npos);
}

TEST_F(Pack, ModuleNameIsTheFileNameWithoutAFinalDotJs) {
    ProcessResult r = cli({"pack", "p", put("x.min.js", "1"), put("notes.txt", "2"), put("y.js.js", "3")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("//       x.min.js\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("//       notes.txt.js\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("//       y.js.js\r\n"), std::string::npos);
}

TEST_F(Pack, OutputIsGb18030AndKeepsCharactersOutsideGbk) {
    const std::string code = "var s='中文\xF0\x9F\x98\x80';";
    ProcessResult r = cli({"pack", "项目", put("m.js", code)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, quillbox::text::toGb18030(projectFileText("项目", {{"m", code}})));
    EXPECT_EQ(r.out.find('?'), std::string::npos);
}

TEST_F(Pack, GbkInputFileIsReadAsGb18030) {
    ProcessResult r = cli({"pack", "p", put("m.js", "\xD6\xD0\xCE\xC4")});  // 中文 in GBK
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n\xD6\xD0\xCE\xC4\r\n"), std::string::npos);
}

TEST_F(Pack, RefusesBadInputWithoutWritingAnything) {
    const std::string out = put("out.js", "previous export");
    const std::string a1 = put("one/a.js", "1");
    const std::string a2 = put("two/a.js", "2");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {{"pack", "p", a1, a2, "-o", out}, "module a is given twice"},
             {{"pack", "p", dir + "/missing.js", "-o", out}, "cannot read"},
             {{"pack", "p", put(".js", "x"), "-o", out}, "empty module name"},
             {{"pack", "two\nlines", a1, "-o", out}, "line break"},
         }) {
        ProcessResult r = cli(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readFile(out), "previous export");
    }
}

TEST_F(Pack, UnwritableOutputFailsAndSaysWhy) {
    ProcessResult r = cli({"pack", "p", put("m.js", "x"), "-o", dir + "/no/such/dir/out.js"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

TEST_F(Pack, BadUsage) {
    EXPECT_EQ(cli({"pack"}).status, 2);
    EXPECT_EQ(cli({"pack", ""}).status, 2);
    EXPECT_EQ(cli({"pack", "p", "-o"}).status, 2);
    EXPECT_EQ(cli({"pack", "p", "--frobnicate"}).status, 2);
    ProcessResult help = cli({"pack", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillbox-cli pack NAME [FILE...] [-o OUT]", 0), 0u);
}

using Unpack = PackUnpack;

TEST_F(Unpack, WritesModulesAsUtf8AndListsThem) {
    const std::string file = put("p.js", quillbox::text::toGb18030(projectFileText("项 目", {{"a", "A中"}, {"b", "B"}})));
    ProcessResult r = cli({"unpack", file, dir + "/out/deep"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "项目\na\nb\n");
    EXPECT_EQ(readFile(dir + "/out/deep/a.js"), "A中\r\n\r\n\r\n\r\n");
    EXPECT_EQ(readFile(dir + "/out/deep/b.js"), "B\r\n");
}

TEST_F(Unpack, RoundTripAddsTheDocumentedLineBreaks) {
    const std::string code1 = "function f() {\n  return '中文\xF0\x9F\x98\x80';\r\n}";
    const std::string code2 = "var x = f();";
    ASSERT_EQ(cli({"pack", "rt", put("one.js", code1), put("two.js", code2), "-o", dir + "/rt.js"}).status, 0);
    ProcessResult r = cli({"unpack", dir + "/rt.js", dir + "/back"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "rt\none\ntwo\n");
    EXPECT_EQ(readFile(dir + "/back/one.js"), code1 + "\r\n\r\n\r\n\r\n");
    EXPECT_EQ(readFile(dir + "/back/two.js"), code2 + "\r\n");
    // Packed again, a one-module project comes back byte for byte.
    ASSERT_EQ(cli({"pack", "one", dir + "/back/two.js", "-o", dir + "/one.js"}).status, 0);
    ASSERT_EQ(cli({"unpack", dir + "/one.js", dir + "/again"}).status, 0);
    EXPECT_EQ(readFile(dir + "/again/two.js"), code2 + "\r\n");
    EXPECT_EQ(readFile(dir + "/one.js"), projectFileText("one", {{"two", code2}}));
}

TEST_F(Unpack, ModuleNamesThatLeaveTheDirectoryWriteNothing) {
    for (const std::string& bad : {std::string(".."), std::string("."), std::string("a/b"), std::string("../escape"),
                                   std::string("cut\0x", 5)}) {
        const std::string file = put("bad.js", projectFileText("p", {{"fine", "1"}, {bad, "2"}}));
        const std::string out = dir + "/never";
        ProcessResult r = cli({"unpack", file, out});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("not a plain file name"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out)) << bad;
        EXPECT_FALSE(fs::exists(dir + "/escape.js"));
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Unpack, FileWithoutProjectFails) {
    ProcessResult r = cli({"unpack", put("plain.js", "var a = 1;\n"), dir + "/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds no project"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/out"));
}

TEST_F(Unpack, UnreadableFileFails) {
    ProcessResult r = cli({"unpack", dir + "/missing.js", dir + "/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.js"), std::string::npos) << r.err;
}

TEST_F(Unpack, RepeatedModuleIsSkippedWithAWarning) {
    ProcessResult r = cli({"unpack", put("r.js", projectFileText("p", {{"m", "first"}, {"m", "second"}})), dir + "/o"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "p\nm\n");
    EXPECT_NE(r.err.find("名称重复[m]！请重新命名"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir + "/o/m.js"), "first\r\n\r\n\r\n\r\n");
}

TEST_F(Unpack, AnyFileNameIsAccepted) {
    ProcessResult r = cli({"unpack", put("saved.txt", projectFileText("t", {{"m", "x"}})), dir + "/o"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir + "/o/m.js"), "x\r\n");
}

TEST_F(Pack, RefusesAFileThatWouldNotUnpackToTheSameModules) {
    // "end game" reads as the END line on import: the project would end at it.
    const std::string out = dir + "/p.js";
    ProcessResult r = cli({"pack", "p", put("first.js", "var first=1;\n"), put("end game.js", "var eg=1;\n"),
                           put("last.js", "var last=1;\n"), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("导出失败: 模块[end game]"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    // A module holding an exported project would be split on import.
    ASSERT_EQ(cli({"pack", "inner", put("x.js", "var x;"), "-o", dir + "/inner.js"}).status, 0);
    r = cli({"pack", "outer", dir + "/inner.js", put("y.js", "var y;")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("导出失败: 模块[inner]"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(Pack, BlankNamesAreRefused) {
    const std::string a = put("a.js", "1");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"pack", "   ", a}, {"pack", "p", put("   .js", "2")}, {"pack", "\t", a}}) {
        ProcessResult r = cli(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_NE(r.err.find("blank"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Unpack, NamesTheFileSystemCannotTakeWriteNothing) {
    // 252 bytes and ".js" fill a 255-byte name; one more does not fit.
    const std::string fits(252, 'f');
    const std::string tooLong(253, 'x');
    ProcessResult r = cli({"unpack", put("long.js", projectFileText("p", {{"a", "1"}, {fits, "2"}})), dir + "/ok"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir + "/ok/" + fits + ".js"), "2\r\n");
    r = cli({"unpack", put("long.js", projectFileText("p", {{"a", "1"}, {tooLong, "2"}})), dir + "/never"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/never"));
}

TEST_F(Unpack, BlankModuleNamesWriteNothing) {
    const std::string text = projectFileText("p", {{"fine", "1"}, {"x", "2"}});
    std::string blank = text;
    blank.replace(blank.find("//       x.js"), 13, "//       .js");
    ProcessResult r = cli({"unpack", put("blank.js", blank), dir + "/never"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("blank"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/never"));
}

TEST_F(Unpack, ControlCharactersInNamesArePrintedEscaped) {
    const std::string file = put("ctl.js", projectFileText("p\x1b[31m", {{"a\x1b]0;t\x07", "1"}, {"b\x7f\xC2\x9B", "2"}}));
    ProcessResult r = cli({"unpack", file, dir + "/o"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "p\\x1b[31m\na\\x1b]0;t\\x07\nb\\x7f\\u009b\n");
    EXPECT_EQ(readFile(dir + "/o/a\x1b]0;t\x07.js"), "1\r\n\r\n\r\n\r\n") << "the files keep the names";
}

TEST_F(Unpack, BadUsage) {
    EXPECT_EQ(cli({"unpack"}).status, 2);
    EXPECT_EQ(cli({"unpack", "one"}).status, 2);
    EXPECT_EQ(cli({"unpack", "a", "b", "c"}).status, 2);
    EXPECT_EQ(cli({"unpack", "-x", "a", "b"}).status, 2);
    EXPECT_EQ(cli({"unpack", "--help"}).out.rfind("Usage: quillbox-cli unpack FILE DIR", 0), 0u);
}
