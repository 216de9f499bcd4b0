#include "app/QtMainLoop.h"
#include "engine/EngineContext.h"

#include <QTest>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tessel {
namespace {

TEST(QtMainLoop, AWorkersPostsAreHandledOnQtsThreadInOrder) {
    CQtMainLoop loop;
    CEngineContext engine(loop);
    loop.ConnectChannel(engine.channel);
    std::vector<AppMessage> handled;
    std::thread::id handlerThread;
    engine.channel.SetHandler([&](const Message& m) {
        handled.push_back(m.kind);
        handlerThread = std::this_thread::get_id();
    });
    std::thread worker([&] {
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.Post(AppMessage::PlayForwardNotify);
    });
    worker.join();
    // Only the waker's queued call can serve the channel.
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.size() == 2; }));
    EXPECT_EQ(handled,
              (std::vector<AppMessage>{AppMessage::ReadReport, AppMessage::PlayForwardNotify}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());

    loop.DisconnectChannel();
}

TEST(QtMainLoop, TimersTickOnTheirIdAndCanBeRestartedOrStoppedFromTheirOwnTick) {
    CQtMainLoop loop;
    int first = 0, second = 0;
    loop.StartTimer(1, 1, [&] {
        ++first;
        loop.StopTimer(1); // as the deck's start timer does on its first tick
    });
    loop.StartTimer(3, 5, [&] {
        if (++second == 2)
            loop.StartTimer(3, 1, [&] { second += 100; });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return second > 100; }));
    EXPECT_EQ(first, 1);
    EXPECT_FALSE(loop.IsTimerRunning(1));
    EXPECT_TRUE(loop.IsTimerRunning(3));
    loop.StopTimer(3);
    EXPECT_FALSE(loop.IsTimerRunning(3));
    loop.StopTimer(42); // never started: nothing happens
}

} // namespace
} // namespace tessel
