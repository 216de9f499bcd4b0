// The render's float stage and its one rounding: untouched samples pass bit
// for bit, a track's gain changes on exactly the frame it was set for, a
// gain that would clip is limited, and the dither leaves no trace of the
// signal in the rounding error.
#include "core/Status.h"
#include "output/VolumeCurve.h"
#include "tests/output/OutputRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tessel::test {
namespace {

constexpr uint32_t kRate = 44100;

std::vector<int16_t> Frames(const std::vector<int16_t>& x, size_t from, size_t to) {
    return {x.begin() + static_cast<long>(from), x.begin() + static_cast<long>(to)};
}

// Plays `segments` segments of `signal` at full volume after `beforePlay`;
// the left channel.
std::vector<int16_t> Play(VirtualRig& rig, const Signal& signal, int segments,
                          const std::function<void()>& beforePlay = {}) {
    return PlaySignal(rig, kRate, signal, segments, {}, 1.0, beforePlay);
}

int16_t Ramp(uint32_t n) {
    // Every value from the bottom rail to the top one, over and over.
    return static_cast<int16_t>(static_cast<int32_t>(n * 7919u % 65536u) - 32768);
}

TEST(RenderGain, UnityGainsPassEverySampleBitForBit) {
    // Full volume after the start ramp, no equalizer, track gains of
    // exactly 1: the rails too come out as they went in.
    VirtualRig rig(true);
    const std::vector<int16_t> out = Play(rig, Ramp, 6, [&] {
        ASSERT_EQ(rig.output.SetTrackGainAt(0, 1.0f), Status::Ok);
        ASSERT_EQ(rig.output.SetTrackGainAt(3 * kChunkFrames + 17, 1.0f), Status::Ok);
    });
    const size_t ramp = RampFrames(kRate);
    ASSERT_GT(out.size(), 5 * kChunkFrames);
    for (size_t n = ramp; n < out.size() - ramp; ++n)
        ASSERT_EQ(out[n], Ramp(static_cast<uint32_t>(n))) << "frame " << n;
}

TEST(RenderGain, AFloatOutputGetsUntouchedSamplesExactlyAndGainsUnrounded) {
    const double quietVolume = (5600.0 - 2400.0 + 0.5) / 5600.0; // -24 dB
    for (const double volume : {1.0, quietVolume}) {
        SCOPED_TRACE(volume);
        VirtualRig rig(true, "Virtual", {}, true);
        Play(rig, Ramp, 6, [&] { ASSERT_EQ(rig.output.SetVolume(volume), Status::Ok); });
        const std::vector<float> out = rig.clock->RecordedFloat();
        const double gain = volume == 1.0 ? 1.0 : AttenuationToGain(-2400);
        const size_t ramp = RampFrames(kRate);
        ASSERT_GT(out.size(), 2 * 5 * kChunkFrames);
        size_t onTheGrid = 0;
        for (size_t n = ramp; n < out.size() / 2 - ramp; ++n) {
            const double want = Ramp(static_cast<uint32_t>(n)) * gain / 32768.0;
            if (volume == 1.0) {
                ASSERT_EQ(out[2 * n], static_cast<float>(want)) << "frame " << n;
            } else {
                ASSERT_NEAR(out[2 * n], want, 1e-6) << "frame " << n;
            }
            onTheGrid += std::rint(out[2 * n] * 32768.0f) == out[2 * n] * 32768.0f;
        }
        if (volume != 1.0) {
            EXPECT_LT(onTheGrid, out.size() / 100) << "nothing rounded to 16 bits";
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
    const std::vector<int16_t> out = Play(rig, level, 24, [&] {
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
    EXPECT_THAT(Play(rig, level, 1), ::testing::Each(kLevel));
}

TEST(RenderGain, TrackGainsRefusedClearly) {
    CSoundOutput none;
    EXPECT_EQ(none.SetTrackGainAt(0, 0.5f), Status::NotInitialized);
    VirtualRig rig(false);
    EXPECT_EQ(rig.output.SetTrackGainAt(0, 0.5f), Status::NotInitialized) << "no stream";
    ASSERT_EQ(rig.output.OpenStream(kRate), Status::Ok);
    for (float bad : {std::nanf(""), -0.1f, 1001.0f, INFINITY})
        EXPECT_EQ(rig.output.SetTrackGainAt(10, bad), Status::Unexpected) << bad;
    EXPECT_EQ(rig.output.SetTrackGainAt(100, 0.5f), Status::Ok);
    EXPECT_EQ(rig.output.SetTrackGainAt(99, 0.5f), Status::Unexpected) << "before a waiting one";
    for (uint64_t f = 100; f < 100 + CTrackGainQueue::kCapacity - 1; ++f)
        EXPECT_EQ(rig.output.SetTrackGainAt(f, 0.25f), Status::Ok);
    EXPECT_EQ(rig.output.SetTrackGainAt(1000, 0.5f), Status::Locked) << "full";
}

TEST(RenderGain, GainsWaitingBeyondWhatARenderReadsCanBeDroppedAndSetAgain) {
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.OpenStream(kRate), Status::Ok);
    const uint64_t from = rig.output.FirstUnreadFrame();
    EXPECT_EQ(rig.output.DropTrackGainsFrom(from - 1), Status::Locked);
    for (uint64_t i = 0; i < CTrackGainQueue::kCapacity; ++i)
        ASSERT_EQ(rig.output.SetTrackGainAt(from + 10 * i, 0.5f), Status::Ok);
    EXPECT_EQ(rig.output.DropTrackGainsFrom(from + 15), Status::Ok);
    EXPECT_EQ(rig.output.SetTrackGainAt(from + 5, 0.25f), Status::Unexpected)
        << "before the last one kept";
    for (uint64_t i = 2; i < CTrackGainQueue::kCapacity; ++i)
        EXPECT_EQ(rig.output.SetTrackGainAt(from + 12 + i, 0.25f), Status::Ok) << "room again";
    EXPECT_EQ(rig.output.SetTrackGainAt(from + 100, 0.25f), Status::Locked) << "full";
}

TEST(RenderGain, DitherLeavesNoHarmonicsOfAQuietSineAboveItsNoise) {
    // A -60 dBFS sine at -24 dB volume comes out about 2 steps high: plain
    // rounding would turn it into a staircase rich in harmonics.
    const double hz = 997.0;
    const double amplitude = 32767.0 * 0.001;
    const Signal sine = [&](uint32_t n) {
        return static_cast<int16_t>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * hz * n / kRate)));
    };
    const double volume = (5600.0 - 2400.0 + 0.5) / 5600.0; // -24 dB
    ASSERT_EQ(VolumeToAttenuation(volume), -2400);
    const double gain = AttenuationToGain(-2400);
    VirtualRig rig(true);
    const std::vector<int16_t> out = PlaySignal(rig, kRate, sine, 24, {}, volume);
    const size_t from = kRate / 5; // after the start ramp
    ASSERT_GE(out.size(), from + kRate);
    std::vector<double> dithered(out.begin(), out.end());
    std::vector<double> plain(out.size());
    for (size_t n = 0; n < out.size(); ++n)
        plain[n] = std::lround(sine(static_cast<uint32_t>(n)) * gain);

    // The noise floor: the median of bins between the harmonics.
    std::vector<double> noise;
    for (double f = 150.0; f < 20000.0; f += 293.0)
        noise.push_back(Amplitude(dithered, from, kRate, f, kRate));
    std::nth_element(noise.begin(), noise.begin() + noise.size() / 2, noise.end());
    const double floor = noise[noise.size() / 2];
    EXPECT_NEAR(20.0 * std::log10(Amplitude(dithered, from, kRate, hz, kRate) / amplitude), -24.0,
                0.3);
    for (int k = 2; k <= 9; ++k) {
        EXPECT_LT(Amplitude(dithered, from, kRate, k * hz, kRate), 4.0 * floor) << "harmonic " << k;
    }
    // What the test would catch: rounding without dither.
    double worst = 0.0;
    for (int k = 2; k <= 9; ++k)
        worst = std::max(worst, Amplitude(plain, from, kRate, k * hz, kRate));
    EXPECT_GT(worst, 10.0 * floor);
}

} // namespace
} // namespace tessel::test
