// The title tag of an open file, whichever of its tag blocks holds it, as
// valid UTF-8.
#pragma once

#include "decode/FfmpegHandles.h"

#include <string>

namespace tessel {

// The container's own tags first (ID3v2, ASF, MP4, APE, FLAC comments), then
// the audio stream's (where Ogg keeps Vorbis and Opus comments). "" when none.
std::string ReadTitleTag(const AVFormatContext& format, const AVStream& stream);

} // namespace tessel
