// Keeping what is read ahead true to the list: an edit that changes what
// follows a seam the reader has already passed (the next entry deleted or
// moved, the list emptied) has it read again from that seam, so the entry
// that now follows is heard there, gapless. When the output is about to
// play the seam, the audio read stays and the cue after it follows the list.
#include "engine/Deck.h"

namespace tessel {

void CDeck::FollowList() {
    for (;;) {
        const State state = m_state.Get();
        // Ended with nothing cued; an entry may follow now (an append, a
        // mode): then it is read on from the end of the data.
        const bool readerEnded =
            m_worker->HasEnded() && m_streamer.IsOpen() && !m_streamer.IsHeld() &&
            !m_streamer.ReachedEnd() &&
            (state == State::Playing || state == State::Paused || state == State::Stopping);
        const std::optional<uint64_t> stale = m_handOver.PublishCue(m_track.entry, readerEnded);
        if (!stale)
            return;
        if (ReadAgainBefore(*stale))
            continue;
        if (!IsSettled(state)) {
            // Opening or seeking: read again once the track is ready.
            m_handOver.Recheck();
            return;
        }
        m_handOver.Settle(*stale);
    }
}

void CDeck::SetRepeat(RepeatMode mode) {
    m_playlist.Order().SetRepeat(mode);
    m_handOver.Recheck();
    FollowList();
    m_host.OnPlayModesChanged();
}

void CDeck::SetShuffle(ShuffleMode mode) {
    m_playlist.Order().SetShuffle(mode);
    // The auto mode's choice of gain follows the order.
    SetReplayGain(m_replayGain);
    m_handOver.Recheck();
    FollowList();
    m_host.OnPlayModesChanged();
}

void CDeck::SetReplayGain(const ReplayGainSettings& settings) {
    m_replayGain = settings;
    m_streamer.SetReplayGain(settings, m_playlist.Order().Shuffle() != ShuffleMode::Off);
}

void CDeck::SetStopAfterCurrent(bool on) {
    m_handOver.StopAfter(on ? m_track.entry : 0);
    FollowList();
    m_host.OnPlayModesChanged();
}

void CDeck::StopAfterThisTrack() {
    const EntryId stopped = m_handOver.StopsAfter();
    if (stopped == 0 || stopped != m_track.entry)
        return;
    m_handOver.StopAfter(0);
    m_host.OnPlayModesChanged();
    const EntryId next = m_playlist.Order().PeekNextForEndOfTrack(stopped);
    const int row = m_playlist.Tracks().FindRow(next);
    if (row < 0)
        return; // the end of the list: as without the stop
    m_output.StopForward();
    if (m_state.Get() != State::Paused)
        EnterState(State::Paused);
    m_playlist.MarkLoaded(row);
    RunLoad(m_playlist.Tracks().GetTrackPath(row), next, true);
}

bool CDeck::ReadAgainBefore(uint64_t staleSerial) {
    const State state = m_state.Get();
    if (!m_streamer.IsOpen() ||
        (state != State::Playing && state != State::Paused && state != State::Stopping))
        return false;
    const std::optional<CRingStreamer::Seam> seam = m_streamer.SeamBefore(staleSerial);
    if (!seam)
        return false;
    // The track the seam ends: the sounding one, or one moved on to.
    OpenedTrack keep = m_track;
    if (seam->serialBefore != m_track.serial &&
        !m_handOver.Continues(m_track.serial, seam->serialBefore)) {
        std::optional<OpenedTrack> moved = m_handOver.MovedOnTo(seam->serialBefore);
        if (!moved)
            return false;
        keep = std::move(*moved);
    }
    if (!m_streamer.TakeBack(seam->streamFrame))
        return false;
    m_handOver.BeginReread(seam->serialBefore);
    // The cue first: the reader may reach the track's end at once.
    m_handOver.PublishCue(m_track.entry);
    ReadJob job;
    job.kind = ReadJob::Kind::ReadFrom;
    job.entry = keep.entry;
    job.path = keep.path;
    job.range = keep.range;
    job.gain = keep.sheetGain;
    job.frame = seam->frameBefore;
    job.serial = 0; // opened anew: the reader has moved past it
    m_job = m_worker->Submit(std::move(job));
    return true;
}

bool CDeck::OnRereadReport(const ReadReport& report) {
    const State state = m_state.Get();
    if (state != State::Playing && state != State::Paused && state != State::Stopping)
        return false;
    if (report.kind == ReadReport::Kind::Opened)
        m_handOver.OnRereadOpened(report.track.serial);
    // A track that went away under the edit ends the data at the seam.
    m_streamer.ResumeFilling();
    return true;
}

} // namespace tessel
