// The order the entries play in under the repeat and shuffle modes: which
// entry comes after (or before) the sounding one.
//
// The list is read afresh at every question, so an edit or a mode change
// shows in the very next answer; the deck re-asks after each and re-cues.
// What the list cannot tell is kept here: the entries heard in this shuffle
// round, the history Previous walks back through, and the random draws.
//
// Questions (Peek...) never change what later questions answer; only Advance
// and the mode setters do. Entries marked unreadable are passed over. 0 is
// "no entry": nothing follows, or nothing is sounding.
//
// Shuffle plays every entry once per round before any repeats; a new round
// (repeat all) is a fresh order that does not open with the entry just heard
// (nor, in album shuffle, with its album) when there is anything else. An
// entry added mid-round joins the unheard ones at a random place; a deleted
// one leaves the order and the history.
//
// Deterministic: the same seed, list and calls give the same order.
//
// Threads: main thread only, like the list it reads; the answers keep
// caches of the list's rows, rebuilt when the list's version changes. The
// list must outlive the order.
#pragma once

#include "playlist/EntryRows.h"
#include "playlist/PlayOrderModes.h"
#include "playlist/ShuffleRound.h"
#include "playlist/TrackList.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <unordered_set>
#include <vector>

namespace tessel {

class CPlayOrder {
  public:
    // Older entries are forgotten beyond this many steps back.
    static constexpr size_t kMaxHistory = 4096;

    CPlayOrder(const CTrackList& tracks, uint32_t seed);
    CPlayOrder(const CPlayOrder&) = delete;
    CPlayOrder& operator=(const CPlayOrder&) = delete;

    RepeatMode Repeat() const { return m_repeat; }
    void SetRepeat(RepeatMode mode) { m_repeat = mode; }
    ShuffleMode Shuffle() const { return m_shuffle; }
    // A different mode starts a fresh round in which only the sounding entry
    // counts as heard.
    void SetShuffle(ShuffleMode mode);

    // The entry to cue for when `current` plays to its end: itself under
    // repeat track; 0 after the last (the end of a shuffle round) unless
    // repeat all. With current 0 (nothing sounding), where playing starts:
    // after a finished shuffle round, a new round.
    EntryId PeekNextForEndOfTrack(EntryId current) const;
    // The entry the user's Next goes to: as above, but repeat track moves on
    // (as repeat off does).
    EntryId PeekNextForUser(EntryId current) const;
    // The entry the user's Previous goes to: the one before in the list
    // (the last one after the first under repeat all) without shuffle; with
    // it, the one heard before; 0 at the start of the history.
    EntryId PeekPrevious(EntryId current) const;
    // Up to `count` entries that play one after another from `current` on
    // as tracks end (PeekNextForEndOfTrack, then on from each answer): what
    // the reader is cued with. A shuffle's run stops at the round's end.
    std::vector<EntryId> PeekAhead(EntryId current, size_t count) const;

    // Records that `to` is now sounding: a PeekNext... answer, a row the
    // user picked, the command line; shuffle goes on from it. An id not in
    // the list is ignored, as is the sounding one (repeat track).
    void Advance(EntryId to);
    // Records that the user's Previous made `to` (the PeekPrevious answer)
    // sounding: the history steps back, and Next will retrace it.
    void StepBack(EntryId to);
    // The entry last recorded sounding (0 none); it may have been deleted.
    EntryId Sounding() const { return m_played == 0 ? 0 : m_history[m_played - 1]; }

  private:
    struct PlannedRound {
        ShuffleRound round;
        EntryId first = 0;
    };

    EntryId Next(EntryId current, bool endOfTrack) const;
    EntryId ListNext(EntryId current, bool wrap) const;
    EntryId ListPrevious(EntryId current, bool wrap) const;
    EntryId ShuffledNext(EntryId current, bool wrap) const;
    EntryId ShuffledPrevious(EntryId current) const;
    EntryId FirstUnheard(EntryId current, const std::unordered_set<EntryId>* cued = nullptr) const;
    template <typename Wanted> EntryId FirstInRound(const ShuffleRound& round, Wanted wanted) const;
    PlannedRound PlanRound(uint64_t salt, EntryId justHeard) const;
    template <typename Wanted> bool AnyPlayable(Wanted wanted) const;
    // Rows from..to in steps of +1 or -1, both ends in; none when `to` lies behind `from`.
    EntryId FirstPlayableInRows(int from, int to, int step) const;
    EntryId SurvivorBeside(EntryId gone, int direction) const;
    void RememberNeighbours() const;

    void Record(EntryId to);
    uint64_t DrawSalt();
    void StartRound(const ShuffleRound& round, EntryId first);
    void ForgetDeleted();

    const CTrackList& m_tracks;
    CEntryRows m_rows;
    std::mt19937 m_random;
    RepeatMode m_repeat = RepeatMode::Off;
    ShuffleMode m_shuffle = ShuffleMode::Off;

    ShuffleRound m_round;
    uint64_t m_nextSalt = 0; // drawn ahead, so the next round can be answered before it starts
    std::unordered_set<EntryId> m_heard;
    std::vector<EntryId> m_history;
    size_t m_played = 0; // history entries up to and including the sounding one
    uint64_t m_tidyVersion = 0;

    // The list's order as last seen while the entry asked about was still
    // in it: a deleted sounding entry's neighbours are found there.
    mutable std::vector<EntryId> m_neighbours;
    mutable uint64_t m_neighboursVersion = UINT64_MAX;
};

} // namespace tessel
