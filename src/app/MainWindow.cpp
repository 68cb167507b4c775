#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QDropEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

#include "app/AboutWindow.h"
#include "app/AcePage.h"
#include "core/editor/FindReplace.h"
#include "core/ecode/CallWrapper.h"
#include "core/engine/TestPage.h"
#include "core/transform/Transform.h"
#include "core/ecode/ConstantConversion.h"
#include "app/FindReplaceWindow.h"
#include "app/QtPorts.h"
#include "app/StopWatch.h"
#include <optional>

// Resources of a static library are registered by hand (outside any namespace).
static void initialiseResources() { Q_INIT_RESOURCE(resources); }

namespace quillbox::app {

namespace {

const int kBorder = 10;
const char* const kUsagePage = "https://quillbox.example.org/guide";
const char* const kChakraModulePage = "https://quillbox.example.org/forum/chakracore-ec";
const char* const kUpdateServer = "https://quillbox.example.org";

QString q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& glyph) {
    auto* button = named(new QToolButton(parent), name);
    button->setIcon(buttonIcon(glyph));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    return button;
}

QPushButton* textButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = named(new QPushButton(text, parent), name);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

QIcon buttonIcon(const QString& glyph, const QColor& colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 3);
    painter.setPen(pen);
    if (glyph == QLatin1String("min")) {
        painter.drawLine(8, 22, 24, 22);
    } else if (glyph == QLatin1String("max")) {
        painter.drawRect(8, 8, 16, 16);
    } else if (glyph == QLatin1String("restore")) {
        painter.drawRect(6, 12, 13, 13);
        painter.drawPolyline(QPolygon({QPoint(12, 12), QPoint(12, 6), QPoint(25, 6), QPoint(25, 19), QPoint(19, 19)}));
    } else if (glyph == QLatin1String("close")) {
        painter.drawLine(8, 8, 24, 24);
        painter.drawLine(24, 8, 8, 24);
    } else if (glyph == QLatin1String("menu")) {
        for (int y : {9, 16, 23})
            painter.drawLine(7, y, 25, y);
    } else {
        QFont font = painter.font();
        font.setPixelSize(glyph.size() > 1 ? 15 : 24);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    }
    return QIcon(pixmap);
}

