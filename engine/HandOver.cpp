#include "engine/HandOver.h"

#include <algorithm>
#include <unordered_set>

namespace tessel {

std::optional<uint64_t> CHandOver::PublishCue(EntryId sounding) {
    CTrackList& tracks = m_playlist.Tracks();
    if (tracks.Version() == m_cuedVersion && sounding == m_cuedSounding &&
        m_tracks.size() == m_cuedTracks)
        return std::nullopt;
    RememberOrder(sounding);

    // What the reader moved on to must still be what follows, track by track.
    EntryId reading = sounding;
    for (const OpenedTrack& track : m_tracks) {
        const bool settled =
            std::find(m_settled.begin(), m_settled.end(), track.serial) != m_settled.end();
        if (!settled) {
            const std::vector<EntryCue::Entry> next = FollowersOf(reading);
            if (next.empty() || next.front().id != track.entry)
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
        const std::string path = row >= 0           ? tracks.GetTrackPath(row)
                                 : m_tracks.empty() ? std::string()
                                                    : m_tracks.back().path;
        cue.order.push_back({reading, path});
        for (EntryCue::Entry& next : FollowersOf(reading))
            cue.order.push_back(std::move(next));
    }
    // The cued mark shows the entry that follows the sounding one.
    tracks.ClearCued();
    const EntryId following = !m_tracks.empty()      ? m_tracks.front().entry
                              : cue.order.size() > 1 ? cue.order[1].id
                                                     : 0;
    const int followingRow = tracks.FindRow(following);
    if (followingRow >= 0)
        tracks.SetCuedNext(followingRow);
    if (cue == m_cue)
        return std::nullopt;
    m_cue = cue;
    m_worker.SetCue(std::move(cue));
    return std::nullopt;
}

std::vector<EntryCue::Entry> CHandOver::FollowersOf(EntryId entry) const {
    const CTrackList& tracks = m_playlist.Tracks();
    int row = tracks.FindRow(entry);
    if (row >= 0) {
        ++row;
    } else {
        // Gone from the list: on from the first entry after it that is not.
        auto at = std::find(m_knownOrder.begin(), m_knownOrder.end(), entry);
        row = tracks.GetCount();
        for (; at != m_knownOrder.end() && row == tracks.GetCount(); ++at) {
            const int found = tracks.FindRow(*at);
            if (found >= 0)
                row = found;
        }
    }
    std::vector<EntryCue::Entry> followers;
    for (int i = row; i < tracks.GetCount() && int(followers.size()) < kCuedEntries; ++i)
        followers.push_back({tracks.GetId(i), tracks.GetTrackPath(i)});
    return followers;
}

void CHandOver::RememberOrder(EntryId sounding) {
    const CTrackList& tracks = m_playlist.Tracks();
    std::vector<EntryId> order;
    order.reserve(static_cast<size_t>(tracks.GetCount()));
    std::unordered_set<EntryId> listed;
    for (int i = 0; i < tracks.GetCount(); ++i) {
        order.push_back(tracks.GetId(i));
        listed.insert(order.back());
    }
    std::unordered_set<EntryId> kept{sounding};
    for (const OpenedTrack& track : m_tracks)
        kept.insert(track.entry);
    // Deleted entries that still sound or are read ahead keep their place
    // (before the first entry after them that is still listed), in their
    // old order, so that what follows them can be found.
    for (auto at = m_knownOrder.begin(); at != m_knownOrder.end(); ++at) {
        if (listed.count(*at) != 0 || kept.count(*at) == 0)
            continue;
        auto anchor = std::find_if(at + 1, m_knownOrder.end(),
                                   [&](EntryId id) { return listed.count(id) != 0; });
        auto place = anchor == m_knownOrder.end() ? order.end()
                                                  : std::find(order.begin(), order.end(), *anchor);
        order.insert(place, *at);
    }
    m_knownOrder = std::move(order);
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
    m_cuedVersion = ~uint64_t{0};
}

void CHandOver::OnRereadOpened(uint64_t newSerial) {
    if (m_rereadFrom != 0)
        m_continued.emplace_back(m_rereadFrom, newSerial);
    m_rereadFrom = 0;
}

void CHandOver::Settle(uint64_t staleSerial) {
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
