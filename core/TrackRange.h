// A part of an audio file that plays as a track of its own (a CUE sheet's
// track, a chapter), in sample frames at the file's own rate.
#pragma once

#include <cstdint>

namespace tessel {

struct TrackRange {
    int64_t start = -1; // -1: the whole file
    int64_t end = -1;   // -1: to the end of the file
    bool IsWholeFile() const { return start < 0; }
    bool operator==(const TrackRange&) const = default;
};

} // namespace tessel
