// The playlist as the deck and the playlist window see it: the track list
// plus the operations that move the loaded and cued marks through it. Headless;
// the playlist window shows the same object through a Qt model adapter.
//
// Threads: main thread only.
#pragma once

#include "playlist/TrackList.h"

#include <functional>
#include <string>

namespace tessel {

class CPlaylist {
  public:
    // Observers. Each is optional and runs synchronously on the main thread.
    std::function<void(int deck)> onPlayLoadedEntry; // an entry was chosen for playing
    std::function<void()> onListChanged;              // entries added, moved, removed
    std::function<void(int index)> onRowChanged;      // marks, length or tag of a row changed

    CTrackList& Tracks() { return m_tracks; }
    const CTrackList& Tracks() const { return m_tracks; }

    void AddTrackRow(int deck, const std::string& trackPath, double length, const std::string& id3Tag);
    int GetRowCount() const;
    void MarkLoaded(int index);
    void ClearLoadedForDeckRows(int deck);
    std::string GetLoadedTrackPath(int deck) const;
    int GetLoadedIndex(int deck) const; // -1 when none
    void SetLoadedTrackLength(int deck, double seconds);
    bool IsLoadedTrackCd(int deck) const;
    void NextTrack(int deck, bool& found);
    void PreviousTrack(int deck, bool& found);
    std::string CueNextTrack(int deck);
    void LoadCuedTrack();
    void MarkUnreadable(const std::string& trackPath);

  private:
    CTrackList m_tracks;
};

} // namespace tessel
