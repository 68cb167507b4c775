// How a fault is named and how the report is laid out, from the facts a signal gives;
// and the report file a crash leaves behind.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "core/crash/CrashHandler.h"
#include "core/crash/CrashReport.h"
#include "core/crash/Faults.h"
#include "support/TestSupport.h"

using namespace quillbox::crash;

namespace {

std::string format(const Fault& fault, const std::string& attached = "", ImageRange executable = {}) {
    static char storage[16 * 1024];
    ReportBuffer out(storage, sizeof storage);
    formatReport(fault, Attachment{attached.data(), attached.size()}, executable, out);
    return std::string(out.data(), out.size());
}

TEST(ReportBuffer, AddressesKeepAllTheirDigitsAndNumbersAtLeastEight) {
    char storage[128];
    ReportBuffer out(storage, sizeof storage);
    out.address(0);
    out.character(' ');
    out.address(0x7FFE12345678ABCDu);
    out.character(' ');
    out.number(6);
    out.character(' ');
    out.number(0xFFFFFFFAu);
    out.character(' ');
    out.number(0x123456789u);  // wider than eight digits: not cut
    out.character(' ');
    out.decimal(15);
    EXPECT_EQ(std::string(out.data(), out.size()),
              "0000000000000000 7FFE12345678ABCD 00000006 FFFFFFFA 123456789 15");
}

TEST(ReportBuffer, TextThatDoesNotFitIsCutNotOverrun) {
    struct {
        char storage[8] = {};
        char guard[8] = {'G', 'G', 'G', 'G', 'G', 'G', 'G', 'G'};
    } memory;
    ReportBuffer out(memory.storage, sizeof memory.storage);
    out.text("0123456789");
    out.address(1);
    EXPECT_EQ(std::string(out.data(), out.size()), "0123456");
    EXPECT_EQ(std::string(memory.guard, 8), "GGGGGGGG");
}

TEST(FaultKind, TheSignalAndTheProcessorsTrapNameTheFault) {
    static const unsigned char hlt[] = {0xF4};
    static const unsigned char prefixedOut[] = {0x66, 0xEF};
    static const unsigned char wrmsr[] = {0x0F, 0x30};
    static const unsigned char lgdt[] = {0x0F, 0x01, 0x10};
    static const unsigned char sgdt[] = {0x0F, 0x01, 0x00};  // allowed to user code
    static const unsigned char mov[] = {0x48, 0x8B, 0x00};
    struct Case {
        const char* what;
        SignalFacts facts;
        FaultKind kind;
    };
    auto facts = [](int signal, int code, long trap, unsigned long error, std::uintptr_t address,
                    const unsigned char* bytes = nullptr, std::size_t length = 0) {
        SignalFacts f;
        f.signal = signal;
        f.code = code;
        f.trapNumber = trap;
        f.errorCode = error;
        f.faultAddress = address;
        f.stackPointer = 0x7FFF00100000u;
        f.stackLow = 0x7FFF00000000u;
        f.stackGuard = 4096;
        f.instruction = bytes;
        f.instructionLength = length;
        return f;
    };
    const Case cases[] = {
        {"page fault, write bit", facts(SIGSEGV, SEGV_MAPERR, 14, 6, 0), FaultKind::MemoryWrite},
        {"page fault, read", facts(SIGSEGV, SEGV_MAPERR, 14, 4, 0), FaultKind::MemoryRead},
        {"write to a read-only page", facts(SIGSEGV, SEGV_ACCERR, 14, 7, 0x400000), FaultKind::MemoryWrite},
        {"just below the stack pointer", facts(SIGSEGV, SEGV_MAPERR, 14, 6, 0x7FFF00100000u - 8),
         FaultKind::StackOverflow},
        {"in the guard below the stack", facts(SIGSEGV, SEGV_ACCERR, 14, 6, 0x7FFF00000000u - 100),
         FaultKind::StackOverflow},
        {"far from the stack", facts(SIGSEGV, SEGV_MAPERR, 14, 6, 0x7FFE00000000u), FaultKind::MemoryWrite},
        {"hlt", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, hlt, sizeof hlt), FaultKind::PrivilegedInstruction},
        {"out with a prefix", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, prefixedOut, sizeof prefixedOut),
         FaultKind::PrivilegedInstruction},
        {"wrmsr", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, wrmsr, sizeof wrmsr), FaultKind::PrivilegedInstruction},
        {"lgdt", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, lgdt, sizeof lgdt), FaultKind::PrivilegedInstruction},
        {"sgdt is no privileged instruction", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, sgdt, sizeof sgdt),
         FaultKind::MemoryRead},
        {"general protection on a plain load", facts(SIGSEGV, SI_KERNEL, 13, 0, 0, mov, sizeof mov),
         FaultKind::MemoryRead},
        {"integer division", facts(SIGFPE, FPE_INTDIV, 0, 0, 0), FaultKind::DivideByZero},
        {"floating division", facts(SIGFPE, FPE_FLTDIV, 19, 0, 0), FaultKind::DivideByZero},
        {"floating overflow", facts(SIGFPE, FPE_FLTOVF, 19, 0, 0), FaultKind::Other},
        {"undefined opcode", facts(SIGILL, ILL_ILLOPN, 6, 0, 0), FaultKind::IllegalInstruction},
        {"privileged opcode", facts(SIGILL, ILL_PRVOPC, 6, 0, 0), FaultKind::PrivilegedInstruction},
        {"int3", facts(SIGTRAP, SI_KERNEL, 3, 0, 0), FaultKind::Breakpoint},
        {"bus error", facts(SIGBUS, BUS_ADRERR, 14, 4, 0x1000), FaultKind::Other},
        {"abort", facts(SIGABRT, SI_TKILL, 0, 0, 0), FaultKind::Other},
        {"SIGSEGV sent by kill", facts(SIGSEGV, SI_USER, 14, 6, 0x3E800001234u), FaultKind::Other},
        {"SIGFPE raised", facts(SIGFPE, SI_TKILL, 0, 0, 0), FaultKind::Other},
        {"SIGTRAP raised", facts(SIGTRAP, SI_TKILL, 0, 0, 0), FaultKind::Breakpoint},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classify(c.facts), c.kind) << c.what;
}

