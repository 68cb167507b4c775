#include "app/DeobfuscateCommand.h"

#include <QLineEdit>
#include <QMetaObject>
#include <memory>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/deobfuscate/DeobfuscateInStore.h"
#include "core/engine/CodeLoader.h"
#include "core/tools/Stop.h"

namespace quillbox::app {

namespace {
// webcrack's tools context belongs to the tools' thread: made there on first use, gone when
// the thread ends.
deobfuscate::Deobfuscator& engineThreadDeobfuscator() {
    thread_local deobfuscate::Deobfuscator deobfuscator;
    return deobfuscator;
}
}  // namespace

void deobfuscateCommand(MainWindow& window) {
    auto target = std::make_shared<deobfuscate::DeobfuscateTarget>(
        deobfuscate::deobfuscateTarget(window.store(), window.functionBox()->text().trimmed().toStdString()));
    if (!target->refusal.empty()) {
        window.output().messageLine(std::string(deobfuscate::kDeobfuscateCommand) + "：" + target->refusal);
        return;
    }
    MainWindow* w = &window;
    // Each run its own stop: a stop pressed as one ends never reaches the next.
    auto stop = std::make_shared<tools::Stop>();
    auto outcome = std::make_shared<deobfuscate::DeobfuscateOutcome>();
    const bool runs = window.runTool(
        QStringLiteral("解混淆中"), [stop] { stop->stop(); },
        [target, stop, outcome] {
            deobfuscate::Deobfuscator& deobfuscator = engineThreadDeobfuscator();
            deobfuscator.setStop(stop);
            *outcome = deobfuscate::runDeobfuscation(deobfuscator, *target);
            deobfuscator.setStop(nullptr);
        },
        [w, target, outcome] { deobfuscate::placeDeobfuscation(w->store(), *target, *outcome, w->output()); });
    window.output().chooseTab(0);
    window.output().messageLine(std::string(deobfuscate::kDeobfuscateCommand) +
                                (runs ? "：解混淆中……" : "：代码正在运行，请先等它结束或停止它"));
}

}  // namespace quillbox::app
