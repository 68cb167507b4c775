#pragma once
// Runs work while another thread keeps asking an engine to stop, until the stop takes (the
// engine's stop() returns true) or the work is over. A stop asked for before the call starts
// does nothing, so the asking goes on.
#include <atomic>
#include <chrono>
#include <thread>

namespace quillbox::test {

template <class Engine, class Work>
auto whileStopping(Engine& engine, Work work) {
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        while (!done && !engine.stop())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    auto result = work();
    done = true;
    stopper.join();
    return result;
}

}  // namespace quillbox::test
