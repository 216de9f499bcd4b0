// The read worker's stop protocol and shutdown: no worker outlives the deck.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

TEST(DeckWorkers, StopEndsASleepingAndABusyReadWorker) {
    TempDir tmp;
    MakeWav(tmp / "long.wav", 44100 * 60, 1); // 900 chunks: the worker sleeps after its batch
    DeckRig rig;
    rig.deck->ThreadReadFileStop(); // never started: returns at once
    bool ok = false;
    rig.deck->LoadTrack((tmp / "long.wav").string(), ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(rig.RunUntil([&] { return rig.engine.events.deckReadyToPlay.IsSet(); }));
    ASSERT_TRUE(rig.RunUntil(
        [&] { return rig.store->BytesInUse() + 25 * kChunkBytes >= 100 * kChunkBytes; }));
    rig.deck->ThreadReadFileStop(); // sleeping
    EXPECT_TRUE(rig.engine.events.threadFileReadForwardIsDone.IsSet());
    EXPECT_FALSE(rig.engine.events.deckReadyToPlay.IsSet());
    EXPECT_FALSE(rig.host.transportEnabled);

    rig.deck->ThreadReadFileStart(); // busy with its first batch right away
    rig.deck->ThreadReadFileStop();
    EXPECT_TRUE(rig.engine.events.threadFileReadForwardIsDone.IsSet());
    EXPECT_EQ(rig.engine.g_readRun.load(), 0);
}

TEST(DeckWorkers, ShutdownWhilePlayingJoinsEveryWorker) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 30, 2);
    auto rig = std::make_unique<DeckRig>();
    rig->AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig->LoadRow(0));
    rig->deck->TogglePlayPause();
    ASSERT_TRUE(rig->RunUntil([&] { return rig->clock->StepsTaken() >= 5; }));
    rig->deck->Shutdown();
    EXPECT_FALSE(rig->deck->IsPlaying());
    EXPECT_EQ(rig->engine.g_readRun.load(), 0);
    EXPECT_EQ(rig->engine.g_playForwardRun.load(), 0);
    rig.reset(); // a worker still running here would use freed objects
}
