// The playlist as the deck and the playlist window see it: the track list
// plus the operations that move the loaded and cued marks through it. Headless;
// the playlist window shows the same object through a Qt model adapter.
//
// Threads: main thread only.
#pragma once

#include "playlist/PlayOrder.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"

#include <functional>
#include <memory>
#include <string>

namespace tessel {

// A part of a file that plays as an entry of its own (a chapter).
struct FilePart {
    TrackRange range;
    std::string title;
    double seconds = -1.0;
};

class CPlaylist {
  public:
    // Observers. Each is optional and runs synchronously on the main thread.
    std::function<void()> onPlayLoadedEntry;     // an entry was chosen for playing
    std::function<void()> onListChanged;         // entries added, moved, removed
    std::function<void(int index)> onRowChanged; // marks, length or tag of a row changed
    // What was wrong with a CUE sheet read (a track left out, and why).
    std::function<void(const std::vector<std::string>& problems)> onSheetProblems;
    // Tells the rate and length of the audio files CUE sheets name; without
    // it a sheet is not read.
    CueFileProbe cueFileProbe;

    CPlaylist();
    // The play order reads this list: it stays where it is.
    CPlaylist(const CPlaylist&) = delete;
    CPlaylist& operator=(const CPlaylist&) = delete;

    CTrackList& Tracks() { return m_tracks; }
    const CTrackList& Tracks() const { return m_tracks; }
    // The order entries play in (repeat, shuffle); seeded at random.
    CPlayOrder& Order() { return *m_order; }
    const CPlayOrder& Order() const { return *m_order; }
    // A fresh order drawn from `seed` (same seed, same list: same order),
    // with the modes the old one had.
    void ReseedOrder(uint32_t seed);

    void AddTrackRow(const std::string& trackPath, double length, const std::string& id3Tag);
    int GetRowCount() const;
    void MarkLoaded(int index);
    // Marks the entry loaded and asks for it to be played (a double click,
    // the command line).
    void PlayEntry(int index);
    void ClearLoadedRows();
    std::string GetLoadedTrackPath() const;
    int GetLoadedIndex() const; // -1 when none
    void SetLoadedTrackLength(double seconds);
    // Mark the entry after (before) the loaded one in the play order loaded
    // and ask for it to be played; false when there is none.
    bool NextTrack();
    bool PreviousTrack();
    // A file found to hold chapters: every entry that is the whole file
    // becomes one entry per part, in order, except one that is loaded or
    // cued (it is being played whole).
    void SplitIntoParts(const std::string& trackPath, const std::vector<FilePart>& parts);
    // Marks every entry with this path unreadable; with a range, only the
    // entries that are that part of the file (the rest of it may play).
    void MarkUnreadable(const std::string& trackPath, TrackRange range = {});
    // A measured length for every entry with this path: a length of zero or
    // more sets the length (a counted one is replaced only by another count)
    // and, when the file has one, the title; a negative one marks it
    // unreadable. A file without a title keeps the title its entry has.
    void OnTrackLengthLoaded(const std::string& trackPath, const std::string& tag, double length,
                             LengthOrigin origin = LengthOrigin::Stated);
    // The same with all the file's tags: the title as above, and the others
    // (artist, album, ...) replacing what the entries had.
    void OnTrackLengthLoaded(const std::string& trackPath, const TrackTags& tags, double length,
                             LengthOrigin origin = LengthOrigin::Stated);
    // The first row in from..end-1 whose title, artist, album or path holds
    // the text, letter case and accents aside; -1 when none does. Empty text
    // is found in every row.
    int FindRow(const std::string& text, int from, int end) const;

    // Appends the entries of a playlist file and answers what the
    // reader found; one onListChanged when anything was added.
    PlaylistReadResult LoadPlayList(const std::string& filePath);
    // Tells onSheetProblems of a read's problems, when there are any; for
    // the readers that insert the entries themselves.
    void ReportProblems(const PlaylistReadResult& read) const;
    // Gives each entry without a title its file's ID3v1 title, as the list
    // shows it afterwards, then writes the list. A title the entry has is
    // kept: ID3v1 holds 30 bytes, so it would only ever shorten it. A failure leaves any file
    // already at filePath as it was.
    PlaylistSaveResult SavePlayList(const std::string& filePath, PlaylistFormat format);

  private:
    void NotifyRow(int index);
    void NotifyList();
    void PlayRow(int index);
    void TakeMeasurement(const std::string& trackPath, const std::string& title,
                         const TrackTags* tags, double length, LengthOrigin origin);

    CTrackList m_tracks;
    std::unique_ptr<CPlayOrder> m_order; // reads m_tracks
};

} // namespace tessel
