// The window and its session: closing with "记忆代码内容" checked keeps everything for the
// next start; unchecked, closing asks and what the user lets go stays gone; a window that
// never closed (killed) comes back whatever the setting.
#include <QAction>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "AppTests.h"
#include "app/MainWindow.h"
#include "app/SessionKeeper.h"
#include "core/config/IniFile.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"
#include "core/session/SessionFile.h"

#include <filesystem>

using namespace quillbox;
using quillbox::app::MainWindow;
using quillbox::app::SessionKeeper;

class SessionKeeperTest : public QObject {
    Q_OBJECT
    std::string dir;
    std::string sessionPath;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SessionKeeper> keeper;

    // A window as main() starts it: settings, the session back, then following the work.
    void start() {
        keeper.reset();
        QVERIFY(apptest::openWindow(window, config::IniFile(dir + "/Quillbox_config.ini"), dialogs, shell));
        keeper = std::make_unique<SessionKeeper>(*window, sessionPath);
        keeper->restore();
        keeper->start();
    }
    // The program ends without its clean exit, as under kill -9.
    void kill() {
        QVERIFY(keeper->store());
        keeper->store()->saveNow();
        QVERIFY(keeper->store()->waitForDisk());
        keeper.reset();
        window.reset();
    }
    void addProject(const std::string& name, const std::vector<std::pair<std::string, std::string>>& modules) {
        ProjectStore& store = window->store();
        store.selectNode(store.addProjectCore(name));
        for (const auto& [module, code] : modules)
            QVERIFY(store.addModuleCore(module, code) != kNoNode);
    }
    // Every module's code as the pages give it, in order.
    std::vector<std::string> codes() {
        std::vector<std::string> all;
        ProjectStore& store = window->store();
        for (const std::string& p : store.projectNames())
            for (const std::string& m : store.moduleNames(p))
                all.push_back(p + "/" + m + ": " + store.page(store.findPage(p, m))->getText());
        return all;
    }
    QString outputText() { return window->findChild<QTextEdit*>(QStringLiteral("编辑框_计算"))->toPlainText(); }
    void setRememberCode(bool on) {
        if (window->menuState().rememberCode != on)
            window->action(QStringLiteral("记忆代码内容"))->trigger();
    }

private slots:
    void init() {
        dir = apptest::freshDir("session-keeper");
        sessionPath = dir + "/session/session.json";
        dialogs = ScriptedDialogs();
    }
    void cleanup() {
        keeper.reset();
        window.reset();
    }

    void closeWithRememberedCodeBringsEverythingBack() {
        start();
        addProject("demo", {{"a", "var a=1;\r\nvar b=2;\r\n"}, {"b", "中文 😀 𠀀\n"}, {"empty", ""}});
        addProject("second", {{"x", "x();"}});
        ProjectStore& store = window->store();
        store.page(store.findPage("demo", "a"))->appendText("typed();");
        store.selectNode(store.tree().children(store.tree().findTopLevel("demo"))[1]);
        const std::vector<std::string> before = codes();
        QCOMPARE(store.currentPage()->name(), std::string("demo_b.js"));

        QVERIFY(window->requestClose());
        QVERIFY(dialogs.records.empty());
        start();
        QCOMPARE(window->store().projectNames(), (std::vector<std::string>{"demo", "second"}));
        QCOMPARE(codes(), before);
        QVERIFY(window->store().currentPage());
        QCOMPARE(window->store().currentPage()->name(), std::string("demo_b.js"));
        QVERIFY(!outputText().contains(QStringLiteral("未正常结束")));
    }

    void closeWithoutRememberedCodeAsksAndLetsGo() {
        start();
        setRememberCode(false);
        addProject("demo", {{"a", "var a=1;"}});
        dialogs.yesNoAnswers = {MessageAnswer::No};
        QVERIFY(!window->requestClose());
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"编辑器[0]中还有代码,确定关闭吗？"});
        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        QVERIFY(window->requestClose());
        start();
        QVERIFY(window->store().projectNames().empty());
    }

    void killedComesBackWhateverTheSetting() {
        for (bool remember : {true, false}) {
            start();
            setRememberCode(remember);
            addProject("demo", {{"a", "var kept = 1;"}});
            kill();
            start();
            QCOMPARE(window->store().projectNames(), std::vector<std::string>{"demo"});
            QCOMPARE(codes(), std::vector<std::string>{"demo/a: var kept = 1;"});
            QVERIFY2(outputText().contains(QStringLiteral("上次运行未正常结束,已恢复1个项目")), qPrintable(outputText()));
            // Clean up for the next round: let the project go and close cleanly.
            window->store().selectNode(window->store().tree().findTopLevel("demo"));
            dialogs.yesNoAnswers = {MessageAnswer::Yes};
            window->store().deleteProject();
            QVERIFY(window->requestClose());
        }
    }

    // No session file can be claimed (as in a read-only home): the last run's session is
    // read all the same, the output box says this run keeps none, and nothing is written.
    void anUnclaimableSessionIsStillRead() {
        const std::string first = session::firstSessionPath();
        session::Session last;
        last.projects.push_back(session::SessionProject{"kept", {session::SessionModule{"m", "var kept = 1;"}}});
        std::string error;
        QVERIFY2(session::writeSession(first, last, &error), error.c_str());
        const std::string before = apptest::readBytes(first);
        std::filesystem::create_directories(first + ".lock");  // the lock cannot be opened
        QVERIFY(apptest::openWindow(window, config::IniFile(dir + "/Quillbox_config.ini"), dialogs, shell));
        keeper = std::make_unique<SessionKeeper>(*window);
        keeper->restore();
        keeper->start();
        QCOMPARE(window->store().projectNames(), std::vector<std::string>{"kept"});
        QCOMPARE(codes(), std::vector<std::string>{"kept/m: var kept = 1;"});
        QVERIFY2(outputText().contains(QStringLiteral("本次运行不保存会话")), qPrintable(outputText()));
        QVERIFY(!keeper->store());
        keeper.reset();
        window.reset();
        QCOMPARE(apptest::readBytes(first), before);
        std::filesystem::remove_all(first + ".lock");
    }
};

static apptest::Register<SessionKeeperTest> registration;
#include "SessionKeeperTest.moc"