MainWindow::MainWindow(config::IniFile ini, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ini_(std::move(ini)) {
    setObjectName(QStringLiteral("窗口_启动窗口"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    initialiseResources();
    ownDialogs_ = std::make_unique<QtDialogs>(this);
    ownShell_ = std::make_unique<QtShell>();
    dialogs_ = ownDialogs_.get();
    shell_ = ownShell_.get();
    buildControls();
    buildMenus();
    output_ = std::make_unique<QtOutput>(outputTabs_, outputBox_, consoleBox_);
    findReplace_ = new FindReplaceWindow(this, [this] { return currentPage(); });
    store_ = std::make_unique<ProjectStore>(forwardDialogs_, [this](const std::string& name, const std::string& code) {
        return createPage(name, code);
    });
    store_->tree().observer = [this](TreeEvent event, NodeId node) { treeChanged(event, node); };
    store_->onPageSelected = [this](const std::string& pageName) { setTitleProject(q(pageName)); };
    clipboard_ = std::make_unique<QtClipboard>();
    loader_ = std::make_unique<engine::CodeLoader>(*store_, *output_, native_, chakra_);
    bindCommands();
    setMinimumSize(620, 400);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setMaximumSize(screen->geometry().width(), screen->availableGeometry().height());
    resize(1000, 650);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    if (overrideCursor_)
        QApplication::restoreOverrideCursor();
    // The pages go before the widgets that show them.
    loader_.reset();
    store_.reset();
}

void MainWindow::buildControls() {
    setStyleSheet(QStringLiteral(
        "#窗口_启动窗口 { background: #2b2b2b; }"
        "#外形框5 { border: 1px solid #3c78d8; background: #2b2b2b; }"
        "#外形框4 { background: #1f1f1f; }"
        "#标签1 { color: #e0e0e0; font-weight: bold; }"
        "#标签2 { color: #c8c8c8; }"
        "QFrame#外形框_Project, QFrame#外形框1, QFrame#外形框2 { border: 1px solid #444; }"
        "QTreeWidget { background: #1e1e1e; color: #e0e0e0; border: none; }"
        "QTextEdit { background: #1e1e1e; color: #e0e0e0; border: none; }"
        "QLineEdit { background: #1e1e1e; color: #f0f0f0; border: 1px solid #555; padding: 2px; }"
        "QPushButton { background: #3a3a3a; color: #e8e8e8; border: 1px solid #555; padding: 3px 8px; }"
        "QPushButton:hover { background: #4a4a4a; }"
        "QToolButton:hover { background: #444; }"
        "QComboBox { background: #3a3a3a; color: #e8e8e8; }"
        "QComboBox QAbstractItemView { background: #2b2b2b; color: #e8e8e8; selection-background-color: #3c78d8; }"
        "QTabWidget::pane { border: 1px solid #444; }"
        "QTabBar::tab { background: #333; color: #ccc; padding: 3px 12px; }"
        "QTabBar::tab:selected { background: #3c78d8; color: white; }"
        "QSplitter::handle { background: #3a3a3a; }"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = named(new QFrame(this), "外形框5");
    outer->addWidget(frame);
    auto* root = new QVBoxLayout(frame);
    root->setContentsMargins(1, 1, 1, 1);
    root->setSpacing(0);

    // Title bar: icon, title label, menu and the three window buttons.
    titleBar_ = named(new QFrame(frame), "外形框4");
    titleBar_->setFixedHeight(32);
    auto* bar = new QHBoxLayout(titleBar_);
    bar->setContentsMargins(6, 0, 2, 0);
    icon_ = named(new QLabel(titleBar_), "图片框1");
    icon_->setPixmap(QPixmap(QStringLiteral(":/tree/2.png")).scaled(18, 18));
    title_ = named(new QLabel(titleBar_), "标签1");
    menuButton_ = pictureButton(titleBar_, "按钮_设置", QStringLiteral("menu"));
    minimiseButton_ = pictureButton(titleBar_, "按钮_最小化", QStringLiteral("min"));
    maximiseButton_ = pictureButton(titleBar_, "按钮_最大化", QStringLiteral("max"));
    maximiseButton_->setProperty("picture", QStringLiteral("max"));
    closeButton_ = pictureButton(titleBar_, "按钮_关闭", QStringLiteral("close"));
    bar->addWidget(icon_);
    bar->addWidget(title_, 1);
    for (QToolButton* b : {menuButton_, minimiseButton_, maximiseButton_, closeButton_})
        bar->addWidget(b);
    root->addWidget(titleBar_);
    setTitleProject(QString());
    titleBar_->installEventFilter(this);
    title_->installEventFilter(this);
    icon_->installEventFilter(this);

    // Body: tree | (editor / function row / output).
    mainSplitter_ = new QSplitter(Qt::Horizontal, frame);
    mainSplitter_->setHandleWidth(4);
    mainSplitter_->setChildrenCollapsible(false);
    root->addWidget(mainSplitter_, 1);

    auto* projectFrame = named(new QFrame(mainSplitter_), "外形框_Project");
    auto* projectLayout = new QVBoxLayout(projectFrame);
    projectLayout->setContentsMargins(3, 3, 3, 3);
    projectLayout->setSpacing(3);
    auto* heading = named(new QLabel(QStringLiteral("项目结构"), projectFrame), "标签2");
    projectLayout->addWidget(heading);
    auto* treeButtons = new QHBoxLayout;
    treeButtons->setSpacing(1);
    const std::pair<const char*, const char*> treeButtonGlyphs[] = {
        {"按钮_pro_addproject", "P+"}, {"按钮_pro_delproject", "P-"}, {"按钮_pro_addMod", "M+"},
        {"按钮_pro_delMod", "M-"},     {"按钮_pro_moveupMod", "↑"},   {"按钮_pro_movedownMod", "↓"},
    };
    for (const auto& [name, glyph] : treeButtonGlyphs)
        treeButtons->addWidget(pictureButton(projectFrame, name, QString::fromUtf8(glyph)));
    treeButtons->addStretch();
    projectLayout->addLayout(treeButtons);
    tree_ = named(new QTreeWidget(projectFrame), "树型框1");
    tree_->setHeaderHidden(true);
    tree_->setIconSize(QSize(16, 16));
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setAcceptDrops(true);
    tree_->viewport()->setAcceptDrops(true);
    projectLayout->addWidget(tree_, 1);

    rightSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    rightSplitter_->setHandleWidth(4);
    rightSplitter_->setChildrenCollapsible(false);

    editorArea_ = named(new QWidget(rightSplitter_), "互联网浏览器1");
    editorArea_->setMinimumHeight(120);
    editorLayout_ = new QGridLayout(editorArea_);
    editorLayout_->setContentsMargins(0, 0, 0, 0);
    // The pages share one place; the cover hides the pages not shown (they lie below it).
    auto* cover = new QWidget(editorArea_);
    cover->setObjectName(QStringLiteral("编辑区_底"));
    cover->setAutoFillBackground(true);
    cover->setStyleSheet(QStringLiteral("background: #2b2b2b;"));
    editorLayout_->addWidget(cover, 0, 0);

    auto* functionFrame = named(new QFrame(rightSplitter_), "外形框1");
    auto* functionLayout = new QVBoxLayout(functionFrame);
    functionLayout->setContentsMargins(3, 3, 3, 3);
    functionLayout->setSpacing(3);
    auto* row1 = new QHBoxLayout;
    functionBox_ = named(new QLineEdit(functionFrame), "编辑框_函数");
    functionBox_->setFont(outputFont());
    functionBox_->setPlaceholderText(QStringLiteral("函数调用或表达式"));
    row1->addWidget(functionBox_, 1);
    row1->addWidget(pictureButton(functionFrame, "按钮_加载", QStringLiteral("▶")));
    engineSelector_ = named(new QComboBox(functionFrame), "组合框_默认Js引擎");
    engineSelector_->addItems({QStringLiteral("MSScriptControl"), QStringLiteral("ChakraCore")});
    row1->addWidget(engineSelector_);
    row1->addWidget(textButton(functionFrame, "按钮_运行_系统", QStringLiteral("系统对象运行代码")));
    row1->addWidget(textButton(functionFrame, "按钮_运行_浏览器", QStringLiteral("浏览器方式运行代码")));
    functionLayout->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    const std::pair<const char*, const char*> commandButtons[] = {
        {"按钮_E2JS", "易代码"},
        {"按钮_LongStr2E", "复制易代码(全部)"},
        {"按钮_跳转", "跳转(Ctrl+G)"},
        {"按钮_查找_替换", "查找/替换(Ctrl+F/H)"},
        {"按钮_压缩", "压缩代码"},
        {"按钮_格式化代码", "格式化代码(选中可部分格式化)"},
        {"按钮_导出Js", "导出(Ctrl+S)"},
    };
    for (const auto& [name, text] : commandButtons)
        row2->addWidget(textButton(functionFrame, name, QString::fromUtf8(text)));
    row2->addStretch();
    functionLayout->addLayout(row2);
    functionFrame->setMaximumHeight(functionFrame->sizeHint().height() + 40);

    auto* outputFrame = named(new QFrame(rightSplitter_), "外形框2");
    auto* outputLayout = new QVBoxLayout(outputFrame);
    outputLayout->setContentsMargins(2, 2, 4, 5);
    outputTabs_ = named(new QTabWidget(outputFrame), "高级选择夹_输出标签");
    outputBox_ = named(new QTextEdit(outputTabs_), "编辑框_计算");
    consoleBox_ = named(new QTextEdit(outputTabs_), "编辑框_计算1");
    for (QTextEdit* box : {outputBox_, consoleBox_}) {
        box->setReadOnly(true);
        box->setFont(outputFont());
        box->setStyleSheet(QStringLiteral("background: #101010;"));
    }
    outputTabs_->addTab(outputBox_, QStringLiteral("运行"));
    outputTabs_->addTab(consoleBox_, QStringLiteral("输出"));
    outputTabs_->setCornerWidget(pictureButton(outputTabs_, "按钮_清除", QStringLiteral("✖")));
    outputLayout->addWidget(outputTabs_);

    rightSplitter_->setStretchFactor(0, 3);
    rightSplitter_->setStretchFactor(1, 0);
    rightSplitter_->setStretchFactor(2, 1);
    rightSplitter_->setSizes({380, 70, 160});
    mainSplitter_->setStretchFactor(0, 0);
    mainSplitter_->setStretchFactor(1, 1);
    mainSplitter_->setSizes({200, 800});
    named(mainSplitter_->handle(1), "分隔条3");
    named(rightSplitter_->handle(1), "分隔条1");
    named(rightSplitter_->handle(2), "分隔条2");

    connect(minimiseButton_, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(maximiseButton_, &QToolButton::clicked, this, &MainWindow::toggleMaximised);
    connect(closeButton_, &QToolButton::clicked, this, [this] { requestClose(); });
    connect(findChild<QToolButton*>(QStringLiteral("按钮_清除")), &QToolButton::clicked, this,
            &MainWindow::clearOutput);
    connect(findChild<QPushButton*>(QStringLiteral("按钮_跳转")), &QPushButton::clicked, this,
            &MainWindow::goToLineCommand);
    connect(findChild<QPushButton*>(QStringLiteral("按钮_查找_替换")), &QPushButton::clicked, this,
            &MainWindow::openFindReplace);
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = tree_->itemAt(at);
        if (item)
            tree_->setCurrentItem(item);
        if (!tree_->currentItem())
            return;
        if (QMenu* menu = contextMenuForNodeValue(tree_->currentItem()->data(0, Qt::UserRole).toInt()))
            menu->popup(tree_->viewport()->mapToGlobal(at));
    });
}

void MainWindow::buildMenus() {
    mainMenu_ = new QMenu(QStringLiteral("菜单"), this);
    mainMenu_->setObjectName(QStringLiteral("菜单"));
    auto add = [this](QMenu* menu, const char* text, bool checkable = false) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromUtf8(text));
        a->setCheckable(checkable);
        return a;
    };
    QMenu* update = mainMenu_->addMenu(QStringLiteral("更新设置"));
    QAction* autoUpdate = add(update, "自动检查更新", true);
    connect(autoUpdate, &QAction::triggered, this, [this] {
        config::toggleAutoUpdate(menu_, ini_);
        syncMenu();
    });

    QMenu* memory = mainMenu_->addMenu(QStringLiteral("记忆设置"));
    QAction* memoryForm = add(memory, "记忆窗口改变", true);
    QAction* memoryText = add(memory, "记忆代码内容", true);
    QAction* fontSize = add(memory, "设置字体大小");
    connect(memoryForm, &QAction::triggered, this, [this] {
        config::toggleRememberWindow(menu_, ini_);
        syncMenu();
    });
    connect(memoryText, &QAction::triggered, this, [this] {
        config::toggleRememberCode(menu_, ini_);
        syncMenu();
    });
    connect(fontSize, &QAction::triggered, this, &MainWindow::fontSizeCommand);

    QMenu* conversion = mainMenu_->addMenu(QStringLiteral("代码转换"));
    // The three call styles are one radio group sharing one handler.
    callStyles_ = new QActionGroup(this);
    callStyles_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const std::pair<const char*, int> styles[] = {{config::kMenuCallObject, config::kCallStyleObject},
                                                  {config::kMenuCallJScript, config::kCallStyleJScript},
                                                  {config::kMenuCallChakraCore, config::kCallStyleChakraCore}};
    for (const auto& [text, value] : styles) {
        QAction* style = add(conversion, text, true);
        callStyles_->addAction(style);
        connect(style, &QAction::triggered, this, [this, value] { callStyleClicked(value); });
    }
    conversion->addSeparator();
    QAction* rename = add(conversion, "子程序重命名", true);
    connect(rename, &QAction::triggered, this, [this] {
        config::toggleRenameRoutine(menu_, ini_, *output_);
        syncMenu();
    });

    QMenu* other = mainMenu_->addMenu(QStringLiteral("其他"));
    connect(add(other, "咋用"), &QAction::triggered, this, [this] { shell_->open(kUsagePage); });
    connect(add(other, "下载ChakraCore.ec"), &QAction::triggered, this, [this] { shell_->open(kChakraModulePage); });
    connect(add(other, "下载Parcelkit.ec"), &QAction::triggered, this,
            [this] { shell_->open(std::string(kUpdateServer) + "/Quillbox/Parcelkit.ec"); });
    connect(add(other, "关于"), &QAction::triggered, this, &MainWindow::openAbout);

    connect(menuButton_, &QToolButton::clicked, this, [this] {
        // Left edge at the button's horizontal centre, top at its bottom.
        mainMenu_->popup(menuButton_->mapToGlobal(QPoint(menuButton_->width() / 2, menuButton_->height())));
    });

    projectMenu_ = new QMenu(QStringLiteral("模块PRO"), this);
    projectMenu_->setObjectName(QStringLiteral("模块PRO"));
    moduleMenu_ = new QMenu(QStringLiteral("模块NODE"), this);
    moduleMenu_->setObjectName(QStringLiteral("模块NODE"));
    add(moduleMenu_, "删除模块");
    add(moduleMenu_, "复制表达式");
    add(moduleMenu_, "重命名项目");
}

QAction* MainWindow::action(const QString& text) const {
    for (QMenu* menu : {mainMenu_, projectMenu_, moduleMenu_})
        if (auto* found = menu->findChild<QAction*>(text))
            return found;
    for (QAction* a : findChildren<QAction*>())
        if (a->objectName() == text || a->text() == text)
            return a;
    return nullptr;
}

QMenu* MainWindow::contextMenuForNodeValue(int value) const {
    if (value == 1)
        return projectMenu_->actions().isEmpty() ? nullptr : projectMenu_;
    if (value == 2 || value == 3 || value == 7)
        return moduleMenu_;
    return nullptr;
}

void MainWindow::buildShortcuts() {
    auto bind = [this](const QKeySequence& keys, auto slot) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_F), &MainWindow::openFindReplace);
    bind(QKeySequence(Qt::CTRL | Qt::Key_H), &MainWindow::openFindReplace);
    bind(QKeySequence(Qt::CTRL | Qt::Key_G), &MainWindow::goToLineCommand);
}

