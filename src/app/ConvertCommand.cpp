#include "app/ConvertCommand.h"

#include <QMetaObject>
#include <memory>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/convert/ConvertInStore.h"
#include "core/engine/CodeLoader.h"

namespace quillbox::app {

namespace {
// The conversion's Babel and gate belong to the tools' thread: made there on first use,
// gone when the thread ends.
convert::Converter& engineThreadConverter() {
    thread_local convert::Converter converter;
    return converter;
}
}  // namespace

void convertForOldEngineCommand(MainWindow& window) {
    auto target = std::make_shared<convert::ConvertTarget>(convert::convertTarget(window.store()));
    if (!target->refusal.empty()) {
        window.output().messageLine(std::string(convert::kConvertCommand) + "：" + target->refusal);
        return;
    }
    window.output().chooseTab(0);
    window.output().messageLine(std::string(convert::kConvertCommand) + "：转换中……");
    MainWindow* w = &window;
    window.onTools([w, target] {
        auto outcome = std::make_shared<convert::ConvertOutcome>(convert::runConversion(engineThreadConverter(), *target));
        QMetaObject::invokeMethod(
            w, [w, target, outcome] { convert::placeConversion(w->store(), *target, *outcome, w->output()); },
            Qt::QueuedConnection);
    });
}

}  // namespace quillbox::app
