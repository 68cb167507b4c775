// The session file: every module's code comes back byte for byte; a torn or foreign file
// is refused, and moving it aside never overwrites an earlier one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "SessionPrint.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::session;

namespace {

Session oneModule(const std::string& code, const std::string& module = "main") {
    Session s;
    s.projects.push_back(SessionProject{"demo", {SessionModule{module, code}}});
    s.currentProject = "demo";
    s.currentModule = module;
    return s;
}

Session roundTrip(const Session& session) {
    Session back;
    std::string error;
    EXPECT_TRUE(parseSession(sessionText(session), back, &error)) << error;
    return back;
}

TEST(SessionFile, CodeComesBackByteForByte) {
    const std::vector<std::pair<const char*, std::string>> codes = {
        {"empty", ""},
        {"CR LF", "var a=1;\r\nvar b=2;\r\n"},
        {"lone LF", "var a=1;\nvar b=2;\n"},
        {"lone CR", "a\rb\r"},
        {"mixed breaks", "a\r\n\nb\n\r\nc\r\r\n\n"},
        {"LF first then CR LF", "\n\r\n"},
        {"Chinese", "var 名字 = \"中文内容\";\r\n// 注释"},
        {"outside GBK", "var s = \"😀 𠀀 \xE2\x82\xAC\";\n"},
        {"escapes as text", "var s = \"\\n\\r\\u0041\\\\ \\/ \\\" '\";"},
        {"JSON-looking text", "{\"format\":1,\"projects\":[]}\n\"]}"},
        {"control characters", std::string("a\tb\bc\fd\x01" "e\x1f" "f\x7f", 13)},
        {"trailing backslash", "a\\"},
    };
    for (const auto& [what, code] : codes) {
        const Session s = oneModule(code);
        EXPECT_EQ(roundTrip(s), s) << what;
    }
}

TEST(SessionFile, NamesOrderCurrentAndCleanComeBack) {
    Session s;
    s.projects.push_back(SessionProject{"a_b", {SessionModule{"x.y", "1"}, SessionModule{"[0]", ""}}});
    s.projects.push_back(SessionProject{"项目 二", {}});
    s.projects.push_back(SessionProject{"c\\d\"e", {SessionModule{"m", "2"}, SessionModule{"m", "3"}}});
    s.currentProject = "a_b";
    s.currentModule = "[0]";
    s.clean = true;
    EXPECT_EQ(roundTrip(s), s);

    s.clean = false;
    s.currentProject.clear();
    s.currentModule.clear();
    EXPECT_EQ(roundTrip(s), s);
}

TEST(SessionFile, FiftyModulesOfOneHundredKilobytes) {
    Session s;
    SessionProject& p = s.projects.emplace_back();
    p.name = "big";
    std::string line = "var 数据 = \"0123456789abcdef😀\";\r\n";
    for (int m = 0; m < 50; ++m) {
        std::string code;
        while (code.size() < 100 * 1024)
            code += line + (m % 2 ? "\n" : "");
        code += std::to_string(m);
        p.modules.push_back(SessionModule{"m" + std::to_string(m), code});
    }
    const std::string path = test::freshDirectory("session-big") + "/session/session.json";
    std::string error;
    ASSERT_TRUE(writeSession(path, s, &error)) << error;
    const ReadResult read = readSession(path);
    ASSERT_EQ(read.status, ReadStatus::Ok) << read.error;
    EXPECT_TRUE(read.session == s);
}

TEST(SessionFile, TornForeignAndMissingFiles) {
    const std::string dir = test::freshDirectory("session-torn");
    const std::string path = dir + "/session.json";
    EXPECT_EQ(readSession(path).status, ReadStatus::Missing);

    const std::string whole = sessionText(oneModule("var a=1;\r\n"));
    // Cut anywhere, the file is refused rather than read as a shorter session.
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
        test::writeFile(path, whole.substr(0, cut));
        const ReadResult read = readSession(path);
        EXPECT_EQ(read.status, ReadStatus::Unparsable) << "cut at " << cut;
        EXPECT_TRUE(read.session.projects.empty());
        EXPECT_FALSE(read.error.empty());
    }
    for (const char* foreign : {"{\"a\":1}", "[1,2]", "{\"format\":2,\"projects\":[]}",
                                "{\"format\":1,\"projects\":[{\"name\":\"p\",\"modules\":[{\"name\":\"m\"}]}]}",
                                "{\"format\":1,\"projects\":{}}", "\x89PNG\r\n"}) {
        test::writeFile(path, foreign);
        EXPECT_EQ(readSession(path).status, ReadStatus::Unparsable) << foreign;
    }
    std::filesystem::create_directory(dir + "/adir");
    EXPECT_EQ(readSession(dir + "/adir").status, ReadStatus::Unreadable);
}

TEST(SessionFile, MovedAsideNeverOverwritesAnEarlierOne) {
    const std::string dir = test::freshDirectory("session-aside");
    const std::string path = dir + "/session.json";
    test::writeFile(path, "first broken");
    std::string error;
    const std::string first = moveAside(path, &error);
    ASSERT_FALSE(first.empty()) << error;
    test::writeFile(path, "second broken");
    const std::string second = moveAside(path, &error);
    ASSERT_FALSE(second.empty()) << error;

    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(path + ".broken-", 0), 0u) << first;
    EXPECT_EQ(test::readFile(first), "first broken");
    EXPECT_EQ(test::readFile(second), "second broken");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SessionFile, CurrentProjectForTheCrashReporter) {
    Session s = oneModule("x");
    s.projects.push_back(SessionProject{"other", {}});
    ASSERT_NE(s.current(), nullptr);
    EXPECT_EQ(s.current()->name, "demo");
    s.currentProject = "gone";
    EXPECT_EQ(s.current(), nullptr);
}

}  // namespace

namespace {

TEST(SessionClaim, TwoWindowsNeverShareAFile) {
    const std::string first = test::freshDirectory("session-claim") + "/session/session.json";
    auto a = std::make_unique<SessionClaim>(first);
    EXPECT_EQ(a->path(), first);
    EXPECT_EQ(defaultSessionPath(), first) << "the crash reporter started by this run reads the same file";
    {
        SessionClaim b(first);
        EXPECT_EQ(b.path(), first.substr(0, first.size() - 5) + "-2.json");
        SessionClaim c(first);
        EXPECT_EQ(c.path(), first.substr(0, first.size() - 5) + "-3.json");
    }
    a.reset();
    SessionClaim again(first);
    EXPECT_EQ(again.path(), first) << "a file is free again once its window is gone";
    ::unsetenv("QUILLBOX_SESSION_FILE");
}

}  // namespace
