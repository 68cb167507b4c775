#include "app/SessionKeeper.h"

#include "app/MainWindow.h"
#include "app/QtPorts.h"

namespace quillbox::app {

SessionKeeper::SessionKeeper(MainWindow& window, std::string path, std::chrono::milliseconds delay)
    : window_(window), path_(std::move(path)), delay_(delay) {
    if (path_.empty()) {
        claim_ = std::make_unique<session::SessionClaim>();
        path_ = claim_->path();
    }
    window_.onClosing = [this] { finish(); };
    timer_.setInterval(static_cast<int>(kPollInterval.count()));
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (store_)
            store_->poll();
    });
}

SessionKeeper::~SessionKeeper() {
    window_.onClosing = nullptr;
    timer_.stop();
}

session::StartResult SessionKeeper::restore() {
    if (path_.empty()) {
        // No file can be claimed (a read-only home): what the last run left is still read.
        keep_ = false;
        window_.output().messageLine("会话文件无法使用(" + claim_->error() + "),本次运行不保存会话");
        return session::restoreAtStart(window_.store(), window_.output(), session::firstSessionPath(),
                                       window_.menuState().rememberCode, false);
    }
    const session::StartResult result =
        session::restoreAtStart(window_.store(), window_.output(), path_, window_.menuState().rememberCode);
    keep_ = result.keepSession;
    return result;
}

void SessionKeeper::start() {
    if (!keep_ || store_)
        return;
    store_ = std::make_unique<session::SessionStore>(window_.store(),
                                                     session::SessionStoreOptions{path_, delay_});
    store_->onWriteProblem = [this](const std::string& error) {
        window_.output().messageLine(error.empty() ? std::string("会话已能保存") : "会话无法保存: " + error);
    };
    store_->saveNow();
    timer_.start();
}

bool SessionKeeper::finish() {
    timer_.stop();
    if (!store_ || finished_)
        return finished_;
    finished_ = store_->finish();
    return finished_;
}

}  // namespace quillbox::app
