#include "core/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using tessel::CEvent;

TEST(Event, EachSetReleasesOneWaiterOrIsKeptAndAManualEventStaysSetUntilReset) {
    CEvent event(false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            event.Wait();
            released.fetch_add(1);
        });
    for (int n = 1; n <= 3; ++n) {
        event.Set();
        while (released.load() < n)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(released.load(), n) << "one set must release exactly one waiter";
    }
    for (auto& t : waiters)
        t.join();
    EXPECT_FALSE(event.IsSet()) << "the released waiters consumed the signals";

    event.Set();
    event.Set(); // a second set before anyone takes it is not counted twice
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(1ms)) << "an auto-reset event is taken once";

    CEvent manual(true, false);
    manual.Set();
    EXPECT_TRUE(manual.WaitFor(0ms));
    EXPECT_TRUE(manual.WaitFor(0ms)) << "taken, it stays set";
    manual.Reset();
    EXPECT_FALSE(manual.WaitFor(2ms));
}

// A wake-up lost between a waiter's check and its sleep hangs this run.
TEST(Event, PingPongLosesNoWakeUp) {
    CEvent ping(false, false), pong(false, false);
    constexpr int kRounds = 20000;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) {
            ping.Wait();
            pong.Set();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        pong.Wait();
    }
    other.join();
}
