// The equalizer as it comes out of the sound device's render: measured tone
// gains against the biquads' analytic response (a boost heard as a boost),
// changes without clicks, bit-exact bypass, a loud boost limited rather than
// clipped, the centre clamps near Nyquist, and the state kept across
// streams, rates and devices.
#include "core/Status.h"
#include "equalizer/EqualizerDesign.h"
#include "equalizer/FilterBank.h"
#include "tests/output/OutputRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
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
    const EqualizerDesign design = DesignEqualizer(EqualizerBandsFromBank(bank), rate);
    return Db(CascadeMagnitude(design, hz, rate));
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

TEST(Equalizer, MeasuredToneGainsFollowTheBiquadsAndCentresStayBelowNyquist) {
    const std::vector<double> hz = {60, 118, 200, 375, 750, 1190, 2100, 3000, 6000, 12000, 16000};
    struct Layout {
        uint32_t rate;
        int32_t bands;
        std::vector<float> gains;
        std::vector<double> tones;
    };
    // At 22.05 and 8 kHz the top band's 12 kHz centre lands at 0.45 x the
    // rate, where its full cut is then measured.
    for (const Layout& layout :
         {Layout{kRate, 2, {1.12f, 0.88f}, hz}, Layout{kRate, 3, {0.85f, 1.09f, 1.04f}, hz},
          Layout{kRate, 5, {1.15f, 0.9f, 1.06f, 0.85f, 1.1f}, hz},
          Layout{22050, 2, {1.0f, 0.85f}, {9923}},
          Layout{22050, 5, {1.0f, 1.0f, 1.0f, 1.0f, 0.85f}, {9923}},
          Layout{8000, 2, {1.0f, 0.85f}, {3600}},
          Layout{8000, 5, {1.0f, 1.0f, 1.0f, 1.0f, 0.85f}, {3600}}}) {
        auto bank = Bank(layout.bands, layout.gains);
        VirtualRig rig(false);
        ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
        const uint32_t rate = layout.rate;
        const std::vector<int16_t> out =
            PlaySignal(rig, rate, Tones(layout.tones, 2000.0, rate), 30);
        // The second half-second on: the filters have settled.
        for (double f : layout.tones) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(layout.bands) +
                         " bands, a tone of " + std::to_string(f) + " Hz");
            const double measured = Db(Amplitude(out, rate / 2, rate, f, rate) / 2000.0);
            EXPECT_NEAR(measured, ExpectedDb(*bank, f, rate), 0.1);
            if (rate != kRate) {
                EXPECT_NEAR(measured, -15.0, 0.1);
            }
        }
    }
}

TEST(Equalizer, FlatOrSwitchedOffIsBitExact) {
    const Signal signal = Tones({50, 440, 5000}, 9000.0, kRate);
    std::vector<int16_t> input;
    for (uint32_t n = 0; n < 6 * kChunkFrames; ++n)
        input.push_back(signal(n));

    VirtualRig on(false);
    auto flat = Bank(5, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f});
    ASSERT_EQ(on.output.ApplyEqualizer(*flat), Status::Ok);
    std::vector<int16_t> out = PlaySignal(on, kRate, signal, 6);
    EXPECT_TRUE(on.output.IsEqualizerOn());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), out.begin())) << "on, every gain 0 dB";

    // Switched off while playing: after the fade the samples are the input
    // again, exactly.
    auto cut = Bank(5, {1.0f, 1.0f, 0.85f, 1.0f, 1.0f});
    VirtualRig later(false);
    ASSERT_EQ(later.output.ApplyEqualizer(*cut), Status::Ok);
    out = PlaySignal(later, kRate, signal, 6, [&](int s) {
        if (s == 1)
            later.output.RemoveEqualizer();
    });
    EXPECT_FALSE(std::equal(input.begin(), input.begin() + kChunkFrames, out.begin()));
    const size_t settled = 2 * kChunkFrames + kRate / 50;
    EXPECT_TRUE(std::equal(input.begin() + settled, input.end(), out.begin() + settled));
}

