// The row an entry id is at, asked many times between edits: an index built
// from the list when its version has moved, then searched in log time
// (CTrackList::FindRow walks the whole list each time).
//
// Threads: those of the list it reads; it is a cache, so even its const
// functions write to it.
#pragma once

#include "playlist/TrackList.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace tessel {

class CEntryRows {
  public:
    explicit CEntryRows(const CTrackList& tracks) : m_tracks(tracks) {}

    int RowOf(EntryId id) const; // -1 when no entry has it
    // Present and not marked unreadable.
    bool IsPlayable(EntryId id) const;

  private:
    const CTrackList& m_tracks;
    mutable std::vector<std::pair<EntryId, int>> m_rowOfId; // sorted by id
    mutable uint64_t m_version = UINT64_MAX;
};

} // namespace tessel
