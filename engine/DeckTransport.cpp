// Loading, play/pause, the stop ramp, "No File Loaded", and the read
// worker's reports that complete a load or a seek.
#include "engine/Deck.h"

#include <filesystem>

namespace tessel {

namespace {
// Paths are cut to this many bytes before the chooser shows their name.
constexpr size_t kShownPathLimit = 519;
// A device that stops calling back (unplugged, server gone) must not hold a
// pause for ever: the ramp takes 50 ms plus a device buffer or two.
constexpr int kStopRampLimitMs = 2000;

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path.substr(0, kShownPathLimit)).filename().string();
}
} // namespace

void CDeck::RunLoad(const std::string& path, EntryId entry, bool fromPlaylist) {
    m_placeForNextDevice.kept = false;
    m_idlePlace = {};
    m_idleAtEnd = false;
    m_handOver.Forget();
    m_streamer.Close();
    m_streamer.ClearEnd();
    m_host.SetTransportEnabled(false);
    EnterState(State::Opening);
    m_jobFollowsPlaylist = fromPlaylist;
    ReadJob job;
    job.kind = ReadJob::Kind::Open;
    job.entry = entry;
    job.path = path;
    // A row that is a part of its file plays only that part.
    const int row = entry != 0 ? m_playlist.Tracks().FindRow(entry) : -1;
    if (row >= 0 && m_playlist.Tracks().GetTrackPath(row) == path) {
        job.range = m_playlist.Tracks().GetRange(row);
        job.gain = m_playlist.Tracks().GetEntryGain(row);
    }
    m_track = {};
    m_track.entry = entry;
    m_track.path = path;
    m_track.range = job.range;
    m_track.sheetGain = job.gain;
    // Sounding from now on as far as the play order goes, so the cue below
    // does not count it among the entries still to come.
    m_playlist.Order().Advance(entry);
    if (m_handOver.StopsAfter() != 0 && m_handOver.StopsAfter() != entry)
        m_handOver.StopAfter(entry); // the stop goes with the current track
    // The cue first: the reader may reach a short track's end at once.
    FollowList();
    m_job = m_worker->Submit(std::move(job));
}

void CDeck::OnOpened(const OpenedTrack& track) {
    if (m_state.Get() == State::Seeking) {
        // Read again from the start of a track the reader had left.
        m_track.serial = track.serial;
        return;
    }
    m_track = track;
    m_playlist.Order().Advance(track.entry);
    ShowTrack(track);
    m_elapsed = 0.0;
    ShowPosition();
    m_host.ShowLengthForAMoment(m_track.lengthSeconds);
    if (m_track.entry != 0)
        m_playlist.SetLoadedTrackLength(m_track.lengthSeconds);
}

void CDeck::OnOpenFailed(const OpenedTrack& track) {
    if (m_state.Get() == State::Seeking) {
        ShowUnloaded(); // the file went away under a seek
        return;
    }
    if (m_jobFollowsPlaylist && LoadEntryAfter(track.entry))
        return;
    if (track.entry != 0)
        m_playlist.MarkUnreadable(track.path, track.range);
    ShowUnloaded();
    m_host.OnTrackLoadFailed(track.path);
}

void CDeck::ShowUnloaded() {
    EnterState(State::NoFile);
    m_track = {};
    m_host.ShowNoFileLoaded();
}

bool CDeck::LoadEntryAfter(EntryId failed) {
    // As at a hand-over, an entry that would not open is marked and passed
    // over, so Next onto a missing file plays the one after it instead of
    // stopping with nothing loaded.
    const CTrackList& tracks = m_playlist.Tracks();
    const int row = tracks.FindRow(failed);
    if (row < 0)
        return false;
    m_playlist.MarkUnreadable(tracks.GetTrackPath(row), tracks.GetRange(row));
    // Passed over as the play order goes on (the user's Next: repeat track
    // does not try the same file again).
    const int next = tracks.FindRow(m_playlist.Order().PeekNextForUser(failed));
    if (next < 0)
        return false;
    m_playlist.MarkLoaded(next);
    RunLoad(tracks.GetTrackPath(next), tracks.GetId(next), true);
    return true;
}

void CDeck::OnPrimed() {
    m_streamer.Open(static_cast<uint32_t>(m_reader.GetSampleRate()));
    ApplyVolume();
    m_host.SetTransportEnabled(true);
    EnterState(State::Paused);
    // A mode or an edit that came while the track was opening.
    FollowList();
}

