// The ChakraCore engine's time-limit thread: one per engine, armed per call.
#include "core/engine/chakra/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quillbox::engine::chakra {
namespace {

using namespace std::chrono_literals;

TEST(Watchdog, ExpiresOnceForACallThatRunsPastItsLimitAndNeverForOneThatEndsInTime) {
    std::atomic<int> expired{0};
    Watchdog watchdog([&] { ++expired; });
    watchdog.arm(50ms);
    for (int i = 0; i < 400 && expired == 0; ++i)
        std::this_thread::sleep_for(10ms);
    watchdog.disarm();
    EXPECT_EQ(expired, 1);

    // Armed and disarmed again and again, as a run of quick calls does.
    for (int i = 0; i < 50; ++i) {
        watchdog.arm(10s);
        watchdog.disarm();
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(expired, 1);
}

TEST(Watchdog, DisarmWaitsForAnExpiryUnderWaySoItCannotReachTheNextCall) {
    std::atomic<bool> inExpiry{false};
    std::atomic<bool> expiryDone{false};
    Watchdog watchdog([&] {
        inExpiry = true;
        std::this_thread::sleep_for(200ms);
        expiryDone = true;
    });
    watchdog.arm(1ms);
    while (!inExpiry)
        std::this_thread::sleep_for(1ms);
    watchdog.disarm();
    EXPECT_TRUE(expiryDone) << "disarm returned while the expiry still ran";
}

TEST(Watchdog, ADestroyedWatchdogNeverExpires) {
    std::atomic<int> expired{0};
    {
        Watchdog watchdog([&] { ++expired; });
        watchdog.arm(100ms);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(expired, 0);
}

}  // namespace
}  // namespace quillbox::engine::chakra
