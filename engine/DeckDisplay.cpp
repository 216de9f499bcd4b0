// Following what is heard: the level meter, the elapsed time and the
// position slider, the end of the data, underruns, and the moment a
// handed-over track starts to sound.
#include "engine/Deck.h"

#include <algorithm>

namespace tessel {

void CDeck::ApplyVolume() {
    m_output.SetVolume(m_volume);
}

void CDeck::OnPlayForwardNotify() {
    const State state = m_state.Get();
    if (state == State::Stopping && m_output.StopRampPlayed(m_stopTicket)) {
        FinishStopping();
        return;
    }
    const bool running = state == State::Playing || state == State::Stopping;
    if (!running || m_streamer.ReachedEnd() || !m_output.IsPlayingForward())
        return;
    const CRingStreamer::Look look = m_streamer.Advance();
    if (look.ended) {
        if (IsLoaded(state) && look.serial != 0 && look.serial != m_track.serial)
            OnHandedOverTrackHeard(look.serial, look.heard);
        // The whole track has been heard: the display ends at its end, not
        // at the last segment it followed.
        m_elapsed = std::max(m_elapsed, m_track.lengthSeconds);
        ShowPosition();
        m_output.StopForward();
        m_host.ShowLevel(0);
        if (state == State::Stopping)
            FinishStopping();
        StopAfterThisTrack();
        FollowIdleness();
        return;
    }
    if (look.underrun)
        m_host.OnUnderrun(look.underrunAtSeconds, look.starvedSeconds);
    // The first chunk of a handed-over track is being heard now.
    if (IsLoaded(state) && look.serial != 0 && look.serial != m_track.serial)
        OnHandedOverTrackHeard(look.serial, look.heard);
    m_host.ShowLevel(look.levelDb);
    if (look.showTime)
        FollowHeardFrame(look.heard);
    // Edits to the list reach the reader within a segment.
    FollowList();
}

void CDeck::OnHandedOverTrackHeard(uint64_t serial, uint64_t heardFrame) {
    if (m_handOver.Continues(m_track.serial, serial)) {
        m_track.serial = serial; // the same track, read again past an edit
        return;
    }
    if (std::optional<OpenedTrack> heard = m_handOver.TakeHeard(serial)) {
        m_track = std::move(*heard);
        m_playlist.Order().Advance(m_track.entry);
        // Asked too late to stop before this track: it stops after this one.
        if (m_handOver.StopsAfter() != 0)
            m_handOver.StopAfter(m_track.entry);
        // From the moment the new track is shown, the position is its own,
        // not the end of the one before.
        int64_t frame = 0;
        m_elapsed = m_streamer.TrackFrameAt(heardFrame, m_track.serial, frame)
                        ? frame / static_cast<double>(m_streamer.Rate())
                        : 0.0;
        m_winder.OnTrackChanged(m_elapsed);
        ShowTrack(m_track);
        ShowPosition();
        // An entry deleted too late to be taken back is heard with no row
        // of its own: the mark must not stay on the one before it.
        const int row = m_playlist.Tracks().FindRow(m_track.entry);
        if (row >= 0)
            m_playlist.MarkLoaded(row);
        else
            m_playlist.ClearLoadedRows();
    }
    FollowList();
}

void CDeck::FollowHeardFrame(uint64_t heardFrame) {
    int64_t trackFrame = 0;
    if (m_streamer.TrackFrameAt(heardFrame, m_track.serial, trackFrame))
        m_elapsed = trackFrame / static_cast<double>(m_streamer.Rate());
    // Silence after the end, or the track before the current one, leave the
    // position where it was.
    ShowPosition();
}

void CDeck::ShowPosition() {
    // While Ffwd or Rwnd is held, its target is what the user watches.
    m_host.ShowPosition(m_winder.IsWinding() ? m_winder.Target() : m_elapsed,
                        m_track.lengthSeconds);
}

} // namespace tessel
