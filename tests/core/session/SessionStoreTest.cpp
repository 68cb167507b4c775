// The session store follows the work: every kind of change reaches the file after the
// delay, several edits make one write, nothing is written while nothing changes, and a
// write reads only the pages that changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/editor/MemoryPage.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionStore.h"
#include "SessionPrint.h"
#include "support/TestSupport.h"

using namespace quillbox;
using namespace quillbox::session;
using namespace std::chrono_literals;

namespace {

// A memory page that counts how often its whole text is read.
class CountingPage : public MemoryPage {
public:
    CountingPage(std::string name, const std::string& code, int& reads) : MemoryPage(std::move(name), code), reads_(reads) {}
    std::string getText() override {
        ++reads_;
        return MemoryPage::getText();
    }
    bool readText(std::string& text) override {
        if (silent)
            return false;
        text = getText();
        return true;
    }
    // The page gives no answer, as a hung browser page does.
    bool silent = false;

private:
    int& reads_;
};

class SessionStoreTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    int reads = 0;
    ProjectStore store{dialogs, [this](const std::string& name, std::string code) {
                           return std::make_unique<CountingPage>(name, code, reads);
                       }};
    std::string path = test::freshDirectory("session-store") + "/session/session.json";
    Clock::time_point clock{};
    SessionStore keeper{store, SessionStoreOptions{path, 1000ms, [this] { return clock; }, false}};

    void project(const std::string& name) { store.selectNode(store.addProjectCore(name)); }
    NodeId module(const std::string& name, const std::string& code) { return store.addModuleCore(name, code); }
    NodeId node(const std::string& project, const std::string& module) const {
        for (NodeId c : store.tree().children(store.tree().findTopLevel(project)))
            if (store.tree().text(c) == module + ".js")
                return c;
        return kNoNode;
    }
    Page& page(const std::string& project, const std::string& module) {
        return *store.page(store.findPage(project, module));
    }
    // Lets time pass in steps of a quarter second, polling as the program's timer does.
    void pass(std::chrono::milliseconds span) {
        for (auto step = 0ms; step < span; step += 250ms) {
            clock += 250ms;
            keeper.poll();
        }
    }
    Session onDisk() const {
        const ReadResult read = readSession(path);
        EXPECT_EQ(read.status, ReadStatus::Ok) << read.error;
        return read.session;
    }
    // What the store holds, read independently of the session store.
    Session expected() {
        Session s;
        for (const std::string& p : store.projectNames()) {
            SessionProject& entry = s.projects.emplace_back();
            entry.name = p;
            for (const std::string& m : store.moduleNames(p))
                entry.modules.push_back(SessionModule{m, store.page(store.findPage(p, m))->getText()});
        }
        s.currentProject = store.projectOfPage(store.currentPagePosition());
        s.currentModule = store.moduleOfPage(store.currentPagePosition());
        return s;
    }

    void SetUp() override {
        project("demo");
        module("main", "var a=1;\r\n");
        module("util", "var b=2;\n");
        store.selectNode(node("demo", "main"));
        keeper.saveNow();
    }
};

TEST_F(SessionStoreTest, NothingIsWrittenWhileNothingChanges) {
    const int writes = keeper.writeCount();
    reads = 0;
    pass(60s);
    EXPECT_EQ(keeper.writeCount(), writes);
    EXPECT_EQ(reads, 0) << "no page is read while nothing changes";
    // Typing and taking it back is no change either.
    page("demo", "main").insert("x");
    page("demo", "main").setText("var a=1;\r\n");
    pass(5s);
    EXPECT_EQ(keeper.writeCount(), writes);
}

TEST_F(SessionStoreTest, SeveralEditsMakeOneWriteWithinTheDelay) {
    const int writes = keeper.writeCount();
    Page& main = page("demo", "main");
    main.appendText("a");
    pass(250ms);
    main.appendText("b");
    pass(250ms);
    main.appendText("c");
    pass(250ms);
    EXPECT_EQ(keeper.writeCount(), writes) << "still waiting for more edits";
    EXPECT_TRUE(keeper.pending());
    pass(1s);
    EXPECT_EQ(keeper.writeCount(), writes + 1);
    EXPECT_FALSE(keeper.pending());
    EXPECT_EQ(onDisk(), expected());
    EXPECT_EQ(onDisk().projects[0].modules[0].code, "var a=1;\r\nabc");
}

TEST_F(SessionStoreTest, AWriteReadsOnlyThePagesThatChanged) {
    module("third", "var c;");
    pass(2s);
    reads = 0;
    page("demo", "util").insert("// edited\n");
    reads = 0;
    pass(2s);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(onDisk(), expected());
}

