// iTunes' gapless tag, "iTunSMPB": eleven or twelve hexadecimal fields, of
// which the second to fourth count the samples to drop at the start (the
// encoder's and the decoder's delay together), the padding at the end, and
// the samples of the original audio:
//
//   " 00000000 00000840 000001C4 0000000000ABCDEF 00000000 ..."
//
// iTunes writes it into MP3 files as an ID3v2 comment or user text frame and
// into MP4 files as a freeform atom; FFmpeg hands it on as metadata.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessel {

struct ITunesGapless {
    int64_t delay = 0;       // samples of the decoder's output before the audio
    int64_t padding = 0;     // samples after it
    int64_t sampleCount = 0; // the audio's own length; above 0
};

// Nothing for text that is not such a tag or holds implausible counts.
std::optional<ITunesGapless> ParseITunesGapless(std::string_view text);

} // namespace tessel
