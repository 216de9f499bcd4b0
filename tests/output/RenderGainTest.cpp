// The render's gains and its one rounding, on the virtual clock (so the
// sample positions are exact): untouched samples pass bit for bit, a
// track's gain changes on exactly the frame it was set for, a gain that
// would clip is limited, and the volume and the start/stop ramps (the
// dithered level below full volume without a bias).
#include "core/Status.h"
#include "equalizer/FilterBank.h"
#include "output/VolumeCurve.h"
#include "tests/output/OutputRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace tessel::test {
namespace {

constexpr uint32_t kRate = 44100;

std::vector<int16_t> Frames(const std::vector<int16_t>& x, size_t from, size_t to) {
    return {x.begin() + static_cast<long>(from), x.begin() + static_cast<long>(to)};
}

int16_t Ramp(uint32_t n) {
    // Every value from the bottom rail to the top one, over and over.
    return static_cast<int16_t>(static_cast<int32_t>(n * 7919u % 65536u) - 32768);
}

TEST(RenderGain, UnityGainsPassEverySampleBitForBitAndAFloatOutputGetsGainsUnrounded) {
    // Full volume after the start ramp, an equalizer with every band at
    // 0 dB, track gains of exactly 1: the rails too come out as they went
    // in, in 16 bits or in float. A float output gets the volume unrounded.
    CFilterBank flat;
    flat.SetNumBands(5);
    const double quiet = (5600.0 - 2400.0 + 0.5) / 5600.0; // -24 dB
    for (const auto& [floatOutput, volume] :
         {std::pair{false, 1.0}, std::pair{true, 1.0}, std::pair{true, quiet}}) {
        SCOPED_TRACE(std::string(floatOutput ? "float" : "16 bits") + " at " +
                     std::to_string(volume));
        VirtualRig rig(true, "Virtual", {}, floatOutput);
        ASSERT_EQ(rig.output.ApplyEqualizer(flat), Status::Ok);
        const std::vector<int16_t> left = PlaySignal(rig, kRate, Ramp, 6, {}, volume, [&] {
            ASSERT_EQ(rig.output.SetTrackGainAt(0, 1.0f), Status::Ok);
            ASSERT_EQ(rig.output.SetTrackGainAt(3 * kChunkFrames + 17, 1.0f), Status::Ok);
        });
        std::vector<double> out; // the left channel, full scale at 1
        const std::vector<float> floats = rig.clock->RecordedFloat();
        for (size_t i = 0; i < floats.size(); i += 2)
            out.push_back(floats[i]);
        for (int16_t v : left)
            out.push_back(v / 32768.0);
        ASSERT_GT(out.size(), 5 * kChunkFrames);
        const double gain = AttenuationToGain(VolumeToAttenuation(volume));
        // Below full volume, within 1/30 of a 16-bit step: not rounded to one.
        const size_t ramp = RampFrames(kRate);
        for (size_t n = ramp; n < out.size() - ramp; ++n) {
            ASSERT_NEAR(out[n], Ramp(static_cast<uint32_t>(n)) * gain / 32768.0,
                        volume == 1.0 ? 0.0 : 1e-6)
                << "frame " << n;
        }
    }
}

TEST(RenderGain, ATrackGainStartsOnExactlyItsFrameAndIsLimitedWhereItWouldClip) {
    constexpr int16_t kLevel = 10000;
    const Signal level = [](uint32_t) { return kLevel; };
    // A seam in the middle of a render block and two on a segment's end;
    // the gains are for a render without volume or ramps (a file render).
    const uint64_t seams[] = {kChunkFrames + 1234, 3 * kChunkFrames, 5 * kChunkFrames};
    VirtualRig rig(false);
    const std::vector<int16_t> out = PlaySignal(rig, kRate, level, 24, {}, 1.0, [&] {
        ASSERT_EQ(rig.output.SetTrackGainAt(seams[0], 0.5f), Status::Ok);
        ASSERT_EQ(rig.output.SetTrackGainAt(seams[1], 4.0f), Status::Ok);
        ASSERT_EQ(rig.output.SetTrackGainAt(seams[2], 1.0f), Status::Ok);
    });
    ASSERT_GE(out.size(), 24 * kChunkFrames);
    EXPECT_THAT(Frames(out, 0, seams[0]), ::testing::Each(kLevel));
    for (size_t n = seams[0]; n < seams[1]; ++n)
        ASSERT_LT(std::abs(out[n] - kLevel / 2), 2) << "frame " << n;
    // 4 x 10000 would clip: held just below full scale from the first frame.
    for (size_t n = seams[1]; n < seams[2]; ++n)
        ASSERT_TRUE(out[n] >= 32700 && out[n] <= 32766) << "frame " << n << ": " << out[n];
    // Back at 1, the limiter lets go within a second and the samples are
    // the input's again, exactly.
    for (size_t n = seams[2]; n < seams[2] + kRate; ++n)
        ASSERT_LE(out[n], kLevel + 1) << "frame " << n; // the dither's step
    EXPECT_THAT(Frames(out, seams[2] + kRate, out.size()), ::testing::Each(kLevel));

    // A new stream starts at 1 again.
    EXPECT_THAT(PlaySignal(rig, kRate, level, 1), ::testing::Each(kLevel));
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
    constexpr int16_t kRampLevel = 20000;
    for (const auto& [rate, volume] : {std::pair<uint32_t, double>{44100, 1.0}, {48000, 0.5}}) {
        SCOPED_TRACE(rate);
        VirtualRig rig(true);
        const std::vector<int16_t> left = PlaySignal(
            rig, rate, [](uint32_t) { return kRampLevel; }, 3, {}, volume);
        const double level = kRampLevel * AttenuationToGain(VolumeToAttenuation(volume));
        const size_t ramp = RampFrames(rate);
        // Three steps, then the stop ramp from where the clock stood, and
        // the cursor right after its last sample.
        ASSERT_EQ(left.size(), 3 * kSegmentFrames + 1 + ramp);
        EXPECT_EQ(rig.output.GetForwardPlayCursor(), left.size() * kBytesPerFrame);
        const size_t fallAt = left.size() - ramp;
        EXPECT_EQ(left[0], 0);
        EXPECT_LE(left.back(), 1);
        // The steepest step of either curve is -0.6 dB, at the top.
        for (size_t k = 1; k < ramp; ++k) {
            const int rise = left[k] - left[k - 1], fall = left[fallAt + k - 1] - left[fallAt + k];
            ASSERT_TRUE(rise >= -1 && rise <= kRampLevel / 14) << "rising, frame " << k;
            ASSERT_TRUE(fall >= -1 && fall <= kRampLevel / 14) << "falling, frame " << k;
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

} // namespace
} // namespace tessel::test
