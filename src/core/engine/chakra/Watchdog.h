#pragma once
// The time limit of one engine: a thread of its own, for the life of the watchdog, that calls
// `expire` once a call armed with a limit has run that long. The engine arms it as a call
// starts and disarms it as the call ends; disarm() returns only once no expiry is running,
// so a late expiry can never reach the next call.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace quillbox::engine::chakra {

class Watchdog {
public:
    explicit Watchdog(std::function<void()> expire);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Starts the thread on first use.
    void arm(std::chrono::milliseconds limit);
    void disarm();

private:
    void watch();

    std::function<void()> expire_;
    // watchdogMutex_ guards deadline_, expiring_ and quit_, shared with the watchdog's thread.
    std::mutex watchdogMutex_;
    std::condition_variable wake_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool expiring_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace quillbox::engine::chakra
