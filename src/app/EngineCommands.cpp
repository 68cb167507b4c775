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
#include "core/engine/BothEngines.h"
#include "core/engine/TestPage.h"
#include "core/platform/Shell.h"
#include "core/transform/Transform.h"

namespace quillbox::app {

EngineCommands::EngineCommands(MainWindow& window)
    : window_(window),
      loader_(window.store(), window.output(), native_, chakra_),
      threads_{std::make_unique<engine::EngineThread>(), std::make_unique<engine::EngineThread>()},
      tools_(std::make_unique<engine::EngineThread>()) {
    const std::size_t memoryLimit = config::engineMemoryLimit(window.ini());
    native_.ControlObject()->setMemoryLimit(memoryLimit);
    chakra_.setMemoryLimit(memoryLimit);
    if (const std::string problem = applyRunSettings(); !problem.empty())
        window.output().messageLine(problem);
    // What the engine's side hands back runs here, in order, while this object lives.
    loader_.setThreads([this](engine::EngineKind engine,
                              std::function<void()> task) { threadOf(engine).post(std::move(task)); },
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

std::string EngineCommands::applyRunSettings() {
    std::string notDeterministic;
    loader_.setDeterminism(config::determinism(window_.ini(), &notDeterministic));
    loader_.setWatching(config::watching(window_.ini()));
    return notDeterministic;
}

EngineCommands::~EngineCommands() {
    // The script that runs is stopped, the engines are emptied where they live, and the
    // threads end; what they would still hand back is dropped with this object.
    stop();
    threadOf(engine::EngineKind::Native).post([this] { native_.Reset(); });
    threadOf(engine::EngineKind::ChakraCore).post([this] { chakra_.Reset(); });
    for (auto& thread : threads_)
        thread.reset();
    tools_.reset();
    watch_.reset();
}

void EngineCommands::stop() {
    if (!running_)
        return;
    if (toolStop_) {
        toolStop_();
        return;
    }
    if (comparing_)
        stopFor(engine::kNativeEngine)();
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

bool EngineCommands::runTool(const QString& what, std::function<void()> stop, std::function<void()> task,
                             std::function<void()> done) {
    if (running_)
        return false;
    running_ = true;
    toolStop_ = std::move(stop);
    what_ = what;
    elapsed_.start();
    tick_.start();
    showRunning(true);
    showRunState();
    tools_->post([this, task = std::move(task), done = std::move(done)]() mutable {
        task();
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                finished();
                done();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void EngineCommands::finished() {
    // The output box that shows is drawn anew: switched away and back.
    const int tab = window_.output().currentTab();
    window_.output().chooseTab(tab == 0 ? 1 : 0);
    window_.output().chooseTab(tab);
    running_ = false;
    toolStop_ = nullptr;
    tick_.stop();
    watch_.reset();
    showRunning(false);
}

// While a script runs, the commands that need the engine wait, and the stop shows.
void EngineCommands::showRunning(bool running) {
    for (const char* name : {"按钮_加载", "按钮_运行_系统", "按钮_双引擎对比"})
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

engine::EngineThread& EngineCommands::threadOf(engine::EngineKind engine) {
    return *threads_[engine == engine::EngineKind::Native ? 0 : 1];
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

void EngineCommands::load(std::function<void(bool)> then) { loadInto(chosenEngine(), std::move(then)); }

void EngineCommands::loadInto(engine::EngineKind engine, std::function<void(bool)> then) {
    if (running_)
        return;
    ProjectStore& store = window_.store();
    // What goes in is the project's code as it is now; the stamp says so once it is in.
    engine::LoadStamp stamp = engine::stampOf(store, store.currentProject());
    started(engine, QStringLiteral("加载中"));
    loadedIn(engine).reset();
    const bool begun = loader_.load(engine, [this, engine, stamp = std::move(stamp), then](bool ok) {
        if (ok)
            loadedIn(engine) = stamp;
        finished();
        showCurrentListing();
        window_.tree()->viewport()->update();
        if (then)
            then(ok);
    });
    if (!begun)
        finished();
}

void EngineCommands::checkCallThenCopy(int callStyle, std::function<void()> copy) {
    const std::string expression = window_.functionBox()->text().toStdString();
    if (expression.empty() || !window_.store().currentPage()) {
        copy();  // the copy says what is missing
        return;
    }
    if (running_)
        return;
    const engine::EngineKind engine = callStyle == config::kCallStyleChakraCore ? engine::kChakraEngine
                                                                               : engine::kNativeEngine;
    const std::string name = engine::selectorName(engine);
    window_.output().echo(expression);
    window_.output().noteLine("复制易代码前检查：E 程序将以 " + name + " 执行此调用");
    auto refused = [this, name, copy] {
        const MessageAnswer answer = window_.dialogs().messageBox(
            "此调用在 " + name + " 中未能执行,E 程序调用时会同样失败。\n仍要复制易代码吗？", "易代码检查",
            MessageIcon::Warning, MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes)
            copy();
    };
    loadInto(engine, [this, engine, expression, copy, refused](bool ok) {
        if (!ok) {
            refused();
            return;
        }
        started(engine, QStringLiteral("检查中"));
        loader_.evaluate(expression, engine, [this, copy, refused](engine::Evaluation outcome) {
            finished();
            if (outcome == engine::Evaluation::Result)
                copy();
            else
                refused();
        });
    });
}

void EngineCommands::loadThenEvaluate() {
    if (running_ || !window_.store().currentPage())
        return;
    load([this](bool ok) {
        if (ok && !window_.functionBox()->text().isEmpty())
            evaluateNow(chosenEngine());
    });
}

QString EngineCommands::engineStatus() {
    ProjectStore& store = window_.store();
    QStringList parts;
    for (engine::EngineKind engine : {engine::kNativeEngine, engine::kChakraEngine})
        parts << QString::fromStdString(engine::engineStatus(engine, loadedIn(engine), store));
    return parts.join(QStringLiteral("   "));
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
    if (window_.functionBox()->text().isEmpty() || running_ || !window_.store().currentPage())
        return;
    const engine::EngineKind engine = chosenEngine();
    ProjectStore& store = window_.store();
    const engine::Staleness staleness =
        engine::staleness(loadedIn(engine), engine::stampOf(store, store.currentProject()));
    if (staleness == engine::Staleness::Current) {
        evaluateNow(engine);
        return;
    }
    // The engine would answer from code the user no longer sees: the project goes in first.
    window_.output().noteLine(engine::reloadNote(staleness, engine));
    load([this, engine](bool ok) {
        if (ok)
            evaluateNow(engine);
    });
}

void EngineCommands::evaluateNow(engine::EngineKind engine) {
    const std::string expression = window_.functionBox()->text().toStdString();
    if (expression.empty() || running_ || !window_.store().currentPage())
        return;
    started(engine, QStringLiteral("执行中"));
    loader_.evaluate(expression, engine, [this, engine](engine::Evaluation outcome) {
        // A stopped evaluation leaves the engine made anew, empty.
        if (outcome == engine::Evaluation::Stopped)
            loadedIn(engine).reset();
        finished();
    });
}

void EngineCommands::compareEngines() {
    const std::string expression = window_.functionBox()->text().toStdString();
    ProjectStore& store = window_.store();
    const int position = store.currentPagePosition();
    if (expression.empty() || running_ || position == 0)
        return;
    window_.output().echo(expression);
    window_.output().noteLine("两个引擎对比：项目分别加载到 MSScriptControl 与 ChakraCore 后执行");
    window_.output().chooseTab(1);
    started(engine::kChakraEngine, QStringLiteral("对比中"));
    // Either engine may be the one running: the stop ends both.
    watch_ = std::make_unique<StopWatch>([this] {
        stopFor(engine::kNativeEngine)();
        stopFor(engine::kChakraEngine)();
    });
    comparing_ = true;
    auto copy = std::make_shared<engine::ProjectCopy>(store, store.projectOfPage(position), store.moduleOfPage(position));
    // The engines are loaded by the comparison's own loaders: the tree's listing and what
    // the engines were known to hold are gone with what they held.
    loader_.clearListing();
    loadedIn(engine::kNativeEngine).reset();
    loadedIn(engine::kChakraEngine).reset();
    // Each engine answers on its own thread, the native engine first, then ChakraCore.
    threadOf(engine::kNativeEngine).post([this, copy, expression] {
        auto answers = std::make_shared<engine::BothAnswers>();
        answers->native = engine::answerIn(engine::kNativeEngine, copy->store(), native_, chakra_, expression);
        threadOf(engine::kChakraEngine).post([this, copy, expression, answers] {
        answers->chakra = engine::answerIn(engine::kChakraEngine, copy->store(), native_, chakra_, expression);
        answers->difference = engine::differenceOf(answers->native, answers->chakra);
        QMetaObject::invokeMethod(
            this,
            [this, answers] {
                const std::vector<std::string> lines = engine::comparisonLines(*answers);
                for (std::size_t i = 0; i < lines.size(); ++i) {
                    const bool differs = !answers->difference.empty();
                    if (i + 1 == lines.size() && differs)
                        window_.output().evaluationError(lines[i]);
                    else if (i + 1 == lines.size())
                        window_.output().noteLine(lines[i]);
                    else
                        window_.output().consoleLine("", lines[i]);
                }
                window_.output().chooseTab(1);
                comparing_ = false;
                finished();
            },
            Qt::QueuedConnection);
        });
    });
}

void EngineCommands::formatAndLocate(const ErrorSpot& spot) {
    ProjectStore& store = window_.store();
    int position = 0;
    for (int p = 1; p <= store.pageCount() && position == 0; ++p)
        if (store.page(p)->name() == spot.page)
            position = p;
    if (position == 0 || running_ || transforming_) {
        if (position == 0)
            window_.output().messageLine("模块已不在：" + spot.page);
        return;
    }
    const std::string project = store.projectOfPage(position);
    const std::string module = store.moduleOfPage(position);
    const engine::EngineKind engine = chosenEngine();
    window_.output().messageLine("格式化并定位：" + spot.page + " 格式化后的副本载入 " + engine::selectorName(engine) +
                                 " (模块本身不变)");
    auto copy = std::make_shared<engine::ProjectCopy>(store, project, module);
    transforming_ = true;
    tools_->post([this, copy, module, engine, text = store.page(position)->getText()] {
        transform::TransformResult formatted = transform::runTransform(text, transform::Mode::Format);
        QMetaObject::invokeMethod(
            this,
            [this, copy, module, engine, formatted = std::move(formatted)] {
                transforming_ = false;
                if (!formatted.ok) {
                    window_.output().messageLine(std::string(transform::kTransformFailed) + "：" + formatted.error);
                    return;
                }
                if (running_)
                    return;
                copy->setModuleText(module, formatted.text);
                started(engine, QStringLiteral("定位中"));
                loader_.clearListing();
                loadedIn(engine::kNativeEngine).reset();
                loadedIn(engine::kChakraEngine).reset();
                threadOf(engine).post([this, copy, engine] {
                    engine::LocatedFailure located = engine::loadAndLocate(copy->store(), native_, chakra_, engine);
                    QMetaObject::invokeMethod(
                        this,
                        [this, located = std::move(located)] {
                            finished();
                            if (!located.failed) {
                                window_.output().messageLine("格式化后的副本载入成功：错误未再出现");
                                return;
                            }
                            for (const std::string& line : located.lines)
                                if (line.rfind("错误", 0) == 0 || line.rfind("发生错误", 0) == 0)
                                    window_.output().messageLine("(格式化后) " + line);
                            for (ErrorSpot spot : located.spots) {
                                spot.page.clear();  // the copy is no page to open
                                window_.output().errorSpot(spot);
                            }
                            window_.output().chooseTab(0);
                        },
                        Qt::QueuedConnection);
                });
            },
            Qt::QueuedConnection);
    });
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
    const engine::EngineKind engine = chosenEngine();
    loader_.onEngine(engine, [this, object = tree.text(tree.parent(item)), member = tree.text(item), engine] {
        transform::showMemberValue(object, member, engine, native_, chakra_, loader_.engineOutput());
    });
}

}  // namespace quillbox::app

namespace quillbox::app {

void EngineCommands::transform(transform::Mode mode) {
    ProjectStore& store = window_.store();
    const int position = store.currentPagePosition();
    Page* page = store.page(position);
    if (!page || transforming_)
        return;
    transforming_ = true;
    for (const char* name : {"按钮_压缩", "按钮_格式化代码"})
        if (auto* button = window_.findChild<QAbstractButton*>(QString::fromUtf8(name)))
            button->setEnabled(false);
    // The page is found again by its module when the result is in: it may have gone.
    tools_->post([this, job = transform::takeTransform(*page, mode), project = store.projectOfPage(position),
                  module = store.moduleOfPage(position)] {
        transform::TransformResult result = transform::runTransform(job.text, job.mode);
        QMetaObject::invokeMethod(
            this,
            [this, job, result = std::move(result), project, module] {
                transforming_ = false;
                for (const char* name : {"按钮_压缩", "按钮_格式化代码"})
                    if (auto* button = window_.findChild<QAbstractButton*>(QString::fromUtf8(name)))
                        button->setEnabled(true);
                Page* target = window_.store().page(window_.store().findPage(project, module));
                if (!target) {
                    window_.output().messageLine(transform::kTransformStale);
                    return;
                }
                transform::applyTransform(*target, job, result, window_.output());
            },
            Qt::QueuedConnection);
    });
}

}  // namespace quillbox::app
