// Windowed-sinc design of linear-phase FIR filters: lowpass, bandpass and
// highpass, Hamming-windowed, scaled to unit gain at a reference frequency
// in the passband. Frequencies are relative to the sample rate (0 ... 0.5).
#pragma once

#include <cstdint>

namespace tessel {

// Each writes `length` coefficients to `taps`. A length below 1 writes
// nothing; cut-offs are clamped into 0 ... 0.5. `unitAt` is the relative
// frequency whose gain is scaled to exactly 1.
void DesignFirLowpass(double cutoff, double unitAt, double* taps, int32_t length);
void DesignFirHighpass(double cutoff, double unitAt, double* taps, int32_t length);
void DesignFirBandpass(double lower, double upper, double unitAt, double* taps, int32_t length);

// |H| of `taps` at relative frequency `f`.
double FirMagnitude(const double* taps, int32_t length, double f);

} // namespace tessel
