#include "playlist/PlayOrder.h"

#include <algorithm>

namespace tessel {

CPlayOrder::CPlayOrder(const CTrackList& tracks, uint32_t seed)
    : m_tracks(tracks), m_rows(tracks), m_random(seed) {
    m_round.salt = DrawSalt();
    m_nextSalt = DrawSalt();
}

uint64_t CPlayOrder::DrawSalt() {
    const uint64_t high = m_random();
    return high << 32 | m_random();
}

void CPlayOrder::SetShuffle(ShuffleMode mode) {
    if (mode == m_shuffle)
        return;
    m_shuffle = mode;
    StartRound(ShuffleRound{.salt = m_nextSalt}, Sounding());
}

EntryId CPlayOrder::PeekNextForEndOfTrack(EntryId current) const {
    return Next(current, true);
}

EntryId CPlayOrder::PeekNextForUser(EntryId current) const {
    return Next(current, false);
}

EntryId CPlayOrder::PeekPrevious(EntryId current) const {
    if (m_shuffle == ShuffleMode::Off)
        return ListPrevious(current, m_repeat == RepeatMode::All);
    return ShuffledPrevious(current);
}

EntryId CPlayOrder::Next(EntryId current, bool endOfTrack) const {
    if (endOfTrack && m_repeat == RepeatMode::Track && m_rows.IsPlayable(current))
        return current;
    const bool wrap = m_repeat == RepeatMode::All;
    return m_shuffle == ShuffleMode::Off ? ListNext(current, wrap) : ShuffledNext(current, wrap);
}

EntryId CPlayOrder::ListNext(EntryId current, bool wrap) const {
    const int last = m_tracks.GetCount() - 1;
    if (current == 0)
        return FirstPlayableInRows(0, last, +1);
    const int row = m_rows.RowOf(current);
    if (row >= 0) {
        RememberNeighbours();
        if (const EntryId after = FirstPlayableInRows(row + 1, last, +1))
            return after;
        return wrap ? FirstPlayableInRows(0, row, +1) : 0;
    }
    if (const EntryId after = SurvivorBeside(current, +1))
        return after;
    return wrap ? FirstPlayableInRows(0, last, +1) : 0;
}

EntryId CPlayOrder::ListPrevious(EntryId current, bool wrap) const {
    const int last = m_tracks.GetCount() - 1;
    if (current == 0)
        return 0;
    const int row = m_rows.RowOf(current);
    if (row >= 0) {
        RememberNeighbours();
        if (const EntryId before = FirstPlayableInRows(row - 1, 0, -1))
            return before;
        return wrap ? FirstPlayableInRows(last, row, -1) : 0;
    }
    if (const EntryId before = SurvivorBeside(current, -1))
        return before;
    return wrap ? FirstPlayableInRows(last, 0, -1) : 0;
}

EntryId CPlayOrder::ShuffledNext(EntryId current, bool wrap) const {
    // After going back, Next retraces what was heard.
    if (current != 0 && current == Sounding()) {
        for (size_t i = m_played; i < m_history.size(); ++i)
            if (m_history[i] != current && m_rows.IsPlayable(m_history[i]))
                return m_history[i];
    }
    if (const EntryId unheard = FirstUnheard(current))
        return unheard;
    // Nothing sounding: starting again after the end begins a new round.
    if (!wrap && current != 0)
        return 0;
    return PlanRound(m_nextSalt, current).first;
}

EntryId CPlayOrder::ShuffledPrevious(EntryId current) const {
    const bool sounding = current != 0 && current == Sounding();
    for (size_t i = sounding ? m_played - 1 : m_history.size(); i-- > 0;)
        if (m_history[i] != current && m_rows.IsPlayable(m_history[i]))
            return m_history[i];
    return 0;
}

std::vector<EntryId> CPlayOrder::PeekAhead(EntryId current, size_t count) const {
    std::vector<EntryId> ahead;
    std::unordered_set<EntryId> cued;
    for (EntryId at = current; ahead.size() < count;) {
        // Past the first step, shuffle goes on among the entries not yet
        // heard nor cued, up to the round's end.
        const EntryId next =
            ahead.empty() || m_shuffle == ShuffleMode::Off || m_repeat == RepeatMode::Track
                ? Next(at, true)
                : FirstUnheard(at, &cued);
        if (next == 0)
            break;
        ahead.push_back(next);
        cued.insert(next);
        at = next;
    }
    return ahead;
}

EntryId CPlayOrder::FirstUnheard(EntryId current, const std::unordered_set<EntryId>* cued) const {
    const auto unheard = [&](const TrackRecord& record) {
        return record.id != current && !m_heard.contains(record.id) &&
               (cued == nullptr || !cued->contains(record.id));
    };
    // A row picked in the middle of an album: the rest of the album follows.
    const int row = m_shuffle == ShuffleMode::Albums ? m_rows.RowOf(current) : -1;
    if (row >= 0) {
        const AlbumName album = AlbumOf(*m_tracks.GetRecord(row));
        for (int i = row + 1; i < m_tracks.GetCount(); ++i) {
            const TrackRecord& record = *m_tracks.GetRecord(i);
            if (!record.unreadable && unheard(record) && AlbumOf(record) == album)
                return record.id;
        }
    }
    return FirstInRound(m_round, unheard);
}

template <typename Wanted>
EntryId CPlayOrder::FirstInRound(const ShuffleRound& round, Wanted wanted) const {
    EntryId first = 0;
    RoundPlace firstPlace;
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        if (record.unreadable || !wanted(record))
            continue;
        const RoundPlace place = PlaceInRound(round, m_shuffle, record, i);
        if (first == 0 || place < firstPlace) {
            first = record.id;
            firstPlace = place;
        }
    }
    return first;
}

