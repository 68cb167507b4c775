// The main window driven through its widgets: names, texts and tooltips, the settings
// menu and its file, the close questions, context menus by node value, window limits,
// the tool window's options, the hot keys, the tree and the output boxes.
#include <csignal>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "AppTests.h"
#include "app/FindReplaceWindow.h"
#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "app/Startup.h"
#include "core/config/IniFile.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Shell.h"

using namespace quillbox;
using quillbox::app::MainWindow;

namespace {

template <typename W = QWidget>
W* child(QWidget* parent, const char* name) {
    return parent->findChild<W*>(QString::fromUtf8(name));
}

QString tip(QWidget* w, const char* name) { return child(w, name)->toolTip(); }

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::string iniPath;
    std::unique_ptr<MainWindow> window;
    ScriptedDialogs dialogs;
    RecordingShell shell;

    config::IniFile ini() const { return config::IniFile(iniPath); }
    std::string setting(const char* key) const { return ini().read("config", key, "<none>"); }

    // A window as start-up leaves it, speaking through scripted dialogs.
    void open() {
        QVERIFY(apptest::openWindow(window, ini(), dialogs, shell));
    }

    // Project "demo" with the modules given as (name, code).
    void addProject(const std::vector<std::pair<std::string, std::string>>& modules) {
        ProjectStore& store = window->store();
        const NodeId project = store.addProjectCore("demo");
        for (const auto& [name, code] : modules) {
            store.tree().select(project);
            QVERIFY(store.addModuleCore(name, code) != kNoNode);
        }
    }

    QAction* act(const char* text) { return window->action(QString::fromUtf8(text)); }

private slots:
    void initTestCase() {
        app::deployEditorAssets(config::IniFile(apptest::freshDir("winhome0") + "/Quillbox_config.ini"));
    }

    void init() {
        iniPath = apptest::freshDir("winhome") + "/Quillbox_config.ini";
        dialogs = ScriptedDialogs();
        shell = RecordingShell();
        open();
    }

    void cleanup() { window.reset(); }

