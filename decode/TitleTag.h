// The title tag of an open file, whichever of its tag blocks holds it, as
// valid UTF-8.
#pragma once

#include "decode/FfmpegHandles.h"

#include <string>
#include <string_view>

namespace tessel {

// The container's own tags first (ID3v2, ASF, MP4, APE, FLAC comments), then
// the audio stream's (where Ogg keeps Vorbis and Opus comments). "" when none.
std::string ReadTitleTag(const AVFormatContext& format, const AVStream& stream);

// Text that is not valid UTF-8 (an ID3v1 tag in a single-byte code page, for
// example) is taken as Latin-1 and converted.
std::string ToValidUtf8(std::string_view text);

} // namespace tessel
