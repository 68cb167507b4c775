// quillbox-cli run --seed/--now: deterministic runs print the same every time, in both engines.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

using quillbox::test::freshDirectory;
using quillbox::test::runProcess;
using quillbox::test::writeFile;

namespace {

const std::string kCli = QUILLBOX_CLI;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(RunCommand, TheSameSeedAndTimePrintTheSameInBothEngines) {
    const std::string dir = freshDirectory("seeded");
    writeFile(dir + "/r.js",
              "var picks = [];\nfor (var i = 0; i < 5; i++) picks.push(Math.floor(Math.random() * 1000));\n"
              "var stamp = new Date().getTime() + '|' + (new Date() instanceof Date) + '|' + new Date(86400000).getTime();\n"
              "var now = typeof Date.now === 'function' ? Date.now() : 'no Date.now';\n");
    for (const std::string engine : {"chakra", "native"}) {
        SCOPED_TRACE(engine);
        const std::vector<std::string> args{"run", dir + "/r.js", "--engine", engine, "--seed", "42", "--now",
                                            "1700000000000", "-e", "picks.join()", "-e", "stamp"};
        const auto first = runProcess(kCli, args);
        const auto second = runProcess(kCli, args);
        EXPECT_EQ(first.status, 0) << first.out << first.err;
        EXPECT_EQ(first.out, second.out);
        EXPECT_TRUE(contains(first.out, "确定性运行：Math.random seed 42")) << first.out;
        EXPECT_TRUE(contains(first.out, "1700000000000|true|86400000")) << first.out;
        // JScript 5.7 has no Date.now, and none is made for it.
        const auto now = runProcess(kCli, {"run", dir + "/r.js", "--engine", engine, "--now", "5", "-e", "now"});
        EXPECT_TRUE(contains(now.out, engine == "chakra" ? ">>[结果] 5\n" : ">>[结果] no Date.now\n")) << now.out;
        auto other = args;
        other[5] = "43";
        EXPECT_NE(runProcess(kCli, other).out, first.out);
    }
    // Both engines draw the same numbers from the same seed.
    const auto chakra = runProcess(kCli, {"run", dir + "/r.js", "--seed", "7", "-e", "picks.join()"});
    const auto native = runProcess(kCli, {"run", dir + "/r.js", "--engine", "native", "--seed", "7", "-e", "picks.join()"});
    const auto result = [](const std::string& out) { return out.substr(out.find(">>[结果] ")); };
    EXPECT_EQ(result(chakra.out), result(native.out));
    EXPECT_EQ(runProcess(kCli, {"run", dir + "/r.js", "--seed", "-1"}).status, 2);
    EXPECT_EQ(runProcess(kCli, {"run", dir + "/r.js", "--now", "9e99"}).status, 2);
}

TEST(RunCommand, TheBrowserEnvironmentsTimersMoveDateAndPerformanceTogether) {
    // Date starts at --now and moves only as the environment's timers run; performance.now()
    // is the same clock from 0.
    const std::string dir = freshDirectory("seeded-browser");
    writeFile(dir + "/t.js",
              "var seen = [];\n"
              "setTimeout(function () { seen.push(Date.now() + ':' + performance.now()); }, 1500);\n"
              "setTimeout(function () { seen.push(new Date().getTime() + ':' + performance.now()); }, 40);\n"
              "var atLoad = new Date().getTime() + ':' + performance.now();\n");
    for (const std::string engine : {"chakra", "native"}) {
        SCOPED_TRACE(engine);
        const auto r = runProcess(kCli, {"run", dir + "/t.js", "--engine", engine, "--browser", "--now", "1000000",
                                         "-e", "atLoad + ' ' + seen.join(' ')"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, ">>[结果] 1000000:0 1000040:40 1001500:1500\n")) << r.out;
    }
}

}  // namespace