void MainWindow::setTooltips() {
    const std::pair<const char*, const char*> tips[] = {
        {"按钮_pro_addproject", "增加项目"}, {"按钮_pro_delproject", "删除项目"}, {"按钮_pro_addMod", "增加模块"},
        {"按钮_pro_delMod", "删除模块"},     {"按钮_pro_moveupMod", "模块上移"},  {"按钮_pro_movedownMod", "模块下移"},
        {"按钮_加载", "加载代码"},           {"按钮_最大化", "最大化"},           {"按钮_关闭", "关闭"},
        {"按钮_最小化", "最小化"},           {"按钮_清除", "清空输出栏信息"},
    };
    for (const auto& [name, tip] : tips)
        if (auto* w = findChild<QWidget*>(QString::fromUtf8(name)))
            w->setToolTip(QString::fromUtf8(tip));
    updateMaximiseButton();
}

void MainWindow::initialise() {
    tree_->clear();
    recordStage("Json创建");
    recordStage("拖放设置");
    engineSelector_->setCurrentIndex(0);
    resize(width(), 650);
    recordStage("窗口设置");
    recordStage("气泡设置");
    setTooltips();
    recordStage("热键设置");
    buildShortcuts();
    recordStage("转移事件");
    output_->consoleHeading("console.log调试栏");
    functionBox_->clear();
    recordStage("初始化结束1");
}

