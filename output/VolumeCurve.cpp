#include "output/VolumeCurve.h"

#include <cmath>

namespace tessel {

namespace {
constexpr double kRampTimeConstantSteps = 500.0 / 3.0; // 166.666...
}

int32_t VolumeToAttenuation(double volume) {
    if (volume >= 1.0)
        return 0;
    if (!(volume > 0.0001)) // also NaN
        return kSilentAttenuation;
    return static_cast<int32_t>(std::trunc(5600.0 * volume)) - 5600;
}

double AttenuationToGain(int32_t attenuation) {
    if (attenuation >= 0)
        return 1.0;
    return std::pow(10.0, static_cast<double>(attenuation) / 2000.0);
}

int32_t RisingRampAttenuation(int32_t step, int32_t range) {
    const double shape = 1.0 - std::exp(-static_cast<double>(step) / kRampTimeConstantSteps);
    return static_cast<int32_t>(std::trunc(range * shape)) + kSilentAttenuation;
}

int32_t FallingRampAttenuation(int32_t step, int32_t range) {
    const double shape = std::exp(-static_cast<double>(step) / kRampTimeConstantSteps);
    return static_cast<int32_t>(std::trunc(range * shape)) + kSilentAttenuation;
}

uint32_t RampFrames(uint32_t sampleRate) {
    // Smallest f with f * 10000 / rate >= 500, i.e. ceil(rate / 20).
    return (sampleRate + 19) / 20;
}

} // namespace tessel
