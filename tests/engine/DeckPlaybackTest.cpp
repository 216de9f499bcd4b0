// The deck end to end on a virtual clock: playing again after the end, and
// letting go of the output while paused.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

// Once the list has been heard to its end, Play starts it again from its
// first entry; a track that is no entry plays again from its start.
TEST(DeckPlayback, PlayAfterTheEndStartsTheListAgain) {
    for (const bool entries : {true, false}) {
        SCOPED_TRACE(entries ? "a list" : "a file that is no entry");
        DeckRig rig;
        rig.AddCounterTracks({44100 + 7, 44100 / 2}, entries ? 2 : 0);
        ASSERT_TRUE(entries ? rig.LoadRow(0) : rig.LoadFile(rig.PathOf("t1.wav")));
        ASSERT_TRUE(rig.PlayToEnd());
        EXPECT_EQ(rig.host.position, 0.5) << "the display ends at the last track's end";
        entries ? rig.deck->TogglePause() : rig.deck->Play();
        EXPECT_TRUE(entries || rig.deck->Elapsed() == 0.0) << "the file from its start again";
        ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying() && !rig.deck->ReachedEnd(); }));
        ASSERT_TRUE(rig.UntilEnd());
        EXPECT_EQ(rig.Heard(), entries ? rig.Whole({0, 1, 0, 1}) : rig.Whole({1, 1}));
    }
}

// Letting go of the output while paused: the stream closes after the idle
// time, and Play opens it again and plays on from the very frame it stood at.
TEST(DeckIdle, APausedDeckLetsGoOfTheOutputAndPlaysOnFromTheSameFrame) {
    DeckRig rig(false, Device(2048, 4.0));
    rig.deck->SetIdleRelease(300);
    rig.AddCounterTracks({4 * 44100 + 77});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->Elapsed() >= 1.0; }));
    rig.deck->TogglePause();
    // The time shown is that of the frame heard, not of the last one written.
    EXPECT_NEAR(rig.deck->Elapsed(), double(rig.clock->Recorded().size() / 2) / 44100, 0.25);
    EXPECT_DOUBLE_EQ(rig.host.position, rig.deck->Elapsed());
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->HasReleasedOutput(); }, 5s));
    EXPECT_FALSE(rig.output.HasStream());
    EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_FALSE(rig.deck->HasReleasedOutput());
    // Every frame once, in order: the pause and the release lose none and
    // repeat none; the silence of the pause is passed over.
    rig.deck->Shutdown();
    EXPECT_EQ(Describe(CounterRuns(rig.clock->Recorded(), 64, true)), rig.Whole({0}));
}