TEST(ReportText, OtherSignalsShowTheirNumberAndEveryParameter) {
    Fault fault;
    fault.kind = FaultKind::Other;
    fault.signal = SIGBUS;
    fault.address = 0x10;
    fault.parameters[0] = {2, false};
    fault.parameters[1] = {0x7F0000001000u, true};
    fault.parameterCount = 2;
    EXPECT_EQ(format(fault),
              "警告:程序发生错误\r\n"
              "错误代码:00000007\r\n"
              "发生位置:0000000000000010\r\n"
              "错误参数1:00000002\r\n"
              "错误参数2:00007F0000001000\r\n");
}

TEST(ReportText, MemoryFaultsNameTheTargetAndHaveNoParameterLines) {
    Fault fault;
    fault.kind = FaultKind::MemoryRead;
    fault.targetAddress = 0x8;
    fault.address = 0x10;
    fault.parameters[0] = {1, false};
    fault.parameterCount = 1;
    EXPECT_EQ(format(fault),
              "警告:程序发生错误\r\n"
              "错误信息:内存读取异常\r\n"
              "目标地址:0000000000000008\r\n"
              "发生位置:0000000000000010\r\n");
}

TEST(ReportText, AStackOverflowStartsWithItsOwnLine) {
    Fault fault;
    fault.kind = FaultKind::StackOverflow;
    EXPECT_EQ(format(fault).rfind("错误信息:线程堆栈溢出异常\r\n", 0), 0u);
}

TEST(ReportText, OneAttachedLineFollowsTheHeadingSeveralStandBelowIt) {
    Fault fault;
    fault.kind = FaultKind::Breakpoint;
    const std::string base = format(fault);
    EXPECT_EQ(format(fault, "初始化结束1\n"), base + "\r\n附属信息：初始化结束1\r\n");
    EXPECT_EQ(format(fault, "代码框设置\n初始化结束1\n"), base + "\r\n附属信息：\r\n代码框设置\r\n初始化结束1\r\n");
    EXPECT_EQ(format(fault, ""), base);
}

[[gnu::noinline]] void inTheProgram() { asm volatile(""); }

TEST(ReportText, TheCallStackIndentsEachFrameAndTheAnalysisFindsTheProgram) {
    const auto here = reinterpret_cast<std::uintptr_t>(&inTheProgram);
    const auto inLibc = reinterpret_cast<std::uintptr_t>(&::write);
    // frame 0 the fault, then return addresses: libc (left out), the program twice.
    const std::uintptr_t frames[] = {here, inLibc + 1, here + 2, here + 3};
    Fault fault;
    fault.kind = FaultKind::Breakpoint;
    fault.address = here;
    fault.frames = frames;
    fault.frameCount = 4;
    const ImageRange program{here, here + 3};
    const std::string text = format(fault, "", program);
    char expectedAnalysis[64];
    std::snprintf(expectedAnalysis, sizeof expectedAnalysis, "分析位置:%016lX\r\n",
                  static_cast<unsigned long>(here + 2));
    EXPECT_NE(text.find(expectedAnalysis), std::string::npos) << text;
    const std::size_t stack = text.find("CallStack:\r\n");
    ASSERT_NE(stack, std::string::npos) << text;
    EXPECT_EQ(text.find("libc"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n [test_crash]."), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  [test_crash]."), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n   [test_crash]."), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n    "), std::string::npos) << text;
}

