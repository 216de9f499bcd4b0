// The playlist the player keeps between runs: UTF-8 M3U with "#EXTINF"
// lengths and titles, which any player reads, plus two lines of its own:
// how many entries follow (so a cut or damaged file is known as such) and
// which one was loaded.
//
//   #EXTM3U
//   #X-TESSEL-ENTRIES:2
//   #X-TESSEL-LOADED:1
//   #EXTINF:215.400,Title
//   /music/a.mp3
//   #X-TESSEL-RANGE:10584000,21168000
//   #X-TESSEL-SHEET:/music/album.cue
//   #EXTINF:240.000,Second track
//   /music/album.flac
//   ...
//
// The range lines keep a row that is a part of its file (a CUE sheet's
// track, a chapter) exactly; other players skip them as comments and play
// the whole file.
//
// Local paths that a line could not carry as they are (line breaks, spaces
// at either end, bytes that are not UTF-8) are written as "file:" URLs,
// which the reader turns back into the same bytes.
#pragma once

#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"

#include <optional>
#include <string>
#include <vector>

namespace tessel {

class CTrackList;

struct StoredPlaylist {
    std::vector<PlaylistEntry> entries;
    int loadedIndex = -1; // the entry loaded in the deck, -1 for none
};

// What the stored form needs of one entry: a copy, so that a long list can
// be formatted and written on another thread.
struct StoredRow {
    std::string title;
    std::string path;
    double length = -1.0;
    bool loaded = false;
    std::optional<TrackPart> part; // a part of its file only
};

std::vector<StoredRow> SnapshotStoredRows(const CTrackList& tracks);
// The stored form of every entry of the list that has details.
std::string FormatStoredPlaylist(const std::vector<StoredRow>& rows);
std::string FormatStoredPlaylist(const CTrackList& tracks);

enum class StoredPlaylistStatus {
    Ok,
    Missing, // no file yet: a first start
    Damaged, // unreadable, not in the stored form, or cut short
};

struct StoredPlaylistRead {
    StoredPlaylistStatus status = StoredPlaylistStatus::Missing;
    StoredPlaylist playlist;
    std::string reason; // why a file counts as damaged
};

StoredPlaylistRead ReadStoredPlaylist(const std::string& path);

// Writes the list atomically, creating the folder first. False with the
// system's reason on failure; the file already there is then untouched.
bool WriteStoredPlaylist(const std::string& path, const CTrackList& tracks, std::string& error);
bool WriteStoredPlaylist(const std::string& path, const std::vector<StoredRow>& rows,
                         std::string& error);

// Renames a damaged stored playlist to path + ".bad" (replacing an older
// one), so that it is kept for the user and never overwritten unread.
bool SetStoredPlaylistAside(const std::string& path, std::string& error);

} // namespace tessel
