// The equalizer's effect as a whole: the band settings taken from the filter
// bank (free of any sample rate), and the cascade of peaking biquads they
// give at a stream's rate. Their product is the response the sound gets: no
// fixed headroom is taken off, a boost is heard as a boost (the render's
// limiter keeps a loud signal from clipping).
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
    // Every band at 0 dB (or none): the stage may pass samples untouched.
    bool flat = true;
};

EqualizerDesign DesignEqualizer(const EqualizerBands& bands, double sampleRate);

// The cascade's gain at `hz` (linear): what a tone of `hz` gets.
double CascadeMagnitude(const EqualizerDesign& design, double hz, double sampleRate);

// The applied response in dB at each of the bank's axis frequencies, for a
// stream at `sampleRate` (the graph's sum line).
void AppliedResponseDb(const EqualizerBands& bands, double sampleRate, const double* axisHz,
                       float* db, int32_t points);

} // namespace tessel
