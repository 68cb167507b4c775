#include "core/engine/chakra/Watchdog.h"

namespace quillbox::engine::chakra {

Watchdog::Watchdog(std::function<void()> expire) : expire_(std::move(expire)) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(watchdogMutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void Watchdog::arm(std::chrono::milliseconds limit) {
    {
        std::lock_guard lock(watchdogMutex_);
        deadline_ = std::chrono::steady_clock::now() + limit;
        if (!thread_.joinable())
            thread_ = std::thread([this] { watch(); });
    }
    wake_.notify_all();
}

void Watchdog::disarm() {
    std::unique_lock lock(watchdogMutex_);
    deadline_.reset();
    wake_.notify_all();
    wake_.wait(lock, [this] { return !expiring_; });
}

void Watchdog::watch() {
    std::unique_lock lock(watchdogMutex_);
    while (!quit_) {
        if (!deadline_) {
            wake_.wait(lock);
            continue;
        }
        const auto deadline = *deadline_;
        if (std::chrono::steady_clock::now() < deadline) {
            wake_.wait_until(lock, deadline);
            continue;  // woken early, re-armed, disarmed or due: look again
        }
        deadline_.reset();
        expiring_ = true;
        lock.unlock();
        expire_();
        lock.lock();
        expiring_ = false;
        wake_.notify_all();
    }
}

}  // namespace quillbox::engine::chakra
