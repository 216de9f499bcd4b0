// The equalizer's effect as a whole: the band settings taken from the filter
// bank (free of any sample rate), and the cascade of peaking biquads they
// give at a stream's rate, with the fixed headroom that keeps a boost from
// clipping.
#pragma once

#include "equalizer/FilterBank.h"
#include "equalizer/PeakingEq.h"

#include <array>
#include <cstdint>

namespace tessel {

constexpr int32_t kEqualizerMaxBands = CFilterBank::kMaxBands;

struct EqualizerBands {
    int32_t count = 0; // 0: the equalizer is off
    double octaves = 0.0;
    std::array<double, kEqualizerMaxBands> centreHz{}; // the bank's, unclamped
    std::array<double, kEqualizerMaxBands> gainDb{};   // already clamped
};

// Centre, bandwidth and gain of every band the bank has in use.
EqualizerBands EqualizerBandsFromBank(const CFilterBank& bank);

struct EqualizerDesign {
    int32_t count = 0;
    std::array<BiquadCoefficients, kEqualizerMaxBands> bands{};
    // Applied after the cascade: 1 / the cascade's peak gain (with a hair
    // of margin), or 1 when nothing is boosted.
    double headroom = 1.0;
    // Every band at 0 dB (or none): the stage may pass samples untouched.
    bool flat = true;
};

EqualizerDesign DesignEqualizer(const EqualizerBands& bands, double sampleRate);

// The cascade's gain at `hz` (linear), without the headroom.
double CascadeMagnitude(const EqualizerDesign& design, double hz, double sampleRate);

} // namespace tessel
