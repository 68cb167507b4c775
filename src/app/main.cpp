// quillbox: the desktop workbench.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <iostream>
#include <string>

#include "app/CommandLine.h"
#include "app/CrashSetup.h"
#include "app/MainWindow.h"
#include "app/OnlineCommands.h"
#include "app/QtPorts.h"
#include "app/SessionKeeper.h"
#include "app/Startup.h"
#include "app/StopWatch.h"
#include "core/config/Settings.h"
#include "core/engine/ChakraCore.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == quillbox::app::kStopDialogSwitch)
        return quillbox::app::runStopDialog(argc, argv);
    if (argc > 1 && std::string(argv[1]) == quillbox::app::kCrashReportSwitch)
        return quillbox::app::runCrashReporter(argc, argv);
    const quillbox::app::CommandLineResult parsed =
        quillbox::app::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    if (!parsed.run)
        return parsed.exitStatus;
    const quillbox::app::CommandLine& line = *parsed.run;

    quillbox::app::installCrashHandler();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QString::fromUtf8(quillbox::app::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("org.quillbox.Quillbox"));

    {
        quillbox::app::QtDialogs dialogs(nullptr);
        // A missing or empty built-in file is an error at start, not a feature that
        // silently stops working (code loaded without its syntax check, say).
        if (const std::string problem = quillbox::app::missingBuiltInFiles(); !problem.empty()) {
            std::cerr << "quillbox: " << problem << '\n';
            dialogs.messageBox(problem, "错误", quillbox::MessageIcon::Error, quillbox::MessageButtons::Ok);
            return 1;
        }
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
    if (!line.grabFile.empty()) {
        // Long enough for the window to be laid out and painted once.
        QTimer::singleShot(1500, &window, [&window, file = line.grabFile] {
            const bool saved = window.grab().save(QString::fromStdString(file), "PNG");
            if (!saved)
                std::cerr << "quillbox: cannot write " << file << '\n';
            // A message box still open (an import that asked something) runs its own event
            // loop, and the main loop may not have started yet: close the box, and ask the
            // main loop to end until it does.
            while (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            auto* ending = new QTimer(&window);
            QObject::connect(ending, &QTimer::timeout, [saved] { QApplication::exit(saved ? 0 : 1); });
            ending->start(100);
        });
    }
    // "lib" with the starter library, then the update check when "自动检查更新" is checked.
    window.online().startAtLaunch(window.menuState().autoUpdate);
    // The last session comes back first; files named on the command line are opened after
    // it, as if dropped on the tree.
    quillbox::app::SessionKeeper session(window);
    session.restore();
    for (const std::string& file : line.files)
        window.openFile(file);
    session.start();
    quillbox::app::scheduleFault(line.fault);
    return app.exec();
}
