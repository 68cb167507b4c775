#include "app/ConvertCommand.h"

#include <QMetaObject>
#include <memory>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/convert/ConvertInStore.h"
#include "core/engine/CodeLoader.h"
#include "core/tools/Stop.h"

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
    MainWindow* w = &window;
    // Each run its own stop: a stop pressed as one ends never reaches the next.
    auto stop = std::make_shared<tools::Stop>();
    auto outcome = std::make_shared<convert::ConvertOutcome>();
    const bool runs = window.runTool(
        QStringLiteral("转换中"), [stop] { stop->stop(); },
        [target, stop, outcome] {
            convert::Converter& converter = engineThreadConverter();
            converter.setStop(stop);
            *outcome = convert::runConversion(converter, *target);
            converter.setStop(nullptr);
        },
        [w, target, outcome] { convert::placeConversion(w->store(), *target, *outcome, w->output()); });
    window.output().chooseTab(0);
    window.output().messageLine(std::string(convert::kConvertCommand) +
                                (runs ? "：转换中……" : "：代码正在运行，请先等它结束或停止它"));
}

}  // namespace quillbox::app
