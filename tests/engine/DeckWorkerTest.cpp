// The shutdown: no worker outlives the deck.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

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
