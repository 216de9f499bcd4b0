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

TEST(MessageChannel, WorkerPostsAreHandledInOrderOnTheMainThreadUntilClosed) {
    Harness h;
    std::thread::id handlerThread;
    h.engine.channel.SetHandler([&](const Message& m) {
        h.handled.push_back(m.kind);
        handlerThread = std::this_thread::get_id();
    });
    std::thread worker([&] {
        h.engine.channel.Post(AppMessage::ReadReport);
        h.engine.channel.Post(AppMessage::PlayForwardNotify, 7);
    });
    worker.join();
    EXPECT_TRUE(h.handled.empty()) << "a post only queues";
    ASSERT_TRUE(h.loop.RunUntil([&] { return h.handled.size() == 2; }, 10s));
    EXPECT_EQ(h.handled,
              (std::vector<AppMessage>{AppMessage::ReadReport, AppMessage::PlayForwardNotify}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(h.engine.channel.DeepestDispatch(), 1);

    h.engine.channel.Post(AppMessage::ReadReport);
    h.engine.channel.Close();
    h.engine.channel.Post(AppMessage::ReadReport);
    h.engine.channel.DispatchAll();
    EXPECT_EQ(h.handled.size(), 2u) << "a pending post and a later one are dropped";
}
