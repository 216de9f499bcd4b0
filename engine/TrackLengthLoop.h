// Keeps the track-length worker going while playlist entries lack a length:
// the next entry is asked for as soon as the answer for the previous one has
// been taken, so the worker never idles while there is work, and a list of
// thousands fills in seconds rather than at one entry per timer tick.
//
// Entries that have a length but none of the file's other tags (from a
// kept playlist, whose lines hold only the length and title) are read once
// more for them. An entry loaded for playing is measured first. A length that could only be
// estimated from the bitrate is shown as such and counted through the file
// once the entry is played.
//
// Threads: main thread only. It reaches the worker only through
// CTrackLengthLoader's Request and TakeAnswer.
#pragma once

#include "engine/TrackLengthLoader.h"
#include "playlist/Playlist.h"

#include <deque>
#include <string>
#include <unordered_set>
#include <utility>

namespace tessel {

class CTrackLengthLoop {
  public:
    CTrackLengthLoop(CTrackLengthLoader& loader, CPlaylist& playlist)
        : m_loader(loader), m_playlist(playlist) {}

    // Starts asking; the loader must be running for anything to be measured.
    void Start();
    // Asks nothing more (an answer already on its way is still applied).
    void Stop() { m_running = false; }

    // Rows from `first` on were added, removed or moved.
    void OnRowsChanged(int first);
    // A row's marks or length changed: a loaded entry whose length is not
    // known for sure is measured next.
    void OnRowChanged(int row);
    // The handler of AppMessage::TrackLengthLoaded.
    void OnAnswer();

    // Asks for the next entry if the worker is free; false when nothing was asked.
    bool RequestNext();

    // Answers applied so far (for tests and the benchmark).
    int AnswersTaken() const { return m_answers; }

  private:
    bool NeedsLength(int row) const;

    CTrackLengthLoader& m_loader;
    CPlaylist& m_playlist;
    bool m_running = false;
    // Rows before it all have a length and tags, are unreadable or have been asked for.
    int m_cursor = 0;
    std::string m_inFlight;
    // Loaded entries to measure before the others, in the order they were loaded.
    std::deque<std::pair<std::string, LengthDepth>> m_first;
    std::unordered_set<std::string> m_measured; // paths the worker has answered by headers
    std::unordered_set<std::string> m_counted;  // paths counted through, or queued for it
    int m_answers = 0;
};

} // namespace tessel
