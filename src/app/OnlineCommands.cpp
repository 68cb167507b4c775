#include "app/OnlineCommands.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMetaObject>
#include <filesystem>
#include <thread>

#include "app/LibraryWindow.h"
#include "app/MainWindow.h"
#include "app/QtPorts.h"
#include "core/online/ModuleLibrary.h"
#include "core/online/StarterLibrary.h"
#include "core/online/UpdateServer.h"
#include "core/platform/Shell.h"

namespace quillbox::app {
namespace {

// The worker's ports: every call is carried out on the GUI thread through the bridge, an
// object of the application that outlives the window; once the window is gone the lines are
// dropped and questions are answered No.
class GuiThreadOutput : public RecordingOutput {
public:
    GuiThreadOutput(QObject* bridge, QPointer<MainWindow> window) : bridge_(bridge), window_(window) {}
    void messageLine(const std::string& text) override {
        QPointer<MainWindow> window = window_;
        QMetaObject::invokeMethod(bridge_, [window, text] {
            if (window)
                window->output().messageLine(text);
        });
    }

private:
    QObject* bridge_;
    QPointer<MainWindow> window_;
};

class GuiThreadDialogs : public ScriptedDialogs {
public:
    GuiThreadDialogs(QObject* bridge, QPointer<MainWindow> window) : bridge_(bridge), window_(window) {}
    MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                             MessageButtons buttons) override {
        MessageAnswer answer = buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
        QPointer<MainWindow> window = window_;
        QMetaObject::invokeMethod(
            bridge_,
            [&, window] {
                if (window)
                    answer = window->dialogs().messageBox(text, title, icon, buttons);
            },
            Qt::BlockingQueuedConnection);
        return answer;
    }

private:
    QObject* bridge_;
    QPointer<MainWindow> window_;
};

}  // namespace

OnlineCommands::OnlineCommands(MainWindow& window) : QObject(&window), window_(window) {
    // Parented to the application, so a worker still running while the window closes never
    // posts to a destroyed object.
    bridge_ = new QObject(QCoreApplication::instance());
}

OnlineCommands::~OnlineCommands() = default;

void OnlineCommands::installMenus() {
    QMenu* updateMenu = nullptr;
    for (QMenu* menu : window_.mainMenu()->findChildren<QMenu*>())
        if (menu->title() == QStringLiteral("更新设置"))
            updateMenu = menu;
    if (updateMenu) {
        QAction* check = updateMenu->addAction(QStringLiteral("检查更新"));
        check->setObjectName(QStringLiteral("检查更新"));
        connect(check, &QAction::triggered, this, [this] { checkForUpdates(); });
        QAction* log = updateMenu->addAction(QStringLiteral("查看更新日志"));
        log->setObjectName(QStringLiteral("查看更新日志"));
        connect(log, &QAction::triggered, this,
                [this] { window_.shell().open(online::updateServerUrl(online::kChangeLogPath)); });
    }
    QAction* library = window_.projectMenu()->addAction(QStringLiteral("引用模块库"));
    library->setObjectName(QStringLiteral("引用模块库"));
    connect(library, &QAction::triggered, this, &OnlineCommands::openLibrary);
}

void OnlineCommands::startAtLaunch(bool autoUpdate) {
    std::string error;
    online::writeStarterLibraryIfMissing(online::libraryDirectory(), &error);
    if (autoUpdate)
        runCheck(true);
}

bool OnlineCommands::checkForUpdates() { return runCheck(false); }

bool OnlineCommands::runCheck(bool countUsage) {
    if (running_->exchange(true))
        return false;
    QPointer<MainWindow> window(&window_);
    auto output = std::make_shared<GuiThreadOutput>(bridge_.data(), window);
    auto dialogs = std::make_shared<GuiThreadDialogs>(bridge_.data(), window);
    online::UpdateContext context = online::defaultUpdateContext(*output, *dialogs);
    context.program = QCoreApplication::applicationFilePath().toStdString();
    QObject* bridge = bridge_.data();
    context.closeProgram = [bridge, window] {
        QMetaObject::invokeMethod(bridge, [window] {
            if (window)
                window->close();
        });
    };
    if (adjustContext)
        adjustContext(context);
    std::thread([context, output, dialogs, countUsage, running = running_] {
        online::runUpdateCheck(context);
        if (countUsage)
            online::sendUsageCount(context.server);
        running->store(false);
    }).detach();
    return true;
}

void OnlineCommands::openLibrary() {
    online::ModuleLibrary library;
    LibraryWindow dialog(library, &window_);
    if (onLibraryWindowShown)
        onLibraryWindowShown(dialog);
    else
        dialog.exec();
    online::insertLibraryPick(window_.store(), dialog.pick());
}

}  // namespace quillbox::app