void CDeck::OnReadReports() {
    for (const ReadReport& report : m_worker->TakeReports()) {
        if (report.job != m_job || m_state.Get() == State::ShutDown)
            continue; // from a job replaced since
        switch (report.kind) {
        case ReadReport::Kind::Opened:
            if (!OnRereadReport(report))
                OnOpened(report.track);
            break;
        case ReadReport::Kind::OpenFailed:
            if (!OnRereadReport(report))
                OnOpenFailed(report.track);
            break;
        case ReadReport::Kind::Primed:
            if (m_state.Get() == State::Opening || m_state.Get() == State::Seeking)
                OnPrimed();
            break;
        case ReadReport::Kind::HandedOver:
            m_handOver.OnHandedOver(report.track);
            FollowList();
            break;
        case ReadReport::Kind::Unreadable:
            m_playlist.MarkUnreadable(report.track.path, report.track.range);
            break;
        }
    }
    RunQueue();
}

void CDeck::ShowTrack(const OpenedTrack& track) {
    // A part of a file is known by its row's title (a sheet's TITLE), not
    // by the title of the whole file.
    const CTrackList& tracks = m_playlist.Tracks();
    const int row = track.range.IsWholeFile() ? -1 : tracks.FindRow(track.entry);
    const std::string rowTitle = row >= 0 ? tracks.GetTag(row) : std::string();
    m_host.ShowCurrentTrack(FileNameOf(track.path) +
                            (rowTitle.empty() ? std::string() : " \u2013 " + rowTitle));
    m_host.OnTrackChanged(track.path, rowTitle.empty() ? track.title : rowTitle,
                          track.lengthSeconds);
}

void CDeck::RunPlayPause() {
    switch (m_state.Get()) {
    case State::Paused:
        // The device in use went away and none could be opened since: a
        // start would play into nothing and lose the place kept for it.
        if (!m_placeForNextDevice.kept && !ResumeReleased())
            StartPlaying();
        return;
    case State::Playing:
        if (m_streamer.ReachedEnd())
            PlayAgainAfterTheEnd();
        else
            BeginStopping();
        return;
    default:
        return; // nothing loaded
    }
}

void CDeck::PlayAgainAfterTheEnd() {
    // The list has been heard to its end: Play starts it again from its
    // first entry, as a press of Play does in any player. A track that is
    // no playlist entry plays again from its start.
    if (m_playlist.Tracks().FindRow(m_track.entry) >= 0) {
        m_playlist.MarkLoaded(0);
        m_output.StopForward();
        EnterState(State::Paused);
        RunPlayLoadedEntry(0);
        return;
    }
    m_output.StopForward();
    EnterState(State::Paused);
    m_elapsed = 0.0;
    ShowPosition();
    ReadAgainFrom(0);
    m_commands.Raise(DeckCommand::Of(DeckCommandKind::Resume));
}

void CDeck::StartPlaying() {
    m_streamer.BeforeStart();
    // Notifications signalled while paused will never be handled; a
    // lockstep clock must not wait for them.
    m_output.NotificationHandled();
    EnterState(State::Playing);
    m_output.PlayForward();
}

void CDeck::BeginStopping() {
    m_host.ShowLevel(0);
    m_stopTicket = m_output.BeginStopForward();
    if (m_stopTicket == 0) {
        m_output.StopForward();
        EnterState(State::Paused);
        return;
    }
    EnterState(State::Stopping);
    m_engine.Loop().StartTimer(kTimerStopRamp, kStopRampLimitMs, [this] { FinishStopping(); });
}

void CDeck::FinishStopping() {
    m_engine.Loop().StopTimer(kTimerStopRamp);
    if (m_state.Get() != State::Stopping)
        return;
    m_output.StopForward();
    m_stopTicket = 0;
    EnterState(State::Paused);
    RunQueue();
}

void CDeck::RunClose() {
    m_placeForNextDevice.kept = false;
    m_idlePlace = {};
    m_idleAtEnd = false;
    m_handOver.Forget();
    if (m_state.Get() == State::Paused) {
        ReadJob release;
        release.kind = ReadJob::Kind::Release;
        m_job = m_worker->Submit(std::move(release));
    }
    m_streamer.Close();
    EnterState(State::NoFile);
    m_track = {};
    m_elapsed = 0.0;
    ShowPosition();
    m_host.ShowNoFileLoaded();
    m_host.SetTransportEnabled(false);
    m_playlist.ClearLoadedRows();
}

void CDeck::RunPlayLoadedEntry(EntryId entry) {
    if (entry != 0) {
        const int chosen = m_playlist.Tracks().FindRow(entry);
        if (chosen < 0)
            return; // removed since it was chosen
        m_playlist.MarkLoaded(chosen);
    }
    const int row = m_playlist.GetLoadedIndex();
    if (row < 0)
        return;
    RunLoad(m_playlist.GetLoadedTrackPath(), m_playlist.Tracks().GetId(row), true);
    // Plays once the load (or the load of a later entry) is in.
    m_commands.Raise(DeckCommand::Of(DeckCommandKind::Resume));
}

} // namespace tessel
