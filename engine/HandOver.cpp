#include "engine/HandOver.h"

#include <algorithm>

namespace tessel {

std::optional<uint64_t> CHandOver::PublishCue(EntryId sounding, bool readerEnded) {
    CTrackList& tracks = m_playlist.Tracks();
    // The reader ended with nothing to move on to, and something follows now.
    const bool endedEarly = readerEnded && !m_endSettled;
    if (tracks.Version() == m_cuedVersion && sounding == m_cuedSounding &&
        m_tracks.size() == m_cuedTracks) {
        if (endedEarly && m_cue.order.size() > 1)
            return 0;
        return std::nullopt;
    }

    // What the reader moved on to must still be what follows, track by track.
    const size_t wanted = m_tracks.size() + kCuedEntries;
    EntryId reading = sounding;
    std::vector<EntryId> following = FollowersOf(reading, wanted);
    size_t at = 0;
    for (const OpenedTrack& track : m_tracks) {
        const bool settled =
            std::find(m_settled.begin(), m_settled.end(), track.serial) != m_settled.end();
        if (settled) {
            following = FollowersOf(track.entry, wanted);
            at = 0;
        } else if (at >= following.size() || following[at++] != track.entry) {
            return track.serial;
        }
        reading = track.entry;
    }
    m_cuedVersion = tracks.Version();
    m_cuedSounding = sounding;
    m_cuedTracks = m_tracks.size();

    EntryCue cue;
    if (reading != 0) {
        const int row = tracks.FindRow(reading);
        if (row >= 0)
            cue.order.push_back({reading, tracks.GetTrackPath(row), tracks.GetRange(row),
                                 tracks.GetEntryGain(row)});
        else if (!m_tracks.empty())
            cue.order.push_back({reading, m_tracks.back().path, m_tracks.back().range, {}});
        else
            cue.order.push_back({reading, std::string(), TrackRange{}, {}});
        for (; at < following.size() && cue.order.size() <= size_t{kCuedEntries}; ++at) {
            const int next = tracks.FindRow(following[at]);
            if (next >= 0)
                cue.order.push_back({following[at], tracks.GetTrackPath(next),
                                     tracks.GetRange(next), tracks.GetEntryGain(next)});
        }
    }
    // The cued mark shows the entry that follows the sounding one.
    tracks.ClearCued();
    const EntryId next = !m_tracks.empty()      ? m_tracks.front().entry
                         : cue.order.size() > 1 ? cue.order[1].id
                                                : 0;
    const int nextRow = tracks.FindRow(next);
    if (nextRow >= 0)
        tracks.SetCuedNext(nextRow);
    if (cue != m_cue) {
        m_cue = cue;
        m_worker.SetCue(std::move(cue));
    }
    if (endedEarly && m_cue.order.size() > 1)
        return 0;
    return std::nullopt;
}

std::vector<EntryId> CHandOver::FollowersOf(EntryId entry, size_t count) const {
    // A file played on its own is followed by nothing.
    if (entry == 0 || entry == m_stopAfter)
        return {};
    std::vector<EntryId> following = m_playlist.Order().PeekAhead(entry, count);
    const auto stop = std::find(following.begin(), following.end(), m_stopAfter);
    if (m_stopAfter != 0 && stop != following.end())
        following.erase(stop + 1, following.end());
    return following;
}

std::optional<OpenedTrack> CHandOver::TakeHeard(uint64_t serial) {
    while (!m_tracks.empty()) {
        OpenedTrack handed = std::move(m_tracks.front());
        m_tracks.pop_front();
        std::erase(m_settled, handed.serial);
        if (handed.serial == serial)
            return handed;
    }
    return std::nullopt;
}

void CHandOver::Forget() {
    m_tracks.clear();
    m_settled.clear();
    m_continued.clear();
    m_rereadFrom = 0;
    m_endSettled = false;
}

uint64_t CHandOver::OriginalSerial(uint64_t serial) const {
    for (auto at = m_continued.rbegin(); at != m_continued.rend(); ++at)
        if (at->second == serial)
            serial = at->first;
    return serial;
}

std::optional<OpenedTrack> CHandOver::MovedOnTo(uint64_t serial) const {
    const uint64_t original = OriginalSerial(serial);
    for (const OpenedTrack& track : m_tracks)
        if (track.serial == original)
            return track;
    return std::nullopt;
}

void CHandOver::BeginReread(uint64_t serial) {
    const uint64_t original = OriginalSerial(serial);
    auto keep = std::find_if(m_tracks.begin(), m_tracks.end(),
                             [&](const OpenedTrack& t) { return t.serial == original; });
    m_tracks.erase(keep == m_tracks.end() ? m_tracks.begin() : keep + 1, m_tracks.end());
    m_rereadFrom = serial;
    m_endSettled = false;
    m_cuedVersion = ~uint64_t{0};
}

void CHandOver::OnRereadOpened(uint64_t newSerial) {
    if (m_rereadFrom != 0)
        m_continued.emplace_back(m_rereadFrom, newSerial);
    m_rereadFrom = 0;
}

void CHandOver::Settle(uint64_t staleSerial) {
    if (staleSerial == 0)
        m_endSettled = true;
    else
        m_settled.push_back(staleSerial);
    m_cuedVersion = ~uint64_t{0};
}

bool CHandOver::Continues(uint64_t current, uint64_t serial) const {
    for (const auto& [before, after] : m_continued)
        if (before == current)
            return after == serial || Continues(after, serial);
    return false;
}

} // namespace tessel
