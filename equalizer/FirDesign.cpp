#include "equalizer/FirDesign.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tessel {

namespace {

constexpr double kPi = std::numbers::pi;

// The ideal lowpass of cut-off fc at offset t from the filter's middle.
double IdealLowpass(double fc, double t) {
    if (t == 0.0)
        return 2.0 * fc;
    return std::sin(2.0 * kPi * fc * t) / (kPi * t);
}

// An ideal highpass is an all-pass minus a lowpass. For an even length the
// all-pass part sits half-way between two taps, so it is a sinc too rather
// than a single tap.
double IdealAllpass(double t) {
    return IdealLowpass(0.5, t);
}

double Hamming(int32_t k, int32_t length) {
    if (length == 1)
        return 1.0;
    return 0.54 - 0.46 * std::cos(2.0 * kPi * k / (length - 1));
}

double Clamp(double f) {
    return std::clamp(f, 0.0, 0.5);
}

template <typename Ideal> void Design(Ideal ideal, double unitAt, double* taps, int32_t length) {
    if (length < 1 || taps == nullptr)
        return;
    const double middle = (length - 1) / 2.0;
    for (int32_t k = 0; k < length; ++k)
        taps[k] = ideal(k - middle) * Hamming(k, length);
    const double gain = FirMagnitude(taps, length, Clamp(unitAt));
    if (gain > 0.0)
        for (int32_t k = 0; k < length; ++k)
            taps[k] /= gain;
}

} // namespace

void DesignFirLowpass(double cutoff, double unitAt, double* taps, int32_t length) {
    const double fc = Clamp(cutoff);
    Design([fc](double t) { return IdealLowpass(fc, t); }, unitAt, taps, length);
}

void DesignFirHighpass(double cutoff, double unitAt, double* taps, int32_t length) {
    const double fc = Clamp(cutoff);
    Design([fc](double t) { return IdealAllpass(t) - IdealLowpass(fc, t); }, unitAt, taps, length);
}

void DesignFirBandpass(double lower, double upper, double unitAt, double* taps, int32_t length) {
    const double f1 = Clamp(std::min(lower, upper));
    const double f2 = Clamp(std::max(lower, upper));
    Design([f1, f2](double t) { return IdealLowpass(f2, t) - IdealLowpass(f1, t); }, unitAt, taps,
           length);
}

double FirMagnitude(const double* taps, int32_t length, double f) {
    // One rotation per tap instead of a cosine and a sine.
    const std::complex<double> step = std::polar(1.0, -2.0 * kPi * f);
    std::complex<double> turn = 1.0;
    std::complex<double> sum = 0.0;
    for (int32_t k = 0; k < length; ++k) {
        sum += taps[k] * turn;
        turn *= step;
    }
    return std::abs(sum);
}

} // namespace tessel
