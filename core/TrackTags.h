// What a file's tags say about the track, as the playlist keeps it. The
// decoder fills it from any container; the playlist and the desktop
// integration only read it, so it lives here, free of FFmpeg.
#pragma once

#include <string>

namespace tessel {

struct TrackTags {
    // UTF-8, surrounding blanks trimmed; empty when the file does not say.
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string date; // as written: "1999", "1999-05-03"
    std::string genre;
    // 1 and up; 0 when unknown or not a number ("A1", "").
    int trackNumber = 0;
    int discNumber = 0;

    bool operator==(const TrackTags&) const = default;
};

} // namespace tessel