TEST(Equalizer, ChangesMidStreamFadeInWithoutAClick) {
    auto bank = Bank(5, {});
    VirtualRig rig(false);
    // 760 Hz at 5000, near its peaks where the changes come in: a jump from
    // untouched to -15 dB would step by 3200 there, the tone itself steps by
    // at most 540 per sample. Switched on (from untouched samples), boosted
    // (+15 dB, still below full scale), then re-laid out to three bands.
    const double hz = 760.0;
    const double level = 5000.0;
    const std::vector<int16_t> out =
        PlaySignal(rig, kRate, Tones({hz}, level, kRate), 9, [&](int s) {
            if (s == 1) {
                bank->SetBandGain(2, 0.85f);
                EXPECT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
            } else if (s == 4) {
                bank->SetBandGain(2, 1.15f);
                EXPECT_EQ(rig.output.UpdateEqualizerBand(*bank, 2), Status::Ok);
            } else if (s == 6) {
                bank->SetNumBands(3);
                EXPECT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
            }
        });
    // A change made at notification s is heard from the next step on. No
    // step across a change is larger than the settled tone's on either side
    // of it (give or take the dither's steps).
    const size_t changes[] = {2 * kChunkFrames + 1, 5 * kChunkFrames + 1, 7 * kChunkFrames + 1};
    const size_t settled = kRate / 20;
    for (size_t at : changes) {
        const uint32_t own = std::max(MaxStep(out, at - settled, at - 2),
                                      MaxStep(out, at + settled, at + 2 * settled));
        EXPECT_LE(MaxStep(out, at - 2, at + kRate / 50), own + 2) << "at frame " << at;
    }

    // Each change took effect, fading: not yet at its level 2 ms in.
    const double cut = Amplitude(out, changes[1] - kRate / 10, kRate / 10, hz, kRate) / level;
    EXPECT_NEAR(Db(cut), -15.0, 0.1);
    const double boosted = Amplitude(out, changes[2] - kRate / 10, kRate / 10, hz, kRate) / level;
    EXPECT_NEAR(Db(boosted), 15.0, 0.1) << "a boost is heard as a boost";
    int peakSoon = 0;
    for (size_t n = changes[0] + 60; n < changes[0] + 120; ++n)
        peakSoon = std::max(peakSoon, std::abs(static_cast<int>(out[n])));
    EXPECT_GT(peakSoon, level * 0.3) << "the cut is already complete 2 ms after the change";
    const double relaid = Amplitude(out, out.size() - kRate / 10, kRate / 10, hz, kRate) / level;
    EXPECT_NEAR(Db(relaid), ExpectedDb(*bank, hz, kRate), 0.1);
}

TEST(Equalizer, AFullScaleToneAtABoostedCentreIsLimitedNotClipped) {
    // Band 3 alone, and bands 2 and 3 together, whose overlap rises above
    // +15 dB between their centres (1500 Hz). The limiter holds the boosted
    // tone just below full scale from its first sample on, without
    // distorting it.
    for (auto gains : {std::vector<float>{1.0f, 1.0f, 1.0f, 1.15f, 1.0f},
                       std::vector<float>{1.0f, 1.0f, 1.15f, 1.15f, 1.0f}}) {
        auto bank = Bank(5, gains);
        for (double hz : {3000.0, 1500.0}) {
            VirtualRig rig(false);
            ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
            const std::vector<int16_t> out =
                PlaySignal(rig, kRate, Tones({hz}, 32767.0, kRate), 10);
            int atRail = 0;
            for (int16_t v : out)
                atRail += (v >= 32767 || v <= -32767) ? 1 : 0;
            EXPECT_EQ(atRail, 0) << hz << " Hz";
            const size_t from = out.size() - kRate / 10;
            const double level = Amplitude(out, from, kRate / 10, hz, kRate);
            EXPECT_NEAR(Db(level / 32767.0), 0.0, 0.1) << hz << " Hz";
            for (int k : {2, 3, 5}) {
                EXPECT_LT(Db(Amplitude(out, from, kRate / 10, k * hz, kRate) / level), -50.0)
                    << "harmonic " << k << " of " << hz << " Hz";
            }
        }
    }
}

TEST(Equalizer, VolumeAndRampsStillApplyAfterTheEqualizer) {
    auto bank = Bank(3, {1.0f, 0.85f, 1.0f});
    VirtualRig rig(true);
    ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
    const std::vector<int16_t> out =
        PlaySignal(rig, kRate, Tones({1190.0}, 16000.0, kRate), 20, {}, 0.5);
    EXPECT_EQ(out[0], 0) << "the start ramp begins in silence";
    const double level = Amplitude(out, 10 * kChunkFrames, kRate / 10, 1190.0, kRate) / 16000.0;
    EXPECT_NEAR(Db(level), -15.0 - 28.0, 0.2) << "-15 dB, then the volume's -28 dB";
}

TEST(Equalizer, KeptAcrossATrackChangeARateChangeAndANewDevice) {
    auto bank = Bank(5, {1.0f, 1.0f, 1.0f, 1.0f, 0.88f});
    const double hz = 20000.0;
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.ApplyEqualizer(*bank), Status::Ok);
    auto measure = [&](uint32_t rate) {
        const std::vector<int16_t> out = PlaySignal(rig, rate, Tones({hz}, 8000.0, rate), 20);
        return Db(Amplitude(out, out.size() - rate, rate, hz, rate) / 8000.0);
    };
    const double at44 = measure(44100);
    EXPECT_NEAR(at44, ExpectedDb(*bank, hz, 44100), 0.1);
    EXPECT_NEAR(measure(44100), at44, 0.01) << "the next track at the same rate";
    // The coefficients follow the rate: 48 kHz shapes 20 kHz differently.
    const double expected48 = ExpectedDb(*bank, hz, 48000);
    ASSERT_GT(std::abs(expected48 - at44), 0.5);
    EXPECT_NEAR(measure(48000), expected48, 0.1);

    // Another device: the output hands the equalizer on.
    VirtualClockOptions options;
    options.keepInMemory = true;
    options.rampsAndVolume = false;
    auto backend = std::make_unique<CVirtualClockBackend>(options);
    rig.clock = backend.get();
    ASSERT_EQ(rig.output.OpenDevice(std::move(backend), "Other"), Status::Ok);
    EXPECT_NEAR(measure(44100), at44, 0.01);
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
