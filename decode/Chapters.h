// The chapters of an audio file (FLAC CUESHEET blocks, Matroska, MP4/M4B and
// Ogg chapters, as FFmpeg reads them) as ranges of the file's samples, for a
// playlist row per chapter. The rules are a CUE sheet's: a chapter runs to
// the next one's start, the last to the end of the file; one that does not
// start after the chapter before it, or starts beyond the end, is left out
// and reported.
//
// Threads: any; calls share no state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;

namespace tessel {

struct ChapterRange {
    int64_t startFrame = 0; // sample frames at the file's rate
    int64_t endFrame = -1;  // -1 = to the end of the file
    std::string title;      // UTF-8; empty when the chapter has none
};

struct FileChapters {
    bool readable = false; // an audio stream that a decoder of ours plays
    int sampleRate = 0;
    int64_t totalFrames = -1;           // -1 when the file does not tell
    std::vector<ChapterRange> chapters; // empty unless there are two or more
    std::vector<std::string> problems;
    std::string title = {}; // the file's title tag, UTF-8; empty when none (ReadChapters only)
};

// Also answers what a CUE sheet's rows need of the file: its rate and length.
FileChapters ReadChapters(const std::string& path);

struct ChapterMark {
    int64_t start = 0; // in timeBase units
    int timeBaseNum = 1;
    int timeBaseDen = 1;
    std::string title;
};

// The chapter marks of an open file, as FFmpeg read them.
std::vector<ChapterMark> ChapterMarksOf(const AVFormatContext& format);

// The ranges of chapter marks at a sample rate, by the rules above; what
// ReadChapters does with FFmpeg's chapters.
FileChapters ChapterRanges(const std::vector<ChapterMark>& marks, int sampleRate,
                           int64_t totalFrames);

} // namespace tessel
