#include "output/PeakLimiter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tessel {

namespace {

constexpr double kHoldSeconds = 0.010;
constexpr double kReleaseSeconds = 0.080; // time constant of the recovery
// A reduction this small is over: the gain goes back to exactly 1. (The
// reduction, not the gain, decays: near 1 a float gain has too few steps to
// creep up to it.)
constexpr float kDone = 1e-5f;

} // namespace

void CPeakLimiter::Reset(uint32_t sampleRate) {
    const double rate = std::max<uint32_t>(sampleRate, 1);
    m_reduction = 0.0f;
    m_holdLeft = 0;
    m_holdFrames = static_cast<uint32_t>(kHoldSeconds * rate);
    m_release = static_cast<float>(std::exp(-1.0 / (kReleaseSeconds * rate)));
}

namespace {

// In vector lanes, without a branch a sample: this runs on every shaped
// block. A NaN sample counts as nothing here; it is left to the rounding,
// which saturates it, as in the limiting pass.
float LargestMagnitude(const float* samples, uint32_t count) {
    using Floats = float __attribute__((vector_size(16)));
    using Ints = int32_t __attribute__((vector_size(16)));
    Floats largest = {};
    uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        Floats v;
        std::memcpy(&v, samples + i, sizeof v);
        const Floats size = std::bit_cast<Floats>(std::bit_cast<Ints>(v) & 0x7fffffff);
        largest = size > largest ? size : largest;
    }
    float peak = std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3]));
    for (; i < count; ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

} // namespace

bool CPeakLimiter::Process(float* frames, uint32_t count) {
    if (m_reduction == 0.0f && LargestMagnitude(frames, 2 * count) <= kLimit)
        return false; // nothing to do: the samples stay exact
    for (uint32_t i = 0; i < count; ++i) {
        float* frame = frames + 2 * i;
        if (m_holdLeft > 0) {
            --m_holdLeft;
        } else if (m_reduction > 0.0f) {
            m_reduction *= m_release;
            if (m_reduction < kDone)
                m_reduction = 0.0f;
        }
        const float peak = std::max(std::fabs(frame[0]), std::fabs(frame[1]));
        float gain = 1.0f - m_reduction;
        if (peak * gain > kLimit) {
            gain = kLimit / peak;
            m_reduction = 1.0f - gain;
            m_holdLeft = m_holdFrames;
        }
        // A NaN, which stable filters never make, fails every comparison
        // and is left to the conversion, which saturates it.
        frame[0] *= gain;
        frame[1] *= gain;
    }
    return true;
}

} // namespace tessel
