// Reading and writing M3U (also ".m3u8") and PLS playlist files.
//
// Reading takes a file as UTF-16 when it starts with a UTF-16 BOM (a UTF-8
// BOM is dropped); otherwise each line as UTF-8 when its bytes are valid
// UTF-8 and as Windows-1252 when not, so files written or edited by older
// programs still load. Entry paths: "file:" URLs of this machine (with or
// without "localhost") become the local paths they name; other URLs
// ("scheme://...") and absolute paths stand as they are; relative
// paths are resolved against the playlist's own folder, with backslashes
// read as folder separators; Windows drive-letter and network paths
// ("C:\...", "\\server\...") cannot be resolved here and are kept exactly as
// written, so they fail when played and are written back unchanged.
//
// A CUE sheet (".cue"), read alone or named as an entry of an M3U or PLS
// file, becomes one entry per track, each a range of its audio file (see
// CueSheet.h); that needs a probe that tells each audio file's rate and
// length. Saving writes a run of rows of one sheet, in the sheet's order, as
// the sheet's path once, so other players read the album; a run of ranged
// rows of one file without a sheet (chapters) is written as the file once.
//
// Writing produces UTF-8 with CRLF line ends, through a temporary file in the
// same folder renamed into place: a failed save leaves the previous file
// untouched.
//
// Threads: any; the functions share no state.
#pragma once

#include "core/ReplayGainValues.h"
#include "core/TrackTags.h"
#include "playlist/CueSheet.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

class CTrackList;

enum class PlaylistFormat { M3u, M3u8, Pls };

// Bounds that keep a huge or binary file from exhausting memory.
inline constexpr std::uintmax_t kMaxPlaylistFileBytes = 128u * 1024 * 1024;
inline constexpr std::size_t kMaxPlaylistLineBytes = 64 * 1024; // longer lines are skipped
inline constexpr std::size_t kMaxPlaylistEntries = 1'000'000;   // further entries are dropped

struct PlaylistEntry {
    std::string title;    // empty when the file gave none
    double length = -1.0; // seconds; -1.0 when the file gave none
    std::string path;
    // A part of the file, as TrackRecord has it; -1 for the whole file.
    int64_t rangeStart = -1;
    int64_t rangeEnd = -1;
    std::string sheetPath = {};
    bool unreadable = false;    // known already when read (a sheet's missing file)
    ReplayGainValues gain = {}; // a sheet's REM values for the track
    TrackTags tags = {};        // what a sheet says of the track beyond its title
};

enum class PlaylistReadStatus {
    Ok,
    CannotOpen,   // missing, unreadable, or not a regular file
    TooLarge,     // above kMaxPlaylistFileBytes
    NotSupported, // a playlist type that is recognised but not read (.wbq; .cue without a probe)
    NoHeader,     // a PLS file without its "[playlist]" line
};

struct PlaylistReadResult {
    PlaylistReadStatus status = PlaylistReadStatus::Ok;
    std::vector<PlaylistEntry> entries;
    std::size_t skippedLines = 0;      // too long, or holding NUL bytes
    bool truncated = false;            // entries beyond kMaxPlaylistEntries were dropped
    std::vector<std::string> problems; // what was wrong with the CUE sheets read
};

// True for ".m3u", ".m3u8", ".pls", ".cue" and ".wbq" in any case: a file of
// these types is a playlist, never a track.
bool IsPlaylistFile(std::string_view extension);

// Reads a regular file of at most kMaxPlaylistFileBytes whole. A FIFO or a
// device is refused (CannotOpen) rather than waited on.
PlaylistReadStatus ReadPlaylistBytes(const std::string& path, std::string& bytes);

// Reads a playlist file by its extension (".m3u", ".m3u8", ".pls", and
// ".cue" when there is a probe). The caller appends the entries to its list.
// With a probe, a ".cue" entry of an M3U or PLS file becomes the sheet's
// rows; without one it stays a plain entry.
PlaylistReadResult LoadPlayList(const std::string& filePath, const CueFileProbe& probe = {});

enum class PlaylistLines {
    Standard,
    // Also the "#X-TESSEL-RANGE:" and "#X-TESSEL-SHEET:" lines the kept
    // playlist writes before a ranged entry.
    WithRanges,
};

// Parses playlist bytes already in memory; relative entries are resolved
// against playlistFolder. M3u8 is read as M3u.
PlaylistReadResult ParsePlaylist(std::string_view bytes, PlaylistFormat format,
                                 const std::string& playlistFolder,
                                 PlaylistLines lines = PlaylistLines::Standard);

// Appends one entry read from a file to the list (before insertAt; -1 at the
// end), with its range and its unreadable mark.
void AppendEntry(CTrackList& tracks, const PlaylistEntry& entry, int insertAt = -1);

enum class PlaylistTitles {
    RefreshFromFiles, // each entry's tag, or its file's ID3v1 title when the tag is empty
    AsStored,         // each entry's tag as the list holds it
};

enum class PlaylistSaveStatus {
    Ok,
    CannotCreate, // the temporary file could not be made (folder missing, no rights)
    WriteFailed,  // writing, flushing or renaming failed; the old file is untouched
};

struct PlaylistSaveResult {
    PlaylistSaveStatus status = PlaylistSaveStatus::Ok;
    int entriesWritten = 0;
    int entriesSkipped = 0; // paths with line breaks, which no playlist line can hold
    std::string error;      // the system's reason on failure
    explicit operator bool() const { return status == PlaylistSaveStatus::Ok; }
};

// The text of a playlist holding these entries, in the given format.
std::string FormatPlaylist(const std::vector<PlaylistEntry>& entries, PlaylistFormat format,
                           int* skipped = nullptr);

// Writes every entry of the list that has details. A failure (the window's
// "File Write Error") never destroys a file already at filePath.
PlaylistSaveResult SavePlaylistFile(const std::string& filePath, const CTrackList& tracks,
                                    PlaylistFormat format,
                                    PlaylistTitles titles = PlaylistTitles::RefreshFromFiles);

struct PlaylistSaveTarget {
    std::string path;
    PlaylistFormat format = PlaylistFormat::M3u;
    bool exists = false; // the window asks before overwriting
};

// Decides the file to write from the name chosen in the save dialog and the
// format of the dialog's chosen filter (none for "All Files"). A name ending
// in .m3u, .m3u8 or .pls (any case) keeps its name and that format; any
// other name gets the filter's format, M3U by default, and its extension.
// Nothing for an empty name.
std::optional<PlaylistSaveTarget> ChooseSaveTarget(const std::string& chosenPath,
                                                   std::optional<PlaylistFormat> filterFormat);

} // namespace tessel
