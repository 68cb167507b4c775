#pragma once
// The stop of one command that runs on another thread (the window's stop button, a time
// limit): stop() may come from any thread, at any time, and stays. What runs under it ends as
// soon as it can, and what would run after it for the same command does not begin: a tools
// call (ToolsContext polls it) or anything that hooked itself on (an engine's own stop).
//
// A command makes a new Stop for each run: a stop meant for one run never reaches the next.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace quillbox::tools {

class Stop {
public:
    Stop() = default;
    Stop(const Stop&) = delete;
    Stop& operator=(const Stop&) = delete;

    void stop();
    bool stopped() const { return stopped_.load(); }

    // While it lives, stop() calls the function (on the stopping thread); a stop that came
    // before is passed on at once. The function must be safe to call from any thread.
    class Hook {
    public:
        Hook() = default;
        Hook(Hook&& other) noexcept;
        Hook& operator=(Hook&&) = delete;
        ~Hook();

    private:
        friend class Stop;
        Hook(const Stop* owner, std::list<std::function<void()>>::iterator at) : owner_(owner), at_(at) {}
        const Stop* owner_ = nullptr;
        std::list<std::function<void()>>::iterator at_;
    };
    [[nodiscard]] Hook onStop(std::function<void()> passOn) const;

private:
    std::atomic<bool> stopped_{false};
    // Hooking on changes nothing of the stop itself: a reader of it may hook on.
    mutable std::mutex mutex_;  // guards hooks_; held while they are called
    mutable std::list<std::function<void()>> hooks_;
};

// A time limit: stops the Stop when the time is up, unless it is gone first.
class StopAfter {
public:
    StopAfter(std::shared_ptr<Stop> stop, std::chrono::milliseconds limit);
    ~StopAfter();
    StopAfter(const StopAfter&) = delete;
    StopAfter& operator=(const StopAfter&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool gone_ = false;
    std::thread timer_;
};

}  // namespace quillbox::tools
