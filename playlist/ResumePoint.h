// Where to pick up playing at the next start: the sounding entry's path,
// the position in it, and its row as a hint. Kept in a small text file
// replaced whole (see AtomicFile.h), so a crash mid-write leaves the previous
// point; a damaged file means nothing to resume, never a failure.
//
//   tessel-resume 1
//   index 12
//   seconds 83.25
//   path 21
//   /music/a/01 Intro.mp3
//
// The path is counted in bytes, so any name a file system allows survives.
//
// Threads: any; the functions share no state.
#pragma once

#include "playlist/AtomicFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessel {

class CTrackList;

inline constexpr size_t kMaxResumeFileBytes = 64 * 1024;

struct ResumePoint {
    std::string path;
    double seconds = 0.0; // into the entry (from its start for a part of a file)
    // The entry's row when written: tells apart the entries that share a
    // path (a CUE sheet's tracks); -1 for none.
    int index = -1;
    bool operator==(const ResumePoint&) const = default;
};

// A position that is no number or below 0 is written as 0.
std::string FormatResumePoint(const ResumePoint& point);
// Nothing unless the text is exactly what FormatResumePoint writes, with a
// path that is not empty.
std::optional<ResumePoint> ParseResumePoint(std::string_view text);

AtomicWriteStatus WriteResumePoint(const std::string& filePath, const ResumePoint& point,
                                   std::string& error);
// Nothing for a missing, unreadable, oversized or damaged file.
std::optional<ResumePoint> ReadResumePoint(const std::string& filePath);

// The row to resume: the hinted one when it still holds the path, else the
// first row with the path; -1 when none has.
int FindResumeRow(const CTrackList& tracks, const ResumePoint& point);

} // namespace tessel