void MainWindow::applySettingsAtStart() {
    recordStage("代码框设置");
    config::WindowLimits limits;
    limits.minimum = {minimumWidth(), minimumHeight()};
    limits.maximum = {maximumWidth(), maximumHeight()};
    const config::StartSettings start = config::settingsAtStart(ini_, {width(), height()}, limits);
    resize(start.size.width, start.size.height);
    menu_ = start.menu;
    syncMenu();
    recordStage("初始化结束1", true);
}

void MainWindow::syncMenu() {
    // The check marks show the live settings kept in menu_.
    action(QString::fromUtf8(config::kMenuAutoUpdate))->setChecked(menu_.autoUpdate);
    action(QString::fromUtf8(config::kMenuRememberWindow))->setChecked(menu_.rememberWindow);
    action(QString::fromUtf8(config::kMenuRememberCode))->setChecked(menu_.rememberCode);
    action(QString::fromUtf8(config::kMenuRenameRoutine))->setChecked(menu_.renameRoutine);
    action(QString::fromUtf8(config::kMenuCallObject))->setChecked(menu_.callStyle == config::kCallStyleObject);
    action(QString::fromUtf8(config::kMenuCallJScript))->setChecked(menu_.callStyle == config::kCallStyleJScript);
    action(QString::fromUtf8(config::kMenuCallChakraCore))
        ->setChecked(menu_.callStyle == config::kCallStyleChakraCore);
}

