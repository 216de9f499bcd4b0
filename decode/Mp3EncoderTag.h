// The encoder delay and padding that a LAME-style tag (written by LAME and by
// FFmpeg) stores in the first frame of an MP3 file. FFmpeg removes both while
// decoding but keeps the padding out of the duration it reports, so the exact
// length needs the padding from here.
#pragma once

#include <optional>
#include <string>

namespace tessel {

struct Mp3EncoderPadding {
    int delay = 0;   // samples the encoder put before the audio
    int padding = 0; // samples after it
};

std::optional<Mp3EncoderPadding> ReadMp3EncoderPadding(const std::string& path);

} // namespace tessel
