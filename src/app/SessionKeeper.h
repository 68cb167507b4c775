#pragma once
// The window's side of the session store: brings the last session back at start, follows
// the work with a timer on the window's thread, and marks the session clean when the
// window closes (see docs/session.md).
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

#include "core/session/SessionStart.h"
#include "core/session/SessionStore.h"

namespace quillbox::app {

class MainWindow;

class SessionKeeper : public QObject {
    Q_OBJECT
public:
    // How often the work is looked at; a change is written `delay` after it was seen.
    static constexpr std::chrono::milliseconds kPollInterval{250};

    // Without a path the keeper claims the first session file no other window uses.
    explicit SessionKeeper(MainWindow& window, std::string path = "",
                           std::chrono::milliseconds delay = std::chrono::milliseconds(1000));
    ~SessionKeeper() override;

    // After the settings stage and before the projects named on the command line.
    session::StartResult restore();
    // Writes the running session at once, then follows every change.
    void start();
    // The clean exit; the window calls it when it closes for good.
    bool finish();

    // Null before start() and when this run keeps no session.
    session::SessionStore* store() { return store_.get(); }

private:
    MainWindow& window_;
    std::unique_ptr<session::SessionClaim> claim_;
    std::string path_;
    std::chrono::milliseconds delay_;
    bool keep_ = true;
    bool finished_ = false;
    QTimer timer_;
    std::unique_ptr<session::SessionStore> store_;
};

}  // namespace quillbox::app
