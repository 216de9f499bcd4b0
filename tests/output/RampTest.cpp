// Volume and the start/stop ramps as they come out of the render, on the
// virtual clock (so the sample positions are exact).
#include "output/VolumeCurve.h"
#include "tests/output/OutputRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace tessel::test {
namespace {

constexpr int16_t kLevel = 20000;

// Plays a constant signal from start to stop and returns the left channel.
std::vector<int16_t> PlayConstant(VirtualRig& rig, uint32_t rate, double volume, int segments) {
    return PlaySignal(
        rig, rate, [](uint32_t) { return kLevel; }, segments, {}, volume);
}

// The slider's curve at fixed points (hundredths of a decibel).
TEST(VolumeCurve, SliderVolumeToHundredthsOfDecibel) {
    const std::pair<double, int32_t> points[] = {
        {1.0, 0},         {0.5, -2800},     {0.25, -4200}, {0.999, -6} /* truncated */,
        {0.00011, -5600}, {0.0001, -10000}, {0.0, -10000}, {-3.0, -10000}};
    for (const auto& [volume, attenuation] : points)
        EXPECT_EQ(VolumeToAttenuation(volume), attenuation) << volume;
    EXPECT_NEAR(AttenuationToGain(-2800), std::pow(10.0, -28.0 / 20.0), 1e-6);
    EXPECT_EQ(RampFrames(22050), 1103u); // 1102.5 frames: the step of the half frame counts
}

// What defines a ramp, as it comes out of the render: it starts (or ends) in
// silence, moves one way only and by small steps, lasts its 50 ms, and meets
// the volume's level (rising, to a few decibels below it); in between, the input exactly at full
// volume and dithered round the level, without a bias, below it.
TEST(Ramp, StartAndStopRampsRunBetweenSilenceAndTheVolumeInFiftyMilliseconds) {
    for (const auto& [rate, volume] : {std::pair<uint32_t, double>{44100, 1.0}, {48000, 0.5}}) {
        SCOPED_TRACE(rate);
        VirtualRig rig(true);
        const std::vector<int16_t> left = PlayConstant(rig, rate, volume, 3);
        const int32_t attenuation = VolumeToAttenuation(volume);
        EXPECT_EQ(rig.output.GetVolume(), attenuation);
        const double level = kLevel * AttenuationToGain(attenuation);
        const size_t ramp = RampFrames(rate);
        EXPECT_EQ(ramp, (rate + 19) / 20);
        // Three steps, then the stop ramp from where the clock stood, and
        // the cursor right after its last sample.
        ASSERT_EQ(left.size(), 3 * kSegmentFrames + 1 + ramp);
        EXPECT_EQ(rig.output.GetForwardPlayCursor(), left.size() * kBytesPerFrame);
        const size_t fallAt = left.size() - ramp;
        EXPECT_EQ(left[0], 0);
        EXPECT_LE(left.back(), 1);
        for (size_t k = 1; k < ramp; ++k) {
            ASSERT_GE(left[k] + 1, left[k - 1]) << "rising, frame " << k;
            ASSERT_LE(left[fallAt + k], left[fallAt + k - 1] + 1) << "falling, frame " << k;
            // The steepest step of either curve is -0.6 dB, at the top.
            ASSERT_LE(std::abs(left[k] - left[k - 1]), kLevel / 14) << k;
            ASSERT_LE(std::abs(left[fallAt + k] - left[fallAt + k - 1]), kLevel / 14) << k;
        }
        EXPECT_LT(left[ramp / 2], level / 2) << "a ramp shorter than 50 ms";
        EXPECT_GT(left[fallAt + ramp / 2], 0) << "a ramp shorter than 50 ms";
        // The rising curve stops a few decibels short of the level.
        EXPECT_TRUE(left[ramp - 1] > level / 2 && left[ramp - 1] < level) << left[ramp - 1];
        EXPECT_NEAR(left[fallAt], level, level / 14) << "the falling ramp starts elsewhere";
        double sum = 0.0;
        for (size_t k = ramp; k < fallAt; ++k) {
            ASSERT_LT(std::abs(left[k] - level), volume == 1.0 ? 0.5 : 1.5) << "frame " << k;
            sum += left[k];
        }
        EXPECT_NEAR(sum / static_cast<double>(fallAt - ramp), level, 0.05);
    }
}

TEST(Ramp, VolumeChangesWhilePlayingAndSilenceBelowTheFloor) {
    VirtualRig rig(true);
    const auto left = PlaySignal(
        rig, 44100, [](uint32_t) { return kLevel; }, 2,
        [&](int s) {
            if (s == 0) {
                ASSERT_EQ(rig.output.SetVolume(0.0), Status::Ok);
                EXPECT_EQ(rig.output.GetVolume(), -10000);
            }
        });
    // The second step (after the first notification) is at -100 dB.
    for (size_t k = kSegmentFrames + 1; k < 2 * kSegmentFrames + 1; ++k)
        ASSERT_EQ(left[k], 0) << "frame " << k;
}

TEST(Ramp, HighRateRampSpansStepsWithoutAcknowledgements) {
    // At 192 kHz a ramp is longer than one step; nobody answers the
    // notifications, yet the stop ramp still ends.
    VirtualRig rig(true);
    ASSERT_EQ(rig.output.OpenStream(192000), Status::Ok);
    const Chunk quiet = ConstantChunk(0, 0);
    for (int n = 0; n < 10; ++n)
        rig.output.WriteForward(quiet.data());
    rig.output.PlayForward();
    EXPECT_TRUE(rig.output.IsPlayingForward());
    StopAfterRamp(rig);
    EXPECT_FALSE(rig.output.IsPlayingForward());
    EXPECT_GE(rig.output.GetForwardPlayCursor(), RampFrames(192000) * kBytesPerFrame);
}

TEST(Ramp, OfflineRenderingIgnoresVolumeAndRamps) {
    VirtualRig rig(false);
    const std::vector<int16_t> left = PlayConstant(rig, 44100, 0.5, 1);
    ASSERT_EQ(left.size(), kSegmentFrames + 1u);
    for (size_t k = 0; k < left.size(); ++k)
        ASSERT_EQ(left[k], kLevel) << "frame " << k;
}

} // namespace
} // namespace tessel::test
