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

// The level a sample of kLevel has at `attenuation`, before rounding (the
// bottom of the range is silence).
double Exact(int32_t attenuation) {
    return attenuation <= kSilentAttenuation ? 0.0 : kLevel * AttenuationToGain(attenuation);
}

// A scaled sample is rounded with dither of up to one step either way:
// under one and a half steps from its level.
bool AtLevel(int16_t sample, int32_t attenuation) {
    return std::abs(sample - Exact(attenuation)) < 1.5;
}

// Plays a constant signal from start to stop and returns the left channel.
std::vector<int16_t> PlayConstant(VirtualRig& rig, uint32_t rate, double volume, int segments) {
    return PlaySignal(
        rig, rate, [](uint32_t) { return kLevel; }, segments, {}, volume);
}

// The gain moves one 0.1 ms step at a time (the steepest step of either
// curve is -0.6 dB, at the start of the fall), never by a block's worth.
void ExpectSmooth(const std::vector<int16_t>& left, size_t from, size_t to, const char* what) {
    for (size_t i = from + 1; i < to; ++i)
        ASSERT_LE(std::abs(left[i] - left[i - 1]), kLevel / 14) << what << " frame " << i;
}

// The curves themselves, at fixed points.
TEST(VolumeCurve, SliderVolumeToHundredthsOfDecibel) {
    EXPECT_EQ(VolumeToAttenuation(1.0), 0);
    EXPECT_EQ(VolumeToAttenuation(0.5), -2800);
    EXPECT_EQ(VolumeToAttenuation(0.25), -4200);
    EXPECT_EQ(VolumeToAttenuation(0.999), -6); // truncated, not rounded
    EXPECT_EQ(VolumeToAttenuation(0.00011), -5600);
    EXPECT_EQ(VolumeToAttenuation(0.0001), -10000);
    EXPECT_EQ(VolumeToAttenuation(0.0), -10000);
    EXPECT_EQ(VolumeToAttenuation(-3.0), -10000);
}

TEST(VolumeCurve, RampsRunBetweenSilenceAndTheVolume) {
    // Full volume: range 10000.
    EXPECT_EQ(RisingRampAttenuation(0, 10000), -10000);
    EXPECT_EQ(RisingRampAttenuation(1, 10000), -9941);
    EXPECT_EQ(RisingRampAttenuation(499, 10000), -501);
    EXPECT_EQ(FallingRampAttenuation(0, 10000), 0);
    EXPECT_EQ(FallingRampAttenuation(499, 10000), -9500);
    // At -2800 the range is 7200 and the curves end near -2800 and -10000.
    EXPECT_EQ(FallingRampAttenuation(0, 7200), -2800);
    EXPECT_EQ(RisingRampAttenuation(0, 7200), -10000);
    EXPECT_EQ(RisingRampAttenuation(499, 7200), -3161);
    EXPECT_EQ(RampFrames(22050), 1103u); // 1102.5 frames: the step of the half frame counts
    for (int32_t step = 1; step < kRampSteps; ++step) {
        EXPECT_GE(RisingRampAttenuation(step, 10000), RisingRampAttenuation(step - 1, 10000));
        EXPECT_LE(FallingRampAttenuation(step, 10000), FallingRampAttenuation(step - 1, 10000));
    }
}

TEST(Ramp, StartAndStopFollowTheCurvesSampleBySampleAndVolumeScalesAndRangesThem) {
    const struct {
        uint32_t rate;
        double volume;
        int32_t attenuation;
    } cases[] = {{44100, 1.0, 0}, {48000, 0.5, -2800}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        VirtualRig rig(true);
        const std::vector<int16_t> left = PlayConstant(rig, c.rate, c.volume, 3);
        EXPECT_EQ(rig.output.GetVolume(), c.attenuation);
        const size_t ramp = RampFrames(c.rate);
        const int32_t range = c.attenuation + 10000;
        // Three steps, then the stop ramp from where the clock stood, and
        // the cursor right after its last sample.
        ASSERT_EQ(left.size(), 3 * kSegmentFrames + 1 + ramp);
        EXPECT_EQ(rig.output.GetForwardPlayCursor(), left.size() * kBytesPerFrame);
        // Step i of either ramp covers the samples of 0.1 ms from its first on.
        const size_t fallAt = left.size() - ramp;
        for (size_t k = 0; k < ramp; ++k) {
            const auto step = static_cast<int32_t>(k * 10000 / c.rate);
            ASSERT_TRUE(AtLevel(left[k], RisingRampAttenuation(step, range))) << "frame " << k;
            ASSERT_TRUE(AtLevel(left[fallAt + k], FallingRampAttenuation(step, range)))
                << "frame " << fallAt + k;
        }
        EXPECT_EQ(left[0], 0);
        EXPECT_LE(left.back(), 1);
        ExpectSmooth(left, 0, ramp, "rising");
        ExpectSmooth(left, fallAt, left.size(), "falling");
        // Between the ramps: exactly the input at full volume; otherwise
        // dithered round the level, without a bias.
        double sum = 0.0;
        for (size_t k = ramp; k < fallAt; ++k) {
            if (c.attenuation == 0) {
                ASSERT_EQ(left[k], kLevel) << "frame " << k;
            }
            ASSERT_TRUE(AtLevel(left[k], c.attenuation)) << "frame " << k;
            sum += left[k];
        }
        EXPECT_NEAR(sum / static_cast<double>(fallAt - ramp), Exact(c.attenuation), 0.05);
    }
    EXPECT_NEAR(Exact(-2800), 796.2, 0.1);
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
