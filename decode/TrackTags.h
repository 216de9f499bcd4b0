// Every tag the playlist shows or searches, read from an open file whichever
// container holds it.
#pragma once

#include "core/TrackTags.h"
#include "decode/FfmpegHandles.h"

#include <string>

namespace tessel {

// The container's tags first (ID3v1/v2, ASF, MP4, APEv2, FLAC comments), then
// the audio stream's (where Ogg keeps Vorbis and Opus comments), field by
// field. Keys match in any letter case and under each container's own names
// ("album_artist", "ALBUMARTIST", "Album Artist", "TPE2", ...). The title is
// the one ReadTitleTag answers.
TrackTags ReadTrackTags(const AVFormatContext& format, const AVStream& audioStream);

// "3/12" -> 3, " 07" -> 7; 0 for anything else ("", "A1", "0", "1e9").
int ParseTagNumber(const char* text);

} // namespace tessel
