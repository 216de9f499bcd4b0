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
long ExpectedFrame(int slider, size_t frames) {
    return std::lround(slider / 65535.0 * static_cast<double>(frames));
}
} // namespace

TEST(DeckSeek, SeekOnAPausedTrackRepositionsWithoutPlaying) {
    TempDir tmp;
    const size_t frames = 44100 * 6 + 17;
    const auto a = MakeWav(tmp / "a.wav", frames, 21);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->OnPositionSliderGrabbed();
    rig.deck->OnPositionSliderMoved(32768);
    EXPECT_EQ(rig.host.time, "00:00:03") << "the held slider previews its time";
    rig.deck->SeekToSlider(32768);
    EXPECT_FALSE(rig.deck->IsPlaying());
    EXPECT_FALSE(rig.deck->IsSliderHeld());
    EXPECT_NEAR(rig.deck->Elapsed(), 3.0, 0.01);
    rig.deck->TogglePlayPause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    const auto played = rig.Played();
    EXPECT_NEAR(SourceFrameOf(played, 0, a), ExpectedFrame(32768, frames), 1);
    const auto rest = Frames(a, static_cast<size_t>(SourceFrameOf(played, 0, a)), frames);
    EXPECT_TRUE(played == rest) << "from the target to the end, whole";
}

TEST(DeckSeek, SeekWhilePlayingResumesAtTheTarget) {
    TempDir tmp;
    const size_t frames = 44100 * 10;
    const auto a = MakeWav(tmp / "a.wav", frames, 22);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePlayPause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.clock->StepsTaken() >= 30; }));
    rig.deck->OnPositionSliderGrabbed();
    rig.deck->SeekToSlider(49151);
    const size_t before = rig.clock->Recorded().size() / 2;
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    EXPECT_TRUE(rig.deck->IsPlaying());
    const auto played = rig.Played();
    EXPECT_NEAR(SourceFrameOf(played, before, a), ExpectedFrame(49151, frames), 1);
}

TEST(DeckSeek, FastForwardMovesOneSecondPerTickAndStopsShortOfTheEnd) {
    TempDir tmp;
    const size_t frames = 44100 * 20;
    const auto a = MakeWav(tmp / "a.wav", frames, 25);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    const int fifteen = static_cast<int>(65535.0 * 15 / 20);
    rig.deck->OnFastForwardPressed();
    EXPECT_TRUE(rig.deck->IsSliderHeld());
    ASSERT_TRUE(rig.RunUntil([&] { return rig.host.slider >= fifteen; }, 10s));
    EXPECT_EQ(rig.host.slider, fifteen) << "15 ticks, 15 seconds";
    EXPECT_EQ(rig.host.time, "00:00:15");
    rig.deck->OnFastForwardReleased();
    EXPECT_NEAR(rig.deck->Elapsed(), 15.0, 0.001);

    rig.deck->OnFastForwardPressed();
    rig.loop.RunFor(1500ms); // seven ticks, but the target never reaches the end
    const int last = rig.host.slider;
    EXPECT_GE(last, static_cast<int>(65535.0 * 19 / 20));
    EXPECT_LT(last, 65535);
    rig.deck->OnFastForwardReleased();
    // Whole seconds from where the wind began: 15 + 4 at most.
    const double target = rig.deck->Elapsed();
    EXPECT_NEAR(target, 19.0, 0.001);
    rig.deck->TogglePlayPause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.deck->ReachedEnd(); }));
    const auto played = rig.Played();
    EXPECT_NEAR(SourceFrameOf(played, 0, a), target * 44100, 1);
}

TEST(DeckSeek, RewindStopsAboveZero) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 5, 26);
    DeckRig rig;
    rig.AddRows({tmp / "a.wav"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->SeekToSlider(static_cast<int>(65535.0 * 2.5 / 5)); // elapsed 2.5 s
    rig.deck->OnRewindPressed();
    rig.loop.RunFor(1100ms);
    EXPECT_EQ(rig.host.slider, static_cast<int>(65535.0 * 0.5 / 5))
        << "0.5 s: one more second would pass 0";
    rig.deck->OnRewindReleased();
    EXPECT_FALSE(rig.deck->IsSliderHeld());
}
