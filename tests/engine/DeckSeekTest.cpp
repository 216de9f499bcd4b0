// Fast wind on the virtual clock: the position shown moves a second per
// tick, and the release seeks there.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

// Held across the end of a track, the wind goes on in the next one: the
// target shown and the place the release seeks to are the new track's.
// Within a track it stops a whole second short of either end.
TEST(DeckSeek, FastWindMovesASecondPerTickWithinTheTrackAndOnIntoTheNext) {
    DeckRig rig;
    const auto b = rig.AddTracks({44100 * 2, 44100 * 20}, 25)[1];
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->SeekTo(1.5);
    rig.deck->TogglePause();
    rig.deck->OnFastForwardPressed();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->TrackPath() == rig.PathOf("b.wav"); }));
    EXPECT_LT(rig.host.position, 1.0) << "b's place, not a's";
    rig.deck->OnFastForwardReleased();
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
    EXPECT_EQ(rig.deck->TrackPath(), rig.PathOf("b.wav"));
    EXPECT_LT(rig.deck->Elapsed(), 1.0);

    ASSERT_TRUE(rig.LoadRow(1)); // paused at its start
    rig.deck->OnFastForwardPressed();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.host.position >= 15.0; }, 10s));
    EXPECT_EQ(rig.host.position, 15.0) << "15 ticks, 15 seconds";
    rig.deck->OnFastForwardReleased();
    EXPECT_EQ(rig.deck->Elapsed(), 15.0);

    rig.deck->OnFastForwardPressed();
    rig.loop.RunFor(1500ms); // seven ticks, but the target never reaches the end
    rig.deck->OnFastForwardReleased();
    EXPECT_EQ(rig.deck->Elapsed(), 19.0) << "whole seconds from where the wind began";
    const size_t before = rig.clock->Recorded().size() / 2;
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.UntilEnd());
    EXPECT_EQ(FindFrames(b, Frames(rig.clock->Recorded(), before, 1500)), 19 * 44100);

    rig.deck->SeekTo(2.5);
    rig.deck->OnRewindPressed();
    rig.loop.RunFor(1100ms);
    EXPECT_EQ(rig.host.position, 0.5) << "one more second would pass 0";
    rig.deck->OnFastForwardReleased(); // a release without its press
    EXPECT_TRUE(rig.deck->IsWinding());
    rig.deck->OnRewindReleased();
    EXPECT_FALSE(rig.deck->IsWinding());
}
