#include "core/tools/Stop.h"

namespace quillbox::tools {

void Stop::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    for (auto& passOn : hooks_)
        passOn();
}

Stop::Hook Stop::onStop(std::function<void()> passOn) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_)
        passOn();
    hooks_.push_back(std::move(passOn));
    return Hook(this, std::prev(hooks_.end()));
}

Stop::Hook::Hook(Hook&& other) noexcept : owner_(other.owner_), at_(other.at_) { other.owner_ = nullptr; }

Stop::Hook::~Hook() {
    if (!owner_)
        return;
    std::lock_guard<std::mutex> lock(owner_->mutex_);
    owner_->hooks_.erase(at_);
}

StopAfter::StopAfter(std::shared_ptr<Stop> stop, std::chrono::milliseconds limit)
    : timer_([this, stop = std::move(stop), limit] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!wake_.wait_for(lock, limit, [this] { return gone_; }))
              stop->stop();
      }) {}

StopAfter::~StopAfter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gone_ = true;
    }
    wake_.notify_all();
    timer_.join();
}

}  // namespace quillbox::tools
