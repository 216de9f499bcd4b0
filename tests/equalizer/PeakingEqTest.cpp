// The equalizer effect's filters: how a band of the bank becomes a peaking
// biquad, what that biquad's response is, and the response a design applies.
#include "equalizer/PeakingEq.h"
#include "equalizer/EqualizerDesign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <memory>

namespace tessel {
namespace {

TEST(PeakingEq, BandSettingsFromTheBank) {
    EXPECT_DOUBLE_EQ(EffectGainDb(1.3), 15.0);
    EXPECT_DOUBLE_EQ(EffectGainDb(std::nan("")), 0.0);
    // Kept below 0.45 x the rate: a 12 kHz band at 22.05 or 8 kHz would sit
    // at or beyond Nyquist.
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 44100.0), 12000.0);
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 22050.0), 9922.5);
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 8000.0), 3600.0);

    auto bank = std::make_unique<CFilterBank>();
    bank->SetNumBands(5);
    bank->SetBandGain(1, 1.08f);
    const EqualizerBands bands = EqualizerBandsFromBank(*bank);
    EXPECT_EQ(bands.count, 5);
    EXPECT_DOUBLE_EQ(bands.centreHz[0], bank->GetBandCentre(0)) << "clamped only for a rate";
    EXPECT_NEAR(bands.gainDb[1], 8.0, 1e-4);
    EXPECT_DOUBLE_EQ(bands.gainDb[2], 0.0);
}

TEST(PeakingEq, GainAtTheCentreAndHalfOfItHalfABandwidthAway) {
    const double rate = 44100.0;
    for (double gainDb : {12.0, -15.0}) {
        const BiquadCoefficients c = PeakingEq(750.0, 2.0, gainDb, rate);
        EXPECT_NEAR(BiquadMagnitudeDb(c, 750.0, rate), gainDb, 1e-9);
        EXPECT_NEAR(BiquadMagnitudeDb(c, 375.0, rate), gainDb / 2.0, 0.05);
        EXPECT_NEAR(BiquadMagnitudeDb(c, 1500.0, rate), gainDb / 2.0, 0.05);
        EXPECT_NEAR(BiquadMagnitudeDb(c, 0.0, rate), 0.0, 1e-9);
        EXPECT_NEAR(BiquadMagnitudeDb(c, rate / 2.0, rate), 0.0, 1e-9);
    }
    // 0 dB is the identity, and so is anything that cannot be a filter.
    for (const BiquadCoefficients& c :
         {PeakingEq(750.0, 2.0, 0.0, rate), PeakingEq(30000.0, 2.0, 6.0, rate),
          PeakingEq(750.0, 2.0, std::nan(""), rate)}) {
        EXPECT_EQ(c.b0, 1.0);
        EXPECT_EQ(c.a1, 0.0);
        EXPECT_EQ(c.a2, 0.0);
    }
}

// The roots of z^2 + a1 z + a2.
double PoleRadius(const BiquadCoefficients& c) {
    const std::complex<double> root = std::sqrt(std::complex<double>(c.a1 * c.a1 - 4.0 * c.a2));
    return std::max(std::abs((-c.a1 + root) / 2.0), std::abs((-c.a1 - root) / 2.0));
}

TEST(PeakingEq, EveryLayoutIsStableAtEveryRateAndStaysABandNearNyquist) {
    auto bank = std::make_unique<CFilterBank>();
    for (int32_t n : {2, 3, 5}) {
        bank->SetNumBands(n);
        for (double rate : {8000.0, 11025.0, 22050.0, 32000.0, 44100.0, 48000.0, 96000.0}) {
            for (double gainDb : {15.0, -15.0}) {
                for (int32_t b = 0; b < n; ++b) {
                    const double centre = EffectCentreHz(bank->GetBandCentre(b), rate);
                    const double octaves = EffectBandwidthOctaves(n);
                    const BiquadCoefficients c = PeakingEq(centre, octaves, gainDb, rate);
                    // Left to the cookbook's relation alone, a wide band at
                    // 0.45 x the rate has a pole within 1e-6 of the unit
                    // circle, and float rounding turns into audible noise.
                    ASSERT_LT(PoleRadius(c), 0.9995)
                        << n << " bands at " << rate << " Hz, band " << b << ", " << gainDb;
                    // The render runs the band as the signal plus a bandpass,
                    // which is the same filter only while b1 = a1 and
                    // b2 - a2 = 1 - b0.
                    const PeakingSection section = AsSignalPlusBandpass(c);
                    ASSERT_EQ(c.b1, section.a1);
                    ASSERT_NEAR(c.b0, 1.0 + section.lift, 1e-15);
                    ASSERT_NEAR(c.b2, section.a2 - section.lift, 1e-15);
                    // The lower half-gain point stays within a bandwidth of
                    // the centre instead of running off to 0 Hz.
                    const double lowest = centre / std::pow(2.0, octaves);
                    ASSERT_LE(std::abs(BiquadMagnitudeDb(c, lowest, rate)),
                              std::abs(gainDb) / 2 + 1e-6)
                        << n << " bands at " << rate << " Hz, band " << b << ", " << gainDb;
                }
            }
        }
    }
}

TEST(PeakingEq, AppliedResponseIsTheProductOfTheFiltersWithNoHeadroomTakenOff) {
    auto bank = std::make_unique<CFilterBank>();
    std::array<double, CFilterBank::kAxisPoints> axis{};
    for (int32_t i = 0; i < CFilterBank::kAxisPoints; ++i)
        axis[i] = bank->AxisFrequency(i);
    std::array<float, CFilterBank::kAxisPoints> db{};
    for (int32_t n : {2, 3, 5}) {
        bank->SetNumBands(n);
        EqualizerBands bands = EqualizerBandsFromBank(*bank);
        for (double rate : {44100.0, 22050.0, 8000.0}) {
            // Every band at 0 dB: exactly 0 dB everywhere, whatever the
            // filter bank's own sum shows.
            db.fill(1.0f);
            AppliedResponseDb(bands, rate, axis.data(), db.data(), CFilterBank::kAxisPoints);
            for (float v : db)
                ASSERT_EQ(v, 0.0f) << n << " bands at " << rate << " Hz";
        }
        // A boosted band alone: +15 dB at its centre, the sum of the bands'
        // responses in dB everywhere, never above the boost nor below 0.
        bands.gainDb.fill(0.0);
        bands.gainDb[1] = 15.0;
        AppliedResponseDb(bands, 44100.0, axis.data(), db.data(), CFilterBank::kAxisPoints);
        const EqualizerDesign design = DesignEqualizer(bands, 44100.0);
        EXPECT_NEAR(20.0 * std::log10(CascadeMagnitude(
                               design, EffectCentreHz(bands.centreHz[1], 44100.0), 44100.0)),
                    15.0, 1e-6);
        for (int32_t i = 0; i < CFilterBank::kAxisPoints; ++i) {
            const double hz = std::min(axis[i], 22050.0);
            ASSERT_NEAR(db[i], 20.0 * std::log10(BiquadMagnitude(design.bands[1], hz, 44100.0)),
                        1e-4);
            ASSERT_GE(db[i], -1e-4f);
            ASSERT_LE(db[i], 15.0f + 1e-4f);
        }
        // Two neighbours boosted overlap above either one's +15 dB, and that
        // is what the sound gets.
        bands.gainDb[0] = 15.0;
        AppliedResponseDb(bands, 44100.0, axis.data(), db.data(), CFilterBank::kAxisPoints);
        EXPECT_GT(*std::max_element(db.begin(), db.end()), 15.5f) << n << " bands";
    }
}

} // namespace
} // namespace tessel
