#include "app/CommandBindings.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>

#include "app/CodeCommands.h"
#include "app/ConvertCommand.h"
#include "app/ConsoleInput.h"
#include "app/DeobfuscateCommand.h"
#include "app/EngineCommands.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/QtPorts.h"
#include "core/convert/ConvertInStore.h"
#include "core/deobfuscate/DeobfuscateInStore.h"
#include "core/net/Addresses.h"
#include "core/online/UpdateServer.h"
#include "core/platform/Shell.h"

namespace quillbox::app {

namespace {

using addresses::kChakraModulePage;
using addresses::kUsagePage;

QAction* addItem(QMenu* menu, const char* text, bool checkable = false) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QString::fromUtf8(text));
    a->setCheckable(checkable);
    return a;
}

}  // namespace

CommandBindings::CommandBindings(MainWindow& window, EngineCommands& engines)
    : QObject(&window), window_(window), engines_(engines) {
    buildMainMenu();
    buildNodeMenus();
    bindButtons();
}

void CommandBindings::buildMainMenu() {
    MainWindow& w = window_;
    mainMenu_ = new QMenu(QStringLiteral("菜单"), &w);
    mainMenu_->setObjectName(QStringLiteral("菜单"));
    // A settings toggle writes its key at once and the marks follow.
    auto toggle = [this](QAction* item, auto change) {
        connect(item, &QAction::triggered, this, [this, change] {
            change();
            syncMenu();
        });
    };
    QMenu* update = mainMenu_->addMenu(QStringLiteral("更新设置"));
    toggle(addItem(update, "自动检查更新", true), [&w] { config::toggleAutoUpdate(w.menuState(), w.ini()); });

    QMenu* memory = mainMenu_->addMenu(QStringLiteral("记忆设置"));
    toggle(addItem(memory, "记忆窗口改变", true), [&w] { config::toggleRememberWindow(w.menuState(), w.ini()); });
    toggle(addItem(memory, "记忆代码内容", true), [&w] { config::toggleRememberCode(w.menuState(), w.ini()); });
    connect(addItem(memory, "设置字体大小"), &QAction::triggered, &w, &MainWindow::fontSizeCommand);

    QMenu* conversion = mainMenu_->addMenu(QStringLiteral("代码转换"));
    // The three call styles are one radio group sharing one handler.
    callStyles_ = new QActionGroup(this);
    callStyles_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const std::pair<const char*, int> styles[] = {{config::kMenuCallObject, config::kCallStyleObject},
                                                  {config::kMenuCallJScript, config::kCallStyleJScript},
                                                  {config::kMenuCallChakraCore, config::kCallStyleChakraCore}};
    for (const auto& [text, value] : styles) {
        QAction* style = addItem(conversion, text, true);
        callStyles_->addAction(style);
        connect(style, &QAction::triggered, this, [this, value] { callStyleClicked(value); });
    }
    conversion->addSeparator();
    toggle(addItem(conversion, "子程序重命名", true),
           [&w] { config::toggleRenameRoutine(w.menuState(), w.ini(), w.output()); });

    // The run settings hold from the next load; the output box says what it will do.
    QMenu* runs = mainMenu_->addMenu(QStringLiteral("运行设置"));
    const std::pair<const char*, std::string (*)(const config::IniFile&)> runSettings[] = {
        {config::kMenuDeterministic, &config::toggleDeterministic}, {config::kMenuWatch, &config::toggleWatching}};
    for (const auto& [text, change] : runSettings)
        toggle(addItem(runs, text, true), [this, &w, change = change] {
            w.output().messageLine(change(w.ini()));
            engines_.applyRunSettings();
        });

    QMenu* other = mainMenu_->addMenu(QStringLiteral("其他"));
    connect(addItem(other, "咋用"), &QAction::triggered, this, [&w] { w.shell().open(kUsagePage); });
    connect(addItem(other, "下载ChakraCore.ec"), &QAction::triggered, this,
            [&w] { w.shell().open(kChakraModulePage); });
    connect(addItem(other, "下载Parcelkit.ec"), &QAction::triggered, this,
            [&w] { w.shell().open(online::updateServerUrl(online::kParcelkitPath)); });
    connect(addItem(other, "关于"), &QAction::triggered, &w, &MainWindow::openAbout);

    QToolButton* menuButton = w.findChild<QToolButton*>(QStringLiteral("按钮_设置"));
    connect(menuButton, &QToolButton::clicked, this, [this, menuButton] {
        // Left edge at the button's horizontal centre, top at its bottom.
        mainMenu_->popup(menuButton->mapToGlobal(QPoint(menuButton->width() / 2, menuButton->height())));
    });
}

void CommandBindings::buildNodeMenus() {
    MainWindow& w = window_;
    projectMenu_ = new QMenu(QStringLiteral("模块PRO"), &w);
    projectMenu_->setObjectName(QStringLiteral("模块PRO"));
    moduleMenu_ = new QMenu(QStringLiteral("模块NODE"), &w);
    moduleMenu_->setObjectName(QStringLiteral("模块NODE"));
    connect(addItem(moduleMenu_, "删除模块"), &QAction::triggered, this, [&w] { w.deleteSelectedModules(); });
    connect(addItem(moduleMenu_, "复制表达式"), &QAction::triggered, this, [&w] { copyExpressionCommand(w); });
    connect(addItem(moduleMenu_, "重命名项目"), &QAction::triggered, this, [&w] { w.store().renameModule(); });
    for (QMenu* menu : {projectMenu_, moduleMenu_})
        connect(addItem(menu, convert::kConvertCommand), &QAction::triggered, this, [&w] { convertForOldEngineCommand(w); });
    connect(addItem(moduleMenu_, deobfuscate::kDeobfuscateCommand), &QAction::triggered, this, [&w] { deobfuscateCommand(w); });
}

