// Loading, play/pause, next/previous, the command line, and the rule that a
// command never runs inside another command's wait.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

#include <filesystem>

namespace tessel {

namespace {
// Paths are cut to this many bytes before the chooser shows their name.
constexpr size_t kShownPathLimit = 519;

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path.substr(0, kShownPathLimit)).filename().string();
}
} // namespace

void CDeck::CloseTrack() {
    m_reader.Close();
}

void CDeck::RunLoad(const std::string& path, bool& ok) {
    ok = false;
    UnloadTrack();
    EnterState(State::Opening);
    OpenOnFileOpenWorker(path);
    if (m_reader.IsOpen()) {
        m_trackTitle = m_reader.GetTitle();
        SetCurrentTrack(path);
        m_timeText = FormatTime(0);
        m_host.ShowTime(FormatTime(static_cast<int>(m_trackLength)));
        m_engine.Loop().StartTimer(kTimerLengthDisplay, 3000, [this] { OnLengthDisplayTimer(); });
        EnterState(State::Paused);
        m_elapsed = 0.0;
        m_host.SetPositionSlider(0);
        ThreadReadFileStart();
        ok = true;
        return;
    }
    // Nothing is loaded any more: a later start must not wait for a deck
    // that no read worker will make ready.
    EnterState(State::NoFile);
    m_trackPath.clear();
    m_trackLength = 0.0;
    m_host.ShowNoFileLoaded();
}

void CDeck::UnloadTrack() {
    m_resumeOnDevice = false;
    if (m_state == State::Playing || m_state == State::Starting)
        RunPlayPause();
    if (IsLoadedState(m_state)) {
        ThreadReadFileStop();
        CloseTrack();
    }
    ForgetHandedOverTracks();
}

void CDeck::SetCurrentTrack(const std::string& path) {
    if (path.empty())
        return;
    m_trackSerial = m_reader.GetOpenSerial();
    ShowTrack(path, m_reader.GetDurationSeconds());
}

void CDeck::ShowTrack(const std::string& path, double length) {
    m_host.ShowCurrentTrack(FileNameOf(path));
    m_trackLength = length;
    m_trackPath = path;
    m_host.OnTrackChanged(m_trackPath, m_trackTitle, m_trackLength);
}

void CDeck::RunPlayPause() {
    switch (m_state) {
    case State::Paused:
        // The device in use went away and none could be opened since: a
        // start would play into nothing and lose the place kept for it.
        if (m_resumeOnDevice)
            return;
        // The start itself happens on the timer's first tick, outside
        // whatever called this.
        EnterState(State::Starting);
        m_engine.Loop().StartTimer(kTimerStart, 1, [this] { OnStartTimer(); });
        return;
    case State::Starting:
        // Pressed again before the start: it does not happen.
        m_engine.Loop().StopTimer(kTimerStart);
        EnterState(State::Paused);
        return;
    case State::Playing:
        EnterState(State::Stopping);
        Stop();
        StopWait();
        EnterState(State::Paused);
        return;
    default:
        return; // nothing loaded, or in the middle of a change
    }
}

void CDeck::OnStartTimer() {
    if (m_waitDepth > 0)
        return; // tick again after the wait
    m_engine.Loop().StopTimer(kTimerStart);
    if (m_state != State::Starting)
        return;
    EnterState(Play() ? State::Playing : State::Paused);
}

void CDeck::OnLengthDisplayTimer() {
    m_engine.Loop().StopTimer(kTimerLengthDisplay);
    m_timeText = FormatTime(0);
    m_host.ShowTime(m_timeText);
}

void CDeck::RunChooseNoFile() {
    UnloadTrack();
    EnterState(State::NoFile);
    m_trackPath.clear();
    m_trackLength = 0.0;
    m_elapsed = 0.0;
    m_timeText = FormatTime(0);
    m_host.ShowTime(m_timeText);
    m_host.SetPositionSlider(0);
    m_host.ShowNoFileLoaded();
    m_playlist.ClearLoadedForDeckRows(0);
}

void CDeck::StepThroughPlaylist(bool forward) {
    // The playlist plays the entry it moves to (RunPlayLoadedEntry).
    bool found = false;
    if (forward)
        m_playlist.NextTrack(0, found);
    else
        m_playlist.PreviousTrack(0, found);
}

void CDeck::RunPlayLoadedEntry() {
    bool ok = true;
    if (!m_playlist.IsLoadedTrackCd(0))
        RunLoad(m_playlist.GetLoadedTrackPath(0), ok);
    if (!ok)
        ok = LoadFollowingReadableEntry();
    if (ok) {
        m_playlist.SetLoadedTrackLength(0, m_trackLength);
        if (m_state == State::Paused)
            RunPlayPause();
    }
}

bool CDeck::LoadFollowingReadableEntry() {
    // The loaded entry did not open. As at a hand-over, it is marked and
    // passed over, so Next onto a missing file plays the one after it
    // instead of stopping with nothing loaded.
    const CTrackList& tracks = m_playlist.Tracks();
    for (int row = m_playlist.GetLoadedIndex(0); row >= 0;) {
        m_playlist.MarkUnreadable(tracks.GetTrackPath(row));
        int next = row + 1;
        while (next < tracks.GetCount() && tracks.GetDeck(next) != 0)
            ++next;
        if (next >= tracks.GetCount())
            return false;
        m_playlist.MarkLoaded(next);
        bool ok = false;
        RunLoad(tracks.GetTrackPath(next), ok);
        if (ok)
            return true;
        row = next;
    }
    return false;
}

bool CDeck::HandleMessage(const Message& message) {
    switch (message.id) {
    case kMsgReadAheadReady:
        OnReadAheadReady(message.wParam);
        return true;
    case kMsgPlayForwardNotify:
        OnPlayForwardNotify();
        m_output.NotificationHandled();
        return true;
    case kMsgReaderEndOfStream:
        OnReaderEndOfStream(true);
        return true;
    case kMsgPlayLoadedEntry:
        PlayLoadedEntry();
        return true;
    case kMsgFfwdPressed:
        OnFastForwardPressed();
        return true;
    case kMsgFfwdReleased:
        OnFastForwardReleased();
        return true;
    case kMsgRwndPressed:
        OnRewindPressed();
        return true;
    case kMsgRwndReleased:
        OnRewindReleased();
        return true;
    case kMsgPositionSliderGrabbed:
        OnPositionSliderGrabbed();
        return true;
    default:
        return false;
    }
}

} // namespace tessel
