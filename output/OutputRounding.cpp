#include "output/OutputRounding.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace tessel {

namespace {

using Floats = float __attribute__((vector_size(16)));
using Ints = int32_t __attribute__((vector_size(16)));

// A 24-bit draw to [0, 1): exact in float, and converts in vector lanes.
constexpr float kUnit = 1.0f / 16777216.0f;
// Adding and taking away 1.5 * 2^23 rounds a float below 2^22 in size to the
// nearest whole number (ties to even, as lrint does), in vector lanes.
constexpr float kRounder = 12582912.0f;

int16_t Round(float v) {
    // Saturates: beyond full scale stays at the rail (a NaN goes to the
    // bottom one).
    v = v > -32768.0f ? v : -32768.0f;
    v = v < 32767.0f ? v : 32767.0f;
    return static_cast<int16_t>(std::lrint(v));
}

// Four samples with their dither, rounded and saturated as Round does. A
// sample that is exactly 0 stays 0.
Ints RoundLanes(Floats v, Floats dither) {
    const Ints silent = v == 0.0f;
    Floats w = v + dither;
    w = std::bit_cast<Floats>(std::bit_cast<Ints>(w) & ~silent);
    w = w > -32768.0f ? w : Floats{} - 32768.0f;
    w = w < 32767.0f ? w : Floats{} + 32767.0f;
    w = (w + kRounder) - kRounder;
    return __builtin_convertvector(w, Ints);
}

} // namespace

void COutputRounding::Reset() {
    m_state = kSeeds;
}

COutputRounding::Lanes COutputRounding::Next() {
    // xorshift32 in each lane: cheap, and its period (2^32 - 1) outlasts any
    // pattern an ear or a spectrum could find.
    Lanes x = m_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_state = x;
    return x;
}

void COutputRounding::Dithered(const float* in, int16_t* out, uint32_t frames) {
    uint32_t i = 0;
    for (; i < frames; i += 4) {
        // TPDF: the difference of two uniform draws of one step each, one
        // value a frame, the same for both channels.
        const Lanes a = Next() >> 8;
        const Lanes b = Next() >> 8;
        const Floats dither =
            __builtin_convertvector(a, Floats) * kUnit - __builtin_convertvector(b, Floats) * kUnit;
        if (frames - i < 4) {
            for (uint32_t k = 0; i + k < frames; ++k) {
                const float left = in[2 * (i + k)];
                const float right = in[2 * (i + k) + 1];
                out[2 * (i + k)] = Round(left == 0.0f ? 0.0f : left + dither[k]);
                out[2 * (i + k) + 1] = Round(right == 0.0f ? 0.0f : right + dither[k]);
            }
            break;
        }
        Floats first, second;
        std::memcpy(&first, in + 2 * i, sizeof first);
        std::memcpy(&second, in + 2 * i + 4, sizeof second);
        const Ints low = RoundLanes(first, __builtin_shufflevector(dither, dither, 0, 0, 1, 1));
        const Ints high = RoundLanes(second, __builtin_shufflevector(dither, dither, 2, 2, 3, 3));
        for (int k = 0; k < 4; ++k) {
            out[2 * i + k] = static_cast<int16_t>(low[k]);
            out[2 * i + 4 + k] = static_cast<int16_t>(high[k]);
        }
    }
}

void COutputRounding::Plain(const float* in, int16_t* out, uint32_t frames) {
    for (uint32_t i = 0; i < 2 * frames; ++i)
        out[i] = Round(in[i]);
}

} // namespace tessel
