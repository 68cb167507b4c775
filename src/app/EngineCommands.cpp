#include "app/EngineCommands.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "app/StopWatch.h"
#include "core/engine/TestPage.h"
#include "core/transform/Transform.h"

namespace quillbox::app {

EngineCommands::EngineCommands(MainWindow& window)
    : window_(window), loader_(window.store(), window.output(), native_, chakra_) {}

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
    engine::runInBrowser(window_.store(), window_.functionBox()->text().toStdString(), window_.shell());
}

void EngineCommands::showMemberValue() {
    transform::showMemberValue(window_.store().tree(), chosenEngine(), native_, chakra_, window_.output());
}

}  // namespace quillbox::app
