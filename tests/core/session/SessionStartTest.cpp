// The start: which session comes back, what the output box says, and what happens to a
// session file that cannot be used.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "core/editor/MemoryPage.h"
#include "core/platform/Output.h"
#include "core/project/ProjectSource.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionStart.h"
#include "SessionPrint.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::session;

namespace {

class SessionStartTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    RecordingOutput output;
    ProjectStore store{dialogs, [](const std::string& name, std::string code) {
                           return std::make_unique<MemoryPage>(name, code);
                       }};
    std::string path = test::freshDirectory("session-start") + "/session/session.json";

    static Session lastRun(bool clean) {
        Session s;
        s.projects.push_back(SessionProject{"one", {SessionModule{"a", "var a=1;\r\n"}, SessionModule{"b", "中文\n"}}});
        s.projects.push_back(SessionProject{"two", {}});
        s.currentProject = "one";
        s.currentModule = "b";
        s.clean = clean;
        return s;
    }
    void leave(const Session& s) {
        std::string error;
        ASSERT_TRUE(writeSession(path, s, &error)) << error;
    }
    std::vector<std::string> messages() const { return output.texts(); }
};

TEST_F(SessionStartTest, WhichSessionComesBack) {
    struct Case {
        bool clean;
        bool memoryText;
        bool comesBack;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases = {
        {false, true, true, {">>上次运行未正常结束,已恢复2个项目"}},
        {false, false, true, {">>上次运行未正常结束,已恢复2个项目"}},
        {true, true, true, {}},
        {true, false, false, {}},
    };
    for (const Case& c : cases) {
        RecordingOutput said;
        ScriptedDialogs noDialogs;
        ProjectStore fresh{noDialogs, [](const std::string& name, std::string code) {
                               return std::make_unique<MemoryPage>(name, code);
                           }};
        leave(lastRun(c.clean));
        const StartResult result = restoreAtStart(fresh, said, path, c.memoryText);
        const std::string what = std::string(c.clean ? "clean" : "unclean") + (c.memoryText ? ", on" : ", off");
        EXPECT_TRUE(result.keepSession) << what;
        EXPECT_EQ(result.unclean, !c.clean) << what;
        EXPECT_EQ(said.texts(), c.said) << what;
        EXPECT_TRUE(noDialogs.records.empty()) << what;
        if (!c.comesBack) {
            EXPECT_EQ(fresh.projectNames().size(), 0u) << what;
            continue;
        }
        EXPECT_EQ(result.restored, 2) << what;
        EXPECT_EQ(fresh.projectNames(), (std::vector<std::string>{"one", "two"})) << what;
        EXPECT_EQ(fresh.moduleNames("one"), (std::vector<std::string>{"a", "b"})) << what;
        EXPECT_EQ(fresh.page(fresh.findPage("one", "a"))->getText(), "var a=1;\r\n") << what;
        EXPECT_EQ(fresh.page(fresh.findPage("one", "b"))->getText(), "中文\n") << what;
        ASSERT_NE(fresh.currentPage(), nullptr) << what;
        EXPECT_EQ(fresh.currentPage()->name(), "one_b.js") << "the module being edited is shown";
        EXPECT_EQ(fresh.tree().text(fresh.tree().selected()), "b.js");
    }
}

TEST_F(SessionStartTest, FirstStartHasNothingToSay) {
    const StartResult result = restoreAtStart(store, output, path, true);
    EXPECT_TRUE(result.keepSession);
    EXPECT_EQ(result.restored, 0);
    EXPECT_TRUE(messages().empty());
}

TEST_F(SessionStartTest, CommandLineProjectsComeAfterTheSession) {
    leave(lastRun(false));
    restoreAtStart(store, output, path, true);
    ASSERT_TRUE(addProjectSource(store, "/tmp/extra.js", "var x;").ok);
    EXPECT_EQ(store.projectNames(), (std::vector<std::string>{"one", "two", "extra"}));
}

TEST_F(SessionStartTest, AnUnusableFileIsMovedAsideAndKept) {
    for (const std::string& broken : {std::string("{\"format\":1,\"projects\":[{\"name\":\"one\",\"mod"), std::string("\xff\xfe garbage")}) {
        RecordingOutput said;
        test::writeFile(path, broken);
        const StartResult result = restoreAtStart(store, said, path, true);
        EXPECT_TRUE(result.keepSession);
        EXPECT_EQ(result.restored, 0);
        EXPECT_TRUE(store.projectNames().empty());
        ASSERT_FALSE(result.movedTo.empty());
        EXPECT_EQ(test::readFile(result.movedTo), broken);
        EXPECT_FALSE(std::filesystem::exists(path));
        ASSERT_EQ(said.texts().size(), 1u);
        const std::string line = said.texts()[0];
        EXPECT_EQ(line.rfind(">>会话文件无法读取(", 0), 0u) << line;
        EXPECT_NE(line.find("已移到: " + result.movedTo), std::string::npos) << line;
    }
}

TEST_F(SessionStartTest, RepeatedModuleNamesAndTakenProjectsLoseNoCode) {
    Session s;
    s.projects.push_back(SessionProject{"p", {SessionModule{"m", "first"}, SessionModule{"m", "second"}}});
    s.projects.push_back(SessionProject{"taken", {SessionModule{"x", "kept elsewhere"}}});
    store.addProjectCore("taken");
    leave(s);
    const StartResult result = restoreAtStart(store, output, path, false);
    EXPECT_EQ(result.restored, 1);
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"m", "m (2)"}));
    EXPECT_EQ(store.page(store.findPage("p", "m (2)"))->getText(), "second");
    EXPECT_TRUE(dialogs.records.empty()) << "no module was refused with a warning";
    EXPECT_EQ(messages(), (std::vector<std::string>{">>项目[p]中模块[m]重名,恢复为[m (2)]", ">>项目[taken]已存在,未恢复",
                                                    ">>上次运行未正常结束,已恢复1个项目"}));
}