template <typename Wanted> bool CPlayOrder::AnyPlayable(Wanted wanted) const {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        if (!record.unreadable && wanted(record))
            return true;
    }
    return false;
}

CPlayOrder::PlannedRound CPlayOrder::PlanRound(uint64_t salt, EntryId justHeard) const {
    const auto any = [](const TrackRecord&) { return true; };
    PlannedRound plan{.round = ShuffleRound{.salt = salt}};
    plan.first = FirstInRound(plan.round, any);
    const int heardRow = m_rows.RowOf(justHeard);
    if (plan.first == 0 || heardRow < 0)
        return plan;
    if (m_shuffle == ShuffleMode::Albums) {
        const AlbumName heardAlbum = AlbumOf(*m_tracks.GetRecord(heardRow));
        const AlbumName firstAlbum = AlbumOf(*m_tracks.GetRecord(m_rows.RowOf(plan.first)));
        const auto otherAlbum = [&](const TrackRecord& r) { return !(AlbumOf(r) == heardAlbum); };
        if (firstAlbum == heardAlbum && AnyPlayable(otherAlbum)) {
            plan.round.DeferAlbum(heardAlbum);
            plan.first = FirstInRound(plan.round, any);
            return plan;
        }
    }
    const auto otherEntry = [&](const TrackRecord& r) { return r.id != justHeard; };
    if (plan.first == justHeard && AnyPlayable(otherEntry)) {
        plan.round.deferredEntry = justHeard;
        plan.first = FirstInRound(plan.round, any);
    }
    return plan;
}

void CPlayOrder::Advance(EntryId to) {
    if (m_rows.RowOf(to) < 0)
        return;
    // Taken before the deleted entries leave the history: once the sounding
    // one has gone, an older entry is left last there, and moving on to it
    // must still count it as heard.
    const EntryId sounding = Sounding();
    ForgetDeleted();
    RememberNeighbours();
    const EntryId lastKept = Sounding();
    if (to == sounding)
        return;
    // Next after going back retraces the history.
    for (size_t i = m_played; i < m_history.size(); ++i) {
        if (m_history[i] == lastKept || !m_rows.IsPlayable(m_history[i]))
            continue;
        if (m_history[i] == to) {
            m_played = i + 1;
            return;
        }
        break;
    }
    Record(to);
    if (!m_heard.contains(to)) {
        m_heard.insert(to);
        return;
    }
    const auto unheard = [&](const TrackRecord& r) { return !m_heard.contains(r.id); };
    if (!AnyPlayable(unheard))
        StartRound(PlanRound(m_nextSalt, lastKept).round, to);
}

