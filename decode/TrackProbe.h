// What the track-length worker learns of a file without decoding it: its
// length, title and other tags from the headers and the container, or, on
// request, its length counted through every packet.
//
// Threads: any; calls share no state.
#pragma once

#include "core/TrackTags.h"
#include "decode/Chapters.h"

#include <string>

namespace tessel {

enum class ProbeDepth {
    Headers, // what headers and container say; the bitrate when they say nothing
    Packets, // every packet of the audio stream counted: exact, and slower
};

struct TrackFacts {
    bool readable = false;  // an audio stream that a decoder of ours plays
    double seconds = -1.0;  // -1.0 when not readable
    bool estimated = false; // worked out from the bitrate, not stated by the file
    std::string title;      // UTF-8; empty when the file has none
    TrackTags tags; // all the file's tags, read in the same opening; empty when not readable
    // Its chapters, when it has two or more (looked for only where the
    // headers give the length).
    FileChapters chapters;
};

TrackFacts ProbeTrack(const std::string& path, ProbeDepth depth);

} // namespace tessel