TEST_F(SessionStoreTest, EveryKindOfChangeReachesTheFile) {
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"typing", [&] { page("demo", "main").insert("typed"); }},
        {"paste of many lines", [&] { page("demo", "util").appendText("l1\r\nl2\r\nl3"); }},
        {"a transform", [&] { page("demo", "util").setText("var b=2;"); }},
        {"find and replace", [&] { page("demo", "util").find("b", {}); page("demo", "util").replaceAll("bb"); }},
        {"add a project", [&] { project("empty"); }},
        {"add a module", [&] { project("second"); module("m", "1"); }},
        {"show another module", [&] { store.selectNode(node("demo", "util")); }},
        {"rename", [&] { store.selectNode(node("demo", "util")); dialogs.inputAnswers.push_back("tool"); store.renameModule(); }},
        {"move", [&] { store.selectNode(node("demo", "tool")); store.moveModuleUp(); }},
        {"delete a module", [&] { store.selectNode(node("second", "m")); dialogs.yesNoAnswers.push_back(MessageAnswer::Yes); store.deleteModule(); }},
        {"delete a project", [&] { store.selectNode(store.tree().findTopLevel("empty")); store.deleteProject(); }},
        {"import", [&] {
             std::string exported = store.exportBytes("demo");
             const std::size_t at = exported.find("demo");
             exported.replace(at, 4, "copy");
             store.importBytes(exported);
         }},
    };
    for (const auto& [what, change] : changes) {
        const int writes = keeper.writeCount();
        change();
        pass(2s);
        EXPECT_EQ(keeper.writeCount(), writes + 1) << what;
        EXPECT_EQ(onDisk(), expected()) << what;
    }
    EXPECT_EQ(store.projectNames(), (std::vector<std::string>{"demo", "second", "copy"}));
}

TEST_F(SessionStoreTest, APageThatDoesNotAnswerIsNotTakenForEmpty) {
    auto& main = static_cast<CountingPage&>(page("demo", "main"));
    main.insert("typed ");
    main.silent = true;
    page("demo", "util").insert("other ");
    pass(2s);
    Session s = onDisk();
    EXPECT_EQ(s.projects[0].modules[0].code, "var a=1;\r\n") << "the last good text stands";
    EXPECT_EQ(s.projects[0].modules[1].code, page("demo", "util").getText()) << "the other pages are still saved";
    EXPECT_NE(s.projects[0].modules[1].code.find("other"), std::string::npos);

    main.silent = false;
    pass(2s);
    EXPECT_EQ(onDisk(), expected()) << "read again without a new change";

    // A new page that never answered is not written as empty: the write waits.
    project("late");
    module("silent", "code");
    auto& fresh = static_cast<CountingPage&>(page("late", "silent"));
    fresh.silent = true;
    const int writes = keeper.writeCount();
    pass(3s);
    EXPECT_EQ(keeper.writeCount(), writes);
    fresh.silent = false;
    pass(2s);
    EXPECT_EQ(onDisk(), expected());
}

TEST_F(SessionStoreTest, CleanOnlyAfterFinish) {
    EXPECT_FALSE(onDisk().clean);
    page("demo", "main").insert("last words");
    ASSERT_TRUE(keeper.finish());
    const Session s = onDisk();
    EXPECT_TRUE(s.clean);
    EXPECT_EQ(s.projects[0].modules[0].code, page("demo", "main").getText()) << "the last edit is in the clean session";
}

TEST_F(SessionStoreTest, AFailedWriteIsReportedAndTriedAgain) {
    std::vector<std::string> problems;
    const std::string dir = test::freshDirectory("session-blocked");
    // A file where the session folder should be: every write fails.
    test::writeFile(dir + "/session", "in the way");
    SessionStore blocked{store, SessionStoreOptions{dir + "/session/session.json", 1000ms, [this] { return clock; }, false}};
    blocked.onWriteProblem = [&](const std::string& error) { problems.push_back(error); };
    blocked.saveNow();
    EXPECT_FALSE(blocked.lastError().empty());
    for (int i = 0; i < 12; ++i) {
        clock += 250ms;
        blocked.poll();
    }
    EXPECT_EQ(problems.size(), 1u) << "told once, not at every try";
    EXPECT_GT(blocked.writeCount(), 2) << "tried again without a new change";

    std::filesystem::remove(dir + "/session");
    for (int i = 0; i < 12; ++i) {
        clock += 250ms;
        blocked.poll();
    }
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[1], "") << "told that saving works again";
    EXPECT_EQ(readSession(dir + "/session/session.json").session, expected());
}

TEST(SessionStoreThread, WritesInTheBackgroundAndWaitsForTheDisk) {
    ScriptedDialogs dialogs;
    ProjectStore store{dialogs, [](const std::string& name, std::string code) {
                           return std::make_unique<MemoryPage>(name, code);
                       }};
    const std::string path = test::freshDirectory("session-thread") + "/session.json";
    SessionStore keeper{store, SessionStoreOptions{path, 0ms}};
    store.selectNode(store.addProjectCore("p"));
    for (int i = 0; i < 20; ++i) {
        store.addModuleCore("m" + std::to_string(i), std::string(1000, 'a' + i % 26));
        keeper.poll();
    }
    ASSERT_TRUE(keeper.waitForDisk());
    const ReadResult read = readSession(path);
    ASSERT_EQ(read.status, ReadStatus::Ok) << read.error;
    ASSERT_EQ(read.session.projects.size(), 1u);
    EXPECT_EQ(read.session.projects[0].modules.size(), 20u);
    EXPECT_EQ(read.session.projects[0].modules[19].code, std::string(1000, 't'));
}

}  // namespace
