#include "engine/EngineContext.h"
#include "engine/PlainLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace tessel;
using namespace std::chrono_literals;

// A worker's posts wait for the loop, then reach the handler on the loop's
// thread, in order; after Close a pending one and a later one are dropped.
TEST(MessageChannel, WorkerPostsAreHandledInOrderOnTheMainThreadUntilClosed) {
    CPlainLoop loop;
    CEngineContext engine{loop};
    loop.SetChannel(&engine.channel);
    std::vector<std::pair<AppMessage, std::thread::id>> handled;
    engine.channel.SetHandler(
        [&](const Message& m) { handled.emplace_back(m.kind, std::this_thread::get_id()); });
    std::thread worker([&] {
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.Post(AppMessage::PlayForwardNotify, 7);
    });
    worker.join();
    EXPECT_TRUE(handled.empty()) << "a post only queues";
    ASSERT_TRUE(loop.RunUntil([&] { return handled.size() == 2; }, 10s));
    const auto here = std::this_thread::get_id();
    EXPECT_EQ(handled, (std::vector<std::pair<AppMessage, std::thread::id>>{
                           {AppMessage::ReadReport, here}, {AppMessage::PlayForwardNotify, here}}));
    EXPECT_EQ(engine.channel.DeepestDispatch(), 1);

    engine.channel.Post(AppMessage::ReadReport);
    engine.channel.Close();
    engine.channel.Post(AppMessage::ReadReport);
    engine.channel.DispatchAll();
    EXPECT_EQ(handled.size(), 2u) << "a pending post and a later one are dropped";
}
