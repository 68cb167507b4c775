// The argument rules the commands share: options, their values, "--" and the one FILE.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace quillbox::test;

namespace {

ProcessResult cli(const std::vector<std::string>& args) { return runProcess(QUILLBOX_CLI, args); }

void expectUsage(const std::vector<std::string>& args, const std::string& message) {
    const ProcessResult r = cli(args);
    EXPECT_EQ(r.status, 2) << args[0] << ": " << r.err;
    EXPECT_NE(r.err.find("quillbox-cli " + args[0] + ": " + message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST(CommandUsage, EveryFileCommandWantsExactlyOneFileAndKnownOptions) {
    const std::string dir = freshDirectory("usage-file");
    writeFile(dir + "/a.js", "var a;");
    for (const std::string command : {"ecode", "econst", "list", "run", "testpage"}) {
        expectUsage({command}, "FILE is needed");
        expectUsage({command, dir + "/a.js", dir + "/a.js"}, "only one FILE is taken");
        expectUsage({command, "--bogus", dir + "/a.js"}, "unknown option '--bogus'");
    }
    for (const std::string command : {"compress", "format"}) {
        expectUsage({command, dir + "/a.js", "-"}, "only one FILE is taken");
        expectUsage({command, "-x"}, "unknown option '-x'");
    }
}

TEST(CommandUsage, AnOptionAtTheEndWithoutItsValueIsBadUsage) {
    expectUsage({"ecode", "a.js", "--style"}, "--style needs a value");
    expectUsage({"ecode", "a.js", "--name"}, "--name needs a value");
    expectUsage({"econst", "a.js", "-o"}, "-o needs a file name");
    expectUsage({"econst", "-o", "", "a.js"}, "-o needs a file name");
    expectUsage({"list", "a.js", "--engine"}, "--engine needs a value");
    expectUsage({"run", "a.js", "-e"}, "-e needs a value");
    expectUsage({"run", "a.js", "--engine", "v8"}, "--engine must be native or chakra, not 'v8'");
    expectUsage({"testpage", "a.js", "-o"}, "-o needs a value");
}

TEST(CommandUsage, DoubleDashMakesTheRestOperandsAndAValueMayLookLikeAnOption) {
    const std::string dir = freshDirectory("usage-dash");
    // After "--" an argument starting with '-' is the FILE, which here does not exist.
    const ProcessResult dashed = cli({"ecode", "--", "-missing.js"});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_NE(dashed.err.find("cannot read -missing.js"), std::string::npos) << dashed.err;

    // The word after -e is its value even when it starts with '-'.
    writeFile(dir + "/a.js", "var a = 1;");
    const ProcessResult valued = cli({"ecode", dir + "/a.js", "-e", "--gbk"});
    ASSERT_EQ(valued.status, 0) << valued.err;
    EXPECT_NE(valued.out.find("--gbk"), std::string::npos);
}

}  // namespace