    void controlsCarryTheirNamesTextsAndTooltips() {
        MainWindow* w = window.get();
        QCOMPARE(child<QLabel>(w, "标签1")->text(), QStringLiteral("Quillbox 1.30 By : Zorvan (当前项目:)"));
        QCOMPARE(child<QLabel>(w, "标签2")->text(), QStringLiteral("项目结构"));
        QVERIFY(child<QTreeWidget>(w, "树型框1"));
        QVERIFY(child(w, "互联网浏览器1"));
        QVERIFY(child(w, "图片框1"));
        for (const char* name : {"外形框_Project", "外形框1", "外形框2", "外形框4", "外形框5", "分隔条1", "分隔条2", "分隔条3"})
            QVERIFY2(child(w, name), name);
        const std::pair<const char*, const char*> texts[] = {
            {"按钮_运行_系统", "系统对象运行代码"}, {"按钮_运行_浏览器", "浏览器方式运行代码"},
            {"按钮_E2JS", "易代码"},               {"按钮_LongStr2E", "复制易代码(全部)"},
            {"按钮_跳转", "跳转(Ctrl+G)"},         {"按钮_查找_替换", "查找/替换(Ctrl+F/H)"},
            {"按钮_压缩", "压缩代码"},             {"按钮_格式化代码", "格式化代码(选中可部分格式化)"},
            {"按钮_导出Js", "导出(Ctrl+S)"},
        };
        for (const auto& [name, text] : texts)
            QCOMPARE(child<QPushButton>(w, name)->text(), QString::fromUtf8(text));
        const std::pair<const char*, const char*> tips[] = {
            {"按钮_pro_addproject", "增加项目"}, {"按钮_pro_delproject", "删除项目"}, {"按钮_pro_addMod", "增加模块"},
            {"按钮_pro_delMod", "删除模块"},     {"按钮_pro_moveupMod", "模块上移"},  {"按钮_pro_movedownMod", "模块下移"},
            {"按钮_加载", "加载代码 (F5; Ctrl+Enter 加载后执行)"},  {"按钮_最大化", "最大化"},  {"按钮_关闭", "关闭"},
            {"按钮_最小化", "最小化"},           {"按钮_清除", "清空输出栏信息"},
        };
        for (const auto& [name, text] : tips)
            QCOMPARE(tip(w, name), QString::fromUtf8(text));
        auto* engines = child<QComboBox>(w, "组合框_默认Js引擎");
        QCOMPARE(engines->count(), 2);
        QCOMPARE(engines->itemText(0), QStringLiteral("MSScriptControl"));
        QCOMPARE(engines->itemText(1), QStringLiteral("ChakraCore"));
        QCOMPARE(engines->currentIndex(), 0);
        auto* tabs = child<QTabWidget>(w, "高级选择夹_输出标签");
        QCOMPARE(tabs->tabText(0), QStringLiteral("运行"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("输出"));
        QCOMPARE(child<QTextEdit>(w, "编辑框_计算1")->toPlainText(), QStringLiteral("console.log调试栏"));
        QCOMPARE(app::recordedStages(), (std::vector<std::string>{"代码框设置", "初始化结束1"}));
    }

    void firstStartChecksTheDefaultMarksAndKeepsTheDesignedSize() {
        QVERIFY(act("自动检查更新")->isChecked());
        QVERIFY(act("记忆窗口改变")->isChecked());
        QVERIFY(act("记忆代码内容")->isChecked());
        QVERIFY(act("对象调用")->isChecked());
        QVERIFY(!act("JScript类调用")->isChecked());
        QVERIFY(!act("ChakraCore类调用")->isChecked());
        QVERIFY(!act("子程序重命名")->isChecked());
        // The designed size, within the screen (the offscreen screen may be smaller).
        QCOMPARE(window->size(), QSize(1000, 650).boundedTo(window->maximumSize()));
    }

    void togglesWriteTheirKeyAtOnce() {
        act("记忆代码内容")->trigger();
        QVERIFY(!act("记忆代码内容")->isChecked());
        QCOMPARE(setting("memory_text"), std::string("false"));
        act("子程序重命名")->trigger();
        QCOMPARE(setting("memory_save_rename"), std::string("true"));
        QVERIFY(child<QTextEdit>(window.get(), "编辑框_计算")->toPlainText().endsWith(QStringLiteral("复制易代码时将会弹窗重命名")));
        window->exitSave();
        QCOMPARE(setting("memory_text"), std::string("false"));
        QCOMPARE(setting("memory_form_w"), std::to_string(window->width()));
    }

    void callStylesAreOneRadioGroupThatSurvivesARestart() {
        act("ChakraCore类调用")->trigger();
        QVERIFY(act("ChakraCore类调用")->isChecked());
        QVERIFY(!act("对象调用")->isChecked());
        QCOMPARE(setting("memory_save_method"), std::string("1002"));
        QVERIFY(child<QTextEdit>(window.get(), "编辑框_计算")->toPlainText().endsWith(QStringLiteral("切换转换方式成功")));
        // Clicking the checked item again keeps it checked.
        act("ChakraCore类调用")->trigger();
        QVERIFY(act("ChakraCore类调用")->isChecked());
        window->exitSave();
        QCOMPARE(setting("memory_save_method"), std::string("1002"));
        window.reset();
        open();
        QVERIFY(act("ChakraCore类调用")->isChecked());
        QVERIFY(!act("对象调用")->isChecked());
    }

    void windowSizeIsRememberedOnlyWhenAsked() {
        window->resize(700, 500);
        window->exitSave();
        window.reset();
        open();
        QCOMPARE(window->size(), QSize(700, 500));
        act("记忆窗口改变")->trigger();
        window->exitSave();
        QCOMPARE(setting("memory_form_w"), std::string("800"));
        QCOMPARE(setting("memory_form_h"), std::string("650"));
    }

    void fontSizeOutsideTheRangeIsRefused() {
        dialogs.inputAnswers = {std::string("13"), std::string("25"), std::string("14")};
        window->fontSizeCommand();
        window->fontSizeCommand();
        QCOMPARE(dialogs.messages(), (std::vector<std::string>{"请设置一个合适的大小", "请设置一个合适的大小"}));
        QCOMPARE(ini().read("code", "fontszie", "<none>"), std::string("<none>"));
        window->fontSizeCommand();
        QCOMPARE(ini().read("code", "fontszie", ""), std::string("14"));
        QCOMPARE(ini().read("code", "init", ""), std::string("true"));
        QCOMPARE(dialogs.messages().back(), std::string("重启软件以更新配置"));
    }

    void closeWithoutPagesCloses() {
        act("记忆代码内容")->trigger();  // now unchecked: pages would be asked about
        QVERIFY(window->requestClose());
        QVERIFY(!window->isVisible());
        QVERIFY(dialogs.records.empty());
        QCOMPARE(setting("memory_text"), std::string("false"));  // the exit save ran
    }

    void closeAsksAboutEachPageWithCodeAndNoKeepsTheWindow() {
        addProject({{"a", "var a = 1;"}, {"b", ""}, {"c", "var c = 3;"}});
        act("记忆代码内容")->trigger();
        dialogs.yesNoAnswers = {MessageAnswer::Yes, MessageAnswer::No};
        QVERIFY(!window->requestClose());
        QVERIFY(window->isVisible());
        // The empty page is not asked about; positions count from 0.
        QCOMPARE(dialogs.messages(), (std::vector<std::string>{"编辑器[0]中还有代码,确定关闭吗？",
                                                               "编辑器[2]中还有代码,确定关闭吗？"}));
        dialogs.yesNoAnswers = {MessageAnswer::Yes, MessageAnswer::Yes};
        QVERIFY(window->requestClose());
        QVERIFY(!window->isVisible());
    }

    void closeWithRememberedCodeAsksNothing() {
        addProject({{"a", "var a = 1;"}});
        QVERIFY(window->requestClose());
        QVERIFY(dialogs.records.empty());
    }

    void contextMenusFollowTheNodeValue() {
        QCOMPARE(window->contextMenuForNodeValue(2), window->moduleMenu());
        QCOMPARE(window->contextMenuForNodeValue(3), window->moduleMenu());
        QCOMPARE(window->contextMenuForNodeValue(7), window->moduleMenu());
        for (int value : {4, 5, 6, 0})
            QVERIFY(window->contextMenuForNodeValue(value) == nullptr);
        QStringList items;
        for (QAction* a : window->moduleMenu()->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{QStringLiteral("删除模块"), QStringLiteral("复制表达式"), QStringLiteral("重命名项目"),
                                     QStringLiteral("转换为旧引擎代码"), QStringLiteral("解混淆")}));
    }

