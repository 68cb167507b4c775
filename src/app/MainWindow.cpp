#include "app/MainWindow.h"

#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/AboutWindow.h"
#include "app/BrowserControls.h"
#include "app/WatchLogView.h"
#include "app/CommandBindings.h"
#include "app/ConsoleInput.h"
#include "app/Controls.h"
#include "app/EditorView.h"
#include "core/document/Document.h"
#include "app/EngineCommands.h"
#include "app/Navigation.h"
#include "app/ResultTreeView.h"
#include "app/FindReplaceWindow.h"
#include "app/FlowLayout.h"
#include "app/OnlineCommands.h"
#include "app/ProjectTreeView.h"
#include "app/QtPorts.h"
#include "app/WindowFrame.h"
#include "core/editor/FindReplace.h"
#include "core/project/ProjectSource.h"
#include "core/session/SessionFile.h"

// Resources of a static library are registered by hand (outside any namespace).
static void initialiseResources() { Q_INIT_RESOURCE(resources); }

namespace quillbox::app {

namespace {

// A frame as tall as its contents need at its width (its rows wrap); the splitter it lies
// in does not ask for that by itself.
class FittingFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QFrame::resizeEvent(event);
        if (!layout())
            return;
        const int height = layout()->heightForWidth(width());
        if (height > 0 && height != minimumHeight())
            setFixedHeight(height);
    }
};

}  // namespace

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
    output_ = std::make_unique<QtOutput>(outputTabs_, outputBox_, consoleBox_);
    findReplace_ = new FindReplaceWindow(this, [this] { return currentPage(); });
    store_ = std::make_unique<ProjectStore>(forwardDialogs_, [this](const std::string& name, const std::string& code) {
        return createPage(name, code);
    });
    treeView_ = std::make_unique<ProjectTreeView>(tree_, *store_);
    // The title and the tree follow the page shown, whoever shows it.
    store_->onPagesChanged = [this] { followShownPage(); };
    store_->onPageShown = [this](int) { followShownPage(); };
    clipboard_ = std::make_unique<QtClipboard>();
    engines_ = std::make_unique<EngineCommands>(*this);
    console_ = new ConsoleInput(*this, *engines_, session::historyPathBeside(session::defaultSessionPath()));
    commands_ = new CommandBindings(*this, *engines_);
    browser_ = new BrowserControls(browserBox_, outputTabs_, accessTable_, *store_, engines_->loader(), *clipboard_);
    watchLog_ = new WatchLogView(outputTabs_, watchTable_, engines_->loader(), *clipboard_,
                                 [this](const ErrorSpot& spot) { openSpot(spot); });
    navigation_ = new Navigation(*this);
    resultView_ = new ResultTreeView(*this, resultTree_);
    output_->onObjectResult = [this](const std::string& expression, const ObjectNode& root) {
        resultView_->show(expression, root);
    };
    // An error's place in the output opens its module there.
    output_->onSpotClicked = [this](const ErrorSpot& spot) { openSpot(spot); };
    output_->onFormatAndLocate = [this](const ErrorSpot& spot) { engines_->formatAndLocate(spot); };
    for (QTextEdit* box : {outputBox_, consoleBox_})
        connect(static_cast<QTextBrowser*>(box), &QTextBrowser::anchorClicked, this,
                [this](const QUrl& url) { output_->openSpot(url.toString()); });
    // The status line follows the engines and the edits.
    auto* statusTimer = new QTimer(this);
    statusTimer->setInterval(500);
    connect(statusTimer, &QTimer::timeout, this, [this] { showEngineStatus(); });
    statusTimer->start();
    ownShell_->openFailedLater = [this](const std::string& target) { engines_->openFailed(target); };
    online_ = new OnlineCommands(*this);
    online_->installMenus();
    treeView_->menuFor = [this](int value) { return contextMenuForNodeValue(value); };
    treeView_->onMemberPicked = [this] { engines_->showMemberValue(); };
    treeView_->onFileDropped = [this](const std::string& path) { openFile(path); };
    frame_ = new WindowFrame(this, {titleBar_, title_, icon_}, maximiseButton_);
    frame_->onToggled = [this] { fitSplittersToHeight(); };
    setMinimumSize(620, 400);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setMaximumSize(screen->geometry().width(), screen->availableGeometry().height());
    resize(1000, 650);
}

