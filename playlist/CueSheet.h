// CUE sheets: an album kept as one audio file (or a few) with a text sheet
// that marks where each track starts. Reading one takes three steps, kept
// apart so the text rules can be tested without files:
//
//   ParseCueSheet     the sheet's bytes -> files, tracks and their indexes
//   ResolveCueFiles   each FILE name -> the audio file on disk (the one step
//                     that looks at the file system)
//   MakeCueRows       tracks + each file's rate and length -> playlist rows
//                     with sample-exact ranges
//
// A track runs from its INDEX 01 to the next track's INDEX 01 in the same
// file, so a pregap (INDEX 00) is heard at the end of the track before it,
// as a CD player plays it; the last track of a file runs to the file's end.
//
// Threads: any; the functions share no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

inline constexpr int kCueFramesPerSecond = 75;
// Bounds that keep a damaged or hostile sheet from exhausting memory.
inline constexpr std::size_t kMaxCueFiles = 1000;
inline constexpr std::size_t kMaxCueTracks = 10000;
inline constexpr std::size_t kMaxCueProblems = 100; // later ones are counted, not kept

// The REM lines other programs write (ripper, tagger, ReplayGain scanner).
struct CueRemarks {
    std::string genre;
    std::string date;
    std::string discNumber;
    std::string comment;
    std::optional<double> trackGain; // dB
    std::optional<double> trackPeak; // linear, 1.0 = full scale
    std::optional<double> albumGain;
    std::optional<double> albumPeak;
};

struct CueIndex {
    int64_t frames = -1; // CD frames (1/75 s) from the start of its file; -1 = none
    int file = -1;       // the FILE it belongs to (a pregap may sit in the file before)
};

struct CueTrack {
    int number = 0;
    int line = 0; // of the TRACK line, for reports
    bool audio = true;
    std::string title;
    std::string performer;
    CueRemarks remarks;
    CueIndex pregap; // INDEX 00
    CueIndex start;  // INDEX 01
};

struct CueSheet {
    std::string title;              // the album
    std::string performer;          // the album's performer
    CueRemarks remarks;             // those before the first TRACK
    std::vector<std::string> files; // FILE names as written
    std::vector<CueTrack> tracks;
    std::vector<std::string> problems; // what was wrong with the text
    std::size_t problemsLeftOut = 0;   // beyond kMaxCueProblems
};

// Parses a sheet. UTF-8 with or without a BOM; a line that is not UTF-8 is
// read as Windows-1252, as playlists are.
CueSheet ParseCueSheet(std::string_view bytes);

// Which file of folderNames (leaf names of one folder) stands for a FILE line
// whose named file is missing: the same name in another case, else the same
// base name with an audio extension (a sheet written for a WAV rip whose
// audio was later compressed). Nothing when none fits.
std::optional<std::string> MatchCueFileName(std::string_view named,
                                            const std::vector<std::string>& folderNames);

// The path of every FILE of the sheet, resolved against sheetFolder; an empty
// string where no file fits. Names may use "\" as folder separator.
std::vector<std::string> ResolveCueFiles(const CueSheet& sheet, const std::string& sheetFolder);

// What the player knows about one audio file a sheet names.
struct CueFileFacts {
    bool readable = false;
    int sampleRate = 0;
    int64_t totalFrames = -1; // sample frames; -1 when not known
    std::string title = {};   // its title tag, for a track without a TITLE
};

// One playlist row of a sheet.
struct CueRow {
    std::string path;
    int64_t startFrame = 0;  // sample frames at the file's rate
    int64_t endFrame = -1;   // -1 = to the end of the file
    double seconds = -1.0;   // the range's length; -1.0 when the file's is not known
    std::string title;       // the track's TITLE, else its file's title tag; empty when none
    std::string performer;   // the track's PERFORMER, else the album's
    std::string album;       // the sheet's TITLE
    std::string albumArtist; // the sheet's PERFORMER
    int number = 0;
    bool unreadable = false; // the file is missing or cannot be played
    CueRemarks remarks;      // the track's, with the album's gain and peak
};

struct CueRows {
    std::vector<CueRow> rows;
    std::vector<std::string> problems; // the sheet's, then the tracks left out
    std::size_t problemsLeftOut = 0;
};

// A CD-frame offset in sample frames at `sampleRate`, rounded to the nearest
// sample (exact at 44.1 kHz: 588 samples a frame).
int64_t CueFramesToSamples(int64_t cdFrames, int sampleRate);

// The rows of a sheet. `paths` and `facts` run parallel to sheet.files. A
// track whose INDEX 01 is not after the previous track's in the same file, or
// lies at or beyond its file's end, is left out and reported. Rows of a file
// that is missing or unreadable are kept, marked unreadable, with offsets
// counted at 44.1 kHz (the rate of the CD the sheet describes).
CueRows MakeCueRows(const CueSheet& sheet, const std::vector<std::string>& paths,
                    const std::vector<CueFileFacts>& facts);

// True for a name ending in ".cue", in any case.
bool IsCueSheetName(std::string_view name);

// What a folder adds: its audio files, except that a sheet stands for the
// files it names (an album image and its sheet add the sheet's rows, not the
// image). A sheet naming none of `audioFiles` is left out: its audio is
// elsewhere or gone. Answers the paths to add, sorted byte-wise.
std::vector<std::string> PreferSheetsToTheirFiles(std::vector<std::string> audioFiles,
                                                  const std::vector<std::string>& sheets);

// Learns an audio file's rate and length (decoding sits above this library).
using CueFileProbe = std::function<CueFileFacts(const std::string& path)>;

// The three steps at once for a sheet's bytes read from sheetPath, asking
// `probe` once for each file it names.
CueRows CueSheetRows(std::string_view bytes, const std::string& sheetPath,
                     const CueFileProbe& probe);

} // namespace tessel
