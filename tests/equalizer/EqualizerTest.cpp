// The equalizer's own parts. The filter bank behind the window: layouts,
// the designed filters' responses and the gain step on the curves. The
// effect's filters: how a band of the bank becomes a peaking biquad and
// what that biquad's response is (the sum line the window draws from them
// is the window's test; that nothing is taken off is heard in the
// output's). The level meter's copy of the ring.
#include "equalizer/AnalysisRing.h"
#include "equalizer/EqualizerDesign.h"
#include "equalizer/FilterBank.h"
#include "equalizer/FirDesign.h"
#include "equalizer/PeakingEq.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <vector>

namespace tessel {
namespace {

std::unique_ptr<CFilterBank> Bank(int32_t bands) {
    auto bank = std::make_unique<CFilterBank>();
    bank->SetNumBands(bands);
    return bank;
}

double BandDb(const CFilterBank& bank, int32_t band, double hz) {
    return 20.0 * std::log10(FirMagnitude(bank.GetTaps(band), bank.GetTapCount(band),
                                          hz / bank.GetSampleRate()));
}

std::vector<float> Curve(const CFilterBank& bank, int32_t band) {
    std::vector<float> curve(CFilterBank::kAxisPoints);
    bank.GetBandResponse(band, curve.data());
    return curve;
}

// Band counts outside what the window offers are clamped, and bands outside
// the layout answer nothing. Every layout is contiguous, a band apart; its
// bands pass at their centres, and the two meeting at a crossover are both
// half down there.
TEST(FilterBank, LayoutsAreClampedAndContiguousAndTheirBandsCrossOverAtHalf) {
    auto bank = std::make_unique<CFilterBank>();
    EXPECT_EQ(bank->GetBandCentre(0), 0.0) << "no band before the first design";
    bank->SetNumBands(1);
    EXPECT_EQ(bank->GetNumBands(), 2);
    bank->SetNumBands(40);
    EXPECT_EQ(bank->GetNumBands(), 30);
    EXPECT_NEAR(bank->AxisFrequency(64) / bank->AxisFrequency(0), 2.0, 1e-12) << "64 per octave";
    for (int32_t n : {2, 3, 5}) {
        bank->SetNumBands(n);
        for (int32_t bad : {-1, n})
            EXPECT_TRUE(bank->GetBandCentre(bad) == 0.0 && bank->GetBandGain(bad) == 0.0f) << bad;
        const double q = std::pow(2.0, 10.0 / n);
        for (int32_t b = 0; b < n; ++b) {
            SCOPED_TRACE(std::to_string(n) + " bands, band " + std::to_string(b));
            EXPECT_NEAR(BandDb(*bank, b, bank->GetBandCentre(b)), 0.0, 0.6);
            // Five bands' lowest crossover (93.75 Hz) is narrower than what
            // a 282-tap filter at 44.1 kHz can resolve, so it is left out.
            if (b + 1 < n && !(n == 5 && b == 0)) {
                EXPECT_NEAR(bank->GetBandCentre(b + 1) / bank->GetBandCentre(b), q, 1e-9);
                const double crossover = bank->GetBandCentre(b) * std::sqrt(q);
                EXPECT_NEAR(BandDb(*bank, b, crossover), -6.02, 0.6);
                EXPECT_NEAR(BandDb(*bank, b + 1, crossover), -6.02, 0.6);
            }
        }
    }
    // A Hamming window keeps the far stopband below about -50 dB, where a
    // plain truncation would leak at -21 dB.
    bank->SetNumBands(3);
    for (double hz = 20.0; hz < 1500.0; hz *= 1.05)
        ASSERT_LT(BandDb(*bank, 2, hz), -45.0) << hz << " Hz through the 45-tap highpass";
}

TEST(FilterBank, AGainLiftsTheCurveOnUpdateAndStaysWithItsBandIndexAcrossLayouts) {
    auto bank = Bank(5);
    const std::vector<float> raw = Curve(*bank, 2);
    bank->SetBandGain(2, 1.15f);
    EXPECT_EQ(Curve(*bank, 2), raw) << "the curve follows only on UpdateBandResponse";
    bank->UpdateBandResponse(2);
    // The passband moves to +14.45 dB; the centre of band 2 is 750 Hz.
    const int32_t at750 = static_cast<int32_t>(std::lround(64.0 * std::log2(750.0 / 19.959)));
    EXPECT_NEAR(Curve(*bank, 2)[at750], 14.45, 0.1);
    bank->SetBandGain(2, 0.85f);
    bank->UpdateBandResponse(2);
    EXPECT_NEAR(Curve(*bank, 2)[at750], -14.45, 0.1);
    bank->SetBandGain(2, std::nanf(""));
    EXPECT_FLOAT_EQ(bank->GetBandGain(2), 0.85f) << "not a number: ignored";

    bank->SetBandGain(3, 1.1f);
    bank->SetNumBands(3);
    EXPECT_EQ(bank->GetBandGain(3), 0.0f) << "out of range in three bands";
    bank->SetNumBands(5);
    EXPECT_FLOAT_EQ(bank->GetBandGain(3), 1.1f);
    // The new design's curve carries the kept gain.
    const int32_t at3k = static_cast<int32_t>(std::lround(64.0 * std::log2(3000.0 / 19.959)));
    EXPECT_NEAR(Curve(*bank, 3)[at3k], 9.63, 0.1);
}

TEST(PeakingEq, BandSettingsFromTheBank) {
    EXPECT_DOUBLE_EQ(EffectGainDb(1.3), 15.0);
    EXPECT_DOUBLE_EQ(EffectGainDb(std::nan("")), 0.0);
    // Kept below 0.45 x the rate: a 12 kHz band at 22.05 or 8 kHz would sit
    // at or beyond Nyquist.
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 44100.0), 12000.0);
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 22050.0), 9922.5);
    EXPECT_DOUBLE_EQ(EffectCentreHz(12000.0, 8000.0), 3600.0);

    auto bank = Bank(5);
    bank->SetBandGain(1, 1.08f);
    const EqualizerBands bands = EqualizerBandsFromBank(*bank);
    EXPECT_EQ(bands.count, 5);
    EXPECT_DOUBLE_EQ(bands.centreHz[0], bank->GetBandCentre(0)) << "clamped only for a rate";
    EXPECT_NEAR(bands.gainDb[1], 8.0, 1e-4);
    EXPECT_DOUBLE_EQ(bands.gainDb[2], 0.0);

    // The design clamps: at 8 kHz the top band's full cut is at 3600 Hz.
    EqualizerBands cut = bands;
    cut.gainDb = {0.0, 0.0, 0.0, 0.0, -15.0};
    const double at3600 = CascadeMagnitude(DesignEqualizer(cut, 8000.0), 3600.0, 8000.0);
    EXPECT_NEAR(20.0 * std::log10(at3600), -15.0, 1e-6);
}

