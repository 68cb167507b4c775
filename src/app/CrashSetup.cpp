#include "app/CrashSetup.h"

#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/QtPorts.h"
#include "app/Startup.h"
#include "core/crash/CrashHandler.h"
#include "core/crash/CrashReporter.h"
#include "core/crash/Faults.h"
#include "core/platform/Paths.h"
#include "core/project/ProjectStore.h"
#include "core/session/SessionFile.h"

namespace quillbox::app {

void installCrashHandler() {
    crash::CrashOptions options;
    options.reportDirectory = paths::join(paths::homeDirectory(), "crash");
    options.reporterSwitch = kCrashReportSwitch;
    crash::install(options);
}

int runCrashReporter(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QString::fromUtf8(kVersion));
    const std::string report = argc > 2 ? argv[2] : "";
    QtDialogs dialogs(nullptr);
    crash::runReporter(report, dialogs, crash::sessionLoader(session::defaultSessionPath()));
    return 0;
}

void scheduleFault(const std::string& kind) {
    if (kind.empty())
        return;
    QTimer::singleShot(0, [kind] {
        if (!crash::makeFault(kind))
            std::cerr << "quillbox: --fault: unknown KIND '" << kind << "'" << std::endl;
    });
}

}  // namespace quillbox::app