// A child process that installs the handler with these options, runs `setUp` and faults.
struct Crash {
    pid_t pid = -1;
    int signal = 0;  // the signal that ended it; 0 when it exited
};
Crash crashInChild(const CrashOptions& options, const char* fault, void (*setUp)() = nullptr) {
    Crash crash;
    crash.pid = fork();
    if (crash.pid == 0) {
        install(options);
        if (setUp)
            setUp();
        makeFault(fault);
        _exit(0);
    }
    int status = 0;
    if (crash.pid > 0 && waitpid(crash.pid, &status, 0) == crash.pid && WIFSIGNALED(status))
        crash.signal = WTERMSIG(status);
    return crash;
}

CrashOptions reportIn(const std::string& dir) {
    CrashOptions options;
    options.reportDirectory = dir;
    return options;
}

std::vector<std::filesystem::path> reportFiles(const std::string& dir) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        files.push_back(entry.path());
    return files;
}

// A crash in a process set up as the desktop sets itself up: the report lands in the
// directory, named by time and process, and the process dies of the fault's signal.
TEST(CrashHandler, AFaultLeavesItsReportFileAndTheProcessDiesOfTheSignal) {
    const std::string dir = quillbox::test::freshDirectory("crash-file") + "/crash";
    const Crash crash = crashInChild(reportIn(dir), "thread-write", [] {
        recordStage("代码框设置");
        recordStage("初始化结束1", true);
    });
    EXPECT_EQ(crash.signal, SIGSEGV);
    const auto files = reportFiles(dir);
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename().string();
    const std::string suffix = "-" + std::to_string(crash.pid) + ".txt";
    EXPECT_EQ(name.rfind(kReportFilePrefix, 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string(kReportFilePrefix).size() + 15 + suffix.size()) << name;
    EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);
    const std::string text = quillbox::test::readFile(files[0].string());
    EXPECT_EQ(text.rfind("警告:程序发生错误\r\n错误信息:内存写入异常\r\n目标地址:0000000000000000\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n附属信息：\r\n代码框设置\r\n初始化结束1\r\n"), std::string::npos) << text;
}

// A library that installs its own fault handler after ours and passes on what is not
// its own (as JavaScriptCore does) must not cost the report of a stack overflow.
struct sigaction libraryPrevious;
void libraryHandler(int signal, siginfo_t* info, void* context) { libraryPrevious.sa_sigaction(signal, info, context); }

TEST(CrashHandler, AStackOverflowIsReportedThroughALibrarysOwnFaultHandler) {
    const std::string dir = quillbox::test::freshDirectory("crash-chained") + "/crash";
    const Crash crash = crashInChild(reportIn(dir), "stack", [] {
        struct sigaction library {};
        library.sa_sigaction = &libraryHandler;
        library.sa_flags = SA_SIGINFO;
        sigemptyset(&library.sa_mask);
        sigaction(SIGSEGV, &library, &libraryPrevious);
    });
    EXPECT_EQ(crash.signal, SIGSEGV);
    const auto files = reportFiles(dir);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(quillbox::test::readFile(files[0].string()).rfind("错误信息:线程堆栈溢出异常\r\n", 0), 0u);
}

// The reporter runs with no signal blocked (the handler's own mask must not reach it),
// gets the switch and the report file, and the crashed process waits until it has ended.
TEST(CrashHandler, TheReporterGetsTheReportAndTheCrashedProcessWaitsForIt) {
    const std::string dir = quillbox::test::freshDirectory("crash-reporter");
    const std::string script = dir + "/reporter.sh";
    quillbox::test::writeFile(script,
                              "#!/bin/sh\n"
                              // builtins only: the shell blocks signals while it starts a command
                              "while read -r name value; do\n"
                              "  if [ \"$name\" = SigBlk: ]; then echo \"$value\" > \"" + dir + "/mask\"; fi\n"
                              "done < /proc/$$/status\n"
                              "echo \"$1\" > \"" + dir + "/switch\"\n"
                              "sleep 1\n"
                              "cp \"$2\" \"" + dir + "/report-copy\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    CrashOptions options = reportIn(dir + "/crash");
    options.reporterSwitch = "--crash-report";
    options.reporterProgram = script;
    EXPECT_EQ(crashInChild(options, "divide").signal, SIGFPE);
    EXPECT_EQ(quillbox::test::readFile(dir + "/switch"), "--crash-report\n");
    EXPECT_EQ(quillbox::test::readFile(dir + "/mask"), "0000000000000000\n");
    // Copied a second after the start: the crashed process was still there to see it.
    EXPECT_EQ(quillbox::test::readFile(dir + "/report-copy").rfind("警告:程序发生错误\r\n错误信息:非法除0异常\r\n", 0),
              0u);
}

}  // namespace