TEST(PeakingEq, GainAtTheCentreHalfOfItABandwidthApartAndNoneAtTheEnds) {
    const double rate = 44100.0;
    for (double gainDb : {12.0, -15.0}) {
        const BiquadCoefficients c = PeakingEq(750.0, 2.0, gainDb, rate);
        EXPECT_NEAR(BiquadMagnitudeDb(c, 750.0, rate), gainDb, 1e-9);
        for (double hz : {375.0, 1500.0})
            EXPECT_NEAR(BiquadMagnitudeDb(c, hz, rate), gainDb / 2.0, 0.05) << hz;
        for (double hz : {0.0, rate / 2.0})
            EXPECT_NEAR(BiquadMagnitudeDb(c, hz, rate), 0.0, 1e-9) << hz;
    }
    // 0 dB is the identity, and so is anything that cannot be a filter.
    for (const BiquadCoefficients& c :
         {PeakingEq(750.0, 2.0, 0.0, rate), PeakingEq(30000.0, 2.0, 6.0, rate),
          PeakingEq(750.0, 2.0, std::nan(""), rate)})
        EXPECT_TRUE(c.b0 == 1.0 && c.a1 == 0.0 && c.a2 == 0.0);
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
                    SCOPED_TRACE(std::to_string(n) + " bands at " + std::to_string(rate) +
                                 " Hz, band " + std::to_string(b) + ", " + std::to_string(gainDb));
                    const double centre = EffectCentreHz(bank->GetBandCentre(b), rate);
                    const double octaves = EffectBandwidthOctaves(n);
                    const BiquadCoefficients c = PeakingEq(centre, octaves, gainDb, rate);
                    // Left to the cookbook's relation alone, a wide band at
                    // 0.45 x the rate has a pole within 1e-6 of the unit
                    // circle, and float rounding turns into audible noise.
                    ASSERT_LT(PoleRadius(c), 0.9995);
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
                              std::abs(gainDb) / 2 + 1e-6);
                }
            }
        }
    }
}

TEST(AnalysisRing, LevelsOfKnownSignalsSlotBySlotAndOutOfRangeOffsetsIgnored) {
    auto ring = std::make_unique<CAnalysisRing>();
    // A chunk of (left, right) frames stored at `byteOffset`.
    const auto store = [&](int16_t left, int16_t right, int byteOffset) {
        std::vector<int16_t> chunk(kChunkSamples, left);
        for (size_t i = 1; i < chunk.size(); i += 2)
            chunk[i] = right;
        ring->StoreChunk(0, chunk.data(), byteOffset);
    };
    constexpr int kSlot = static_cast<int>(kChunkBytes);
    EXPECT_FLOAT_EQ(ring->GetLevelDb(0, 7), 0.0f) << "never stored: silence";
    store(1000, -1000, 3 * kSlot);
    EXPECT_NEAR(ring->GetLevelDb(0, 3), 60.0f, 1e-4);
    store(1234, 1234, 4 * kSlot);
    EXPECT_FLOAT_EQ(ring->GetLevelDb(0, 4), 0.0f) << "a constant deviates by nothing";
    store(32767, -32767, 49 * kSlot);
    EXPECT_NEAR(ring->GetLevelDb(0, 49), 90.31f, 0.01);
    EXPECT_NEAR(ring->GetLevelDb(0, 3), 60.0f, 1e-4) << "slots are independent";

    ring = std::make_unique<CAnalysisRing>();
    store(1000, -1000, CAnalysisRing::kSlots * kSlot);
    store(1000, -1000, -2);
    for (int slot = 0; slot <= CAnalysisRing::kSlots; ++slot)
        EXPECT_FLOAT_EQ(ring->GetLevelDb(0, slot), 0.0f) << slot;
}

} // namespace
} // namespace tessel
