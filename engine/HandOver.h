// The gapless hand-over, seen from the deck: tells the read worker which
// entries follow the one it reads (it moves on to them by itself at the end
// of a track), and keeps the tracks it moved on to until they are heard.
// The cue names entries by id, so edits to the list at any moment (during
// the last seconds of a track, during a hand-over) cue the right ones.
//
// Threads: main thread only.
#pragma once

#include "engine/ReadWorker.h"
#include "playlist/Playlist.h"

#include <deque>
#include <optional>

namespace tessel {

class CHandOver {
  public:
    // Entries the read worker is told of ahead of the one it reads.
    static constexpr int kCuedEntries = 16;

    CHandOver(CPlaylist& playlist, CReadWorker& worker) : m_playlist(playlist), m_worker(worker) {}

    // Tells the reader the entries after the one it reads (after `sounding`,
    // or after the last one it moved on to) when the list or that entry
    // changed since it was last told, and moves the cued mark.
    void PublishCue(EntryId sounding);
    // The reader moved on to `track`.
    void OnHandedOver(OpenedTrack track) { m_tracks.push_back(std::move(track)); }
    // The track whose audio is heard now (serial), once; tracks too short to
    // be heard on their own are passed over.
    std::optional<OpenedTrack> TakeHeard(uint64_t serial);
    // The reader starts again elsewhere: what it moved on to is void.
    void Forget() { m_tracks.clear(); }

  private:
    CPlaylist& m_playlist;
    CReadWorker& m_worker;
    std::deque<OpenedTrack> m_tracks; // moved on to, not heard yet
    // What the cue was last worked out from: the list's version and the
    // entry the reader was in.
    uint64_t m_cuedVersion = ~uint64_t{0};
    EntryId m_cuedAfter = 0;
    EntryCue m_cue;
};

} // namespace tessel
