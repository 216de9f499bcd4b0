// The equalizer stage by itself: whatever the band count (one pass of up to
// six bands or several) and however the render cuts the stream into blocks
// (down to single frames, shorter than the bands' pipeline), its output is
// the designed biquad cascade's, and the same to the bit for any cut.
#include "output/EqualizerStage.h"
#include "equalizer/EqualizerDesign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace tessel {
namespace {

constexpr uint32_t kRate = 44100;

EqualizerBands Bands(int32_t count) {
    auto bank = std::make_unique<CFilterBank>();
    bank->SetNumBands(count);
    EqualizerBands bands = EqualizerBandsFromBank(*bank);
    // Cuts and boosts up to the limits, and a band at 0 dB among them.
    for (int32_t b = 0; b < count; ++b)
        bands.gainDb[b] = b % 4 == 1 ? 0.0 : (b % 2 == 0 ? 15.0 : -12.0) * (1.0 - 0.02 * b);
    return bands;
}

// Music-like noise at about -12 dBFS, left and right apart.
std::vector<float> Noise(uint32_t frames) {
    std::vector<float> samples(2 * static_cast<size_t>(frames));
    uint32_t seed = 7;
    for (float& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(static_cast<int32_t>(seed >> 16) / 4 - 4096);
    }
    return samples;
}

// The design's cascade in double precision, direct form I, channel by
// channel, with the coefficients the stage holds (floats).
std::vector<double> Reference(const EqualizerDesign& design, const std::vector<float>& in) {
    std::vector<double> out(in.begin(), in.end());
    for (int32_t b = 0; b < design.count; ++b) {
        const PeakingSection s = AsSignalPlusBandpass(design.bands[b]);
        const double lift = static_cast<float>(s.lift);
        BiquadCoefficients c;
        c.a1 = c.b1 = static_cast<float>(s.a1);
        c.a2 = static_cast<float>(s.a2);
        c.b0 = 1.0 + lift;
        c.b2 = c.a2 - lift;
        for (size_t channel = 0; channel < 2; ++channel) {
            double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
            for (size_t i = channel; i < out.size(); i += 2) {
                const double y = c.b0 * out[i] + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
                x2 = x1;
                x1 = out[i];
                y2 = y1;
                y1 = y;
                out[i] = y;
            }
        }
    }
    return out;
}

std::vector<float> Equalize(const EqualizerDesign& design, std::vector<float> samples,
                            const std::vector<uint32_t>& blocks) {
    auto stage = std::make_unique<CEqualizerStage>();
    stage->Install(design, kRate);
    const auto frames = static_cast<uint32_t>(samples.size() / 2);
    for (uint32_t done = 0, k = 0; done < frames; ++k) {
        const uint32_t n = std::min(blocks[k % blocks.size()], frames - done);
        EXPECT_TRUE(stage->Process(samples.data() + 2 * static_cast<size_t>(done), n));
        done += n;
    }
    return samples;
}

TEST(EqualizerStage, AnyBandCountAndAnyBlockCutGiveTheDesignedCascade) {
    const std::vector<float> in = Noise(kRate / 2);
    for (int32_t count : {2, 3, 5, 6, 7, 12, 30}) {
        SCOPED_TRACE(std::to_string(count) + " bands");
        const EqualizerDesign design = DesignEqualizer(Bands(count), kRate);
        const std::vector<double> expected = Reference(design, in);
        const std::vector<float> whole = Equalize(design, in, {512});
        double worst = 0.0;
        double peak = 0.0;
        for (size_t i = 0; i < in.size(); ++i) {
            worst = std::max(worst, std::abs(whole[i] - expected[i]));
            peak = std::max(peak, std::abs(expected[i]));
        }
        // Float rounding stays far below the peak (under -75 dB even at 30
        // narrow bands); a mistake is of the signal's own size.
        EXPECT_LT(worst, 1e-3 * peak);
        for (const std::vector<uint32_t>& cut :
             std::vector<std::vector<uint32_t>>{{1}, {2, 1, 3}, {4, 5, 6, 7}, {511, 1, 2940}}) {
            EXPECT_TRUE(Equalize(design, in, cut) == whole)
                << "blocks from " << cut[0] << " frames";
        }
    }
}

// A dragged slider: a stream of new settings (band counts changing too, so a
// set read half-way through a write would mix bands of different layouts)
// while the render runs in blocks of a few frames, many landing during a
// crossfade or while a slot is being written. The render must never play a
// mix of two sets and must end on the last one: afterwards it sounds like a
// stage that was given the last set from the start.
TEST(EqualizerStage, ADraggedSliderEndsAtItsLastGainAndNeverPlaysAHalfWrittenSet) {
    const auto design = [](int32_t count, double gainDb) {
        EqualizerBands bands = Bands(count);
        bands.gainDb[count / 2] = gainDb;
        return DesignEqualizer(bands, kRate);
    };
    const std::vector<float> noise = Noise(kRate / 4);
    auto stage = std::make_unique<CEqualizerStage>();
    stage->Install(design(5, 0.0), kRate);
    // The render plays the blocks it is allowed, in step with the settings.
    std::atomic<bool> dragging{true};
    std::atomic<uint64_t> allowed{0}, blocks{0};
    float loudest = 0.0f;
    std::thread render([&] {
        std::vector<float> block(2 * 7);
        for (size_t at = 0; dragging; at += block.size()) {
            while (blocks == allowed && dragging)
                std::this_thread::yield();
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = noise[(at + i) % noise.size()];
            stage->Process(block.data(), 7);
            ++blocks;
            for (const float v : block)
                loudest = std::isfinite(v) ? std::max(loudest, std::abs(v)) : INFINITY;
        }
    });
    // Each setting is written while the render runs and lands within the
    // crossfade (63 blocks) the one before began.
    const int32_t counts[] = {2, 3, 5};
    const auto publish = [&](const EqualizerDesign& d, uint64_t blocksMeanwhile) {
        allowed += blocksMeanwhile;
        stage->Publish(d);
        while (blocks < allowed)
            std::this_thread::yield();
    };
    for (int step = 0; step < 600; ++step)
        publish(design(counts[step % 3], -12.0 + step % 240 * 0.1), 2 + step % 40);
    const EqualizerDesign last = design(5, 12.0);
    publish(last, 2);
    dragging = false;
    render.join();
    // A crossfade lies between two published sets; twice the loudest of the
    // extremes leaves room for them and none for an unstable mix.
    float bound = 0.0f;
    for (const int32_t count : counts)
        for (const double gain : {-12.0, 12.0})
            for (const float v : Equalize(design(count, gain), noise, {512}))
                bound = std::max(bound, 2.0f * std::abs(v));
    EXPECT_LT(loudest, bound) << "a set that was never published ran";

    std::vector<float> dragged = noise;
    stage->Process(dragged.data(), kRate / 4);
    const std::vector<float> fresh = Equalize(last, noise, {512});
    double worst = 0.0, peak = 0.0;
    for (size_t i = noise.size() / 2; i < noise.size(); ++i) {
        worst = std::max(worst, double(std::abs(dragged[i] - fresh[i])));
        peak = std::max(peak, double(std::abs(fresh[i])));
    }
    EXPECT_LT(worst, 1e-3 * peak) << "not at the last gain";
}

} // namespace
} // namespace tessel