MainWindow::~MainWindow() {
    delete navigation_;
    navigation_ = nullptr;
    // The pages go before the widgets that show them, and the tree's view after the tree.
    engines_.reset();
    store_.reset();
    treeView_.reset();
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
    buildTitleBar(frame);
    root->addWidget(titleBar_);

    // Body: tree | (editor / function row / output).
    mainSplitter_ = new QSplitter(Qt::Horizontal, frame);
    mainSplitter_->setHandleWidth(4);
    mainSplitter_->setChildrenCollapsible(false);
    root->addWidget(mainSplitter_, 1);
    buildProjectPane(mainSplitter_);

    rightSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
    rightSplitter_->setHandleWidth(4);
    rightSplitter_->setChildrenCollapsible(false);

    editorArea_ = named(new QWidget(rightSplitter_), "互联网浏览器1");
    editorArea_->setMinimumHeight(120);
    editorLayout_ = new QGridLayout(editorArea_);
    editorLayout_->setContentsMargins(0, 0, 0, 0);
    // Editor pages draw through OpenGL, and the first such child of a window that already
    // exists makes Qt create the window anew (a new native window that the desktop places
    // again). A hidden GL child from the start has the window made ready for them at once.
    // (Platforms without GL composition, such as offscreen, never re-create it.)
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
        auto* glReady = new QOpenGLWidget(editorArea_);
        glReady->setObjectName(QStringLiteral("编辑区_GL"));
        glReady->setFixedSize(1, 1);
        glReady->hide();
    }
    // One editor for every module: each module's document is shown in it in turn.
    editorView_ = new EditorView(editorArea_, QUrl(editorPageUrl()));
    editorLayout_->addWidget(editorView_, 0, 0);
    connect(editorView_, &EditorView::userAgentKnown, this, [this](const QString& agent) {
        // One check per run is enough: the page runs in the one browser engine.
        if (browserChecked_)
            return;
        browserChecked_ = true;
        checkBrowser(agent.toStdString(), *dialogs_, *shell_);
    });

    buildFunctionPane(rightSplitter_);
    buildOutputPane(rightSplitter_);

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
}

