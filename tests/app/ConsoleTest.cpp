// The output area as a console: one transcript of evaluations (the expression, what it
// logged, its result or its error at its place), the function box's keys and history kept
// across a restart, errors' places that open their module, evaluations that never run
// against code older than the editor's, and the find window and Ctrl+G that lead to a place.
#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QTimer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "AppTests.h"
#include "app/ConsoleInput.h"
#include "app/EditorView.h"
#include "app/FindReplaceWindow.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/ProjectTreeView.h"
#include "app/QtPorts.h"
#include "core/config/IniFile.h"
#include "core/platform/Clipboard.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Page.h"
#include "core/platform/Shell.h"

using namespace quillbox;
using quillbox::app::MainWindow;

class ConsoleTest : public QObject {
    Q_OBJECT
    std::unique_ptr<MainWindow> window;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::string iniPath;

    template <typename W = QWidget>
    W* child(const char* name) {
        return window->findChild<W*>(QString::fromUtf8(name));
    }
    QLineEdit* box() { return child<QLineEdit>("编辑框_函数"); }
    QString transcript() { return child<QTextEdit>("编辑框_计算1")->toPlainText(); }
    QString output() { return child<QTextEdit>("编辑框_计算")->toPlainText(); }
    void addProject(const std::string& project, const std::vector<std::pair<std::string, std::string>>& modules) {
        ProjectStore& store = window->store();
        const NodeId node = store.addProjectCore(project);
        for (const auto& [name, code] : modules) {
            store.tree().select(node);
            QVERIFY(store.addModuleCore(name, code) != kNoNode);
        }
        window->store().selectNode(window->store().tree().findChild(project, modules.front().first + ".js"));
    }
    void chooseEngine(int index) { child<QComboBox>("组合框_默认Js引擎")->setCurrentIndex(index); }
    void enter(const QString& expression, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        box()->setFocus();
        box()->setText(expression);
        QTest::keyClick(box(), Qt::Key_Return, modifiers);
    }
    bool idle() { return child<QToolButton>("按钮_加载")->isEnabled(); }
    // With QUILLBOX_SCREENSHOTS set to a folder (and a real X server), a picture of the
    // screen for the one who looks at the feature.
    void shot(const char* name) {
        const QString dir = qEnvironmentVariable("QUILLBOX_SCREENSHOTS");
        if (dir.isEmpty())
            return;
        QTest::qWait(700);
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     dir + QLatin1Char('/') + QString::fromUtf8(name) + QStringLiteral(".png")});
    }

