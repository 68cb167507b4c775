#pragma once
// The main window's online commands: the update check (at start and from "检查更新") on a
// worker thread, the change log and Parcelkit.ec pages, and "引用模块库" on a project node.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "core/online/UpdateCheck.h"

class QMenu;

namespace quillbox::app {

class MainWindow;

class OnlineCommands : public QObject {
    Q_OBJECT
public:
    explicit OnlineCommands(MainWindow& window);
    ~OnlineCommands() override;

    // Adds "检查更新" and "查看更新日志" to the menu "更新设置", and "引用模块库" to the
    // project node's menu.
    void installMenus();
    // At start: makes "lib" (with the starter library when it has no index) and, when
    // "自动检查更新" is checked, runs the update check and the usage count.
    void startAtLaunch(bool autoUpdate);

    // "检查更新": runs the check on a worker thread unless one is running. False when one was.
    bool checkForUpdates();
    bool checkRunning() const { return running_->load(); }
    // "引用模块库": the library window, then the pick inserted into the selected project.
    void openLibrary();

    // Tests adjust the context the check runs with (server, key, program, start).
    std::function<void(online::UpdateContext&)> adjustContext;
    // Tests answer the library window instead of a user; it gets the window before exec.
    std::function<void(class LibraryWindow&)> onLibraryWindowShown;

private:
    bool runCheck(bool countUsage);

    MainWindow& window_;
    // Shared with the worker, which may outlive this object at exit.
    std::shared_ptr<std::atomic<bool>> running_ = std::make_shared<std::atomic<bool>>(false);
    QPointer<QObject> bridge_;
};

}  // namespace quillbox::app
