// Letting go of the output while paused: the stream closes after the idle
// time, and Play opens it again and plays on from the very frame it stood at.
#include "tests/engine/DeckRig.h"
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

TEST(DeckIdle, APausedDeckLetsGoOfTheOutputAndPlaysOnFromTheSameFrame) {
    TempDir tmp;
    const size_t frames = 4 * 44100 + 77;
    WriteWav16(tmp / "a.wav", 44100, 2, MakeCounterSignal(frames));
    DeviceModel model;
    model.periodFrames = 2048;
    model.speed = 4.0;
    DeckRig rig(false, model);
    rig.deck->SetIdleRelease(300);
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->Elapsed() >= 1.0; }));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->HasReleasedOutput(); }, 5s));
    EXPECT_FALSE(rig.output.HasStream());
    EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_FALSE(rig.deck->HasReleasedOutput());
    rig.deck->Shutdown();
    // Every frame once, in order: the pause and the release lose none and
    // repeat none.
    const auto runs = CounterRuns(rig.clock->Recorded());
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().first, 0);
    EXPECT_EQ(runs.back().last, long(frames) - 1);
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_EQ(runs[i].first, runs[i - 1].last + 1) << Describe(runs);
}
