#include "equalizer/EqualizerDesign.h"

#include <algorithm>
#include <cmath>

namespace tessel {

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
    for (int32_t b = 0; b < design.count; ++b) {
        const double gainDb = std::clamp(bands.gainDb[b], -kEffectMaxGainDb, kEffectMaxGainDb);
        if (!std::isfinite(gainDb) || gainDb == 0.0)
            continue; // the identity
        design.flat = false;
        design.bands[b] = PeakingEq(EffectCentreHz(bands.centreHz[b], sampleRate), bands.octaves,
                                    gainDb, sampleRate);
    }
    return design;
}

double CascadeMagnitude(const EqualizerDesign& design, double hz, double sampleRate) {
    double gain = 1.0;
    for (int32_t b = 0; b < design.count; ++b)
        gain *= BiquadMagnitude(design.bands[b], hz, sampleRate);
    return gain;
}

void AppliedResponseDb(const EqualizerBands& bands, double sampleRate, const double* axisHz,
                       float* db, int32_t points) {
    const EqualizerDesign design = DesignEqualizer(bands, sampleRate);
    for (int32_t i = 0; i < points; ++i) {
        // Above Nyquist the stream has nothing: the curve holds its last value.
        const double hz = std::min(axisHz[i], sampleRate / 2.0);
        db[i] = static_cast<float>(20.0 * std::log10(CascadeMagnitude(design, hz, sampleRate)));
    }
}

} // namespace tessel
