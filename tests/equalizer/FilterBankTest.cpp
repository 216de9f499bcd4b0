// The filter bank behind the equalizer window: layouts, filter lengths, the
// designed filters' responses and the gain step on the curves.
#include "equalizer/FilterBank.h"
#include "equalizer/FirDesign.h"

#include <gtest/gtest.h>

#include <cmath>
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
// the layout answer nothing; every layout stays contiguous, a band apart.
TEST(FilterBank, BandCountsAreClampedAndLayoutsAreContiguous) {
    auto bank = std::make_unique<CFilterBank>();
    EXPECT_EQ(bank->GetBandCentre(0), 0.0) << "no band before the first design";
    bank->SetNumBands(1);
    EXPECT_EQ(bank->GetNumBands(), 2);
    bank->SetNumBands(40);
    EXPECT_EQ(bank->GetNumBands(), 30);
    for (int32_t n : {4, 5}) {
        bank->SetNumBands(n);
        for (int32_t bad : {-1, n}) {
            EXPECT_EQ(bank->GetBandCentre(bad), 0.0);
            EXPECT_EQ(bank->GetBandGain(bad), 0.0f);
        }
        const double q = std::pow(2.0, 10.0 / n);
        for (int32_t b = 1; b < n; ++b)
            EXPECT_NEAR(bank->GetBandCentre(b) / bank->GetBandCentre(b - 1), q, 1e-9) << b;
    }
    EXPECT_NEAR(bank->AxisFrequency(64) / bank->AxisFrequency(0), 2.0, 1e-12) << "64 per octave";
}

TEST(FilterBank, PassbandsAreNearZeroDbAndCrossoversNearMinusSix) {
    for (int32_t n : {2, 3, 5}) {
        auto bank = Bank(n);
        const double rootQ = std::pow(2.0, 5.0 / n);
        for (int32_t b = 0; b < n; ++b)
            EXPECT_NEAR(BandDb(*bank, b, bank->GetBandCentre(b)), 0.0, 0.6) << n << " bands, " << b;
        // The two bands meeting at a crossover are both half down there.
        // Five bands' lowest crossover (93.75 Hz) is narrower than what a
        // 282-tap filter at 44.1 kHz can resolve, so it is left out.
        for (int32_t b = (n == 5 ? 1 : 0); b + 1 < n; ++b) {
            const double crossover = bank->GetBandCentre(b) * rootQ;
            EXPECT_NEAR(BandDb(*bank, b, crossover), -6.02, 0.6) << n << " bands, " << b;
            EXPECT_NEAR(BandDb(*bank, b + 1, crossover), -6.02, 0.6) << n << " bands, " << b + 1;
        }
    }
}

TEST(FilterBank, FiltersAreLinearPhaseAndHammingWindowed) {
    auto bank = Bank(3);
    for (int32_t b = 0; b < 3; ++b) {
        const double* h = bank->GetTaps(b);
        const int32_t length = bank->GetTapCount(b);
        for (int32_t k = 0; k < length / 2; ++k)
            ASSERT_NEAR(h[k], h[length - 1 - k], 1e-12) << "band " << b << " tap " << k;
    }
    // A Hamming window keeps the far stopband below about -50 dB, where a
    // plain truncation would leak at -21 dB.
    for (double hz = 20.0; hz < 1500.0; hz *= 1.05)
        ASSERT_LT(BandDb(*bank, 2, hz), -45.0) << hz << " Hz through the 45-tap highpass";
    // The curve is that filter's response on the axis.
    const std::vector<float> curve = Curve(*bank, 1);
    for (int32_t i = 0; i < CFilterBank::kAxisPoints; i += 37)
        EXPECT_NEAR(curve[i], BandDb(*bank, 1, bank->AxisFrequency(i)), 1e-3) << i;
}

TEST(FilterBank, TheGainStepIsAffineAroundTheFloor) {
    auto bank = Bank(5);
    const std::vector<float> raw = Curve(*bank, 2);
    bank->SetBandGain(2, 1.15f);
    EXPECT_EQ(Curve(*bank, 2), raw) << "the curve follows only on UpdateBandResponse";
    bank->UpdateBandResponse(2);
    std::vector<float> up = Curve(*bank, 2);
    for (int32_t i = 0; i < CFilterBank::kAxisPoints; ++i)
        ASSERT_NEAR(up[i], (raw[i] + 96.33f) * 1.15f - 96.33f, 1e-3) << i;
    // The passband moves to +14.45 dB; the centre of band 2 is 750 Hz.
    const int32_t at750 = static_cast<int32_t>(std::lround(64.0 * std::log2(750.0 / 19.959)));
    EXPECT_NEAR(up[at750], 14.45, 0.1);

    bank->SetBandGain(2, 0.85f);
    bank->UpdateBandResponse(2);
    EXPECT_NEAR(Curve(*bank, 2)[at750], -14.45, 0.1);
    // A point near the floor barely moves.
    const std::vector<float> down = Curve(*bank, 2);
    for (int32_t i = 0; i < CFilterBank::kAxisPoints; ++i) {
        if (std::abs(raw[i] + 96.33f) < 3.0f) {
            ASSERT_NEAR(down[i], raw[i], 0.5) << i;
        }
    }
    bank->SetBandGain(2, std::nanf(""));
    EXPECT_FLOAT_EQ(bank->GetBandGain(2), 0.85f) << "not a number: ignored";
}

TEST(FilterBank, GainsStayWithTheirBandIndexAcrossLayouts) {
    auto bank = Bank(5);
    bank->SetBandGain(3, 1.1f);
    bank->UpdateBandResponse(3);
    bank->SetNumBands(3);
    EXPECT_EQ(bank->GetBandGain(3), 0.0f) << "out of range in three bands";
    bank->SetNumBands(5);
    EXPECT_FLOAT_EQ(bank->GetBandGain(3), 1.1f);
    // The new design's curve carries the kept gain.
    const int32_t at3k = static_cast<int32_t>(std::lround(64.0 * std::log2(3000.0 / 19.959)));
    EXPECT_NEAR(Curve(*bank, 3)[at3k], 9.63, 0.1);

    // With every gain at 1 the bands add up to roughly flat.
    bank->SetBandGain(3, 1.0f);
    bank->UpdateBandResponse(3);
    std::vector<float> sum(CFilterBank::kAxisPoints);
    bank->GetSumResponse(sum.data());
    for (int32_t i = 0; i < CFilterBank::kAxisPoints; ++i) {
        if (bank->AxisFrequency(i) > 30.0 && bank->AxisFrequency(i) < 16000.0) {
            ASSERT_NEAR(sum[i], 0.0, 3.5) << bank->AxisFrequency(i) << " Hz";
        }
    }
}

} // namespace
} // namespace tessel
