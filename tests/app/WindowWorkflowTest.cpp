// The window as a user drives it through a working session: the title and the tree follow
// the page shown whoever shows it, opened files are ready to load, the browser run says
// where its page is when no browser starts, the title bar's double-click, the native
// window kept from the start, and the controls at the default and the smallest size.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "AppTests.h"
#include "app/MainWindow.h"
#include "app/WindowFrame.h"
#include "core/config/IniFile.h"
#include "core/config/Settings.h"
#include "core/engine/TestPage.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Page.h"
#include "core/platform/Shell.h"

using namespace quillbox;
using quillbox::app::MainWindow;

namespace {

QString titleFor(const char* pageName) {
    return QStringLiteral("Quillbox 1.30 By : Zorvan (当前项目:%1)").arg(QString::fromUtf8(pageName));
}

}  // namespace

class WindowWorkflowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<MainWindow> window;
    ScriptedDialogs dialogs;
    RecordingShell shell;

    template <typename W = QWidget>
    W* child(const char* name) {
        return window->findChild<W*>(QString::fromUtf8(name));
    }
    QString title() { return child<QLabel>("标签1")->text(); }
    QString selectedText() {
        QTreeWidgetItem* item = window->tree()->currentItem();
        return item ? item->text(0) : QString();
    }
    NodeId moduleNode(const std::string& project, const std::string& module) {
        return window->store().tree().findChild(project, module + ".js");
    }
    void addProject(const std::string& project, const std::vector<std::pair<std::string, std::string>>& modules) {
        ProjectStore& store = window->store();
        const NodeId node = store.addProjectCore(project);
        for (const auto& [name, code] : modules) {
            store.tree().select(node);
            QVERIFY(store.addModuleCore(name, code) != kNoNode);
        }
    }
    std::string writeFile(const std::string& name, const std::string& bytes) {
        const std::string path = apptest::freshDir("workflow-files") + "/" + name;
        apptest::writeBytes(path, bytes);
        return path;
    }

