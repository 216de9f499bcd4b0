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

bool CDeck::DeferIfWaiting(std::function<void()> command) {
    if (m_waitDepth == 0 || m_shutDown)
        return false;
    m_deferred.push_back(std::move(command));
    return true;
}

void CDeck::RunDeferred() {
    while (!m_deferred.empty() && !m_shutDown && m_waitDepth == 0) {
        auto command = std::move(m_deferred.front());
        m_deferred.erase(m_deferred.begin());
        command();
    }
}

void CDeck::CloseTrack() {
    m_reader.Close();
}

void CDeck::LoadTrack(const std::string& path, bool& ok) {
    ok = false;
    if (m_shutDown || DeferIfWaiting([this, path] {
            bool ignored;
            LoadTrack(path, ignored);
        }))
        return;
    CommandScope scope(*this);
    UnloadTrack();
    OpenOnFileOpenWorker(path);
    if (m_reader.IsOpen()) {
        m_trackTitle = m_reader.GetTitle();
        SetCurrentTrack(path);
        m_timeText = FormatTime(0);
        m_host.ShowTime(FormatTime(static_cast<int>(m_trackLength)));
        m_engine.Loop().StartTimer(kTimerLengthDisplay, 3000, [this] { OnLengthDisplayTimer(); });
        m_trackState = kTrackLoaded;
        m_elapsed = 0.0;
        m_host.SetPositionSlider(0);
        ThreadReadFileStart();
        ok = true;
        return;
    }
    // Nothing is loaded any more: a later start must not wait for a deck
    // that no read worker will make ready.
    m_trackState = kNoFile;
    m_trackPath.clear();
    m_trackLength = 0.0;
    m_host.ShowNoFileLoaded();
}

void CDeck::UnloadTrack() {
    if (m_isPlaying)
        TogglePlayPause();
    if (m_trackState == kTrackLoaded) {
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

void CDeck::TogglePlayPause() {
    if (m_trackState == kNoFile || DeferIfWaiting([this] { TogglePlayPause(); }))
        return;
    CommandScope scope(*this);
    if (m_isPlaying) {
        m_stopping = true;
        Stop();
        StopWait();
        m_isPlaying = false;
        m_stopping = false;
        return;
    }
    m_engine.Loop().StartTimer(kTimerStart, 1, [this] { OnStartTimer(); });
}

void CDeck::OnStartTimer() {
    // A pause still in progress, or any wait of the deck: tick again later.
    if (m_stopping || m_waitDepth > 0 || m_commandDepth > 0)
        return;
    m_engine.Loop().StopTimer(kTimerStart);
    CommandScope scope(*this);
    if (m_trackState == kTrackLoaded && Play())
        m_isPlaying = true;
}

void CDeck::OnLengthDisplayTimer() {
    m_engine.Loop().StopTimer(kTimerLengthDisplay);
    m_timeText = FormatTime(0);
    m_host.ShowTime(m_timeText);
}

void CDeck::ChooseNoFile() {
    if (DeferIfWaiting([this] { ChooseNoFile(); }))
        return;
    CommandScope scope(*this);
    UnloadTrack();
    m_trackState = kNoFile;
    m_trackPath.clear();
    m_trackLength = 0.0;
    m_elapsed = 0.0;
    m_timeText = FormatTime(0);
    m_host.ShowTime(m_timeText);
    m_host.SetPositionSlider(0);
    m_host.ShowNoFileLoaded();
    m_playlist.ClearLoadedForDeckRows(0);
}

void CDeck::NextCommand() {
    StepThroughPlaylist(true);
}

void CDeck::PreviousCommand() {
    StepThroughPlaylist(false);
}

void CDeck::StepThroughPlaylist(bool forward) {
    if (DeferIfWaiting([this, forward] { StepThroughPlaylist(forward); }))
        return;
    CommandScope scope(*this);
    const bool wasPlaying = m_isPlaying;
    bool found = false;
    if (forward)
        m_playlist.NextTrack(0, found);
    else
        m_playlist.PreviousTrack(0, found);
    if (found && wasPlaying && !m_isPlaying)
        TogglePlayPause();
}

void CDeck::PlayLoadedEntry() {
    if (DeferIfWaiting([this] { PlayLoadedEntry(); }))
        return;
    CommandScope scope(*this);
    bool ok = true;
    if (!m_playlist.IsLoadedTrackCd(0))
        LoadTrack(m_playlist.GetLoadedTrackPath(0), ok);
    if (!ok)
        ok = LoadFollowingReadableEntry();
    if (ok) {
        m_playlist.SetLoadedTrackLength(0, m_trackLength);
        TogglePlayPause();
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
        LoadTrack(tracks.GetTrackPath(next), ok);
        if (ok)
            return true;
        row = next;
    }
    return false;
}

void CDeck::LoadCommandLine(const std::vector<std::string>& paths) {
    CommandScope scope(*this);
    bool anyLoaded = false;
    for (const auto& path : paths) {
        bool ok = false;
        LoadTrack(path, ok);
        if (!ok)
            continue;
        m_playlist.AddTrackRow(0, m_trackPath, m_trackLength, m_trackTitle);
        m_playlist.MarkLoaded(m_playlist.GetRowCount() - 1);
        anyLoaded = true;
    }
    // One start for the whole command line, after every load has finished:
    // the last file that opened plays.
    if (anyLoaded && m_trackState == kTrackLoaded)
        TogglePlayPause();
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
