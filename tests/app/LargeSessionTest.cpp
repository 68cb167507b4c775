// A session of a thousand modules: the window comes up with one editor page, takes typing
// in the module shown, switches modules without a page per module, and keeps what was
// typed in the session file.
#include <QElapsedTimer>
#include <QTest>
#include <QWebEngineView>
#include <memory>

#include "AppTests.h"
#include "app/EditorView.h"
#include "app/MainWindow.h"
#include "app/SessionKeeper.h"
#include "app/Startup.h"
#include "core/config/IniFile.h"
#include "core/document/Document.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"
#include "core/session/SessionFile.h"

using namespace quillbox;
using quillbox::app::MainWindow;
using quillbox::app::SessionKeeper;

namespace {

// Modules of 1 to 30 KB in five projects.
session::Session largeSession(int modules) {
    session::Session s;
    for (int p = 0; p < 5; ++p)
        s.projects.push_back({"项目" + std::to_string(p), {}});
    for (int i = 0; i < modules; ++i) {
        std::string code;
        const std::size_t size = 1024 + static_cast<std::size_t>(i % 30) * 1024;
        for (int line = 0; code.size() < size; ++line)
            code += "var m" + std::to_string(i) + "_" + std::to_string(line) + " = '模块文本 text';\r\n";
        s.projects[static_cast<std::size_t>(i % 5)].modules.push_back({"m" + std::to_string(i), code});
    }
    s.currentProject = "项目2";
    s.currentModule = "m7";
    s.clean = false;
    return s;
}

}  // namespace

class LargeSessionTest : public QObject {
    Q_OBJECT

private slots:
    void aThousandModulesStartWithOneEditorAndTakeTyping() {
        const std::string dir = apptest::freshDir("large-session");
        const std::string path = dir + "/session/session.json";
        const session::Session saved = largeSession(1000);
        QVERIFY(session::writeSession(path, saved));
        ScriptedDialogs dialogs;
        RecordingShell shell;
        std::unique_ptr<MainWindow> window;
        const config::IniFile ini(dir + "/Quillbox_config.ini");
        app::deployEditorAssetsIfNeeded(ini);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(apptest::openWindow(window, ini, dialogs, shell));
        auto keeper = std::make_unique<SessionKeeper>(*window, path);
        QCOMPARE(keeper->restore().restored, 5);
        keeper->start();
        ProjectStore& store = window->store();
        QCOMPARE(store.pageCount(), 1000);
        // One browser view for the whole window, whatever the number of modules.
        QCOMPARE(window->findChildren<QWebEngineView*>().size(), 1);

        app::EditorView* view = window->editorView();
        Page* shown = store.currentPage();
        QVERIFY(shown);
        QCOMPARE(shown->name(), std::string("项目2_m7.js"));
        QTRY_VERIFY_WITH_TIMEOUT(view->shownDocument() == shown, 60000);
        QCOMPARE(view->sessionCount(), 1);
        QWidget* keys = view->webView()->focusProxy();
        QVERIFY(keys);
        keys->setFocus();
        QTest::keyClicks(keys, QStringLiteral("typed"));
        QTRY_VERIFY_WITH_TIMEOUT(shown->getText().rfind("typedvar m7_0", 0) == 0, 30000);
        qInfo("a thousand modules to typing: %lld ms", static_cast<long long>(clock.elapsed()));

        // Another module: its own session, still one view.
        store.selectNode(store.moduleNode("项目0", "m995"));
        Page* other = store.currentPage();
        QCOMPARE(other->name(), std::string("项目0_m995.js"));
        QTRY_VERIFY_WITH_TIMEOUT(view->shownDocument() == other, 60000);
        QCOMPARE(view->sessionCount(), 2);
        QCOMPARE(window->findChildren<QWebEngineView*>().size(), 1);

        // What was typed is in the session file, as a kill would leave it.
        keeper->store()->saveNow();
        QVERIFY(keeper->store()->waitForDisk());
        const session::ReadResult read = session::readSession(path);
        QCOMPARE(read.status, session::ReadStatus::Ok);
        QCOMPARE(read.session.projects.size(), std::size_t(5));
        QCOMPARE(read.session.projects[2].modules[1].name, std::string("m7"));
        QCOMPARE(read.session.projects[2].modules[1].code, "typed" + saved.projects[2].modules[1].code);
        QCOMPARE(read.session.projects[0].modules[199].code, saved.projects[0].modules[199].code);
        keeper.reset();
        window.reset();
    }
};

static apptest::Register<LargeSessionTest> registration;
#include "LargeSessionTest.moc"