void MainWindow::buildTitleBar(QWidget* frame) {
    // Icon, title label, menu and the three window buttons.
    titleBar_ = named(new QFrame(frame), "外形框4");
    titleBar_->setFixedHeight(32);
    auto* bar = new QHBoxLayout(titleBar_);
    bar->setContentsMargins(6, 0, 2, 0);
    icon_ = named(new QLabel(titleBar_), "图片框1");
    icon_->setPixmap(QPixmap(QStringLiteral(":/tree/2.png")).scaled(18, 18));
    title_ = named(new QLabel(titleBar_), "标签1");
    auto* menuButton = pictureButton(titleBar_, "按钮_设置", QStringLiteral("menu"));
    auto* minimiseButton = pictureButton(titleBar_, "按钮_最小化", QStringLiteral("min"));
    maximiseButton_ = pictureButton(titleBar_, "按钮_最大化", QStringLiteral("max"));
    maximiseButton_->setProperty("picture", QStringLiteral("max"));
    auto* closeButton = pictureButton(titleBar_, "按钮_关闭", QStringLiteral("close"));
    bar->addWidget(icon_);
    bar->addWidget(title_, 1);
    for (QToolButton* b : {menuButton, minimiseButton, maximiseButton_, closeButton})
        bar->addWidget(b);
    setTitleProject(QString());
    connect(minimiseButton, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(maximiseButton_, &QToolButton::clicked, this, &MainWindow::toggleMaximised);
    connect(closeButton, &QToolButton::clicked, this, [this] { requestClose(); });
}

QWidget* MainWindow::buildProjectPane(QWidget* parent) {
    auto* projectFrame = named(new QFrame(parent), "外形框_Project");
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
    // Several modules can be selected (Ctrl or Shift with a click) and deleted together.
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    projectLayout->addWidget(tree_, 1);
    return projectFrame;
}

QWidget* MainWindow::buildFunctionPane(QWidget* parent) {
    auto* functionFrame = named(new FittingFrame(parent), "外形框1");
    auto* functionLayout = new QVBoxLayout(functionFrame);
    functionLayout->setContentsMargins(3, 3, 3, 3);
    functionLayout->setSpacing(3);
    auto* row1 = new QHBoxLayout;
    functionBox_ = named(new QLineEdit(functionFrame), "编辑框_函数");
    functionBox_->setFont(outputFont());
    functionBox_->setPlaceholderText(QStringLiteral("函数调用或表达式  (Enter 执行 · Ctrl+Enter/F5 加载后执行 · ↑↓ 历史 · Ctrl+L 清空)"));
    functionBox_->setMinimumWidth(160);
    row1->addWidget(functionBox_, 1);
    row1->addWidget(pictureButton(functionFrame, "按钮_加载", QStringLiteral("▶")));
    auto* both = pictureButton(functionFrame, "按钮_双引擎对比", QStringLiteral("⇄"));
    both->setToolTip(QStringLiteral("两个引擎对比执行 (Ctrl+Shift+Enter)"));
    row1->addWidget(both);
    runState_ = named(new QLabel(functionFrame), "标签_运行状态");
    runState_->hide();
    row1->addWidget(runState_);
    auto* stop = named(new QToolButton(functionFrame), "按钮_停止");
    stop->setText(QStringLiteral("停止"));
    stop->setToolButtonStyle(Qt::ToolButtonTextOnly);
    stop->setToolTip(QStringLiteral("停止执行"));
    stopButton_ = stop;
    stopButton_->hide();
    row1->addWidget(stopButton_);
    engineSelector_ = named(new QComboBox(functionFrame), "组合框_默认Js引擎");
    engineSelector_->addItems({QStringLiteral("MSScriptControl"), QStringLiteral("ChakraCore")});
    row1->addWidget(engineSelector_);
    browserBox_ = named(new QCheckBox(QStringLiteral("浏览器环境"), functionFrame), "选择框_浏览器环境");
    row1->addWidget(browserBox_);
    functionLayout->addLayout(row1);
    // The command buttons wrap onto as many rows as the width needs.
    auto* buttons = new FlowLayout;
    const std::pair<const char*, const char*> commandButtons[] = {
        {"按钮_运行_系统", "系统对象运行代码"},
        {"按钮_运行_浏览器", "浏览器方式运行代码"},
        {"按钮_E2JS", "易代码"},
        {"按钮_LongStr2E", "复制易代码(全部)"},
        {"按钮_跳转", "跳转(Ctrl+G)"},
        {"按钮_查找_替换", "查找/替换(Ctrl+F/H)"},
        {"按钮_压缩", "压缩代码"},
        {"按钮_格式化代码", "格式化代码(选中可部分格式化)"},
        {"按钮_导出Js", "导出(Ctrl+S)"},
    };
    for (const auto& [name, text] : commandButtons)
        buttons->addWidget(textButton(functionFrame, name, QString::fromUtf8(text)));
    functionLayout->addLayout(buttons);
    return functionFrame;
}

QWidget* MainWindow::buildOutputPane(QWidget* parent) {
    auto* outputFrame = named(new QFrame(parent), "外形框2");
    auto* outputLayout = new QVBoxLayout(outputFrame);
    outputLayout->setContentsMargins(2, 2, 4, 5);
    outputTabs_ = named(new QTabWidget(outputFrame), "高级选择夹_输出标签");
    // Browsers, for the links of errors' places; they open nothing themselves.
    auto* outputBrowser = named(new QTextBrowser(outputTabs_), "编辑框_计算");
    auto* consoleBrowser = named(new QTextBrowser(outputTabs_), "编辑框_计算1");
    for (QTextBrowser* browser : {outputBrowser, consoleBrowser})
        browser->setOpenLinks(false);
    outputBox_ = outputBrowser;
    consoleBox_ = consoleBrowser;
    for (QTextEdit* box : {outputBox_, consoleBox_}) {
        box->setReadOnly(true);
        box->setFont(outputFont());
        box->setStyleSheet(QStringLiteral("background: #101010;"));
    }
    outputTabs_->addTab(outputBox_, QStringLiteral("运行"));
    outputTabs_->addTab(consoleBox_, QStringLiteral("输出"));
    accessTable_ = named(new QTableWidget(outputTabs_), "表格_访问记录");
    outputTabs_->addTab(accessTable_, QStringLiteral("访问记录"));
    watchTable_ = named(new QTableWidget(outputTabs_), "表格_监视记录");
    outputTabs_->addTab(watchTable_, QStringLiteral("监视记录"));
    // The last result that has members, opened level by level.
    resultTree_ = named(new QTreeWidget(outputTabs_), "树型框_结果");
    resultTree_->setStyleSheet(QStringLiteral("background: #101010;"));
    outputTabs_->addTab(resultTree_, QStringLiteral("对象"));
    outputTabs_->setCornerWidget(pictureButton(outputTabs_, "按钮_清除", QStringLiteral("✖")));
    outputLayout->addWidget(outputTabs_);
    // Which engine holds which project, and whether that is what the editor shows.
    engineStatus_ = named(new QLabel(outputFrame), "标签_引擎状态");
    engineStatus_->setStyleSheet(QStringLiteral("color: #9a9a9a;"));
    outputLayout->addWidget(engineStatus_);
    return outputFrame;
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
    // The keys beside the buttons that do the same.
    const std::pair<const char*, const char*> keyTips[] = {
        {"按钮_加载", "加载代码 (F5; Ctrl+Enter 加载后执行)"},
        {"按钮_运行_系统", "执行函数框中的表达式 (Enter; 代码改动后先重新加载)"},
    };
    for (const auto& [name, tip] : keyTips)
        if (auto* w = findChild<QWidget*>(QString::fromUtf8(name)))
            w->setToolTip(QString::fromUtf8(tip));
    frame_->updateMaximiseButton();
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
    commands_->bindHotKeys();
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
    commands_->syncMenu();
    recordStage("初始化结束1", true);
}

void MainWindow::exitSave() {
    const QSize size = isMaximized() || isMinimized() ? normalGeometry().size() : this->size();
    config::exitSave(ini_, menu_, {size.width(), size.height()});
}

void MainWindow::showEngineStatus() {
    if (engines_)
        engineStatus_->setText(engines_->engineStatus());
}

void MainWindow::openSpot(const ErrorSpot& spot) {
    ProjectStore& store = *store_;
    for (int position = 1; position <= store.pageCount(); ++position) {
        Page* page = store.page(position);
        if (page->name() != spot.page)
            continue;
        store.showPage(position);
        page->gotoLine(spot.line);
        // The character at the column selected: the start is counted from 1, the end is the
        // editor's own column, past the character.
        page->select(spot.line, spot.column + 1, spot.line, spot.column + 1);
        if (editorView_)
            editorView_->setFocus();
        return;
    }
    output_->noteLine("模块已不在：" + spot.page);
}

void MainWindow::fontSizeCommand() {
    const std::string before = config::read(ini_, config::keys::codeFontSize);
    config::setFontSize(ini_, *dialogs_);
    const std::string after = config::read(ini_, config::keys::codeFontSize);
    // The size is the editor's at once, not only after a restart.
    if (after != before)
        if (const int size = std::atoi(after.c_str()); size >= 14 && size <= 24 && editorView_)
            editorView_->setFontSize(size);
}

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
    if (onClosing)
        onClosing();
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
    auto doc = std::make_unique<document::Document>(name, code);
    QPointer<EditorView> view(editorView_);
    doc->setListener([this, view](document::Document& changed, document::Document::Change change) {
        if (view)
            view->documentChanged(changed, change);
        // The title names the module shown, and follows a rename.
        if (change == document::Document::Change::Display && changed.visible())
            followShownPage();
    });
    return doc;
}

