// One band of the equalizer's effect: a peaking biquad after the Audio EQ
// Cookbook, with its bandwidth in octaves between the points of half the
// gain in dB, and the mapping from the filter bank's band to its centre,
// bandwidth and gain.
#pragma once

#include <cstdint>

namespace tessel {

// Normalised so that a0 = 1:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
struct BiquadCoefficients {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

constexpr double kEffectMinCentreHz = 80.0;
constexpr double kEffectMaxCentreHz = 16000.0;
constexpr double kEffectMaxGainDb = 15.0;
// A centre at or above Nyquist makes the filter unstable, one close to it
// makes it meaningless: centres stay below this share of the sample rate.
constexpr double kEffectMaxCentreShare = 0.45;

// The bank's centre clamped to 80 ... 16000 Hz and below 0.45 x the rate.
double EffectCentreHz(double bankCentreHz, double sampleRate);
// 120 / n semitones, in octaves; 0 for a count below 1.
double EffectBandwidthOctaves(int32_t bandCount);
// (gain - 1) x 100 dB, clamped to +-15 dB; 0 dB for a gain that is not a
// finite number.
double EffectGainDb(double bandGain);

BiquadCoefficients PeakingEq(double centreHz, double octaves, double gainDb, double sampleRate);

// A peaking biquad (b1 = a1, b2 - a2 = 1 - b0) written as the signal plus a
// scaled bandpass: H(z) = 1 + lift (1 - z^-2) / (1 + a1 z^-1 + a2 z^-2).
// The render runs it in this form: three multiplies per sample instead of
// five, and the unchanged part of the sound passes exactly, so float
// rounding only touches the small part the band adds or takes away.
struct PeakingSection {
    double lift = 0.0; // b0 - 1; 0 for the identity
    double a1 = 0.0;
    double a2 = 0.0;
};

PeakingSection AsSignalPlusBandpass(const BiquadCoefficients& c);

// The analytic response at `hz`: |H(e^jw)|, and the same in dB.
double BiquadMagnitude(const BiquadCoefficients& c, double hz, double sampleRate);
double BiquadMagnitudeDb(const BiquadCoefficients& c, double hz, double sampleRate);

} // namespace tessel
