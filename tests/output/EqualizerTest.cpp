// The equalizer in the render. The stage by itself: whatever the band count
// (one pass of up to six bands or several) and however the render cuts the
// stream into blocks (down to single frames, shorter than the bands'
// pipeline), its output is the designed biquad cascade's, the same to the
// bit for any cut; new settings are handed over whole, however they land.
// Then as the sound output hands it to the render: the bank's design at
// each stream's rate (kept across streams, rates and devices), changes that
// fade in without a click, switched off back to the input bit for bit, a
// loud boost limited rather than clipped, and the volume after it. The
// filters' own response is the equalizer folder's.
#include "core/Status.h"
#include "equalizer/EqualizerDesign.h"
#include "equalizer/FilterBank.h"
#include "output/EqualizerStage.h"
#include "tests/output/OutputRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <thread>
#include <utility>
#include <vector>

namespace tessel::test {
namespace {

// A sum of tones of whole hertz: over a whole second each one is measured
// on its own.
Signal Tones(const std::vector<double>& hz, double amplitude, uint32_t rate) {
    return [=](uint32_t n) {
        double sum = 0.0;
        for (double f : hz)
            sum += amplitude * std::sin(2.0 * std::numbers::pi * f * n / rate);
        return static_cast<int16_t>(std::lround(sum));
    };
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

// What the render should do to a tone that stays below full scale: the
// cascade's response, nothing taken off.
double ExpectedDb(const CFilterBank& bank, double hz, uint32_t rate) {
    return Db(CascadeMagnitude(DesignEqualizer(EqualizerBandsFromBank(bank), rate), hz, rate));
}

std::unique_ptr<CFilterBank> Bank(int32_t bands, std::vector<float> gains) {
    auto bank = std::make_unique<CFilterBank>();
    bank->SetNumBands(bands);
    for (size_t b = 0; b < gains.size(); ++b)
        bank->SetBandGain(static_cast<int32_t>(b), gains[b]);
    return bank;
}

uint32_t MaxStep(const std::vector<int16_t>& x, size_t from, size_t to) {
    uint32_t most = 0;
    for (size_t n = from + 1; n < to; ++n)
        most = std::max<uint32_t>(most, static_cast<uint32_t>(std::abs(x[n] - x[n - 1])));
    return most;
}

constexpr uint32_t kRate = 44100;

EqualizerBands Bands(int32_t count) {
    EqualizerBands bands = EqualizerBandsFromBank(*Bank(count, {}));
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
        const double lift = static_cast<float>(s.lift), a1 = static_cast<float>(s.a1),
                     a2 = static_cast<float>(s.a2);
        const double b0 = 1.0 + lift, b1 = a1, b2 = a2 - lift;
        for (size_t channel = 0; channel < 2; ++channel) {
            double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
            for (size_t i = channel; i < out.size(); i += 2) {
                const double x = out[i];
                out[i] = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
                x2 = std::exchange(x1, x);
                y2 = std::exchange(y1, out[i]);
            }
        }
    }
    return out;
}

// Float rounding stays far below the peak (under -75 dB even at 30 narrow
// bands); a mistake is of the signal's own size.
template <class Want>
void ExpectClose(const std::vector<float>& got, const std::vector<Want>& want, size_t from = 0) {
    double worst = 0.0, peak = 0.0;
    for (size_t i = from; i < want.size(); ++i) {
        worst = std::max(worst, std::abs(got[i] - double(want[i])));
        peak = std::max(peak, std::abs(double(want[i])));
    }
    EXPECT_LT(worst, 1e-3 * peak);
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
        const std::vector<float> whole = Equalize(design, in, {512});
        ExpectClose(whole, Reference(design, in));
        for (const std::vector<uint32_t>& cut :
             std::vector<std::vector<uint32_t>>{{1}, {2, 1, 3}, {4, 5, 6, 7}, {511, 1, 2940}}) {
            EXPECT_TRUE(Equalize(design, in, cut) == whole)
                << "blocks from " << cut[0] << " frames";
        }
    }
}

EqualizerDesign Design(int32_t count, double gainDb) {
    EqualizerBands bands = Bands(count);
    bands.gainDb[count / 2] = gainDb;
    return DesignEqualizer(bands, kRate);
}

// A dragged slider: a stream of new settings (band counts changing too, so a
// set read half-way through a write would mix bands of different layouts)
// while the render runs in blocks of a few frames, many landing during a
// crossfade or while a slot is being written. The render must never play a
// mix of two sets and must end on the last one: afterwards it sounds like a
// stage that was given the last set from the start.
TEST(EqualizerStage, ADraggedSliderEndsAtItsLastGainAndNeverPlaysAHalfWrittenSet) {
    const std::vector<float> noise = Noise(kRate / 4);
    auto stage = std::make_unique<CEqualizerStage>();
    stage->Install(Design(5, 0.0), kRate);
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
        publish(Design(counts[step % 3], -12.0 + step % 240 * 0.1), 2 + step % 40);
    const EqualizerDesign last = Design(5, 12.0);
    publish(last, 2);
    dragging = false;
    render.join();
    // A crossfade lies between two published sets; twice the loudest of the
    // extremes leaves room for them and none for an unstable mix.
    float bound = 0.0f;
    for (const int32_t count : counts)
        for (const double gain : {-12.0, 12.0})
            for (const float v : Equalize(Design(count, gain), noise, {512}))
                bound = std::max(bound, 2.0f * std::abs(v));
    EXPECT_LT(loudest, bound) << "a set that was never published ran";

    std::vector<float> dragged = noise;
    stage->Process(dragged.data(), kRate / 4);
    SCOPED_TRACE("not at the last gain");
    ExpectClose(dragged, Equalize(last, noise, {512}), noise.size() / 2);
}

// The same slider, the render caught half-way through copying a set: the
// next two writes land meanwhile, the second in the very slot being copied.
// The torn copy is dropped (the block passes untouched) and the newest set
// is taken at the next block, as by a stage that was only ever given it.
TEST(EqualizerStage, ACopyTornByANewerWriteIsDroppedAndTheNewestSetTakenNextBlock) {
    const std::vector<float> noise = Noise(kRate / 8);
    const auto frames = static_cast<uint32_t>(noise.size() / 2);
    auto torn = std::make_unique<CEqualizerStage>();
    torn->Install(EqualizerDesign{}, kRate);
    torn->Publish(Design(2, -12.0));
    torn->SetMidCopyHookForTest([](CEqualizerStage& stage) {
        stage.SetMidCopyHookForTest(nullptr);
        stage.Publish(Design(3, 12.0));
        stage.Publish(Design(5, 12.0));
    });
    std::vector<float> dragged = noise;
    EXPECT_FALSE(torn->Process(dragged.data(), 64)) << "a torn copy played";
    torn->Process(dragged.data() + 128, frames - 64);

    auto fresh = std::make_unique<CEqualizerStage>();
    fresh->Install(EqualizerDesign{}, kRate);
    std::vector<float> expected = noise;
    fresh->Process(expected.data(), 64);
    fresh->Publish(Design(5, 12.0));
    fresh->Process(expected.data() + 128, frames - 64);
    EXPECT_TRUE(dragged == expected) << "not at the last gain";
}

TEST(Equalizer, MeasuredToneGainsFollowTheDesignAtEachStreamsRateOnEveryDevice) {
    auto bank = Bank(5, {1.15f, 0.9f, 1.06f, 0.85f, 0.88f});
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
    // From half a second on: the filters have settled.
    const auto expectDesigned = [&](uint32_t rate, const std::vector<double>& tones) {
        const std::vector<int16_t> out = PlaySignal(rig, rate, Tones(tones, 2000.0, rate), 30);
        for (double f : tones) {
            EXPECT_NEAR(Db(Amplitude(out, rate / 2, rate, f, rate) / 2000.0),
                        ExpectedDb(*bank, f, rate), 0.1)
                << rate << " Hz, a tone of " << f << " Hz";
        }
    };
    expectDesigned(kRate, {60, 118, 200, 375, 750, 1190, 2100, 3000, 6000, 12000, 16000, 20000});
    expectDesigned(kRate, {20000}); // the next track
    // The coefficients follow the rate: 48 kHz shapes 20 kHz differently.
    ASSERT_GT(std::abs(ExpectedDb(*bank, 20000, 48000) - ExpectedDb(*bank, 20000, kRate)), 0.5);
    expectDesigned(48000, {20000});

    // Another device: the output hands the equalizer on.
    rig.OpenClock(false, "Other");
    expectDesigned(kRate, {20000});
}

TEST(Equalizer, ChangesMidStreamFadeInWithoutAClickAndSwitchedOffIsTheInputAgain) {
    auto bank = Bank(5, {});
    VirtualRig rig(false);
    // 760 Hz at 5000, near its peaks where the changes come in: a jump from
    // untouched to -15 dB would step by 3200 there, the tone itself steps by
    // at most 540 per sample. Switched on (from untouched samples), boosted
    // (+15 dB, still below full scale), off.
    const double hz = 760.0;
    const double level = 5000.0;
    const Signal tone = Tones({hz}, level, kRate);
    const std::vector<int16_t> out = PlaySignal(rig, kRate, tone, 8, [&](int s) {
        if (s == 1) {
            bank->SetBandGain(2, 0.85f);
            EXPECT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
        } else if (s == 3) {
            bank->SetBandGain(2, 1.15f);
            EXPECT_EQ(rig.output.UpdateEqualizerBand(*bank, 2), Status::Ok);
        } else if (s == 5) {
            rig.output.RemoveEqualizer();
        }
    });
    // A change made at notification s is heard from the next step on. No
    // step across a change is larger than the settled tone's on either side
    // of it (give or take the dither's steps).
    const size_t changes[] = {2 * kChunkFrames + 1, 4 * kChunkFrames + 1, 6 * kChunkFrames + 1};
    const size_t settled = kRate / 20;
    for (size_t at : changes) {
        const uint32_t own = std::max(MaxStep(out, at - settled, at - 2),
                                      MaxStep(out, at + settled, at + 2 * settled));
        EXPECT_LE(MaxStep(out, at - 2, at + kRate / 50), own + 2) << "at frame " << at;
    }
    // Each change took effect, fading: not yet at its level 2 ms in.
    const auto heardBefore = [&](size_t change) {
        return Db(Amplitude(out, change - kRate / 10, kRate / 10, hz, kRate) / level);
    };
    EXPECT_NEAR(heardBefore(changes[1]), -15.0, 0.1);
    EXPECT_NEAR(heardBefore(changes[2]), 15.0, 0.1) << "a boost is heard as a boost";
    int peakSoon = 0;
    for (size_t n = changes[0] + 60; n < changes[0] + 120; ++n)
        peakSoon = std::max(peakSoon, std::abs(static_cast<int>(out[n])));
    EXPECT_GT(peakSoon, level * 0.3) << "the cut is already complete 2 ms after the change";
    // Off: after the fade the samples are the input again, exactly.
    for (size_t n = changes[2] + kRate / 50; n < out.size(); ++n)
        ASSERT_EQ(out[n], tone(static_cast<uint32_t>(n))) << "frame " << n;
}

TEST(Equalizer, ALoudToneWhereTwoBoostsOverlapIsLimitedNotClipped) {
    // Bands 2 and 3 together rise above +15 dB between their centres
    // (1500 Hz), lifting a tone 10 dB below full scale far above it. The
    // limiter holds it just below full scale from its first sample on,
    // without distorting it.
    auto bank = Bank(5, {1.0f, 1.0f, 1.15f, 1.15f, 1.0f});
    const double hz = 1500.0;
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
    const std::vector<int16_t> out = PlaySignal(rig, kRate, Tones({hz}, 10362.0, kRate), 10);
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](int16_t v) { return std::abs(v) >= 32767; }),
              0);
    const size_t from = out.size() - kRate / 10;
    const double level = Amplitude(out, from, kRate / 10, hz, kRate);
    EXPECT_NEAR(Db(level / 32767.0), 0.0, 0.1);
    for (int k : {2, 3, 5})
        EXPECT_LT(Db(Amplitude(out, from, kRate / 10, k * hz, kRate) / level), -50.0) << k;
}

