#include "engine/TrackLengthLoop.h"

#include <algorithm>

namespace tessel {

void CTrackLengthLoop::Start() {
    m_running = true;
    m_cursor = 0;
    RequestNext();
}

void CTrackLengthLoop::OnRowsChanged(int first) {
    m_cursor = std::clamp(first, 0, m_cursor);
    RequestNext();
}

void CTrackLengthLoop::OnRowChanged(int row) {
    const CTrackList& tracks = m_playlist.Tracks();
    if (!tracks.IsLoaded(row) || tracks.IsUnreadable(row))
        return;
    const std::string path = tracks.GetTrackPath(row);
    if (tracks.GetLengthOrigin(row) == LengthOrigin::Estimated && tracks.GetLength(row) >= 0.0) {
        if (m_counted.insert(path).second)
            m_first.emplace_back(path, LengthDepth::Count);
    } else if (!m_measured.count(path) && path != m_inFlight) {
        // The deck states the length it opened with, but only the headers
        // tell whether that was an estimate worth counting.
        m_measured.insert(path);
        m_first.emplace_back(path, LengthDepth::Headers);
    } else {
        return;
    }
    RequestNext();
}

void CTrackLengthLoop::OnAnswer() {
    const TrackLengthAnswer answer = m_loader.TakeAnswer();
    if (answer.path.empty())
        return;
    ++m_answers;
    if (answer.path == m_inFlight)
        m_inFlight.clear();
    m_measured.insert(answer.path);
    const LengthOrigin origin = answer.depth == LengthDepth::Count ? LengthOrigin::Counted
                                : answer.estimated                 ? LengthOrigin::Estimated
                                                                   : LengthOrigin::Stated;
    m_playlist.OnTrackLengthLoaded(answer.path, answer.tags, answer.length, origin);
    m_playlist.SplitIntoParts(answer.path, answer.chapters);
    RequestNext();
}

bool CTrackLengthLoop::NeedsLength(int row) const {
    const CTrackList& tracks = m_playlist.Tracks();
    if (tracks.IsUnreadable(row))
        return false;
    const std::string path = tracks.GetTrackPath(row);
    if (path == m_inFlight)
        return false;
    // A kept playlist gives lengths and titles but no other tags: such a row
    // is read once more for them.
    return tracks.GetLength(row) < 0.0 ||
           (tracks.GetTags(row) == TrackTags{} && !m_measured.count(path));
}

bool CTrackLengthLoop::RequestNext() {
    if (!m_running || m_loader.IsBusy())
        return false;
    while (!m_first.empty()) {
        auto [path, depth] = std::move(m_first.front());
        m_first.pop_front();
        if (m_loader.Request(path, depth)) {
            m_inFlight = std::move(path);
            return true;
        }
        m_first.emplace_front(std::move(path), depth);
        return false;
    }
    const CTrackList& tracks = m_playlist.Tracks();
    for (; m_cursor < tracks.GetCount(); ++m_cursor) {
        if (!NeedsLength(m_cursor))
            continue;
        const std::string path = tracks.GetTrackPath(m_cursor);
        if (!m_loader.Request(path, LengthDepth::Headers))
            return false;
        m_inFlight = path;
        m_measured.insert(path);
        ++m_cursor;
        return true;
    }
    return false;
}

} // namespace tessel
