#pragma once
// The way out of a script that runs too long, besides the window's own stop button: when a
// load or an evaluation runs longer than a second, a small dialog with a stop button
// appears. It is its own process (this program started with --stop-dialog), so it answers
// whatever the window is doing; its stop button, and closing it in any other way (Esc, its
// close box), end the script through the engine's stop, which any thread may call.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quillbox::app {

inline constexpr const char* kStopDialogSwitch = "--stop-dialog";

class StopWatch {
public:
    // Watches until destroyed; after `delayMs` shows the dialog, and calls `stop` when
    // the user presses its button.
    StopWatch(std::function<void()> stop, int delayMs = 1000);
    ~StopWatch();
    StopWatch(const StopWatch&) = delete;
    StopWatch& operator=(const StopWatch&) = delete;

    // Whether the dialog was shown / the stop was asked for (after destruction too).
    bool dialogShown() const { return shown_; }
    bool stopRequested() const { return stopped_; }

private:
    void watch(std::function<void()> stop, int delayMs);

    // done_ behind mutex_; shown_ and stopped_ are written by the watching thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> shown_{false};
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};

// The dialog process itself: shows "代码执行中" with the button "停止"; exit status 0 when
// the button was pressed. When its standard input is a pipe, the end of that pipe (the
// program that started it has ended) closes the dialog with status 1.
int runStopDialog(int argc, char** argv);

}  // namespace quillbox::app
