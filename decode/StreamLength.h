// The exact number of decodable sample frames of an audio stream, where the
// file tells it. FFmpeg's own durations still count the encoder delay and
// padding that its decoders remove for some formats (MP3, Ogg Opus), or count
// end padding that its decoders keep (AAC in MP4). Where FFmpeg removes
// nothing (an MP3 without a LAME header), iTunes' gapless tag says what to
// drop at either end.
#pragma once

#include "decode/FfmpegHandles.h"

#include <cstdint>
#include <string>

namespace tessel {

struct StreamLength {
    int64_t frames = -1; // -1 when the file does not tell
    // The decoder may deliver more than `frames` (padding it keeps): cut
    // there. False where the count is only what a header claims.
    bool cutAtLength = false;
    // Samples the decoder delivers before the audio starts, which FFmpeg
    // does not drop by itself: the reader drops them.
    int64_t leadingFrames = 0;
};

StreamLength FindStreamLength(const AVFormatContext& format, const AVStream& stream, int sampleRate,
                              const std::string& path);

} // namespace tessel
