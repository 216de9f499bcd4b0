// Files that hold several tracks, as the playlist learns of them from the
// decoder: the rate and length of each audio file a CUE sheet names, and a
// file's chapters as parts that play as entries of their own.
//
// Threads: any; calls share no state.
#pragma once

#include "decode/Chapters.h"
#include "playlist/CueSheet.h"
#include "playlist/Playlist.h"

#include <string>
#include <vector>

namespace tessel {

CueFileFacts ProbeSheetFile(const std::string& path);

// The chapters as parts with their lengths; none unless there are two or more.
std::vector<FilePart> ChapterParts(const FileChapters& file);

} // namespace tessel