void CPlayOrder::StepBack(EntryId to) {
    if (m_rows.RowOf(to) < 0)
        return;
    ForgetDeleted();
    RememberNeighbours();
    const EntryId previous = Sounding();
    if (to == previous)
        return;
    for (size_t i = m_played == 0 ? 0 : m_played - 1; i-- > 0;) {
        if (m_history[i] == previous || !m_rows.IsPlayable(m_history[i]))
            continue;
        if (m_history[i] == to) {
            m_played = i + 1;
            return;
        }
        break;
    }
    // Not the entry heard before (Previous follows the list without
    // shuffle): it is simply the next one heard.
    Advance(to);
}

void CPlayOrder::Record(EntryId to) {
    m_history.resize(m_played);
    m_history.push_back(to);
    if (m_history.size() > kMaxHistory)
        m_history.erase(m_history.begin(), m_history.end() - kMaxHistory);
    m_played = m_history.size();
}

void CPlayOrder::StartRound(const ShuffleRound& round, EntryId first) {
    m_round = round;
    m_nextSalt = DrawSalt();
    m_heard.clear();
    if (first != 0)
        m_heard.insert(first);
}

void CPlayOrder::ForgetDeleted() {
    if (m_tidyVersion == m_tracks.Version())
        return;
    m_tidyVersion = m_tracks.Version();
    std::erase_if(m_heard, [&](EntryId id) { return m_rows.RowOf(id) < 0; });
    size_t kept = 0;
    size_t played = 0;
    for (size_t i = 0; i < m_history.size(); ++i) {
        if (m_rows.RowOf(m_history[i]) < 0)
            continue;
        m_history[kept++] = m_history[i];
        if (i < m_played)
            played = kept;
    }
    m_history.resize(kept);
    m_played = played;
}

EntryId CPlayOrder::FirstPlayableInRows(int from, int to, int step) const {
    for (int i = from; step > 0 ? i <= to : i >= to; i += step) {
        const TrackRecord* record = m_tracks.GetRecord(i);
        if (record != nullptr && !record->unreadable)
            return record->id;
    }
    return 0;
}

EntryId CPlayOrder::SurvivorBeside(EntryId gone, int direction) const {
    const auto at = std::find(m_neighbours.begin(), m_neighbours.end(), gone);
    if (at == m_neighbours.end())
        return 0;
    if (direction > 0) {
        for (auto it = at + 1; it != m_neighbours.end(); ++it)
            if (m_rows.IsPlayable(*it))
                return *it;
    } else {
        for (auto it = at; it != m_neighbours.begin();)
            if (m_rows.IsPlayable(*--it))
                return *it;
    }
    return 0;
}

void CPlayOrder::RememberNeighbours() const {
    if (m_neighboursVersion == m_tracks.Version())
        return;
    m_neighboursVersion = m_tracks.Version();
    std::vector<EntryId> order(static_cast<size_t>(m_tracks.GetCount()));
    for (int i = 0; i < m_tracks.GetCount(); ++i)
        order[static_cast<size_t>(i)] = m_tracks.GetId(i);
    // Entries deleted since (the sounding one, one read ahead of it) keep
    // their place among their old neighbours, so what follows them is still
    // found; a few at most, else only the sounding one.
    constexpr size_t kKeptGone = 16;
    std::vector<EntryId> gone;
    for (const EntryId id : m_neighbours)
        if (m_rows.RowOf(id) < 0)
            gone.push_back(id);
    if (gone.size() > kKeptGone)
        gone.assign(1, Sounding());
    for (const EntryId id : gone) {
        const auto at = std::find(m_neighbours.begin(), m_neighbours.end(), id);
        if (id == 0 || at == m_neighbours.end())
            continue;
        const auto survivor = std::find_if(at + 1, m_neighbours.end(),
                                           [&](EntryId e) { return m_rows.RowOf(e) >= 0; });
        order.insert(survivor == m_neighbours.end()
                         ? order.end()
                         : std::find(order.begin(), order.end(), *survivor),
                     id);
    }
    m_neighbours = std::move(order);
}

} // namespace tessel