    void windowKeepsItsMinimumSizeAndSwapsTheMaximiseTooltip() {
        window->resize(100, 100);
        QVERIFY(window->width() >= 620);
        QVERIFY(window->height() >= 400);
        const QRect screen = window->screen()->geometry();
        window->move(screen.left() - 5000, screen.top() - 5000);
        QTRY_COMPARE(window->pos(), QPoint(screen.left() - 600, screen.top() - 600));
        window->move(screen.right() + 5000, screen.bottom() + 5000);
        QTRY_COMPARE(window->pos(), QPoint(screen.right(), screen.bottom()));
        window->move(screen.topLeft());
        auto* maximise = child<QToolButton>(window.get(), "按钮_最大化");
        maximise->click();
        QTRY_COMPARE(maximise->toolTip(), QStringLiteral("还原"));
        maximise->click();
        QTRY_COMPARE(maximise->toolTip(), QStringLiteral("最大化"));
    }

    void searchOptionsAreOneAtATime() {
        window->openFindReplace();
        QWidget* tool = window->findReplaceWindow();
        auto* whole = child<QCheckBox>(tool, "选择框_全字匹配");
        auto* cased = child<QCheckBox>(tool, "选择框_大小写");
        auto* regex = child<QCheckBox>(tool, "选择框_正则");
        QTest::mouseClick(whole, Qt::LeftButton);
        QTest::mouseClick(cased, Qt::LeftButton);
        QVERIFY(!whole->isChecked());
        QVERIFY(cased->isChecked());
        QTest::mouseClick(regex, Qt::LeftButton);
        QVERIFY(regex->isChecked());
        QVERIFY(!whole->isChecked() && !cased->isChecked());
        for (const char* name : {"编辑框_查找", "编辑框_替换", "按钮_查找", "按钮_替换一个", "按钮_替换全部", "标签_提示", "按钮_关闭"})
            QVERIFY2(child(tool, name), name);
    }

