// The gapless hand-over, seen from the deck: tells the read worker which
// entries follow the one it reads (it moves on to them by itself at the end
// of a track), and keeps the tracks it moved on to until they are heard.
// The cue names entries by id, so edits to the list at any moment (during
// the last seconds of a track, during a hand-over) cue the right ones.
//
// An edit can come after the reader has moved on: the entry it read past a
// seam may have been deleted or moved since. PublishCue then names that
// track, and the deck either has the reader read again from the seam
// (DropAfter, BeginReread) or, when the output is about to play it, keeps it
// (Settle). A track read again from the middle gets a new open serial;
// Continues tells the deck that audio is still the same track's.
//
// The entries that follow come from the list's play order (repeat,
// shuffle), and end after the entry the user asked to stop after.
//
// Threads: main thread only.
#pragma once

#include "engine/ReadWorker.h"
#include "playlist/Playlist.h"

#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace tessel {

class CHandOver {
  public:
    // Entries the read worker is told of ahead of the one it reads.
    static constexpr int kCuedEntries = 16;

    CHandOver(CPlaylist& playlist, CReadWorker& worker) : m_playlist(playlist), m_worker(worker) {}

    // Tells the reader the entries after the one it reads (after `sounding`,
    // or after the last one it moved on to) when the list, the play order or
    // that entry changed since it was last told, and moves the cued mark.
    // Answers the serial of the first track the reader moved on to that no
    // longer follows the one before it (nothing is told then), or 0 when
    // the reader has ended (`readerEnded`) though an entry follows now.
    std::optional<uint64_t> PublishCue(EntryId sounding, bool readerEnded = false);
    // The play order's modes changed: work the cue out anew.
    void Recheck() { m_cuedVersion = ~uint64_t{0}; }
    // What follows ends after this entry (0: plays on).
    void StopAfter(EntryId entry) {
        m_stopAfter = entry;
        Recheck();
    }
    EntryId StopsAfter() const { return m_stopAfter; }
    // The reader moved on to `track`.
    void OnHandedOver(OpenedTrack track) { m_tracks.push_back(std::move(track)); }
    // The track whose audio is heard now (serial), once; tracks too short to
    // be heard on their own are passed over.
    std::optional<OpenedTrack> TakeHeard(uint64_t serial);
    // The reader starts again elsewhere: what it moved on to is void.
    void Forget();

    // The track moved on to whose audio carries `serial` (its own, or the
    // one it was read again as).
    std::optional<OpenedTrack> MovedOnTo(uint64_t serial) const;
    // The reader reads again from the seam that ends the track whose audio
    // carries `serial` (the sounding one or one moved on to): what it moved
    // on to after that track is void, and the audio of the reopened track
    // (OnRereadOpened) continues it.
    void BeginReread(uint64_t serial);
    void OnRereadOpened(uint64_t newSerial);
    // The track `staleSerial` is kept as read: the output plays it already
    // (0: the end of the data stays where it is).
    void Settle(uint64_t staleSerial);
    // True when audio of `serial` is the track `current` read again.
    bool Continues(uint64_t current, uint64_t serial) const;

  private:
    // The entries that play one after another after `entry`, up to the one
    // to stop after.
    std::vector<EntryId> FollowersOf(EntryId entry, size_t count) const;
    uint64_t OriginalSerial(uint64_t serial) const;

    CPlaylist& m_playlist;
    CReadWorker& m_worker;
    std::deque<OpenedTrack> m_tracks; // moved on to, not heard yet
    std::vector<uint64_t> m_settled;  // of m_tracks, kept though the list changed
    // Pairs of serials (before, after): the track was read again from the
    // middle and its audio goes on under the second.
    std::vector<std::pair<uint64_t, uint64_t>> m_continued;
    uint64_t m_rereadFrom = 0;
    bool m_endSettled = false;
    EntryId m_stopAfter = 0;
    // What the cue was last worked out from: the list's version, the
    // sounding entry and the tracks moved on to.
    uint64_t m_cuedVersion = ~uint64_t{0};
    EntryId m_cuedSounding = 0;
    size_t m_cuedTracks = 0;
    EntryCue m_cue;
};

} // namespace tessel
