#include "engine/EngineContext.h"
#include "engine/PlainLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace tessel;
using namespace std::chrono_literals;

// A worker's posts only queue, and reach the handler in order once the loop
// runs, so on the loop's thread; after Close a pending one and a later one
// are dropped. (That a handler never runs inside another, every deck test
// checks.)
TEST(MessageChannel, WorkerPostsAreHandledInOrderOnTheMainThreadUntilClosed) {
    CPlainLoop loop;
    CEngineContext engine{loop};
    loop.SetChannel(&engine.channel);
    std::vector<AppMessage> handled;
    engine.channel.SetHandler([&](const Message& m) { handled.push_back(m.kind); });
    std::thread worker([&] {
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.Post(AppMessage::PlayForwardNotify, 7);
    });
    worker.join();
    EXPECT_TRUE(handled.empty()) << "a post only queues";
    ASSERT_TRUE(loop.RunUntil([&] { return handled.size() == 2; }, 10s));
    EXPECT_EQ(handled,
              (std::vector<AppMessage>{AppMessage::ReadReport, AppMessage::PlayForwardNotify}));

    engine.channel.Post(AppMessage::ReadReport);
    engine.channel.Close();
    engine.channel.Post(AppMessage::ReadReport);
    engine.channel.DispatchAll();
    EXPECT_EQ(handled.size(), 2u) << "a pending post and a later one are dropped";
}