    void replaceAllThroughTheToolWindow() {
        addProject({{"a", "x = foo + foo + foo;"}});
        window->store().selectNode(window->store().tree().children(window->store().tree().topLevel()[0])[0]);
        window->openFindReplace();
        QWidget* tool = window->findReplaceWindow();
        QTest::keyClicks(child<QLineEdit>(tool, "编辑框_查找"), QStringLiteral("foo"));
        QTest::keyClicks(child<QLineEdit>(tool, "编辑框_替换"), QStringLiteral("bar"));
        QTest::mouseClick(child<QPushButton>(tool, "按钮_替换全部"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(tool, "标签_提示")->text(), QStringLiteral("替换成功 共替换3项"));
        QCOMPARE(window->currentPage()->getText(), std::string("x = bar + bar + bar;"));
        QTest::mouseClick(child<QPushButton>(tool, "按钮_替换全部"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(tool, "标签_提示")->text(), QStringLiteral("替换失败"));
    }

    void hotKeysOpenTheirCommands() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(window->findReplaceWindow()->isVisible());
        window->findReplaceWindow()->hide();
        QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier);
        QTRY_VERIFY(window->findReplaceWindow()->isVisible());
    }

    void treeMirrorsTheProjectsAndSelectionShowsThePage() {
        dialogs.inputAnswers = {std::string("demo"), std::string("util")};
        QTest::mouseClick(child<QToolButton>(window.get(), "按钮_pro_addproject"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(window.get(), "按钮_pro_addMod"), Qt::LeftButton);
        QTreeWidget* tree = window->tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* project = tree->topLevelItem(0);
        QCOMPARE(project->text(0), QStringLiteral("demo"));
        QCOMPARE(project->data(0, Qt::UserRole).toInt(), 1);
        QCOMPARE(project->childCount(), 1);
        QTreeWidgetItem* module = project->child(0);
        QCOMPARE(module->text(0), QStringLiteral("util.js"));
        QCOMPARE(module->childCount(), 2);
        QCOMPARE(module->child(0)->text(0), QStringLiteral("方法"));
        QCOMPARE(module->child(1)->text(0), QStringLiteral("属性"));
        QVERIFY(!module->icon(0).isNull());
        QVERIFY(module->font(0).bold());  // the module being edited is marked
        // Adding the module selected it: its page shows and the title names it.
        QCOMPARE(child<QLabel>(window.get(), "标签1")->text(),
                 QStringLiteral("Quillbox 1.30 By : Zorvan (当前项目:demo_util.js)"));
        QVERIFY(window->currentPage() != nullptr);
        QCOMPARE(window->currentPage()->name(), std::string("demo_util.js"));
        // Deleting the module through the tree button removes its item and page.
        QTest::mouseClick(child<QToolButton>(window.get(), "按钮_pro_delMod"), Qt::LeftButton);
        QCOMPARE(project->childCount(), 0);
        QCOMPARE(window->store().pageCount(), 0);
    }

    void outputLinesHaveTheirColoursAndWeights() {
        window->output().messageLine("加载成功");
        window->output().consoleLine("object", "[object Object]");
        auto* out = child<QTextEdit>(window.get(), "编辑框_计算");
        auto* console = child<QTextEdit>(window.get(), "编辑框_计算1");
        QCOMPARE(out->toPlainText(), QStringLiteral(">>加载成功"));
        QTextCursor cursor(out->document());
        cursor.setPosition(1);
        QCOMPARE(cursor.charFormat().foreground().color(), QColor(54, 124, 231));
        QVERIFY(cursor.charFormat().font().bold());
        cursor.setPosition(3);
        QCOMPARE(cursor.charFormat().foreground().color(), QColor(0, 255, 0));
        QVERIFY(!cursor.charFormat().font().bold());
        QVERIFY(cursor.charFormat().font().families().contains(QStringLiteral("微软雅黑")));

        const QTextBlock last = console->document()->lastBlock();
        QCOMPARE(last.text(), QStringLiteral(">>[object] [object Object]"));
        QTextCursor c(last);
        c.setPosition(last.position() + 4);
        QCOMPARE(c.charFormat().foreground().color(), QColor(255, 255, 255));
        c.setPosition(last.position() + last.length() - 1);
        QCOMPARE(c.charFormat().foreground().color(), QColor(255, 128, 0));
        QVERIFY(c.charFormat().font().italic());

        // The clear button empties only the box on the tab shown.
        window->output().chooseTab(1);
        QTest::mouseClick(child<QToolButton>(window.get(), "按钮_清除"), Qt::LeftButton);
        QVERIFY(console->toPlainText().isEmpty());
        QCOMPARE(out->toPlainText(), QStringLiteral(">>加载成功"));
    }

    void filesDroppedOnTheTreeAreImported() {
        addProject({{"a", "var a = 1;"}, {"b", "var b = 2;"}});
        const std::string path = apptest::freshDir("drop") + "/demo.js";
        apptest::writeBytes(path, window->store().exportBytes("demo"));
        dialogs.inputAnswers = {std::string("copy")};  // the name demo is taken
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QTreeWidget* tree = window->tree();
        // As a real drag does: enter first (the tree accepts files), then drop.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &drop);
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem* copy = tree->topLevelItem(1);
        QCOMPARE(copy->text(0), QStringLiteral("copy"));
        QCOMPARE(copy->childCount(), 2);
        QCOMPARE(copy->child(1)->text(0), QStringLiteral("b.js"));
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"重复的项目名称,请重新输入名称"});
        const int page = window->store().findPage("copy", "b");
        QVERIFY(page > 0);
        // The code as exported, with the line ends the file format adds after it.
        QCOMPARE(window->store().page(page)->getText().substr(0, 10), std::string("var b = 2;"));
    }

    void ctrlSExportsTheCurrentProject() {
        addProject({{"a", "var a = 1;"}});
        ProjectStore& store = window->store();
        store.selectNode(store.tree().children(store.tree().topLevel()[0])[0]);
        const std::string path = apptest::freshDir("export") + "/demo.js";
        dialogs.saveAnswers = {path};
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(!apptest::readBytes(path).empty());
        QVERIFY(apptest::readBytes(path).find("var a = 1;") != std::string::npos);
    }

    void closingFromTheDesktopAsksTheSameQuestions() {
        addProject({{"a", "var a = 1;"}});
        act("记忆代码内容")->trigger();
        dialogs.yesNoAnswers = {MessageAnswer::No};
        window->close();
        QVERIFY(window->isVisible());
        QCOMPARE(dialogs.messages(), std::vector<std::string>{"编辑器[0]中还有代码,确定关闭吗？"});
    }

    // The conversion runs on the engines' thread; the window takes the result when it comes.
    void convertCommandWritesANewModuleAndItsReport() {
        addProject({{"site", "const twice = (x) => x * 2;\n"}});
        ProjectStore& store = window->store();
        store.selectNode(store.moduleNode("demo", "site"));
        act("转换为旧引擎代码")->trigger();
        auto* out = child<QTextEdit>(window.get(), "编辑框_计算");
        QVERIFY(out->toPlainText().contains(QStringLiteral("转换为旧引擎代码：转换中")));
        // Babel loads on first use: slow on a busy machine, so wait for the outcome, not a time.
        QTRY_VERIFY_WITH_TIMEOUT(store.hasModule("demo", "site_旧引擎"), 300000);
        QCOMPARE(store.page(store.findPage("demo", "site"))->getText(), std::string("const twice = (x) => x * 2;\n"));
        QVERIFY(store.page(store.findPage("demo", "site_旧引擎"))->getText().find("var twice = function (x)") !=
                std::string::npos);
        QTRY_VERIFY(out->toPlainText().contains(QStringLiteral("加载成功：the converted code loads in the native engine")));
        QVERIFY(out->toPlainText().contains(QStringLiteral("converted site: arrow functions ×1, let and const ×1")));
    }

    // A conversion shows the window's stop while it runs; the stop ends it (Babel is still
    // loading when it comes), nothing is written, and the window is free again.
    void theStopEndsAConversionAndNothingIsWritten() {
        addProject({{"spin", "let n = 0;\nwhile (true) n++;\n"}});
        ProjectStore& store = window->store();
        store.selectNode(store.moduleNode("demo", "spin"));
        act("转换为旧引擎代码")->trigger();
        auto* stop = child<QAbstractButton>(window.get(), "按钮_停止");
        auto* out = child<QTextEdit>(window.get(), "编辑框_计算");
        QVERIFY(stop->isVisible());
        QVERIFY(child<QLabel>(window.get(), "标签_运行状态")->text().startsWith(QStringLiteral("转换中")));
        QTest::mouseClick(stop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(out->toPlainText().contains(QStringLiteral("转换已停止：nothing was written")), 120000);
        QTRY_VERIFY(!stop->isVisible());
        QVERIFY(!store.hasModule("demo", "spin_旧引擎"));
        QVERIFY(!store.hasModule("demo", "旧引擎补丁"));
    }

    // The deobfuscation runs on the engines' thread (its own tools context and sandbox
    // engines); the window takes the new module and the check of the function box's expression.
    void deobfuscateCommandWritesANewModuleBesideTheOriginal() {
        const std::string obfuscated =
            "function _0x5d2a(){var _0x3c1=['Hello,\\x20','!'];_0x5d2a=function(){return _0x3c1;};return _0x5d2a();}"
            "function _0x1f0b(_0x1a,_0x2b){_0x1a=_0x1a-0x0;var _0x3c=_0x5d2a();var _0x4d=_0x3c[_0x1a];return _0x4d;}"
            "function hi(_0x9a){var _0x8b=_0x1f0b;return _0x8b(0x0)+_0x9a+_0x8b(0x1);}\n";
        addProject({{"sign", obfuscated}});
        ProjectStore& store = window->store();
        store.selectNode(store.moduleNode("demo", "sign"));
        window->functionBox()->setText(QStringLiteral("hi('E')"));
        act("解混淆")->trigger();
        auto* out = child<QTextEdit>(window.get(), "编辑框_计算");
        QVERIFY(out->toPlainText().contains(QStringLiteral("解混淆：解混淆中")));
        QTRY_VERIFY_WITH_TIMEOUT(store.hasModule("demo", "sign_解混淆"), 300000);
        QCOMPARE(store.page(store.findPage("demo", "sign"))->getText(), obfuscated);
        QVERIFY(store.page(store.findPage("demo", "sign_解混淆"))->getText().find("return \"Hello, \" + ") != std::string::npos);
        QTRY_VERIFY(out->toPlainText().contains(QStringLiteral("一致 hi('E') = string:Hello, E!")));
    }

    void copyExpressionPutsACallIntoTheFunctionBox() {
        addProject({{"a", "var a = 1;"}});
        ProjectTree& tree = window->store().tree();
        const NodeId module = tree.children(tree.topLevel()[0])[0];
        const NodeId methods = tree.children(module)[0];
        const NodeId properties = tree.children(module)[1];
        const NodeId function = tree.add(methods, "greet", 4, 4, node_value::kFunction);
        const NodeId object = tree.add(properties, "config", 3, 3, node_value::kObject);
        const NodeId member = tree.add(object, "size", 6, 6, node_value::kMember);
        auto* box = child<QLineEdit>(window.get(), "编辑框_函数");
        tree.select(function);
        act("复制表达式")->trigger();
        QCOMPARE(box->text(), QStringLiteral("greet()"));
        tree.select(member);
        act("复制表达式")->trigger();
        QCOMPARE(box->text(), QStringLiteral("config.size"));
        tree.select(module);
        act("复制表达式")->trigger();
        QCOMPARE(box->text(), QStringLiteral("config.size"));  // a module has no expression
    }

    void anOpenerThatFindsNothingIsToldAfterItStarted() {
        // xdg-open starts whenever it exists and only then looks for a program: its exit
        // code is the one word that nothing opened the page.
        const std::string dir = apptest::freshDir("opener");
        const auto script = [&dir](const char* name, const char* body) {
            const QString path = QString::fromStdString(dir + "/" + name);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg\"\n") + body);
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            return path;
        };
        const std::string page = dir + "/Js_Test.html";
        app::QtShell shell;
        std::vector<std::string> failed;
        shell.openFailedLater = [&failed](const std::string& target) { failed.push_back(target); };
        int ended = 0;
        shell.openerEnded = [&ended](const std::string&) { ++ended; };

        shell.opener = script("none.sh", "exit 3\n");
        QVERIFY(shell.open(page));
        QTRY_COMPARE(failed, std::vector<std::string>{page});
        QCOMPARE(apptest::readBytes(dir + "/none.sh.arg"), page);  // a path, not a file: URL

        shell.opener = script("browser.sh", "exit 0\n");
        QVERIFY(shell.open(page));
        QTRY_VERIFY(!apptest::readBytes(dir + "/browser.sh.arg").empty());
        QTRY_COMPARE(ended, 2);  // the opener that found a browser has ended, telling nothing
        QCOMPARE(failed.size(), std::size_t(1));

        shell.opener = QString::fromStdString(dir + "/missing");
        QVERIFY(!shell.open(page));  // refused at once: nothing started, nothing to tell later
        QCOMPARE(ended, 2);
        QCOMPARE(failed.size(), std::size_t(1));
    }

    void anOpenerOutlivingItsShellTellsNobody() {
        const std::string dir = apptest::freshDir("opener2");
        const QString path = QString::fromStdString(dir + "/slow.sh");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\necho $$ > \"$0.pid\"\nsleep 0.3\nexit 4\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        bool told = false;
        {
            app::QtShell shell;
            shell.opener = path;
            shell.openFailedLater = [&told](const std::string&) { told = true; };
            QVERIFY(shell.open(dir + "/page.html"));
        }
        // Until the opener has ended and its end has been seen here.
        QTRY_VERIFY(!apptest::readBytes(dir + "/slow.sh.pid").empty());
        const pid_t pid = std::stoi(apptest::readBytes(dir + "/slow.sh.pid"));
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 10000);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!told);
    }

    void clipboardEntriesBecomeMimeFormats() {
        std::vector<ClipboardEntry> entries;
        entries.push_back({"EClipFormat", 0, std::string("\x01\x02\x00\x03", 4)});
        entries.push_back({"", 1, "\xd6\xd0\xce\xc4"});  // "中文" in code page 936
        std::unique_ptr<QMimeData> data(app::clipboardMimeData(entries));
        QCOMPARE(data->data(QStringLiteral("EClipFormat")), QByteArray("\x01\x02\x00\x03", 4));
        QCOMPARE(data->data(QStringLiteral("application/x-qt-windows-mime;value=\"EClipFormat\"")),
                 QByteArray("\x01\x02\x00\x03", 4));
        QCOMPARE(data->text(), QStringLiteral("中文"));
    }
};

static apptest::Register<MainWindowTest> registration;
#include "MainWindowTest.moc"