Page* MainWindow::currentPage() const { return store_ ? store_->currentPage() : nullptr; }

QString MainWindow::editorPageUrl() const { return QUrl::fromLocalFile(q(editorPagePath())).toString(); }

void MainWindow::setTitleProject(const QString& pageName) {
    title_->setText(QStringLiteral("Quillbox %1 By : Zorvan (当前项目:%2)").arg(QString::fromUtf8(kVersion), pageName));
    setWindowTitle(title_->text());
}

void MainWindow::followShownPage() {
    if (!store_)
        return;
    const int position = store_->currentPagePosition();
    const Page* shown = store_->page(position);
    setTitleProject(shown ? q(shown->name()) : QString());
    if (browser_)
        browser_->refresh();
    if (shown == shownPage_)
        return;
    shownPage_ = shown;
    if (!shown)
        return;
    // A page shown by a load error, a find or a new module takes the tree's selection to
    // its module, unless the selection already lies within that module.
    ProjectTree& tree = store_->tree();
    const NodeId project = tree.findTopLevel(store_->projectOfPage(position));
    const std::string moduleText = store_->moduleOfPage(position) + ".js";
    NodeId module = kNoNode;
    for (NodeId child : tree.children(project))
        if (tree.text(child) == moduleText) {
            module = child;
            break;
        }
    if (module == kNoNode)
        return;
    for (NodeId node = tree.selected(); node != kNoNode; node = tree.parent(node))
        if (node == module)
            return;
    tree.select(module);
}

