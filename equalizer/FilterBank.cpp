#include "equalizer/FilterBank.h"

#include "equalizer/FirDesign.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

namespace tessel {

namespace {

// Filter lengths per band for the band counts that have a table.
constexpr int32_t kLengths2[] = {68, 46};
constexpr int32_t kLengths3[] = {256, 160, 45};
constexpr int32_t kLengths5[] = {282, 499, 262, 75, 49};
constexpr int32_t kLengths6[] = {182, 396, 162, 75, 49, 25};
constexpr int32_t kLengths12[] = {400, 500, 412, 307, 326, 238, 100, 100, 100, 100, 100, 100};
constexpr int32_t kLengths30[] = {400, 500, 490, 480, 470, 460, 450, 440, 430, 420,
                                  410, 400, 390, 380, 370, 360, 350, 340, 330, 320,
                                  310, 300, 290, 280, 270, 260, 250, 240, 230, 220};

std::span<const int32_t> LengthTable(int32_t bands) {
    switch (bands) {
    case 2:
        return kLengths2;
    case 3:
        return kLengths3;
    case 5:
        return kLengths5;
    case 6:
        return kLengths6;
    case 12:
        return kLengths12;
    case 30:
        return kLengths30;
    default:
        return {};
    }
}

enum BandKind : int32_t { kLowpass, kBandpass, kHighpass };

// Keeps a band with a zero in its response drawable: no -inf in the curves.
constexpr double kSmallestMagnitude = 1e-12;

} // namespace

CFilterBank::CFilterBank() {
    m_tapCount.fill(kDefaultTaps);
    m_gain.fill(1.0f);
    m_axisRatio = std::pow(1024.0, 0.0015625);
    m_axisStart = (20000.0 / 1024.0) * m_axisRatio;
}

void CFilterBank::SetNumBands(int32_t n) {
    n = std::clamp(n, kMinBands, kMaxBands);
    m_numBands = n;
    const std::span<const int32_t> table = LengthTable(n);
    for (int32_t b = 0; b < n; ++b)
        m_tapCount[b] = table.empty() ? kDefaultTaps : table[b];

    const double top = n < 10 ? 12000.0 : 16000.0;
    const double q = std::pow(2.0, 10.0 / n); // ten octaves shared among the bands
    const double rootQ = std::sqrt(q);
    // Each centre straight from the top one, rather than by multiplying on
    // band after band: the top centre is then exactly 12000 Hz, which the
    // window shows truncated to whole hertz.
    for (int32_t b = 0; b < n; ++b)
        m_centreFrequency[b] = top / std::pow(q, n - 1 - b);

    DesignBand(0, kLowpass, m_centreFrequency[0] * rootQ, 0.0);
    for (int32_t b = 1; b < n - 1; ++b)
        DesignBand(b, kBandpass, m_centreFrequency[b] / rootQ, m_centreFrequency[b] * rootQ);
    DesignBand(n - 1, kHighpass, m_centreFrequency[n - 1] / rootQ, 0.0);

    for (int32_t b = 0; b < n; ++b)
        ComputeBandResponse(b);
}

void CFilterBank::DesignBand(int32_t band, int32_t kind, double lower, double upper) {
    double* taps = m_taps[band].data();
    const int32_t length = m_tapCount[band];
    const double unitAt = m_centreFrequency[band] / m_sampleRate;
    // A short filter cannot follow a cut-off close to 0 Hz: the lowest band
    // is scaled at 0 Hz, where its passband surely is, the others at their
    // centre.
    switch (kind) {
    case kLowpass:
        DesignFirLowpass(lower / m_sampleRate, 0.0, taps, length);
        break;
    case kBandpass:
        DesignFirBandpass(lower / m_sampleRate, upper / m_sampleRate, unitAt, taps, length);
        break;
    default:
        DesignFirHighpass(lower / m_sampleRate, unitAt, taps, length);
        break;
    }
    std::fill(m_taps[band].begin() + length, m_taps[band].end(), 0.0);
}

void CFilterBank::ComputeBandResponse(int32_t band) {
    const double* h = m_taps[band].data();
    const int32_t length = m_tapCount[band];
    double omega = 2.0 * std::numbers::pi * m_axisStart / m_sampleRate;
    for (int32_t i = 0; i < kAxisPoints; ++i) {
        omega *= m_axisRatio;
        const double magnitude = FirMagnitude(h, length, omega / (2.0 * std::numbers::pi));
        const auto m = static_cast<float>(std::max(magnitude, kSmallestMagnitude));
        m_rawResponse[band][i] = 20.0f * std::log10(m);
    }
    UpdateBandResponse(band);
}

double CFilterBank::GetBandCentre(int32_t band) const {
    return InUse(band) ? m_centreFrequency[band] : 0.0;
}

float CFilterBank::GetBandGain(int32_t band) const {
    return InUse(band) ? m_gain[band] : 0.0f;
}

void CFilterBank::SetBandGain(int32_t band, float gain) {
    if (band < 0 || band >= kMaxBands || !std::isfinite(gain))
        return;
    m_gain[band] = gain;
}

void CFilterBank::UpdateBandResponse(int32_t band) {
    if (!InUse(band))
        return;
    const float g = m_gain[band];
    for (int32_t i = 0; i < kAxisPoints; ++i)
        m_bandResponse[band][i] = (m_rawResponse[band][i] + kFloorDb) * g - kFloorDb;
}

void CFilterBank::GetBandResponse(int32_t band, float* dst) const {
    if (!InUse(band) || dst == nullptr)
        return;
    std::copy(m_bandResponse[band].begin(), m_bandResponse[band].end(), dst);
}

void CFilterBank::GetSumResponse(float* dst) const {
    if (dst == nullptr)
        return;
    for (int32_t i = 0; i < kAxisPoints; ++i) {
        double sum = 0.0;
        for (int32_t b = 0; b < m_numBands; ++b)
            sum += std::pow(10.0, m_bandResponse[b][i] / 20.0);
        dst[i] = static_cast<float>(20.0 * std::log10(std::max(sum, kSmallestMagnitude)));
    }
}

int32_t CFilterBank::GetTapCount(int32_t band) const {
    return band >= 0 && band < kMaxBands ? m_tapCount[band] : 0;
}

const double* CFilterBank::GetTaps(int32_t band) const {
    return InUse(band) ? m_taps[band].data() : nullptr;
}

double CFilterBank::AxisFrequency(int32_t point) const {
    return m_axisStart * std::pow(m_axisRatio, point + 1);
}

} // namespace tessel