void MainWindow::exitSave() {
    const QSize size = isMaximized() || isMinimized() ? normalGeometry().size() : this->size();
    config::exitSave(ini_, menu_, {size.width(), size.height()});
}

void MainWindow::callStyleClicked(int style) {
    config::chooseCallStyle(menu_, style, ini_, *output_);
    syncMenu();
}

void MainWindow::fontSizeCommand() { config::setFontSize(ini_, *dialogs_); }

bool MainWindow::requestClose() {
    if (!menu_.rememberCode) {
        // Every page that holds code is asked about; one No keeps the window open.
        for (int position = 1; position <= store_->pageCount(); ++position) {
            if (store_->page(position)->getText().empty())
                continue;
            const std::string question = "编辑器[" + std::to_string(position - 1) + "]中还有代码,确定关闭吗？";
            if (dialogs_->messageBox(question, "提示", MessageIcon::Question, MessageButtons::YesNo) !=
                MessageAnswer::Yes)
                return false;
        }
    }
    closing_ = true;
    if (findReplace_)
        findReplace_->hide();
    if (about_)
        about_->close();
    exitSave();
    close();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close from the desktop (Alt+F4, the task bar) goes through the same questions.
    if (!closing_ && !requestClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

std::unique_ptr<Page> MainWindow::createPage(const std::string& name, const std::string& code) {
    auto page = std::make_unique<AcePage>(editorArea_, QUrl(editorPageUrl()), name, code);
    editorLayout_->addWidget(page->view(), 0, 0);
    AcePage* raw = page.get();
    connect(raw, &AcePage::userAgentKnown, this, [this](const QString& agent) {
        // One check per run is enough: every page runs in the same browser engine.
        if (browserChecked_)
            return;
        browserChecked_ = true;
        checkBrowser(agent.toStdString(), *dialogs_, *shell_);
    });
    return page;
}

Page* MainWindow::currentPage() const { return store_ ? store_->currentPage() : nullptr; }

QString MainWindow::editorPageUrl() const { return QUrl::fromLocalFile(q(editorPagePath())).toString(); }

void MainWindow::setTitleProject(const QString& pageName) {
    title_->setText(QStringLiteral("Quillbox %1 By : Zorvan (当前项目:%2)").arg(QString::fromUtf8(kVersion), pageName));
    setWindowTitle(title_->text());
}

void MainWindow::openFindReplace() { findReplace_->open(); }

void MainWindow::goToLineCommand() {
    editor::goToLine(currentPage(), *dialogs_);
}

void MainWindow::clearOutput() { output_->clear(); }

void MainWindow::openAbout() {
    if (!about_)
        about_ = new AboutWindow(this, *shell_);
    about_->show();
    about_->raise();
}

void MainWindow::toggleMaximised() {
    if (isMaximized())
        showNormal();
    else
        showMaximized();
    // A window too short for the output area gets its splitters moved up.
    const QList<int> sizes = rightSplitter_->sizes();
    if (sizes.size() == 3 && height() < sizes[0] + sizes[1] + titleBar_->height()) {
        const int editor = std::max(120, height() - 300 - titleBar_->height());
        rightSplitter_->setSizes({editor, sizes[1], std::max(100, height() - editor - sizes[1])});
    }
    updateMaximiseButton();
}

void MainWindow::updateMaximiseButton() {
    const bool maximised = isMaximized();
    const QString picture = maximised ? QStringLiteral("restore") : QStringLiteral("max");
    if (maximiseButton_->property("picture").toString() != picture) {
        maximiseButton_->setIcon(buttonIcon(picture));
        maximiseButton_->setProperty("picture", picture);
    }
    maximiseButton_->setToolTip(maximised ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window may hang off the screen's top or left by at most 600 pixels and never
    // start beyond its right or bottom edge, so its title bar stays within reach.
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen || isMaximized() || isFullScreen())
        return;
    const QRect area = screen->geometry();
    const QPoint at = pos();
    const QPoint kept(std::clamp(at.x(), area.left() - 600, area.right()),
                      std::clamp(at.y(), area.top() - 600, area.bottom()));
    if (kept != at)
        move(kept);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        updateMaximiseButton();
    QWidget::changeEvent(event);
}

Qt::Edges MainWindow::edgesAt(const QPoint& globalPos) const {
    if (isMaximized() || isFullScreen())
        return {};
    const QRect r = frameGeometry();
    if (!r.contains(globalPos))
        return {};
    Qt::Edges edges;
    if (globalPos.x() < r.left() + kBorder)
        edges |= Qt::LeftEdge;
    if (globalPos.x() > r.right() - kBorder)
        edges |= Qt::RightEdge;
    if (globalPos.y() < r.top() + kBorder)
        edges |= Qt::TopEdge;
    if (globalPos.y() > r.bottom() - kBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (tree_ && (watched == tree_->viewport() || watched == tree_) &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
        // Files dropped on the tree are imported, one after the other.
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        drop->acceptProposedAction();
        if (type == QEvent::Drop) {
            const QList<QUrl> urls = drop->mimeData()->urls();
            for (const QUrl& url : urls)
                if (url.isLocalFile())
                    store_->importFile(url.toLocalFile().toStdString());
        }
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    const Qt::Edges edges = edgesAt(global);

    if (type == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            shape = Qt::SizeFDiagCursor;
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            shape = Qt::SizeBDiagCursor;
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            shape = Qt::SizeHorCursor;
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            shape = Qt::SizeVerCursor;
        if (edges && !overrideCursor_) {
            QApplication::setOverrideCursor(shape);
            overrideCursor_ = true;
        } else if (edges && overrideCursor_) {
            QApplication::changeOverrideCursor(shape);
        } else if (!edges && overrideCursor_) {
            QApplication::restoreOverrideCursor();
            overrideCursor_ = false;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (mouse->button() != Qt::LeftButton)
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::MouseButtonPress && edges && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        return true;
    }
    const bool onTitle = watched == titleBar_ || watched == title_ || watched == icon_;
    if (onTitle && type == QEvent::MouseButtonDblClick) {
        toggleMaximised();
        return true;
    }
    if (onTitle && type == QEvent::MouseButtonPress && windowHandle()) {
        windowHandle()->startSystemMove();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quillbox::app

namespace quillbox::app {

void MainWindow::bindCommands() {
    auto onClick = [this](const char* name, auto slot) {
        if (auto* button = findChild<QAbstractButton*>(QString::fromUtf8(name)))
            connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick("按钮_pro_addproject", [this] { store_->addProject(); });
    onClick("按钮_pro_delproject", [this] { store_->deleteProject(); });
    onClick("按钮_pro_addMod", [this] { store_->addModule(); });
    onClick("按钮_pro_delMod", [this] { store_->deleteModule(); });
    onClick("按钮_pro_moveupMod", [this] { store_->moveModuleUp(); });
    onClick("按钮_pro_movedownMod", [this] { store_->moveModuleDown(); });
    onClick("按钮_导出Js", [this] { exportCommand(); });
    onClick("按钮_加载", [this] { loadCommand(); });
    onClick("按钮_运行_系统", [this] { evaluateCommand(); });
    onClick("按钮_E2JS", [this] { callWrapperCommand(); });
    onClick("按钮_LongStr2E", [this] { constantCommand(); });
    onClick("按钮_压缩", [this] { transformCommand(transform::Mode::Compress); });
    onClick("按钮_格式化代码", [this] { transformCommand(transform::Mode::Format); });
    onClick("按钮_运行_浏览器", [this] {
        engine::runInBrowser(*store_, functionBox_->text().toStdString(), *shell_);
    });
    connect(action(QStringLiteral("复制表达式")), &QAction::triggered, this, &MainWindow::copyExpressionCommand);
    connect(functionBox_, &QLineEdit::returnPressed, this, &MainWindow::evaluateCommand);
    connect(action(QStringLiteral("删除模块")), &QAction::triggered, this, [this] { store_->deleteModule(); });
    connect(action(QStringLiteral("重命名项目")), &QAction::triggered, this, [this] { store_->renameModule(); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { treeSelectionChanged(); });
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, [this] { exportCommand(); });
}

void MainWindow::exportCommand() { store_->exportCurrentProject(); }

void MainWindow::loadCommand() {
    const int engine = engineSelector_->currentIndex();
    std::optional<StopWatch> watch;
    if (engine != engine::kNativeEngine)
        watch.emplace([this] { chakra_.stop(); });
    loader_->load(engine);
    tree_->viewport()->update();
}

void MainWindow::evaluateCommand() {
    const std::string expression = functionBox_->text().toStdString();
    if (expression.empty())
        return;
    const int engine = engineSelector_->currentIndex();
    std::optional<StopWatch> watch;
    if (engine != engine::kNativeEngine)
        watch.emplace([this] { chakra_.stop(); });
    loader_->evaluate(expression, engine);
}

void MainWindow::callWrapperCommand() {
    ecode::CallWrapperSettings settings;
    settings.style = static_cast<ecode::CallStyle>(menu_.callStyle == config::kCallStyleNone ? config::kCallStyleObject
                                                                                             : menu_.callStyle);
    settings.rename = menu_.renameRoutine;
    ecode::generateCallWrapper(*store_, functionBox_->text().toStdString(), settings, *dialogs_, *clipboard_,
                               *output_);
}

void MainWindow::transformCommand(transform::Mode mode) {
    if (Page* page = currentPage())
        transform::transformPage(*page, mode, *output_);
}

void MainWindow::copyExpressionCommand() {
    const ProjectTree& tree = store_->tree();
    const NodeId node = tree.selected();
    QString expression;
    if (tree.value(node) == node_value::kFunction)
        expression = q(tree.text(node)) + QStringLiteral("()");
    else if (tree.value(node) == node_value::kMember)
        expression = q(tree.text(tree.parent(node))) + QLatin1Char('.') + q(tree.text(node));
    if (expression.isEmpty())
        return;
    functionBox_->setText(expression);
    functionBox_->setFocus();
}

void MainWindow::constantCommand() {
    ecode::convertCurrentProject(*store_, *clipboard_, *output_, ecode::localTimeNow());
}

QTreeWidgetItem* MainWindow::itemOf(NodeId node) const {
    auto it = items_.find(node);
    return it == items_.end() ? nullptr : it->second;
}

void MainWindow::treeChanged(TreeEvent event, NodeId node) {
    // The tree widget mirrors the store's tree; its own signals must not echo back.
    const bool wasSyncing = syncingTree_;
    syncingTree_ = true;
    const ProjectTree& tree = store_->tree();
    auto drawNode = [&](QTreeWidgetItem* item, NodeId id) {
        const TreeNode* n = tree.node(id);
        if (!n)
            return;
        item->setText(0, q(n->text));
        item->setIcon(0, QIcon(QStringLiteral(":/tree/%1.png").arg(n->image)));
        item->setData(0, Qt::UserRole, n->value);
        item->setData(0, Qt::UserRole + 1, id);
    };
    switch (event) {
    case TreeEvent::Added: {
        auto* item = new QTreeWidgetItem;
        drawNode(item, node);
        items_[node] = item;
        if (QTreeWidgetItem* parent = itemOf(tree.parent(node))) {
            parent->addChild(item);
            parent->setExpanded(true);
        } else {
            tree_->addTopLevelItem(item);
        }
        item->setExpanded(true);
        break;
    }
    case TreeEvent::Removed: {
        QTreeWidgetItem* item = itemOf(node);
        if (!item)
            break;
        // Forget the item and everything under it before Qt deletes them.
        std::vector<QTreeWidgetItem*> stack{item};
        while (!stack.empty()) {
            QTreeWidgetItem* top = stack.back();
            stack.pop_back();
            items_.erase(top->data(0, Qt::UserRole + 1).toInt());
            for (int i = 0; i < top->childCount(); ++i)
                stack.push_back(top->child(i));
        }
        delete item;
        break;
    }
    case TreeEvent::Changed:
        if (QTreeWidgetItem* item = itemOf(node))
            drawNode(item, node);
        break;
    case TreeEvent::Moved: {
        QTreeWidgetItem* item = itemOf(node);
        if (!item)
            break;
        const bool expanded = item->isExpanded();
        const int index = tree.indexInParent(node);
        if (QTreeWidgetItem* parent = item->parent()) {
            parent->takeChild(parent->indexOfChild(item));
            parent->insertChild(index, item);
        } else {
            tree_->takeTopLevelItem(tree_->indexOfTopLevelItem(item));
            tree_->insertTopLevelItem(index, item);
        }
        item->setExpanded(expanded);
        if (tree.selected() == node)
            tree_->setCurrentItem(item);
        break;
    }
    case TreeEvent::Selected:
        tree_->setCurrentItem(itemOf(node));
        markSelectedModule(node);
        break;
    }
    syncingTree_ = wasSyncing;
}

void MainWindow::markSelectedModule(NodeId node) {
    // The module being edited stays marked in bold while other items are clicked.
    if (store_->tree().value(node) != node_value::kModule)
        return;
    if (QTreeWidgetItem* previous = itemOf(markedModule_)) {
        QFont font = previous->font(0);
        font.setBold(false);
        previous->setFont(0, font);
    }
    markedModule_ = node;
    if (QTreeWidgetItem* item = itemOf(node)) {
        QFont font = item->font(0);
        font.setBold(true);
        item->setFont(0, font);
    }
}

void MainWindow::treeSelectionChanged() {
    if (syncingTree_)
        return;
    QTreeWidgetItem* item = tree_->currentItem();
    const NodeId node = item ? item->data(0, Qt::UserRole + 1).toInt() : kNoNode;
    syncingTree_ = true;
    store_->selectNode(node);
    syncingTree_ = false;
    // A listed member shows its value; other items are left to the store.
    if (store_->tree().value(node) == node_value::kMember)
        transform::showMemberValue(store_->tree(), engineSelector_->currentIndex(), native_, chakra_, *output_);
}

}  // namespace quillbox::app
