// The headroom of the render's float stage: a peak limiter without
// look-ahead that acts only when a sample would pass full scale. Its gain
// drops at once to just what keeps the loudest sample of the frame within
// the limit (both channels alike, so the stereo image holds), stays there
// for a short hold and then recovers smoothly; below the limit, with its
// gain back at 1, it leaves the samples exactly as they are. So a boost is
// heard as a boost, and only a signal that needs it is turned down.
//
// Threads: the render thread; Reset while no render runs.
#pragma once

#include <cstdint>

namespace tessel {

class CPeakLimiter {
  public:
    // The largest magnitude the limiter lets through, in 16-bit sample
    // units: two steps below full scale, so the dither's +-1 step after it
    // never reaches the rails either.
    static constexpr float kLimit = 32765.0f;

    void Reset(uint32_t sampleRate);
    // Limits `count` interleaved stereo frames in place. True when it
    // changed any sample.
    bool Process(float* frames, uint32_t count);
    // Still recovering from a reduction: it must see the next block even if
    // nothing else shapes it.
    bool Active() const { return m_reduction > 0.0f; }

  private:
    float m_reduction = 0.0f; // 1 - the gain
    uint32_t m_holdLeft = 0;
    uint32_t m_holdFrames = 441;
    float m_release = 0.9997f; // per frame, of the remaining reduction
};

} // namespace tessel
