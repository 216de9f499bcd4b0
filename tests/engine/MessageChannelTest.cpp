#include "engine/EngineContext.h"
#include "engine/PlainLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace tessel;
using namespace std::chrono_literals;

namespace {
struct Harness {
    CPlainLoop loop;
    CEngineContext engine{loop};
    std::vector<AppMessage> handled;
    Harness() {
        loop.SetChannel(&engine.channel);
        engine.channel.SetHandler([this](const Message& m) { handled.push_back(m.kind); });
    }
};
} // namespace

TEST(MessageChannel, WorkerSendsAreHandledInOrder) {
    Harness h;
    CEvent done(true, false);
    std::vector<AppMessage> seenByWorker;
    std::thread worker([&] {
        h.engine.channel.Send(AppMessage::ReadReport);
        // The send returned, so the handler ran: its effect is visible here.
        seenByWorker = h.handled;
        h.engine.channel.Send(AppMessage::PlayForwardNotify);
        done.Set();
    });
    ASSERT_TRUE(h.loop.RunUntil([&] { return done.IsSet(); }, 10s));
    worker.join();
    EXPECT_EQ(h.handled,
              (std::vector<AppMessage>{AppMessage::ReadReport, AppMessage::PlayForwardNotify}));
    EXPECT_EQ(seenByWorker, (std::vector<AppMessage>{AppMessage::ReadReport}));
}

TEST(MessageChannel, SendOnTheMainThreadIsADirectCallAndPostIsQueued) {
    Harness h;
    h.engine.channel.Post(AppMessage::FfwdPressed);
    EXPECT_TRUE(h.handled.empty());
    h.engine.channel.Send(AppMessage::FfwdReleased);
    EXPECT_EQ(h.handled, (std::vector<AppMessage>{AppMessage::FfwdReleased}));
    h.engine.channel.DispatchAll();
    EXPECT_EQ(h.handled,
              (std::vector<AppMessage>{AppMessage::FfwdReleased, AppMessage::FfwdPressed}));
}

TEST(MessageChannel, CloseReleasesBlockedSenders) {
    Harness h;
    std::thread worker([&] { h.engine.channel.Send(AppMessage::PlayForwardNotify); });
    while (!h.engine.channel.HasPending())
        std::this_thread::sleep_for(1ms);
    h.engine.channel.Close();
    worker.join(); // a sender left blocked would hang here
    h.engine.channel.Post(AppMessage::PlayForwardNotify);
    h.engine.channel.DispatchAll();
    EXPECT_TRUE(h.handled.empty()) << "the pending send and a later post are dropped";
}
