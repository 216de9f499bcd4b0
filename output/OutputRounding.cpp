#include "output/OutputRounding.h"

#include <cmath>

namespace tessel {

namespace {
constexpr float kUnit = 1.0f / 4294967296.0f; // 2^-32: a 32-bit draw to [0, 1)
}

void COutputRounding::Reset() {
    m_state = 0x9E3779B9u;
}

uint32_t COutputRounding::Next() {
    // xorshift32: cheap, and its period (2^32 - 1) outlasts any pattern an
    // ear or a spectrum could find.
    uint32_t x = m_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_state = x;
    return x;
}

namespace {

int16_t Round(float v) {
    // Saturates: beyond full scale stays at the rail (a NaN goes to the
    // bottom one).
    v = v > -32768.0f ? v : -32768.0f;
    v = v < 32767.0f ? v : 32767.0f;
    return static_cast<int16_t>(std::lrint(v));
}

} // namespace

void COutputRounding::Dithered(const float* in, int16_t* out, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) {
        const float dither =
            static_cast<float>(Next()) * kUnit - static_cast<float>(Next()) * kUnit;
        const float left = in[2 * i];
        const float right = in[2 * i + 1];
        out[2 * i] = Round(left == 0.0f ? 0.0f : left + dither);
        out[2 * i + 1] = Round(right == 0.0f ? 0.0f : right + dither);
    }
}

void COutputRounding::Plain(const float* in, int16_t* out, uint32_t frames) {
    for (uint32_t i = 0; i < 2 * frames; ++i)
        out[i] = Round(in[i]);
}

} // namespace tessel