void CommandBindings::bindButtons() {
    MainWindow& w = window_;
    auto onClick = [this, &w](const char* name, auto slot) {
        if (auto* button = w.findChild<QAbstractButton*>(QString::fromUtf8(name)))
            connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick("按钮_pro_addproject", [&w] { w.store().addProject(); });
    onClick("按钮_pro_delproject", [&w] { w.store().deleteProject(); });
    onClick("按钮_pro_addMod", [&w] { w.store().addModule(); });
    onClick("按钮_pro_delMod", [&w] { w.deleteSelectedModules(); });
    onClick("按钮_pro_moveupMod", [&w] { w.store().moveModuleUp(); });
    onClick("按钮_pro_movedownMod", [&w] { w.store().moveModuleDown(); });
    onClick("按钮_导出Js", [&w] { exportCommand(w); });
    onClick("按钮_加载", [this] { engines_.load(); });
    onClick("按钮_运行_系统", [&w] { w.console().evaluate(); });
    onClick("按钮_运行_浏览器", [this] { engines_.runInBrowser(); });
    onClick("按钮_双引擎对比", [this] { engines_.compareEngines(); });
    // The call is run in the engine the E program will use before its code is copied.
    onClick("按钮_E2JS", [this, &w] {
        const int style = w.menuState().callStyle == config::kCallStyleNone ? config::kCallStyleObject
                                                                           : w.menuState().callStyle;
        engines_.checkCallThenCopy(style, [&w] { callWrapperCommand(w); });
    });
    onClick("按钮_LongStr2E", [&w] { constantCommand(w); });
    onClick("按钮_压缩", [this] { engines_.transform(transform::Mode::Compress); });
    onClick("按钮_格式化代码", [this] { engines_.transform(transform::Mode::Format); });
    onClick("按钮_跳转", [&w] { w.goToLineCommand(); });
    onClick("按钮_查找_替换", [&w] { w.openFindReplace(); });
    onClick("按钮_清除", [&w] { w.output().clear(); });
    connect(w.functionBox(), &QLineEdit::returnPressed, this, [&w] { w.console().evaluate(); });
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &w);
    connect(save, &QShortcut::activated, this, [&w] { exportCommand(w); });
}

void CommandBindings::bindHotKeys() {
    MainWindow& w = window_;
    auto bind = [this, &w](const QKeySequence& keys, auto slot) {
        auto* shortcut = new QShortcut(keys, &w);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_F), [&w] { w.openFindReplace(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_H), [&w] { w.openFindReplace(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_G), [&w] { w.goToLineCommand(); });
    // F5 loads, and evaluates what the function box holds (Ctrl+Enter there does the same).
    bind(QKeySequence(Qt::Key_F5), [&w] { w.console().f5(); });
    // F12 goes to the definition of the name at the cursor, Ctrl+T searches the symbols.
    bind(QKeySequence(Qt::Key_F12), [&w] { w.navigation().definitionAtCursor(); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_T), [&w] { w.navigation().searchSymbols(); });
}

QAction* CommandBindings::action(const QString& text) const {
    for (QMenu* menu : {mainMenu_, projectMenu_, moduleMenu_})
        if (auto* found = menu->findChild<QAction*>(text))
            return found;
    for (QAction* a : window_.findChildren<QAction*>())
        if (a->objectName() == text || a->text() == text)
            return a;
    return nullptr;
}

QMenu* CommandBindings::contextMenuForNodeValue(int value) const {
    if (value == node_value::kProject)
        return projectMenu_->actions().isEmpty() ? nullptr : projectMenu_;
    if (value == node_value::kModule || value == node_value::kFunction || value == node_value::kMember)
        return moduleMenu_;
    return nullptr;
}

void CommandBindings::syncMenu() {
    const config::MenuState& menu = window_.menuState();
    action(QString::fromUtf8(config::kMenuAutoUpdate))->setChecked(menu.autoUpdate);
    action(QString::fromUtf8(config::kMenuRememberWindow))->setChecked(menu.rememberWindow);
    action(QString::fromUtf8(config::kMenuRememberCode))->setChecked(menu.rememberCode);
    action(QString::fromUtf8(config::kMenuRenameRoutine))->setChecked(menu.renameRoutine);
    action(QString::fromUtf8(config::kMenuCallObject))->setChecked(menu.callStyle == config::kCallStyleObject);
    action(QString::fromUtf8(config::kMenuCallJScript))->setChecked(menu.callStyle == config::kCallStyleJScript);
    action(QString::fromUtf8(config::kMenuCallChakraCore))->setChecked(menu.callStyle == config::kCallStyleChakraCore);
    action(QString::fromUtf8(config::kMenuDeterministic))
        ->setChecked(config::read(window_.ini(), config::keys::deterministic) == "true");
    action(QString::fromUtf8(config::kMenuWatch))->setChecked(config::watching(window_.ini()));
}

void CommandBindings::callStyleClicked(int style) {
    config::chooseCallStyle(window_.menuState(), style, window_.ini(), window_.output());
    syncMenu();
}

}  // namespace quillbox::app
