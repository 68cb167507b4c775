#pragma once
// The worker thread the engines live on. Both engine APIs are single-threaded: an engine is
// used, reset and destroyed on this thread only, so every load, evaluation, listing and
// member read is a task queued here, run one after the other in the order posted. A stop is
// the one engine call made from other threads (ScriptControl::stop, ChakraCore::stop).
//
// Threads: post() and busy() from any thread; the tasks run on the worker.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillbox::engine {

class EngineThread {
public:
    using Task = std::function<void()>;

    EngineThread();
    // Runs what is already queued, then ends the thread. A script still running is the
    // owner's to stop first.
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    void post(Task task);
    // Whether a task is queued or running.
    bool busy() const { return pending_.load() != 0; }
    bool onThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    // The queue and the end, behind mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    bool ending_ = false;
    std::atomic<int> pending_{0};
    std::thread thread_;
};

}  // namespace quillbox::engine
