// The render's one rounding: its shaped float samples to 16 bits (samples
// nothing shaped skip it and leave as they came in). They get TPDF dither
// (the sum of two uniform values of one step each) before rounding, so what
// rounding leaves behind is noise whose power does not follow the signal,
// rather than distortion of a quiet passage.
// Both channels of a frame get the same dither value, so a mono signal stays
// exactly mono. A sample that is exactly 0 stays 0: silence is not turned
// into hiss.
//
// Threads: the render thread; Reset while no render runs.
#pragma once

#include <cstdint>

namespace tessel {

class COutputRounding {
  public:
    // The dither's sequence starts anew, so a render is repeatable.
    void Reset();
    // Interleaved stereo frames, dithered and saturated at the rails.
    void Dithered(const float* in, int16_t* out, uint32_t frames);
    // The same without dither, to the nearest step.
    static void Plain(const float* in, int16_t* out, uint32_t frames);

    using Lanes = uint32_t __attribute__((vector_size(16)));

  private:
    // Four xorshift generators side by side, so four frames' dither comes
    // from one vector step.
    Lanes Next();
    Lanes m_state = kSeeds;
    static constexpr Lanes kSeeds = {0x9E3779B9u, 0x7F4A7C15u, 0xF39CC060u, 0x5CEDC834u};
};

} // namespace tessel