bool MainWindow::openFile(const std::string& path) {
    const std::string project = openUserFile(*store_, *dialogs_, path);
    if (project.empty())
        return false;
    showFirstModule(project);
    return true;
}

void MainWindow::showFirstModule(const std::string& project) {
    // An opened project is ready to load: its first module's page is shown.
    ProjectTree& tree = store_->tree();
    const NodeId projectNode = tree.findTopLevel(project);
    for (NodeId child : tree.children(projectNode))
        if (tree.value(child) == node_value::kModule) {
            store_->selectNode(child);
            return;
        }
    store_->selectNode(projectNode);
}

void MainWindow::deleteSelectedModules() {
    std::vector<NodeId> modules;
    const ProjectTree& tree = store_->tree();
    for (NodeId project : tree.topLevel())
        for (NodeId child : tree.children(project))
            if (tree.value(child) == node_value::kModule)
                if (QTreeWidgetItem* item = itemOf(child); item && item->isSelected())
                    modules.push_back(child);
    if (modules.size() > 1)
        store_->deleteModules(modules);
    else
        store_->deleteModule();
}

void MainWindow::openFindReplace() {
    findReplace_->open(QRect(editorArea_->mapToGlobal(QPoint(0, 0)), editorArea_->size()));
}

void MainWindow::goToLineCommand() {
    editor::goToLine(currentPage(), *dialogs_);
}

void MainWindow::openAbout() {
    if (!about_)
        about_ = new AboutWindow(this, *shell_);
    about_->show();
    about_->raise();
}

void MainWindow::toggleMaximised() { frame_->toggleMaximised(); }

void MainWindow::fitSplittersToHeight() {
    // A window too short for the output area gets its splitters moved up.
    const QList<int> sizes = rightSplitter_->sizes();
    if (sizes.size() == 3 && height() < sizes[0] + sizes[1] + titleBar_->height()) {
        const int editor = std::max(120, height() - 300 - titleBar_->height());
        rightSplitter_->setSizes({editor, sizes[1], std::max(100, height() - editor - sizes[1])});
    }
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (frame_)
        frame_->keepOnScreen();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && frame_)
        frame_->updateMaximiseButton();
    QWidget::changeEvent(event);
}

engine::CodeLoader& MainWindow::loader() { return engines_->loader(); }

void MainWindow::onTools(std::function<void()> task) { engines_->onTools(std::move(task)); }
bool MainWindow::runTool(const QString& what, std::function<void()> stop, std::function<void()> task,
                         std::function<void()> done) {
    return engines_->runTool(what, std::move(stop), std::move(task), std::move(done));
}

QTreeWidgetItem* MainWindow::itemOf(NodeId node) const { return treeView_->itemOf(node); }

QMenu* MainWindow::mainMenu() const { return commands_->mainMenu(); }
QMenu* MainWindow::projectMenu() const { return commands_->projectMenu(); }
QMenu* MainWindow::moduleMenu() const { return commands_->moduleMenu(); }
QMenu* MainWindow::contextMenuForNodeValue(int value) const { return commands_->contextMenuForNodeValue(value); }
QAction* MainWindow::action(const QString& text) const { return commands_->action(text); }

}  // namespace quillbox::app
