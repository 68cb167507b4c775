#include "app/DeobfuscateCommand.h"

#include <QLineEdit>
#include <QMetaObject>
#include <memory>

#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/deobfuscate/DeobfuscateInStore.h"
#include "core/engine/CodeLoader.h"

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
    window.output().chooseTab(0);
    window.output().messageLine(std::string(deobfuscate::kDeobfuscateCommand) + "：解混淆中……");
    MainWindow* w = &window;
    window.onTools([w, target] {
        auto outcome = std::make_shared<deobfuscate::DeobfuscateOutcome>(
            deobfuscate::runDeobfuscation(engineThreadDeobfuscator(), *target));
        QMetaObject::invokeMethod(
            w, [w, target, outcome] { deobfuscate::placeDeobfuscation(w->store(), *target, *outcome, w->output()); },
            Qt::QueuedConnection);
    });
}

}  // namespace quillbox::app
