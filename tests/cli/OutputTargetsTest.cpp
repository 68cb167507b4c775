// Where quillbox-cli writes: through links, into FIFOs and devices, and what it says when
// the output cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>

#include "support/TestSupport.h"

using namespace quillbox::test;
namespace fs = std::filesystem;

namespace {

const std::string kCli = QUILLBOX_CLI;

ProcessResult cli(const std::vector<std::string>& args) { return runProcess(kCli, args); }

// Runs the command with its standard output going to `target` (opened by the shell).
ProcessResult cliInto(const std::string& target, const std::vector<std::string>& args) {
    std::vector<std::string> shellArgs{"-c", "exec \"$0\" \"$@\" > \"$QB_TARGET\"", kCli};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    setenv("QB_TARGET", target.c_str(), 1);
    return runProcess("/bin/sh", shellArgs);
}

class OutputTargets : public ::testing::Test {
protected:
    std::string dir = freshDirectory("output-targets");
    std::string calc = [this] {
        writeFile(dir + "/calc.js", "function twice(x) { return x * 2; }\n");
        return dir + "/calc.js";
    }();
};

}  // namespace

TEST_F(OutputTargets, OutputOptionWritesThroughALinkToItsTarget) {
    writeFile(dir + "/t.img", "old");
    fs::create_symlink("t.img", dir + "/l.img");
    struct Case {
        std::vector<std::string> args;
    };
    for (const Case& c : std::vector<Case>{{{"econst", calc, "-o", dir + "/l.img"}},
                                           {{"econst", calc, "--value", "-o", dir + "/l.img"}},
                                           {{"pack", "p", calc, "-o", dir + "/l.img"}},
                                           {{"testpage", calc, "-o", dir + "/l.img"}}}) {
        writeFile(dir + "/t.img", "old");
        const ProcessResult r = cli(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0] << ": " << r.err;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir + "/l.img"))) << c.args[0];
        EXPECT_NE(readFile(dir + "/t.img"), "old") << c.args[0];
    }
}

TEST_F(OutputTargets, OutputOptionWritesIntoAFifo) {
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    const ProcessResult r = cli({"econst", calc, "--value", "-o", fifo});
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(received.find("twice"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(OutputTargets, EveryWriteErrorExitsOneWithOneMessage) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::string packed = dir + "/packed.js";
    ASSERT_EQ(cli({"pack", "p", calc, "-o", packed}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string command;
    };
    for (const Case& c : std::vector<Case>{
             {{"run", calc, "--engine", "native", "-e", "twice(2)"}, "run"},
             {{"list", calc, "--engine", "native"}, "list"},
             {{"pack", "p", calc}, "pack"},
             {{"unpack", packed, dir + "/out"}, "unpack"},
             {{"econst", calc, "--value"}, "econst"},
             {{"econst", calc}, "econst"},
             {{"ecode", calc}, "ecode"},
             {{"compress", calc}, "compress"},
             {{"pack", "--help"}, "pack"},
         }) {
        const ProcessResult r = cliInto("/dev/full", c.args);
        EXPECT_EQ(r.status, 1) << c.command;
        // One line says it (list also prints its load messages on standard error).
        const std::string message = "quillbox-cli " + c.command + ": cannot write to standard output";
        const std::size_t at = r.err.find(message);
        ASSERT_NE(at, std::string::npos) << c.command << ": " << r.err;
        EXPECT_EQ(r.err.find(message, at + 1), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n', at), r.err.size() - 1) << "the last line: " << r.err;
        EXPECT_EQ(r.err.find("cannot write cannot write"), std::string::npos) << r.err;
    }
    // An -o that cannot be written names it once.
    const ProcessResult r = cli({"econst", calc, "-o", "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillbox-cli econst: cannot write /dev/full: No space left on device\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}
