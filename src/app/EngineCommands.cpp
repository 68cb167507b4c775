#include "app/EngineCommands.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/ProjectTreeView.h"
#include "app/QtPorts.h"
#include "app/StopWatch.h"
#include "core/config/Settings.h"
#include "core/engine/TestPage.h"
#include "core/platform/Shell.h"
#include "core/transform/Transform.h"

namespace quillbox::app {

EngineCommands::EngineCommands(MainWindow& window)
    : window_(window),
      loader_(window.store(), window.output(), native_, chakra_),
      thread_(std::make_unique<engine::EngineThread>()) {
    const std::size_t memoryLimit = config::engineMemoryLimit(window.ini());
    native_.ControlObject()->setMemoryLimit(memoryLimit);
    chakra_.setMemoryLimit(memoryLimit);
    std::string notDeterministic;
    loader_.setDeterminism(config::determinism(window.ini(), &notDeterministic));
    if (!notDeterministic.empty())
        window.output().messageLine(notDeterministic);
    // What the engine's side hands back runs here, in order, while this object lives.
    loader_.setThreads([this](std::function<void()> task) { thread_->post(std::move(task)); },
                       [this](std::function<void()> task) {
                           QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
                       });
    loader_.onProgress = [this](std::size_t done, std::size_t total) {
        what_ = QStringLiteral("加载中 %1/%2").arg(done).arg(total);
        showRunState();
    };
    tick_.setInterval(100);
    connect(&tick_, &QTimer::timeout, this, [this] { showRunState(); });
    connect(window_.stopButton(), &QAbstractButton::clicked, this, [this] { stop(); });
}

EngineCommands::~EngineCommands() {
    // The script that runs is stopped, the engines are emptied where they live, and the
    // thread ends; what it would still hand back is dropped with this object.
    stop();
    thread_->post([this] {
        native_.Reset();
        chakra_.Reset();
    });
    thread_.reset();
    watch_.reset();
}

void EngineCommands::stop() {
    if (!running_)
        return;
    stopFor(runningEngine_)();
}

void EngineCommands::started(engine::EngineKind engine, const QString& what) {
    running_ = true;
    runningEngine_ = engine;
    what_ = what;
    elapsed_.start();
    tick_.start();
    showRunning(true);
    showRunState();
    // The dialog of old stays for whoever looks for it; closing it in any way stops too.
    watch_ = std::make_unique<StopWatch>(stopFor(engine));
}

void EngineCommands::finished() {
    // The output box that shows is drawn anew: switched away and back.
    const int tab = window_.output().currentTab();
    window_.output().chooseTab(tab == 0 ? 1 : 0);
    window_.output().chooseTab(tab);
    running_ = false;
    tick_.stop();
    watch_.reset();
    showRunning(false);
}

// While a script runs, the commands that need the engine wait, and the stop shows.
void EngineCommands::showRunning(bool running) {
    for (const char* name : {"按钮_加载", "按钮_运行_系统"})
        if (auto* button = window_.findChild<QAbstractButton*>(QString::fromUtf8(name)))
            button->setEnabled(!running);
    window_.stopButton()->setVisible(running);
    window_.runState()->setVisible(running);
}

void EngineCommands::showRunState() {
    if (!running_)
        return;
    window_.runState()->setText(
        QStringLiteral("%1 %2 s").arg(what_).arg(static_cast<double>(elapsed_.elapsed()) / 1000.0, 0, 'f', 1));
}

engine::EngineKind EngineCommands::chosenEngine() const {
    return engine::engineOfSelector(window_.engineSelector()->currentIndex());
}

// What the stop dialog's button does for the engine about to run: both engines take a stop
// from another thread.
std::function<void()> EngineCommands::stopFor(engine::EngineKind engine) {
    if (engine == engine::kNativeEngine) {
        engine::ScriptControl* control = native_.ControlObject().get();
        return [control] { control->stop(); };
    }
    return [this] { chakra_.stop(); };
}

void EngineCommands::load() {
    if (running_)
        return;
    const engine::EngineKind engine = chosenEngine();
    started(engine, QStringLiteral("加载中"));
    const bool begun = loader_.load(engine, [this](bool) {
        finished();
        showCurrentListing();
        window_.tree()->viewport()->update();
    });
    if (!begun)
        finished();
}

// The listing of the module in the editor is opened; the others open when the user asks,
// so a load of hundreds of modules makes no items nobody looks at.
void EngineCommands::showCurrentListing() {
    ProjectStore& store = window_.store();
    const int position = store.currentPagePosition();
    const NodeId module = store.moduleNode(store.projectOfPage(position), store.moduleOfPage(position));
    const ProjectTree& tree = store.tree();
    if (module == kNoNode)
        return;
    for (NodeId group : tree.children(module))
        if (tree.hasLazyChildren(group))
            window_.treeView().open(group);
}

void EngineCommands::evaluate() {
    const std::string expression = window_.functionBox()->text().toStdString();
    if (expression.empty() || running_ || !window_.store().currentPage())
        return;
    const engine::EngineKind engine = chosenEngine();
    started(engine, QStringLiteral("执行中"));
    loader_.evaluate(expression, engine, [this](engine::Evaluation) { finished(); });
}

void EngineCommands::runInBrowser() {
    // The page is written even when no browser can be started; the user is told where it
    // lies, so it can be opened by hand.
    struct Opener : Shell {
        explicit Opener(Shell& shell) : shell(shell) {}
        bool open(const std::string& path) override {
            opened = shell.open(path);
            return opened;
        }
        Shell& shell;
        bool opened = true;
    } opener(window_.shell());
    if (engine::runInBrowser(window_.store(), window_.functionBox()->text().toStdString(), opener) &&
        !opener.opened)
        sayNoBrowser(engine::testPagePath());
}

void EngineCommands::sayNoBrowser(const std::string& page) {
    window_.output().messageLine("测试页已写入：" + page);
    window_.output().messageLine("无法启动浏览器,请手动打开该文件");
    window_.output().chooseTab(0);
}

void EngineCommands::openFailed(const std::string& target) {
    if (target == engine::testPagePath()) {
        sayNoBrowser(target);
        return;
    }
    window_.output().messageLine("无法打开：" + target);
    window_.output().chooseTab(0);
}

void EngineCommands::showMemberValue() {
    // The member's names are read here; its value where the engines live.
    const ProjectTree& tree = window_.store().tree();
    const NodeId item = tree.selected();
    if (running_ || tree.value(item) != node_value::kMember)
        return;
    loader_.onEngine([this, object = tree.text(tree.parent(item)), member = tree.text(item), engine = chosenEngine()] {
        transform::showMemberValue(object, member, engine, native_, chakra_, loader_.engineOutput());
    });
}

}  // namespace quillbox::app