private slots:
    void init() {
        iniPath = apptest::freshDir("console-home") + "/Quillbox_config.ini";
        dialogs = ScriptedDialogs();
        shell = RecordingShell();
        QVERIFY(apptest::openWindow(window, config::IniFile(iniPath), dialogs, shell));
    }

    void cleanup() { window.reset(); }

    // Enter evaluates (loading first: nothing was loaded), and the transcript holds the
    // expression, then its result; an error follows its expression in the error colour with
    // a caret under the expression, and no module line is marked for it. Ctrl+L clears.
    void theTranscriptShowsEachExpressionWithItsResultOrError() {
        for (int engine : {0, 1}) {
            window->output().clearTranscript();
            addProject(engine == 0 ? "tn" : "tc", {{"m", "function twice(x) {\n  return x * 2;\n}"}});
            chooseEngine(engine);
            enter(QStringLiteral("twice(21)"));
            QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("[结果] 42")), 20000);
            QTRY_VERIFY(idle());
            const QString text = transcript();
            QVERIFY2(text.indexOf(QStringLiteral("› twice(21)")) < text.indexOf(QStringLiteral("[结果] 42")),
                     qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("先加载再执行")), qPrintable(text));

            enter(QStringLiteral("twice(1) + nothing"));
            QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("错误描述：：")), 20000);
            QTRY_VERIFY(idle());
            const QString after = transcript();
            QVERIFY2(after.contains(QStringLiteral("› twice(1) + nothing")), qPrintable(after));
            // The excerpt of the expression and the caret line under it.
            QVERIFY2(after.contains(QStringLiteral("twice(1) + nothing\n^")), qPrintable(after));
            QCOMPARE(child<QTabWidget>("高级选择夹_输出标签")->currentIndex(), 1);
            QCOMPARE(window->currentPage()->selectedText(), std::string());
            shot(engine == 0 ? "console-native" : "console-chakra");
            // Ctrl+L empties the transcript.
            QTest::keyClick(box(), Qt::Key_L, Qt::ControlModifier);
            QVERIFY(transcript().isEmpty());
        }
    }

    // ↑/↓ walk the project's expressions; after a restart they are still there, and another
    // project has its own.
    void theHistoryIsKeptPerProjectAcrossARestart() {
        addProject("hist", {{"m", "function f(n) { return n; }"}});
        for (const char* expression : {"f(1)", "f(2)"}) {
            enter(QString::fromUtf8(expression));
            QTRY_VERIFY_WITH_TIMEOUT(idle() && transcript().contains(QStringLiteral("[结果] ") + QChar(expression[2])),
                                     20000);
        }
        window.reset();
        QVERIFY(apptest::openWindow(window, config::IniFile(iniPath), dialogs, shell));
        addProject("hist", {{"m", "function f(n) { return n; }"}});
        box()->setFocus();
        box()->setText(QStringLiteral("draft"));
        QTest::keyClick(box(), Qt::Key_Up);
        QCOMPARE(box()->text(), QStringLiteral("f(2)"));
        QTest::keyClick(box(), Qt::Key_Up);
        QCOMPARE(box()->text(), QStringLiteral("f(1)"));
        shot("history-after-restart");
        QTest::keyClick(box(), Qt::Key_Up);
        QCOMPARE(box()->text(), QStringLiteral("f(1)"));
        QTest::keyClick(box(), Qt::Key_Down);
        QTest::keyClick(box(), Qt::Key_Down);
        QCOMPARE(box()->text(), QStringLiteral("draft"));
        addProject("fresh", {{"m", "var x;"}});
        box()->clear();
        QTest::keyClick(box(), Qt::Key_Up);
        QCOMPARE(box()->text(), QString());
    }

    // An edited project is loaded again before the evaluation, with a line saying so; the
    // status line tells which engine holds what and whether it is current.
    void anEditedProjectIsLoadedAgainFirstAndTheStatusSaysSo() {
        addProject("stale", {{"m", "function v() { return 'old'; }"}});
        chooseEngine(0);
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("stale_m.js：加载成功")) && idle(), 20000);
        window->showEngineStatus();
        QCOMPARE(window->engineStatus()->text(),
                 QStringLiteral("MSScriptControl: stale (最新)   ChakraCore: 未加载"));
        window->currentPage()->setText("function v() { return 'new'; }");
        window->showEngineStatus();
        QVERIFY(window->engineStatus()->text().startsWith(QStringLiteral("MSScriptControl: stale (已修改)")));
        enter(QStringLiteral("v()"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("[结果] new")), 20000);
        QVERIFY(transcript().contains(QStringLiteral("代码已修改,先重新加载到 MSScriptControl 再执行")));
        shot("stale-reload");
        QTRY_VERIFY(idle());
        window->showEngineStatus();
        QVERIFY(window->engineStatus()->text().startsWith(QStringLiteral("MSScriptControl: stale (最新)")));
        // Switching the engine is a reload too.
        chooseEngine(1);
        enter(QStringLiteral("v()"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().count(QStringLiteral("[结果] new")) == 2, 20000);
        QVERIFY(transcript().contains(QStringLiteral("ChakraCore 尚未加载本项目,先加载再执行")));
    }

    // F5 with an empty box loads; Ctrl+Enter loads and then evaluates.
    void f5LoadsAndCtrlEnterLoadsThenEvaluates() {
        addProject("keys", {{"m", "var n = 0; function inc() { return ++n; }"}});
        chooseEngine(1);
        box()->clear();
        // A window's keys reach it while it is the active one.
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window.get(), 3000);  // offscreen windows never are
        box()->setFocus();
        QTest::keyClick(box(), Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("keys_m.js：加载成功")) && idle(), 20000);
        QVERIFY(!transcript().contains(QStringLiteral("[结果]")));
        enter(QStringLiteral("inc()"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("[结果] 1")) && idle(), 20000);
        // Ctrl+Enter loads again (n starts over) and then evaluates.
        enter(QStringLiteral("inc()"), Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(output().count(QStringLiteral("keys_m.js：加载成功")) == 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(transcript().count(QStringLiteral("[结果] 1")) == 2 && idle(), 20000);
        QVERIFY(!transcript().contains(QStringLiteral("[结果] 2")));
    }

    // A load error in minified code: the output shows an excerpt around the column, never the
    // whole line, and the module's place is a link that opens it with the column selected.
    void aMinifiedErrorIsAnExcerptAndItsLinkOpensTheModuleAtTheColumn() {
        const std::string line = "var s='" + std::string(199 * 1024, 'q') + "';var x=;var after=1;";
        addProject("mini", {{"ok", "var fine = 1;"}, {"min", line}});
        chooseEngine(1);
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("错误代码：")) && idle(), 20000);
        const QString text = output();
        QVERIFY2(text.size() < 2000, qPrintable(QString::number(text.size())));
        QVERIFY(text.contains(QStringLiteral("var x=;")));
        QVERIFY(text.contains(QStringLiteral("位置：mini_min.js 1:")));
        child<QTabWidget>("高级选择夹_输出标签")->setCurrentIndex(0);
        shot("minified-excerpt");
        // Away from the module, then the link brings it back at the column.
        window->store().selectNode(window->store().tree().findChild("mini", "ok.js"));
        QCOMPARE(window->currentPage()->name(), std::string("mini_ok.js"));
        const std::vector<ErrorSpot>& spots = window->output().spots();
        QVERIFY(!spots.empty());
        emit static_cast<QTextBrowser*>(child<QTextEdit>("编辑框_计算"))
            ->anchorClicked(QUrl(QString::number(spots.size() - 1)));
        QCOMPARE(window->currentPage()->name(), std::string("mini_min.js"));
        const SelectionRange selected = window->currentPage()->selectionRange();
        QCOMPARE(selected.startRow, 1);
        QCOMPARE(selected.startColumn, spots.back().column + 1);
        QVERIFY(selected.startColumn > 199 * 1024);
    }

    // "格式化并定位": the native engine gives a one-line module's error no column; a formatted
    // copy loaded in the same engine puts it on its own line, and the module stays as it was.
    void aFormattedCopyLocatesTheErrorOfOneLineCode() {
        const std::string code = "var a=1,b=2;var c=b.missing.deep;var d=4;";
        addProject("fmt", {{"min", code}});
        chooseEngine(0);
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("格式化并定位")) && idle(), 20000);
        const std::vector<ErrorSpot>& spots = window->output().spots();
        emit static_cast<QTextBrowser*>(child<QTextEdit>("编辑框_计算"))
            ->anchorClicked(QUrl(QStringLiteral("format:%1").arg(spots.size() - 1)));
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("(格式化后) 错误位置：3行")) && idle(), 30000);
        QVERIFY2(output().contains(QStringLiteral("var c = b.missing.deep;\n^")), qPrintable(output()));
        QCOMPARE(window->currentPage()->getText(), code);
        shot("format-and-locate");
    }

    // Ctrl+G takes "line:column"; the find window opens over the editor and Esc closes it.
    void goToAPlaceAndTheFindWindowOverTheEditor() {
        addProject("nav", {{"m", "var a = 1;\nvar bee = 2;\n"}});
        dialogs.inputAnswers = {std::string("2:5")};
        window->goToLineCommand();
        QCOMPARE(window->currentPage()->selectedText(), std::string("b"));

        window->openFindReplace();
        app::FindReplaceWindow* find = window->findReplaceWindow();
        QTRY_VERIFY(find->isVisible());
        QWidget* editor = child<QWidget>("互联网浏览器1");
        const QRect area(editor->mapToGlobal(QPoint(0, 0)), editor->size());
        QVERIFY2(area.intersects(find->frameGeometry()), "over the editor, not in a corner of the screen");
        shot("find-over-editor");
        QTest::keyClick(find->findChild<QLineEdit*>(QStringLiteral("编辑框_查找")), Qt::Key_Escape);
        QTRY_VERIFY(!find->isVisible());
    }

    // A function listed under one module and defined in another: a double-click on its
    // tree item opens the module that defines it, at its name; F12 on a call does the same;
    // Ctrl+T finds it by a part of its name; its tooltip shows its parameters.
    void goToDefinitionAcrossModulesAndTheSymbolSearch() {
        addProject("defs", {{"main", "function run() {\n  return helper(2, 3);\n}"},
                            {"lib", "// the helpers\nvar unused = 0;\nfunction helper(a, b) { return a + b; }"}});
        chooseEngine(1);
        QTest::mouseClick(child<QToolButton>("按钮_加载"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(output().contains(QStringLiteral("defs_lib.js：加载成功")) && idle(), 20000);
        // The main module's listing holds what was defined so far; the lib's holds helper.
        ProjectTree& tree = window->store().tree();
        const NodeId methods = tree.findChild("lib.js", "方法");
        window->treeView().open(methods);
        NodeId helper = kNoNode;
        for (NodeId n : tree.children(methods))
            if (tree.text(n) == "helper")
                helper = n;
        QVERIFY(helper != kNoNode);
        window->store().selectNode(tree.findChild("defs", "main.js"));
        QTreeWidgetItem* item = window->itemOf(helper);
        QVERIFY(item);
        QCOMPARE(window->navigation().tipFor(item), QStringLiteral("helper(a, b)    defs_lib.js 3:10"));
        emit window->tree()->itemDoubleClicked(item, 0);
        QCOMPARE(window->currentPage()->name(), std::string("defs_lib.js"));
        QCOMPARE(window->currentPage()->selectedText(), std::string("helper"));
        QCOMPARE(window->currentPage()->selectionRange().startRow, 3);
        shot("go-to-definition");

        // F12 on the call in main.
        window->store().selectNode(tree.findChild("defs", "main.js"));
        window->currentPage()->select(2, 12, 2, 11);
        window->navigation().definitionAtCursor();
        QCOMPARE(window->currentPage()->name(), std::string("defs_lib.js"));
        QVERIFY(!window->navigation().goToDefinition("missing"));
        QVERIFY(transcript().contains(QStringLiteral("未找到定义：missing")));

        // Ctrl+T: typing a part of the name and Enter.
        window->store().selectNode(tree.findChild("defs", "main.js"));
        QTimer::singleShot(0, this, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            auto* query = dialog->findChild<QLineEdit*>(QStringLiteral("编辑框_符号"));
            QTest::keyClicks(query, QStringLiteral("elp"));
            QCOMPARE(dialog->findChild<QListWidget*>(QStringLiteral("列表_符号"))->count(), 1);
            QTest::keyClick(query, Qt::Key_Return);
        });
        window->navigation().searchSymbols();
        QCOMPARE(window->currentPage()->name(), std::string("defs_lib.js"));
        QCOMPARE(window->currentPage()->selectedText(), std::string("helper"));
    }

    // Both engines side by side from the window: each answer and the difference marked.
    void bothEnginesShowTheirAnswersAndTheDifference() {
        addProject("pair", {{"m", "function kind() { return typeof [].map; }"}});
        box()->setText(QStringLiteral("kind()"));
        QTest::mouseClick(child<QToolButton>("按钮_双引擎对比"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("两个引擎结果")) && idle(), 30000);
        const QString text = transcript();
        QVERIFY2(text.contains(QStringLiteral("[MSScriptControl] undefined")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("[ChakraCore] function")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("两个引擎结果不同：值不同")), qPrintable(text));
        shot("both-engines");
        // The engines were emptied: the next evaluation loads first.
        enter(QStringLiteral("kind()"));
        QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("[结果] undefined")) && idle(), 20000);
        QVERIFY(transcript().contains(QStringLiteral("先加载再执行")));
    }

    // "易代码" for the native engine (style 1000) of a project that only loads in ChakraCore:
    // the failure is shown and the user asked before anything reaches the clipboard; No
    // copies nothing, Yes copies all the same. With style 1002 the check passes.
    void theECodeCheckRefusesACallTheEProgramsEngineCannotRun() {
        auto owned = std::make_unique<MemoryClipboard>();
        MemoryClipboard* clipboard = owned.get();
        window->setClipboard(std::move(owned));
        addProject("modern", {{"m", "let twice = (x) => x * 2;\nfunction run(x) { return twice(x); }"}});
        box()->setText(QStringLiteral("run(2)"));
        auto* copy = child<QAbstractButton>("按钮_E2JS");
        dialogs.yesNoAnswers = {MessageAnswer::No};
        copy->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.records.empty() && idle(), 20000);
        QVERIFY(QString::fromStdString(dialogs.records.back().text).contains(QStringLiteral("MSScriptControl")));
        QCOMPARE(clipboard->writes, 0);
        QVERIFY(output().contains(QStringLiteral("modern_m.js")));
        shot("ecode-check");
        // Forced: Yes copies.
        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        copy->click();
        QTRY_VERIFY_WITH_TIMEOUT(clipboard->writes == 1 && idle(), 20000);
        // ChakraCore's call style: the call runs, nothing is asked.
        const auto refusals = [this] {
            int n = 0;
            for (const DialogRecord& record : dialogs.records)
                n += record.text.find("未能执行") != std::string::npos;
            return n;
        };
        QCOMPARE(refusals(), 2);
        window->action(QStringLiteral("ChakraCore类调用"))->trigger();
        copy->click();
        QTRY_VERIFY_WITH_TIMEOUT(clipboard->writes == 2 && idle(), 20000);
        QCOMPARE(refusals(), 2);
    }

    // An object result opens two levels down in the tab "对象", each level read when opened,
    // and Ctrl+C copies the selected value as JSON text.
    void anObjectResultOpensLevelByLevelAndCopiesAsJson() {
        auto owned = std::make_unique<MemoryClipboard>();
        MemoryClipboard* clipboard = owned.get();
        window->setClipboard(std::move(owned));
        addProject("objs", {{"m", "function make() { return {name: 'box', list: [1, 'two', {deep: true}]}; }"}});
        for (int engine : {0, 1}) {
            chooseEngine(engine);
            enter(QStringLiteral("make()"));
            QTRY_VERIFY_WITH_TIMEOUT(transcript().contains(QStringLiteral("▸ Object {2}")) && idle(), 20000);
            emit static_cast<QTextBrowser*>(child<QTextEdit>("编辑框_计算1"))->anchorClicked(QUrl(QStringLiteral("object")));
            QCOMPARE(child<QTabWidget>("高级选择夹_输出标签")->currentIndex(), 2);
            auto* tree = child<QTreeWidget>("树型框_结果");
            QTreeWidgetItem* top = tree->topLevelItem(0);
            QVERIFY(top);
            QCOMPARE(top->text(0), QStringLiteral("make()"));
            QCOMPARE(top->childCount(), 2);
            QTreeWidgetItem* list = top->child(1);
            QCOMPARE(list->text(1), QStringLiteral("Array(3)"));
            list->setExpanded(true);
            QTRY_COMPARE(list->childCount(), 3);
            QTreeWidgetItem* third = list->child(2);
            third->setExpanded(true);
            QTRY_COMPARE(third->childCount(), 1);
            QCOMPARE(third->child(0)->text(0), QStringLiteral("deep"));
            QCOMPARE(third->child(0)->text(1), QStringLiteral("true"));
            shot(engine == 0 ? "object-tree-native" : "object-tree-chakra");
            tree->setCurrentItem(list);
            tree->setFocus();
            const int before = clipboard->writes;
            QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
            QTRY_COMPARE(clipboard->writes, before + 1);
            QCOMPARE(clipboard->last.at(0).bytes, std::string("[\n  1,\n  \"two\",\n  {\n    \"deep\": true\n  }\n]"));
        }
    }
};

static apptest::Register<ConsoleTest> registration;
#include "ConsoleTest.moc"
