#include "app/EngineCommands.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "app/StopWatch.h"
#include "core/config/Settings.h"
#include "core/engine/TestPage.h"
#include "core/platform/Shell.h"
#include "core/transform/Transform.h"

namespace quillbox::app {

EngineCommands::EngineCommands(MainWindow& window)
    : window_(window), loader_(window.store(), window.output(), native_, chakra_) {
    const std::size_t memoryLimit = config::engineMemoryLimit(window.ini());
    native_.ControlObject()->setMemoryLimit(memoryLimit);
    chakra_.setMemoryLimit(memoryLimit);
}

int EngineCommands::chosenEngine() const { return window_.engineSelector()->currentIndex(); }

// What the stop dialog's button does for the engine about to run: both engines take a stop
// from another thread.
std::function<void()> EngineCommands::stopFor(int engine) {
    if (engine == engine::kNativeEngine) {
        engine::ScriptControl* control = native_.ControlObject().get();
        return [control] { control->stop(); };
    }
    return [this] { chakra_.stop(); };
}

void EngineCommands::load() {
    const int engine = chosenEngine();
    StopWatch watch(stopFor(engine));
    loader_.load(engine);
    window_.tree()->viewport()->update();
}

void EngineCommands::evaluate() {
    const std::string expression = window_.functionBox()->text().toStdString();
    if (expression.empty())
        return;
    const int engine = chosenEngine();
    StopWatch watch(stopFor(engine));
    loader_.evaluate(expression, engine);
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
    transform::showMemberValue(window_.store().tree(), chosenEngine(), native_, chakra_, window_.output());
}

}  // namespace quillbox::app
