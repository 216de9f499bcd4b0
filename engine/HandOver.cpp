#include "engine/HandOver.h"

namespace tessel {

void CHandOver::PublishCue(EntryId sounding) {
    const EntryId reading = m_tracks.empty() ? sounding : m_tracks.back().entry;
    CTrackList& tracks = m_playlist.Tracks();
    if (tracks.Version() == m_cuedVersion && reading == m_cuedAfter)
        return;
    m_cuedVersion = tracks.Version();
    m_cuedAfter = reading;
    EntryCue cue;
    const int row = tracks.FindRow(reading);
    if (row >= 0) {
        cue.order.push_back({reading, tracks.GetTrackPath(row)});
        for (int i = row + 1; i < tracks.GetCount() && int(cue.order.size()) <= kCuedEntries; ++i)
            cue.order.push_back({tracks.GetId(i), tracks.GetTrackPath(i)});
    }
    // The cued mark shows the entry that follows the sounding one.
    tracks.ClearCued();
    const int next = tracks.FindRow(cue.order.size() > 1 ? cue.order[1].id : 0);
    if (next >= 0)
        tracks.SetCuedNext(next);
    if (cue == m_cue)
        return;
    m_cue = cue;
    m_worker.SetCue(std::move(cue));
}

std::optional<OpenedTrack> CHandOver::TakeHeard(uint64_t serial) {
    while (!m_tracks.empty()) {
        OpenedTrack handed = std::move(m_tracks.front());
        m_tracks.pop_front();
        if (handed.serial == serial)
            return handed;
    }
    return std::nullopt;
}

} // namespace tessel
