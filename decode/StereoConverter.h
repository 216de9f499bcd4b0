// Turns decoded FFmpeg frames of any sample format and channel count into
// interleaved signed 16-bit stereo, the layout of a chunk.
//
// Mono is widened by writing each sample unchanged to both sides (not at the
// -3 dB a default mixing matrix would give). More than two channels are mixed
// down with FFmpeg's standard stereo matrix, normalised so it cannot clip.
// Wider integers round to nearest; floats round to nearest (ties to even),
// with out-of-range values clamped and NaN taken as silence.
#pragma once

#include "decode/FfmpegHandles.h"

#include <cstdint>
#include <vector>

namespace tessel {

class CStereoConverter {
  public:
    CStereoConverter();
    ~CStereoConverter();
    CStereoConverter(const CStereoConverter&) = delete;
    CStereoConverter& operator=(const CStereoConverter&) = delete;

    // Writes frames [first, first + count) of `frame` as 2 * count samples
    // into `out`. False (nothing written) for a sample format it does not know
    // or a frame without channels.
    bool Convert(const AVFrame& frame, int first, int count, int16_t* out);

  private:
    bool PrepareDownmix(const AVChannelLayout& layout);

    AVChannelLayout m_downmixLayout;
    std::vector<float> m_downmix; // [2][channels]: weight of each input per side
};

// Rounding helpers, exposed for tests of the edge values.
int16_t FloatToPcm16(float value);
int16_t DoubleToPcm16(double value);
int16_t Int32ToPcm16(int32_t value);

} // namespace tessel
