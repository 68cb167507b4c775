// quillbox: the desktop workbench.
#include <QApplication>
#include <QMessageBox>

#include "app/CrashSetup.h"
#include "app/MainWindow.h"
#include "app/OnlineCommands.h"
#include "app/QtPorts.h"
#include "app/SessionKeeper.h"
#include "app/Startup.h"
#include "app/StopWatch.h"
#include <string>
#include "core/config/Settings.h"
#include "core/engine/ChakraCore.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == quillbox::app::kStopDialogSwitch)
        return quillbox::app::runStopDialog(argc, argv);
    if (argc > 1 && std::string(argv[1]) == quillbox::app::kCrashReportSwitch)
        return quillbox::app::runCrashReporter(argc, argv);
    quillbox::app::installCrashHandler();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QString::fromUtf8(quillbox::app::kVersion));

    {
        quillbox::app::QtDialogs dialogs(nullptr);
        quillbox::app::QtShell shell;
        if (!quillbox::engine::checkEngineLibrary(dialogs, shell))
            return 1;
    }

    const quillbox::config::IniFile ini = quillbox::config::settingsFile();
    quillbox::app::deployEditorAssetsIfNeeded(ini);
    quillbox::app::MainWindow window(ini);
    window.initialise();
    window.applySettingsAtStart();
    window.show();
    // "lib" with the starter library, then the update check when "自动检查更新" is checked.
    window.online().startAtLaunch(window.menuState().autoUpdate);
    // The last session comes back first; files named on the command line are opened after
    // it, as if dropped on the tree.
    quillbox::app::SessionKeeper session(window);
    session.restore();
    const quillbox::app::LaunchArguments arguments = quillbox::app::launchArguments(app.arguments().mid(1));
    for (const QString& file : arguments.files)
        window.openFile(file.toStdString());
    session.start();
    quillbox::app::scheduleFault(arguments.fault);
    return app.exec();
}