TEST(Equalizer, VolumeAndRampsStillApplyAfterItAndTheVolumesFloorIsSilence) {
    auto bank = Bank(3, {1.0f, 0.85f, 1.0f});
    VirtualRig rig(true);
    ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
    const std::vector<int16_t> out = PlaySignal(
        rig, kRate, Tones({1190.0}, 16000.0, kRate), 16,
        [&](int s) {
            if (s == 13) {
                ASSERT_EQ(rig.output.SetVolume(0.0), Status::Ok);
            }
        },
        0.5);
    EXPECT_EQ(out[0], 0) << "the start ramp begins in silence";
    const double level = Amplitude(out, 10 * kChunkFrames, kRate / 10, 1190.0, kRate) / 16000.0;
    EXPECT_NEAR(Db(level), -15.0 - 28.0, 0.2) << "-15 dB, then the volume's -28 dB";
    // From the step after the change on, -100 dB: nothing at all.
    EXPECT_TRUE(std::all_of(out.begin() + 14 * kChunkFrames + 1, out.end(),
                            [](int16_t v) { return v == 0; }));
}

TEST(Equalizer, RefusedWhileASpeakerPairIsSelectedAndRememberedWithoutADevice) {
    auto bank = Bank(3, {1.1f, 1.1f, 1.1f});
    CSoundOutput none;
    EXPECT_EQ(none.UpdateEqualizerBand(*bank, 0), Status::NotInitialized) << "off";
    EXPECT_EQ(none.ApplyEqualizer(*bank), Status::NotInitialized) << "no device yet";
    EXPECT_TRUE(none.IsEqualizerOn()) << "but on for the device to come";
    EXPECT_EQ(none.UpdateEqualizerBand(*bank, 3), Status::Unexpected);
    none.RemoveEqualizer();
    EXPECT_FALSE(none.IsEqualizerOn());

    VirtualRig rig(false, "Speakers (Rear)");
    EXPECT_EQ(rig.output.ApplyEqualizer(*bank), Status::Unexpected);
    EXPECT_EQ(rig.output.UpdateEqualizerBand(*bank, 1), Status::Unexpected);
}

} // namespace
} // namespace tessel::test
