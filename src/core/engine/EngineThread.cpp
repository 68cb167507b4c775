#include "core/engine/EngineThread.h"

namespace quillbox::engine {

EngineThread::EngineThread() : thread_([this] { run(); }) {}

EngineThread::~EngineThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void EngineThread::post(Task task) {
    ++pending_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void EngineThread::run() {
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (queue_.empty())
                return;  // ending, with nothing left to do
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        --pending_;
    }
}

}  // namespace quillbox::engine
