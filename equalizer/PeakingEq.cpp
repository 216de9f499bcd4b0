#include "equalizer/PeakingEq.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tessel {

double EffectCentreHz(double bankCentreHz, double sampleRate) {
    double centre = std::clamp(bankCentreHz, kEffectMinCentreHz, kEffectMaxCentreHz);
    if (std::isnan(centre))
        centre = kEffectMinCentreHz;
    return std::min(centre, kEffectMaxCentreShare * sampleRate);
}

double EffectBandwidthOctaves(int32_t bandCount) {
    return bandCount < 1 ? 0.0 : 120.0 / bandCount / 12.0;
}

double EffectGainDb(double bandGain) {
    if (!std::isfinite(bandGain))
        return 0.0;
    return std::clamp((bandGain - 1.0) * 100.0, -kEffectMaxGainDb, kEffectMaxGainDb);
}

BiquadCoefficients PeakingEq(double centreHz, double octaves, double gainDb, double sampleRate) {
    if (!(sampleRate > 0.0) || !(centreHz > 0.0) || centreHz >= sampleRate / 2.0 ||
        !(octaves > 0.0) || gainDb == 0.0 || !std::isfinite(gainDb))
        return {};
    const double w0 = 2.0 * std::numbers::pi * centreHz / sampleRate;
    const double a = std::pow(10.0, gainDb / 40.0);
    // The cookbook's digital relation: the bandwidth in the analog prototype
    // is widened by w0 / sin w0 to make up for the bilinear transform's warp.
    double analogOctaves = octaves * w0 / std::sin(w0);
    // Close to Nyquist that factor grows without bound and the lower
    // half-gain point runs off towards 0 Hz (at 0.45 x the rate, five
    // octaves put it below 0.01 Hz, with poles so close to the unit circle
    // that float rounding becomes audible noise). So the lower half-gain
    // point stays at most a whole bandwidth below the centre, twice where
    // it belongs; further from Nyquist the cookbook's value is always the
    // smaller one.
    const double lowest = w0 / std::pow(2.0, octaves);
    const double widest = 2.0 * std::log2(std::tan(w0 / 2.0) / std::tan(lowest / 2.0));
    analogOctaves = std::min(analogOctaves, widest);
    const double alpha = std::sin(w0) * std::sinh(std::numbers::ln2 / 2.0 * analogOctaves);
    const double cosW0 = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    BiquadCoefficients c;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * cosW0 / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = -2.0 * cosW0 / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

PeakingSection AsSignalPlusBandpass(const BiquadCoefficients& c) {
    return {c.b0 - 1.0, c.a1, c.a2};
}

double BiquadMagnitude(const BiquadCoefficients& c, double hz, double sampleRate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2));
}

double BiquadMagnitudeDb(const BiquadCoefficients& c, double hz, double sampleRate) {
    return 20.0 * std::log10(BiquadMagnitude(c, hz, sampleRate));
}

} // namespace tessel
