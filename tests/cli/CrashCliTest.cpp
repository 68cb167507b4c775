// The crash handler as a user meets it: quillbox-cli made to fault on purpose writes the
// report to standard error and dies of the fault's own signal.
#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sstream>

#include "support/TestSupport.h"

using namespace quillbox::test;

namespace {

std::vector<std::string> reportLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find("\r\n", from);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The first line that starts with `prefix`, or "" when none does.
std::string lineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0)
            return l;
    return "";
}

struct FaultCase {
    const char* kind;
    int signal;
    const char* message;   // the line naming the fault
    bool memory;           // has "目标地址:"
    bool header;           // starts with "警告:程序发生错误"
    bool parameters;       // has the signal's parameter lines
};

const FaultCase kCases[] = {
    {"write", SIGSEGV, "错误信息:内存写入异常", true, true, false},
    {"read", SIGSEGV, "错误信息:内存读取异常", true, true, false},
    {"thread-write", SIGSEGV, "错误信息:内存写入异常", true, true, false},
    {"divide", SIGFPE, "错误信息:非法除0异常", false, true, true},
    {"stack", SIGSEGV, "错误信息:线程堆栈溢出异常", false, false, true},
    {"thread-stack", SIGSEGV, "错误信息:线程堆栈溢出异常", false, false, true},
    {"abort", SIGABRT, "错误代码:00000006", false, true, true},
    {"throw", SIGABRT, "错误信息:执行Virtual C++ throw()指令", false, true, false},
    {"illegal", SIGILL, "错误信息:非法CPU指令", false, true, true},
    {"privileged", SIGSEGV, "错误信息:无法执行Ring0指令", false, true, true},
    {"breakpoint", SIGTRAP, "错误信息:int3调试中断", false, true, true},
};

const std::regex kAddressLine("(发生位置|分析位置|目标地址):[0-9A-F]{16}");
const std::regex kModuleLine("相对地址:\\[[^\\]]+\\]\\.[0-9A-F]{8,}");
const std::regex kParameterLine("错误参数[12]:([0-9A-F]{8}|[0-9A-F]{16})");
const std::regex kFrameLine(" +(\\[[^\\]]+\\]\\.[0-9A-F]{8,}( \\S+\\+0x[0-9A-F]+)?|[0-9A-F]{16})");

TEST(CrashReport, EveryFaultKindReportsItsLinesAndDiesOfItsSignal) {
    for (const FaultCase& c : kCases) {
        SCOPED_TRACE(c.kind);
        const ProcessResult r = runProcess(QUILLBOX_CLI, {"--fault", c.kind});
        EXPECT_EQ(r.signal, c.signal);
        const std::vector<std::string> lines = reportLines(r.err);
        ASSERT_GE(lines.size(), 4u) << r.err;
        std::size_t i = 0;
        if (c.header) {
            EXPECT_EQ(lines[i++], "警告:程序发生错误");
        } else {
            EXPECT_FALSE(hasLine(lines, "警告:程序发生错误"));
        }
        EXPECT_EQ(lines[i++], c.message);
        if (c.memory) {
            EXPECT_EQ(lines[i++], "目标地址:0000000000000000");
        }
        EXPECT_TRUE(std::regex_match(lines[i], kAddressLine)) << lines[i];
        EXPECT_TRUE(std::regex_match(lines[i + 1], kModuleLine)) << lines[i + 1];
        const std::string analysis = lineStarting(lines, "分析位置:");
        EXPECT_TRUE(std::regex_match(analysis, kAddressLine)) << r.err;
        const std::string parameter = lineStarting(lines, "错误参数");
        if (c.parameters) {
            EXPECT_TRUE(std::regex_match(parameter, kParameterLine)) << r.err;
        } else {
            EXPECT_EQ(parameter, "");
        }
        // The call stack: the heading, then one indented line per frame, one more space each.
        const auto stack = std::find(lines.begin(), lines.end(), "CallStack:");
        ASSERT_NE(stack, lines.end()) << r.err;
        ASSERT_NE(stack + 1, lines.end());
        for (auto f = stack + 1; f != lines.end() && !f->empty(); ++f) {
            EXPECT_TRUE(std::regex_match(*f, kFrameLine)) << *f;
            EXPECT_EQ(f->find_first_not_of(' '), static_cast<std::size_t>(f - stack)) << *f;
        }
    }
}

TEST(CrashReport, TheFaultingPlaceLiesInTheProgramAndTheCallStackReachesMain) {
    // The write happens in the program's own code: the module is the program, and the
    // call stack goes back through main.
    const ProcessResult r = runProcess(QUILLBOX_CLI, {"--fault", "write"});
    const std::vector<std::string> lines = reportLines(r.err);
    EXPECT_EQ(lineStarting(lines, "相对地址:").rfind("相对地址:[quillbox-cli].", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" main+0x"), std::string::npos) << r.err;
}

TEST(CrashReport, AnUncaughtExceptionNamesItsTypeAndMessageInTheAttachedLines) {
    const ProcessResult r = runProcess(QUILLBOX_CLI, {"--fault", "throw"});
    const std::vector<std::string> lines = reportLines(r.err);
    const auto attached = std::find(lines.begin(), lines.end(), "附属信息：");
    ASSERT_NE(attached, lines.end()) << r.err;
    ASSERT_GE(lines.end() - attached, 3);
    EXPECT_EQ(attached[1], "异常类型:std::runtime_error");
    EXPECT_EQ(attached[2], "异常信息:fault on purpose");
}

TEST(CrashReport, AnUnknownFaultKindIsBadUsageAndFaultsNothing) {
    const ProcessResult r = runProcess(QUILLBOX_CLI, {"--fault", "nothing"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.err.find("KIND is one of write read"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("程序发生错误"), std::string::npos);
}

}  // namespace