private slots:
    void init() {
        const std::string iniPath = apptest::freshDir("workflow-home") + "/Quillbox_config.ini";
        dialogs = ScriptedDialogs();
        shell = RecordingShell();
        QVERIFY(apptest::openWindow(window, config::IniFile(iniPath), dialogs, shell));
    }

    void cleanup() { window.reset(); }

    void aFailedLoadShowsTheFailingModuleInTheTreeAndTitle() {
        addProject("demo", {{"a", "var a = 1;"}, {"b", "var b = ;"}});
        window->store().selectNode(moduleNode("demo", "a"));
        QCOMPARE(title(), titleFor("demo_a.js"));
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_COMPARE(window->currentPage()->name(), std::string("demo_b.js"));
        QCOMPARE(selectedText(), QStringLiteral("b.js"));
        QCOMPARE(title(), titleFor("demo_b.js"));
        // The module selected before is a click away again.
        window->tree()->setCurrentItem(window->itemOf(moduleNode("demo", "a")));
        QCOMPARE(window->currentPage()->name(), std::string("demo_a.js"));
        QCOMPARE(title(), titleFor("demo_a.js"));
    }

    void theEnginesGetTheMemoryLimitOfTheSettingsFile() {
        const std::string iniPath = apptest::freshDir("workflow-memory") + "/Quillbox_config.ini";
        const config::IniFile ini(iniPath);
        QVERIFY(config::write(ini, config::keys::engineMemory, "32"));
        window.reset();
        QVERIFY(apptest::openWindow(window, ini, dialogs, shell));
        addProject("hog", {{"h", "var x = new Array(100001).join('x'), a = [];\nfor (;;) a.push(x + a.length);"}});
        window->store().selectNode(moduleNode("hog", "h"));
        window->engineSelector()->setCurrentIndex(0);  // the native engine
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        auto* box = child<QTextEdit>("编辑框_计算");
        QTRY_VERIFY_WITH_TIMEOUT(box->toPlainText().contains(QStringLiteral(">>发生错误：7")), 60000);
        const QString output = box->toPlainText();
        QVERIFY2(output.contains(QStringLiteral("the script passed the memory limit of 32 MiB")), qPrintable(output));
    }

    void theTitleNeverNamesADeletedOrRenamedPage() {
        addProject("other", {{"x", "var x = 1;"}});
        addProject("dup", {{"a", "var a = 1;"}, {"b", "var b = 2;"}});
        window->store().selectNode(moduleNode("dup", "a"));
        // Renaming the module shown renames the title with it.
        dialogs.inputAnswers = {std::string("c")};
        window->action(QStringLiteral("重命名项目"))->trigger();
        QCOMPARE(title(), titleFor("dup_c.js"));
        // Deleting the whole project leaves the title on the page now shown, in step with
        // the tree.
        window->store().selectNode(window->store().tree().findTopLevel("dup"));
        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        QTest::mouseClick(child<QToolButton>("按钮_pro_delproject"), Qt::LeftButton);
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"项目[dup]中还有代码(共2个模块),确定删除吗？"});
        QCOMPARE(window->store().pageCount(), 1);
        QCOMPARE(title(), titleFor("other_x.js"));
        QCOMPARE(selectedText(), QStringLiteral("x.js"));
        // And with the last page gone the title names none.
        window->store().selectNode(moduleNode("other", "x"));
        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        QTest::mouseClick(child<QToolButton>("按钮_pro_delMod"), Qt::LeftButton);
        QCOMPARE(title(), titleFor(""));
    }

    // Modules selected together in the tree go together, after one question.
    void severalSelectedModulesGoTogether() {
        addProject("p", {{"a", "var a = 1;"}, {"b", "var b = 2;"}, {"c", "var c = 3;"}});
        window->store().selectNode(moduleNode("p", "c"));
        window->itemOf(moduleNode("p", "a"))->setSelected(true);
        QCOMPARE(window->tree()->selectedItems().size(), 2);
        dialogs.yesNoAnswers = {MessageAnswer::No};
        QTest::mouseClick(child<QToolButton>("按钮_pro_delMod"), Qt::LeftButton);
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"项目[p_a.js,p_c.js]中还有代码(共2个模块),确定删除吗？"});
        QCOMPARE(window->store().moduleNames("p"), (std::vector<std::string>{"a", "b", "c"}));
        QCOMPARE(title(), titleFor("p_c.js"));

        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        QTest::mouseClick(child<QToolButton>("按钮_pro_delMod"), Qt::LeftButton);
        QCOMPARE(window->store().moduleNames("p"), std::vector<std::string>{"b"});
        QCOMPARE(window->store().pageCount(), 1);
        // The title and the tree follow the module left, never a deleted one.
        QCOMPARE(title(), titleFor("p_b.js"));
        QCOMPARE(selectedText(), QStringLiteral("b.js"));
    }

    void anOpenedProjectShowsItsFirstModule() {
        addProject("demo", {{"first", "var f = 1;"}, {"second", "var s = 2;"}});
        const std::string path = writeFile("demo.js", window->store().exportBytes("demo"));
        window->store().selectNode(window->store().tree().findTopLevel("demo"));
        dialogs.inputAnswers = {std::string("copy")};  // the name demo is taken
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window->tree()->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window->tree()->viewport(), &drop);
        QVERIFY(window->currentPage());
        QCOMPARE(window->currentPage()->name(), std::string("copy_first.js"));
        QCOMPARE(selectedText(), QStringLiteral("first.js"));
        QCOMPARE(title(), titleFor("copy_first.js"));
        // The first ▶ loads it.
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY(child<QTextEdit>("编辑框_计算")->toPlainText().contains(QStringLiteral("copy_first.js：加载成功")));
    }

    void aPlainScriptOpensAsAProjectOfOneModule() {
        const std::string path = writeFile("tool.js", "function tool(){ return 2; }");
        QVERIFY(window->openFile(path));
        QVERIFY(dialogs.records.empty());
        QCOMPARE(window->store().moduleNames("tool"), std::vector<std::string>{"tool"});
        QCOMPARE(window->currentPage()->name(), std::string("tool_tool.js"));
        QCOMPARE(window->currentPage()->getText(), std::string("function tool(){ return 2; }"));
        QCOMPARE(title(), titleFor("tool_tool.js"));
        // Opened again, the name is taken: refused with a word, nothing added.
        QVERIFY(!window->openFile(path));
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"名称重复！请重新命名"});
        QCOMPARE(window->store().projectNames(), std::vector<std::string>{"tool"});
        QVERIFY(!window->openFile(path + ".missing"));
        QCOMPARE(dialogs.messages().size(), std::size_t(2));
    }

    void theBrowserRunSaysWhereThePageIsWhenNoBrowserStarts() {
        addProject("demo", {{"a", "function f(){ return 1; }"}});
        window->store().selectNode(moduleNode("demo", "a"));
        auto* output = child<QTextEdit>("编辑框_计算");
        QTest::mouseClick(child<QPushButton>("按钮_运行_浏览器"), Qt::LeftButton);
        QCOMPARE(shell.opened.size(), std::size_t(1));
        QVERIFY(output->toPlainText().isEmpty());  // a browser started: nothing to say
        shell.answer = false;
        QTest::mouseClick(child<QPushButton>("按钮_运行_浏览器"), Qt::LeftButton);
        const QString text = output->toPlainText();
        QVERIFY2(text.contains(QString::fromStdString(engine::testPagePath())), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("无法启动浏览器")));
        QVERIFY(!apptest::readBytes(engine::testPagePath()).empty());
    }

    void aDoubleClickOnTheTitleMaximisesAndRestores() {
        // A desktop that takes every press for a move would swallow the second click.
        int moves = 0;
        window->frame()->startSystemMove = [&moves] {
            ++moves;
            return true;
        };
        auto* label = child<QLabel>("标签1");
        QTest::mouseDClick(label, Qt::LeftButton, Qt::NoModifier, label->rect().center());
        QTRY_VERIFY(window->isMaximized());
        QCOMPARE(child<QToolButton>("按钮_最大化")->toolTip(), QStringLiteral("还原"));
        QTest::mouseDClick(label, Qt::LeftButton, Qt::NoModifier, label->rect().center());
        QTRY_VERIFY(!window->isMaximized());
        QCOMPARE(moves, 0);
        // A press that travels is a move.
        const QPoint from = label->rect().center();
        QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(30, 0)), label->mapToGlobal(QPointF(from + QPoint(30, 0))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(label, &move);
        QCOMPARE(moves, 1);
        QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 0));
    }

    void everyButtonFitsAtTheDefaultSizeAndStaysUsableAtTheSmallest() {
        struct Case {
            QSize size;
            bool wholeLabels;
        };
        for (const Case& c : {Case{QSize(1000, 650), true}, Case{QSize(620, 400), false}}) {
            // (The offscreen screen may be smaller than the default size: the test is then
            // stricter.)
            const QSize size = c.size.boundedTo(window->maximumSize());
            window->resize(size);
            QTRY_COMPARE(window->size(), size);
            QApplication::processEvents();
            QWidget* pane = child("外形框1");
            const QRect room = pane->rect();
            QVERIFY2(child("编辑框_函数")->width() >= 150, qPrintable(QString::number(child("编辑框_函数")->width())));
            const QList<QPushButton*> buttons = pane->findChildren<QPushButton*>();
            QCOMPARE(buttons.size(), 9);
            for (QPushButton* button : buttons) {
                const QRect at(button->mapTo(pane, QPoint(0, 0)), button->size());
                QVERIFY2(room.contains(at), qPrintable(button->text()));
                QVERIFY2(button->width() >= 40, qPrintable(button->text()));
                const bool whole = button->width() >= button->sizeHint().width();
                if (c.wholeLabels)
                    QVERIFY2(whole, qPrintable(button->text()));
                if (!whole)
                    QCOMPARE(button->toolTip(), button->text());
                for (QPushButton* other : buttons)
                    if (other != button)
                        QVERIFY(!at.intersects(QRect(other->mapTo(pane, QPoint(0, 0)), other->size())));
            }
        }
    }

    // A script that never ends runs on the engines' thread: the window draws, takes typing
    // and shows what runs, the commands that need the engine wait, and the window's stop
    // ends it in either engine, leaving both usable.
    void aRunawayScriptLeavesTheWindowAnsweringAndItsStopEndsIt() {
        addProject("spin", {{"m", "function spin() { while (true) {} }\nvar ready = 1;"}});
        window->store().selectNode(moduleNode("spin", "m"));
        auto* box = child<QLineEdit>("编辑框_函数");
        auto* load = child<QToolButton>("按钮_加载");
        auto* stop = child<QAbstractButton>("按钮_停止");
        auto* state = child<QLabel>("标签_运行状态");
        auto* output = child<QTextEdit>("编辑框_计算");
        for (int engine : {0, 1}) {
            child<QComboBox>("组合框_默认Js引擎")->setCurrentIndex(engine);
            output->clear();
            QTest::mouseClick(load, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(output->toPlainText().contains(QStringLiteral("spin_m.js：加载成功")), 20000);
            QTRY_VERIFY(load->isEnabled());
            box->setText(QStringLiteral("spin()"));
            QTest::keyClick(box, Qt::Key_Return);
            QVERIFY(stop->isVisible());
            QVERIFY(!load->isEnabled());
            QVERIFY(state->text().startsWith(QStringLiteral("执行中")));
            // The window answers meanwhile: typing lands, timers fire, the clock moves on.
            const QString before = state->text();
            QTest::keyClicks(box, QStringLiteral("ab"));
            QCOMPARE(box->text(), QStringLiteral("spin()ab"));
            QTRY_VERIFY(state->text() != before);
            QTest::mouseClick(load, Qt::LeftButton);  // waits: the engine is busy
            QVERIFY(stop->isVisible());
            QTest::mouseClick(stop, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(output->toPlainText().contains(QStringLiteral("执行已停止")), 20000);
            QTRY_VERIFY(!stop->isVisible());
            QVERIFY(!state->isVisible());
            QVERIFY(load->isEnabled());
            // The engine was left empty: the next evaluation loads the project again first,
            // and says so.
            box->setText(QStringLiteral("typeof spin"));
            QTest::keyClick(box, Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(child<QTextEdit>("编辑框_计算1")->toPlainText().contains(QStringLiteral("[结果] function")),
                                     20000);
            QVERIFY(child<QTextEdit>("编辑框_计算1")->toPlainText().contains(QStringLiteral("尚未加载本项目,先加载再执行")));
            QTRY_VERIFY(!stop->isVisible());
        }
    }

    // Compress and format never wait for the user's engines: the page is formatted while a
    // script runs, and the script is still there to stop.
    void formattingWorksWhileAScriptRuns() {
        addProject("busy", {{"m", "function spin() { while (true) {} }"}});
        window->store().selectNode(moduleNode("busy", "m"));
        auto* output = child<QTextEdit>("编辑框_计算");
        child<QComboBox>("组合框_默认Js引擎")->setCurrentIndex(0);
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(output->toPlainText().contains(QStringLiteral("busy_m.js：加载成功")), 20000);
        QTRY_VERIFY(child<QToolButton>("按钮_加载")->isEnabled());
        child<QLineEdit>("编辑框_函数")->setText(QStringLiteral("spin()"));
        QTest::keyClick(child<QLineEdit>("编辑框_函数"), Qt::Key_Return);
        auto* stop = child<QAbstractButton>("按钮_停止");
        QVERIFY(stop->isVisible());
        auto* format = child<QAbstractButton>("按钮_格式化代码");
        format->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->currentPage()->getText(),
                                  std::string("function spin() {\n    while (true) {}\n}"), 20000);
        QTRY_VERIFY(format->isEnabled());
        QVERIFY(stop->isVisible());
        QTest::mouseClick(stop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!stop->isVisible(), 20000);
    }

    void theFirstEditorPageKeepsTheNativeWindow() {
        const WId before = window->winId();
        addProject("demo", {{"a", "var a = 1;"}});
        window->store().selectNode(moduleNode("demo", "a"));
        QTest::qWait(50);
        QCOMPARE(window->winId(), before);
        QVERIFY(window->isVisible());
    }
};

static apptest::Register<WindowWorkflowTest> registration;
#include "WindowWorkflowTest.moc"
