// The crash reporter's dialogue: the save point with the export of the project that was
// current, then the report.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "core/crash/CrashReporter.h"
#include "core/editor/MemoryPage.h"
#include "core/platform/Dialogs.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionStore.h"
#include "support/TestSupport.h"

using namespace quillbox;

namespace {

// A function only this file knows: dladdr cannot name it.
__attribute__((noinline)) int fileLocalFunction(int x) { return x * 3 + 1; }

const char* const kReport = "警告:程序发生错误\r\n错误信息:内存写入异常\r\n目标地址:0000000000000000\r\n";

struct Reporter : ::testing::Test {
    ScriptedDialogs dialogs;
    std::string dir = test::freshDirectory("reporter");
    std::string reportPath = dir + "/crash-20261209-000000-1.txt";

    Reporter() { test::writeFile(reportPath, kReport); }
};

TEST_F(Reporter, WithoutAProjectTheSavePointSavesNothingAndTheReportFollows) {
    EXPECT_FALSE(crash::runReporter(reportPath, dialogs, [](ProjectStore&) { return false; }));
    ASSERT_EQ(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[0].text, "程序崩溃,请选择项目保存点");
    EXPECT_EQ(dialogs.records[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.records[1].text, kReport);
    EXPECT_EQ(dialogs.records[1].title, "程序异常：");
    EXPECT_EQ(dialogs.records[1].icon, MessageIcon::Error);
}

TEST_F(Reporter, AReportThatCannotBeReadSaysSoWithAnEmptyTitle) {
    crash::runReporter(dir + "/missing.txt", dialogs, nullptr);
    ASSERT_EQ(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[1].text, "程序发生严重错误，无法获取异常信息，程序准备关闭");
    EXPECT_EQ(dialogs.records[1].title, "");
}

TEST_F(Reporter, TheCurrentProjectIsOfferedForExportBeforeTheReport) {
    const std::string target = dir + "/saved.js";
    dialogs.saveAnswers.push_back(target);
    const auto load = [](ProjectStore& store) {
        store.selectNode(store.addProjectCore("demo"));
        store.addModuleCore("main", "var a=1;\r\n");
        store.showPage(store.findPage("demo", "main"));
        return true;
    };
    EXPECT_TRUE(crash::runReporter(reportPath, dialogs, load));
    ASSERT_EQ(dialogs.records.size(), 3u);
    EXPECT_EQ(dialogs.records[1].kind, DialogRecord::SaveFile);
    EXPECT_EQ(dialogs.records[1].text, "Quillbox 保存Js");
    EXPECT_EQ(dialogs.records[2].title, "程序异常：");
    EXPECT_NE(test::readFile(target).find("//       START   demo\r\n"), std::string::npos);
}

TEST(ReadableReport, CallStackSymbolsAreShownAsCppNames) {
    const std::string raw =
        "CallStack:\r\n"
        " [quillbox].0008B420 _ZN8quillbox5crash9makeFaultERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE+0xA0\r\n"
        "  [quillbox].0001F189 main+0x3F9\r\n"
        "   [libfoo.so].00000010 _Znot_a_symbol+0x1\r\n"
        "    [quillbox].00000020 _ZN1a1bEv\r\n";
    EXPECT_EQ(crash::readableReport(raw),
              "CallStack:\r\n"
              " [quillbox].0008B420 quillbox::crash::makeFault(std::__cxx11::basic_string<char, "
              "std::char_traits<char>, std::allocator<char> > const&)+0xA0\r\n"
              "  [quillbox].0001F189 main+0x3F9\r\n"
              "   [libfoo.so].00000010 _Znot_a_symbol+0x1\r\n"
              "    [quillbox].00000020 a::b()\r\n");
    EXPECT_EQ(crash::readableReport(kReport), kReport);
}

// Frames of the program's own file that the handler could not name are named from the
// file's symbol table; other modules' frames and frames already named stay as they are.
TEST(ReadableReport, OwnFramesWithoutANameAreNamedFromTheSymbolTable) {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    ASSERT_GT(n, 0);
    const std::string executable(path, static_cast<std::size_t>(n));
    const std::string module = executable.substr(executable.rfind('/') + 1);
    Dl_info info{};
    const auto address = reinterpret_cast<std::uintptr_t>(&fileLocalFunction);
    ASSERT_NE(dladdr(reinterpret_cast<void*>(address), &info), 0);
    ASSERT_EQ(fileLocalFunction(1), 4);
    char offset[16];
    std::snprintf(offset, sizeof offset, "%08llX",
                  static_cast<unsigned long long>(address + 2 - reinterpret_cast<std::uintptr_t>(info.dli_fbase)));
    const std::string raw = "相对地址:[" + module + "]." + offset + "\r\n"
                            "CallStack:\r\n"
                            " [" + module + "]." + offset + "\r\n"
                            "  [libfoo.so]." + offset + "\r\n"
                            "   [" + module + "]." + offset + " _ZN1a1bEv+0x2\r\n";
    EXPECT_EQ(crash::readableReport(raw, executable),
              "相对地址:[" + module + "]." + offset + "\r\n"
              "CallStack:\r\n"
              " [" + module + "]." + offset + " (anonymous namespace)::fileLocalFunction(int)+0x2\r\n"
              "  [libfoo.so]." + offset + "\r\n"
              "   [" + module + "]." + offset + " a::b()+0x2\r\n");
    // A file that is no program, or none at all, names nothing.
    EXPECT_EQ(crash::readableReport(raw, "/nonexistent/quillbox"), crash::readableReport(raw));
}

// The crashed program kept its projects in the session; the reporter, a process of its
// own, exports the project that was current from there, byte for byte as the program
// itself would have.
TEST_F(Reporter, TheExportFromTheSessionIsTheProgramsOwnExportOfThatProject) {
    ScriptedDialogs programDialogs;
    ProjectStore program(programDialogs, [](const std::string& name, std::string code) {
        return std::make_unique<MemoryPage>(name, code);
    });
    program.selectNode(program.addProjectCore("工程"));
    program.addModuleCore("crlf", "var a = '中文';\r\nvar b = 2;\r\n");
    program.addModuleCore("lf", "// 𝄞 outside GBK\nvar c = 3;");
    program.addModuleCore("empty", "");
    program.selectNode(program.addProjectCore("other"));
    program.addModuleCore("last", "var z;");
    program.showPage(program.findPage("工程", "lf"));
    ASSERT_EQ(program.currentProject(), "工程");

    const std::string sessionPath = dir + "/session/session.json";
    session::SessionStoreOptions options;
    options.path = sessionPath;
    options.background = false;
    {
        session::SessionStore keeper(program, options);
        keeper.saveNow();
        ASSERT_TRUE(keeper.waitForDisk()) << keeper.lastError();
    }

    const std::string target = dir + "/from-reporter.js";
    dialogs.saveAnswers.push_back(target);
    EXPECT_TRUE(crash::runReporter(reportPath, dialogs, crash::sessionLoader(sessionPath)));
    EXPECT_EQ(test::readFile(target), program.exportBytes("工程"));
    // The session stays for the next start.
    EXPECT_FALSE(test::readFile(sessionPath).empty());
}

}  // namespace
