#include "equalizer/EqualizerDesign.h"

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

// The peak of the cascade is looked for on a logarithmic grid from 10 Hz to
// Nyquist and at every centre; between grid points (under 1/150 octave
// apart) these broad curves cannot rise by as much as the margin.
constexpr int kPeakGridPoints = 2048;
constexpr double kHeadroomMargin = 0.995; // about 0.04 dB

double PeakGain(const EqualizerDesign& design, const EqualizerBands& bands, double sampleRate) {
    double peak = 1.0;
    const double low = 10.0;
    const double high = sampleRate / 2.0;
    const double ratio = std::pow(high / low, 1.0 / (kPeakGridPoints - 1));
    double hz = low;
    for (int i = 0; i < kPeakGridPoints; ++i, hz *= ratio)
        peak = std::max(peak, CascadeMagnitude(design, std::min(hz, high), sampleRate));
    for (int32_t b = 0; b < design.count; ++b) {
        const double centre = EffectCentreHz(bands.centreHz[b], sampleRate);
        peak = std::max(peak, CascadeMagnitude(design, centre, sampleRate));
    }
    return peak;
}

} // namespace

EqualizerBands EqualizerBandsFromBank(const CFilterBank& bank) {
    EqualizerBands bands;
    bands.count = bank.GetNumBands();
    bands.octaves = EffectBandwidthOctaves(bands.count);
    for (int32_t b = 0; b < bands.count; ++b) {
        bands.centreHz[b] = bank.GetBandCentre(b);
        bands.gainDb[b] = EffectGainDb(bank.GetBandGain(b));
    }
    return bands;
}

EqualizerDesign DesignEqualizer(const EqualizerBands& bands, double sampleRate) {
    EqualizerDesign design;
    design.count = std::clamp(bands.count, 0, kEqualizerMaxBands);
    bool boosted = false;
    for (int32_t b = 0; b < design.count; ++b) {
        const double gainDb = std::clamp(bands.gainDb[b], -kEffectMaxGainDb, kEffectMaxGainDb);
        if (!std::isfinite(gainDb) || gainDb == 0.0)
            continue; // the identity
        design.flat = false;
        boosted = boosted || gainDb > 0.0;
        design.bands[b] = PeakingEq(EffectCentreHz(bands.centreHz[b], sampleRate), bands.octaves,
                                    gainDb, sampleRate);
    }
    // A cut alone never lifts the cascade above 1: peaking filters pass 0 Hz
    // and Nyquist unchanged and dip only in between.
    if (boosted)
        design.headroom = kHeadroomMargin / PeakGain(design, bands, sampleRate);
    return design;
}

double CascadeMagnitude(const EqualizerDesign& design, double hz, double sampleRate) {
    double gain = 1.0;
    for (int32_t b = 0; b < design.count; ++b)
        gain *= BiquadMagnitude(design.bands[b], hz, sampleRate);
    return gain;
}

} // namespace tessel
