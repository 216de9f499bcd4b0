// The elapsed time and the position slider, and the end-of-stream hand-over
// that moves the deck on to the next playlist entry without a gap.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

#include <algorithm>
#include <cmath>

namespace tessel {

void CDeck::UpdateTimeDisplay(uint64_t heardFrame) {
    // Each segment knows the frame of its track it starts with, so the time
    // is that of the frame being heard, whatever is buffered behind it.
    const auto s = static_cast<size_t>(heardFrame / kChunkFrames % kRingSegments);
    if (m_segmentTrackSerial[s] != m_track.serial)
        return; // silence after the end, or the track before the current one
    const int64_t trackFrame =
        m_segmentTrackFrame[s] + static_cast<int64_t>(heardFrame % kChunkFrames);
    m_elapsed = std::max<int64_t>(0, trackFrame) / static_cast<double>(m_streamRate);
    m_timeText = FormatTime(static_cast<int>(m_elapsed));
    if (!m_sliderHeld)
        m_host.ShowTime(m_timeText);
}

int CDeck::SliderPositionOf(double seconds) const {
    if (!(m_track.lengthSeconds > 0.0))
        return 0;
    return static_cast<int>(
        std::clamp(kSliderMax * seconds / m_track.lengthSeconds, 0.0, double(kSliderMax)));
}

void CDeck::UpdatePositionSlider() {
    if (!(m_track.lengthSeconds > 0.0))
        return;
    int position = -1;
    if (m_ffwdActive)
        position = SliderPositionOf(m_ffwdPosition);
    else if (m_rwndActive)
        position = SliderPositionOf(m_rwndPosition);
    else if (!m_sliderHeld)
        position = SliderPositionOf(m_elapsed);
    if (position < 0)
        return;
    m_host.SetPositionSlider(position);
    if (m_sliderHeld)
        ShowHeldPosition(position);
}

void CDeck::ForgetHandedOverTracks() {
    m_handedOverTracks.clear();
}

void CDeck::PublishCue() {
    // The entries after the one the reader is in, in play order: after the
    // sounding one, or after the last one it has moved on to.
    const EntryId reading =
        m_handedOverTracks.empty() ? m_track.entry : m_handedOverTracks.back().entry;
    const CTrackList& tracks = m_playlist.Tracks();
    if (tracks.Version() == m_cuedVersion && reading == m_cuedAfter)
        return;
    m_cuedVersion = tracks.Version();
    m_cuedAfter = reading;
    EntryCue cue;
    const int row = tracks.FindRow(reading);
    if (row >= 0) {
        cue.order.push_back({reading, tracks.GetTrackPath(row)});
        for (int i = row + 1; i < tracks.GetCount() && int(cue.order.size()) <= kCuedEntries; ++i)
            if (tracks.GetDeck(i) == 0)
                cue.order.push_back({tracks.GetId(i), tracks.GetTrackPath(i)});
    }
    // The cued mark shows the entry that follows the sounding one.
    m_playlist.Tracks().ClearCuedForDeck(0);
    const int next = tracks.FindRow(cue.order.size() > 1 ? cue.order[1].id : 0);
    if (next >= 0)
        m_playlist.Tracks().SetCuedNext(next);
    if (cue == m_cue)
        return;
    m_cue = cue;
    m_worker->SetCue(std::move(cue));
}

void CDeck::OnHandedOver(const OpenedTrack& track) {
    m_handedOverTracks.push_back(track);
    PublishCue();
}

void CDeck::OnHandedOverTrackHeard(uint64_t serial) {
    // Tracks too short to fill a chunk of their own are passed over.
    while (!m_handedOverTracks.empty()) {
        OpenedTrack handed = std::move(m_handedOverTracks.front());
        m_handedOverTracks.pop_front();
        if (handed.serial != serial)
            continue;
        m_track = std::move(handed);
        ShowTrack(m_track);
        const int row = m_playlist.Tracks().FindRow(m_track.entry);
        if (row >= 0)
            m_playlist.MarkLoaded(row);
        break;
    }
    PublishCue();
}

} // namespace tessel