// Something other than a file at the session's path (a FIFO, a directory) never holds the
// start: it is refused at once and moved aside like any unusable file.
TEST_F(SessionStartTest, ANonRegularFileInThePlaceOfTheSessionIsRefusedAtOnce) {
    const std::vector<std::pair<const char*, std::function<void()>>> makers = {
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"directory", [&] { std::filesystem::create_directories(path); }},
    };
    for (const auto& [name, make] : makers) {
        SCOPED_TRACE(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        make();
        RecordingOutput said;
        const StartResult result = restoreAtStart(store, said, path, true);
        EXPECT_EQ(result.restored, 0);
        ASSERT_EQ(said.texts().size(), 1u);
        EXPECT_NE(said.texts()[0].find(name == std::string("FIFO") ? "not a regular file" : "directory"),
                  std::string::npos)
            << said.texts()[0];
        if (!result.movedTo.empty())
            std::filesystem::remove_all(result.movedTo);
        std::filesystem::remove_all(path);
    }
}

// When no session file can be claimed (a read-only home), the last run's session is read
// all the same, and nothing is moved or written.
TEST_F(SessionStartTest, WithoutAWritableFileTheLastSessionIsStillRead) {
    leave(lastRun(false));
    const std::string before = test::readFile(path);
    StartResult result = restoreAtStart(store, output, path, false, false);
    EXPECT_FALSE(result.keepSession);
    EXPECT_EQ(result.restored, 2);
    EXPECT_EQ(store.projectNames(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(test::readFile(path), before);

    RecordingOutput said;
    test::writeFile(path, "not a session");
    result = restoreAtStart(store, said, path, true, false);
    EXPECT_FALSE(result.keepSession);
    EXPECT_TRUE(result.movedTo.empty());
    EXPECT_EQ(test::readFile(path), "not a session") << "left where it is";
    ASSERT_EQ(said.texts().size(), 1u);
    EXPECT_NE(said.texts()[0].find("本次运行不保存会话"), std::string::npos);
}

}  // namespace
