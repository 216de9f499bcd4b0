// Seeking with the slider and fast wind, on the virtual clock: the next
// samples out after a seek are those at the chosen position.
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {
// Where in `signal` the first frames played after `fromFrame` come from.
long SourceFrameOf(const std::vector<int16_t>& played, size_t fromFrame,
                   const std::vector<int16_t>& signal) {
    return FindFrames(signal, Frames(played, fromFrame, 1500));
}
} // namespace

TEST(DeckSeek, SeekOnAPausedTrackRepositionsWithoutPlaying) {
    const size_t frames = 44100 * 6 + 17;
    DeckRig rig;
    const auto a = rig.AddTracks({frames}, 21)[0];
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->SeekTo(3.0001);
    EXPECT_FALSE(rig.deck->IsPlaying());
    EXPECT_DOUBLE_EQ(rig.host.position, 3.0001) << "shown at once";
    rig.deck->SeekBy(-1.0);
    ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
    EXPECT_DOUBLE_EQ(rig.deck->Elapsed(), 2.0001);
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    const auto played = rig.Played();
    EXPECT_EQ(SourceFrameOf(played, 0, a), std::lround(2.0001 * 44100));
    const auto rest = Frames(a, static_cast<size_t>(SourceFrameOf(played, 0, a)), frames);
    EXPECT_TRUE(played == rest) << "from the target to the end, whole";
}

TEST(DeckSeek, FastWindMovesASecondPerTickWithinTheTrack) {
    const size_t frames = 44100 * 20;
    DeckRig rig;
    const auto a = rig.AddTracks({frames}, 25)[0];
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->OnFastForwardPressed();
    EXPECT_TRUE(rig.deck->IsWinding());
    ASSERT_TRUE(rig.RunUntil([&] { return rig.host.position >= 15.0; }, 10s));
    EXPECT_EQ(rig.host.position, 15.0) << "15 ticks, 15 seconds";
    rig.deck->OnFastForwardReleased();
    EXPECT_EQ(rig.deck->Elapsed(), 15.0);

    rig.deck->OnFastForwardPressed();
    rig.loop.RunFor(1500ms); // seven ticks, but the target never reaches the end
    rig.deck->OnFastForwardReleased();
    EXPECT_EQ(rig.deck->Elapsed(), 19.0) << "whole seconds from where the wind began";
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_EQ(SourceFrameOf(rig.Played(), 0, a), 19 * 44100);

    rig.deck->SeekTo(2.5);
    rig.deck->OnRewindPressed();
    rig.loop.RunFor(1100ms);
    EXPECT_EQ(rig.host.position, 0.5) << "one more second would pass 0";
    rig.deck->OnFastForwardReleased(); // a release without its press
    EXPECT_TRUE(rig.deck->IsWinding());
    rig.deck->OnRewindReleased();
    EXPECT_FALSE(rig.deck->IsWinding());
}

// Held across the end of a track, the wind goes on in the next one: the
// target shown and the place the release seeks to are the new track's.
TEST(DeckSeek, FastWindAcrossATrackChangeStaysInTheNewTrack) {
    DeckRig rig;
    rig.AddTracks({44100 * 2, 44100 * 20}, 26);
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
}
