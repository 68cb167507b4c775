// The module library window and the main window's online commands: the filter, Enter,
// the title-bar close, the pick added to the project, the update check from the menu and
// the server pages.
#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "AppTests.h"
#include "app/LibraryWindow.h"
#include "app/MainWindow.h"
#include "app/OnlineCommands.h"
#include "core/config/IniFile.h"
#include "core/online/ModuleLibrary.h"
#include "core/online/StarterLibrary.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"
#include "support/LoopbackHttpServer.h"

using namespace quillbox;
using quillbox::app::LibraryWindow;
using quillbox::app::MainWindow;

namespace {

QStringList listed(LibraryWindow& window) {
    QStringList names;
    for (int i = 0; i < window.list()->count(); ++i)
        names << window.list()->item(i)->text();
    return names;
}

}  // namespace

class LibraryWindowTest : public QObject {
    Q_OBJECT
    std::string dir;

    void library(const std::string& index) {
        apptest::writeBytes(dir + "/lib.json", index);
        apptest::writeBytes(dir + "/json2.js", "var JSON2 = {};");
        apptest::writeBytes(dir + "/my.js", "var myJs = 1;");
        apptest::writeBytes(dir + "/b64.js", "var Base64 = {};");
        apptest::writeBytes(dir + "/empty.js", "");
    }

private slots:
    void init() {
        dir = apptest::freshDir("libwin");
        library(R"({"ver":"1","data":{"JSON2":"json2.js","myJs":"my.js","Base64":"b64.js","Empty":"empty.js"}})");
    }

    void filterShowsMatchesAndSelectsTheFirst() {
        online::ModuleLibrary lib(dir);
        LibraryWindow window(lib);
        QCOMPARE(window.windowTitle(), QStringLiteral("Findlibrary"));
        QCOMPARE(window.submitButton()->text(), QStringLiteral("确认"));
        QCOMPARE(window.cancelButton()->text(), QStringLiteral("取消"));
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("标签1")));
        QCOMPARE(listed(window), (QStringList{"JSON2", "myJs", "Base64", "Empty"}));
        QTest::keyClicks(window.filterBox(), QStringLiteral("js"));
        QCOMPARE(listed(window), (QStringList{"JSON2", "myJs"}));
        QCOMPARE(window.list()->currentItem()->text(), QStringLiteral("JSON2"));
        // Deleting the filter shows every name exactly once.
        QTest::keyClick(window.filterBox(), Qt::Key_Backspace);
        QTest::keyClick(window.filterBox(), Qt::Key_Backspace);
        QCOMPARE(listed(window), (QStringList{"JSON2", "myJs", "Base64", "Empty"}));
    }

    void enterPicksAndTheTitleBarCancels() {
        online::ModuleLibrary lib(dir);
        {
            LibraryWindow window(lib);
            window.show();
            QTest::keyClicks(window.filterBox(), QStringLiteral("base"));
            QTest::keyClick(window.filterBox(), Qt::Key_Return);
            QCOMPARE(window.result(), int(QDialog::Accepted));
            QVERIFY(window.pick().module == "Base64");
            QVERIFY(window.pick().code == "var Base64 = {};");
        }
        {
            LibraryWindow window(lib);
            window.show();
            window.close();  // as the title bar's close button does
            QVERIFY(window.pick().module == "null");
            QVERIFY(window.pick().code.empty());
        }
        {
            LibraryWindow window(lib);
            window.show();
            window.cancelButton()->click();
            QVERIFY(window.pick().module == "null");
        }
    }

    void anEmptyLibraryListsNothing() {
        apptest::writeBytes(dir + "/lib.json", "");
        online::ModuleLibrary lib(dir);
        LibraryWindow window(lib);
        QCOMPARE(window.list()->count(), 0);
        window.submitButton()->click();
        QVERIFY(window.pick().code.empty());
    }
};

class OnlineCommandsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<MainWindow> window;
    ScriptedDialogs dialogs;
    RecordingShell shell;

    QAction* act(const char* text) { return window->action(QString::fromUtf8(text)); }

    // Opens the library window from the project menu, filters and confirms.
    void pickFromLibrary(const QString& filter) {
        window->online().onLibraryWindowShown = [filter](LibraryWindow& w) {
            QTest::keyClicks(w.filterBox(), filter);
            w.submitButton()->click();
        };
        act("引用模块库")->trigger();
    }

private slots:
    void init() {
        window = std::make_unique<MainWindow>(config::IniFile(apptest::freshDir("onlinehome") + "/Quillbox_config.ini"));
        dialogs = ScriptedDialogs();
        shell = RecordingShell();
        window->setDialogs(&dialogs);
        window->setShell(&shell);
        window->initialise();
        window->applySettingsAtStart();
        window->online().startAtLaunch(false);
    }

    void cleanup() { window.reset(); }

    void menusHoldTheOnlineItems() {
        QVERIFY(window->projectMenu()->findChild<QAction*>(QStringLiteral("引用模块库")));
        QVERIFY(act("检查更新"));
        QVERIFY(act("查看更新日志"));
        ::setenv("QUILLBOX_UPDATE_SERVER", "http://127.0.0.1:9", 1);
        act("查看更新日志")->trigger();
        act("下载Parcelkit.ec")->trigger();
        ::unsetenv("QUILLBOX_UPDATE_SERVER");
        QVERIFY(shell.opened == (std::vector<std::string>{"http://127.0.0.1:9/Quillbox/Quillbox_config_all.txt",
                                                         "http://127.0.0.1:9/Quillbox/Parcelkit.ec"}));
    }

    void aStarterModuleIsAddedToTheSelectedProjectOnce() {
        ProjectStore& store = window->store();
        const NodeId project = store.addProjectCore("demo");
        store.tree().select(project);
        pickFromLibrary(QStringLiteral("md5"));
        QVERIFY(store.moduleNames("demo") == std::vector<std::string>{"MD5"});
        QVERIFY(!store.page(store.findPage("demo", "MD5"))->getText().empty());
        store.tree().select(project);
        pickFromLibrary(QStringLiteral("md5"));
        QVERIFY(store.moduleNames("demo") == std::vector<std::string>{"MD5"});
        QVERIFY(dialogs.messages().back() == "名称重复[MD5]！请重新命名");
    }

    void withoutASelectedNodeTheTreeStaysUnchanged() {
        ProjectStore& store = window->store();
        store.addProjectCore("demo");
        store.tree().select(kNoNode);
        pickFromLibrary(QStringLiteral("md5"));
        QVERIFY(store.moduleNames("demo").empty());
        QCOMPARE(dialogs.records.size(), size_t(1));
    }

    void checkForUpdatesLogsIntoTheOutputBox() {
        test::LoopbackHttpServer server([](const test::LoopbackRequest&) {
            return test::LoopbackResponse::text("down for maintenance", 503);
        });
        window->online().adjustContext = [&server](online::UpdateContext& context) {
            context.server = server.url("");
        };
        act("检查更新")->trigger();
        auto* box = window->findChild<QTextEdit*>(QStringLiteral("编辑框_计算"));
        QTRY_VERIFY_WITH_TIMEOUT(box->toPlainText().contains(QStringLiteral("请求更新服务器错误，可到群[246813579]内下载")),
                                 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!window->online().checkRunning(), 60000);
        QCOMPARE(server.requestCount(), 1);  // the menu's check sends no usage count
    }
};

static apptest::Register<LibraryWindowTest> libraryRegistration;
static apptest::Register<OnlineCommandsTest> onlineRegistration;
#include "LibraryWindowTest.moc"
