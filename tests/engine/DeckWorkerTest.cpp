// The read worker and the shutdown: a job replaced mid-read counts for
// nothing, and no worker outlives the deck.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

TEST(DeckWorkers, ALoadReplacedWhileReadingLeavesOnlyTheNewTrack) {
    TempDir tmp;
    MakeWav(tmp / "long.wav", 44100 * 60, 1); // 900 chunks: the worker sleeps after its batch
    MakeWav(tmp / "short.wav", 44100 * 2, 2);
    DeckRig rig;
    rig.deck->LoadTrack((tmp / "long.wav").string());
    rig.deck->LoadTrack((tmp / "short.wav").string()); // queued behind the first
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
    EXPECT_EQ(rig.deck->TrackPath(), (tmp / "short.wav").string());
    EXPECT_TRUE(rig.host.transportEnabled);
    EXPECT_TRUE(rig.PlayToEnd());
    EXPECT_EQ(rig.deck->AudioBytesWritten(), 44100u * 2 * kBytesPerFrame);
}

TEST(DeckWorkers, ShutdownWhilePlayingJoinsEveryWorker) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 30, 2);
    auto rig = std::make_unique<DeckRig>();
    rig->AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig->LoadRow(0));
    rig->deck->TogglePause();
    ASSERT_TRUE(rig->RunUntil([&] { return rig->clock->StepsTaken() >= 5; }));
    rig->deck->Shutdown();
    EXPECT_FALSE(rig->deck->IsPlaying());
    rig.reset(); // a worker still running here would use freed objects
}
