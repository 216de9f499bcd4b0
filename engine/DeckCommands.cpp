// The deck's command queue and its state changes.
#include "engine/Deck.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tessel {

void CDeck::EnterState(State next) {
    const State before = m_state.Get();
    m_state.Enter(next);
    if (m_state.Get() != before)
        m_host.OnStateChanged(m_state.Get());
    FollowIdleness();
}

void CDeck::Submit(DeckCommand command) {
    if (m_state.Get() == State::ShutDown)
        return;
    m_commands.Push(std::move(command));
    RunQueue();
}

void CDeck::RunQueue() {
    m_commands.RunWhile([this] { return IsSettled(m_state.Get()); },
                        [this](DeckCommand& command) { Execute(command); });
}

bool CDeck::PauseFirst(const DeckCommand& command, bool playAfter) {
    if (m_state.Get() != State::Playing)
        return false;
    if (playAfter && !m_streamer.ReachedEnd())
        m_commands.RaiseFirst(DeckCommand::Of(DeckCommandKind::Resume));
    m_commands.RaiseFirst(command);
    BeginStopping();
    return true;
}

void CDeck::Execute(DeckCommand& command) {
    using K = DeckCommandKind;
    switch (command.kind) {
    case K::PlayPause:
        RunPlayPause();
        break;
    case K::Resume:
        if (m_state.Get() == State::Paused && !m_placeForNextDevice.kept && !ResumeReleased())
            StartPlaying();
        else if (m_state.Get() == State::Playing && m_streamer.ReachedEnd())
            PlayAgainAfterTheEnd();
        break;
    case K::Pause:
        if (m_state.Get() == State::Playing)
            BeginStopping();
        break;
    case K::Next:
    case K::Previous:
        // The playlist plays the entry it moves to (RunPlayLoadedEntry).
        if (command.kind == K::Next)
            m_playlist.NextTrack();
        else
            m_playlist.PreviousTrack();
        break;
    case K::SeekTo:
        if (!PauseFirst(command, true))
            RunSeek(command.amount);
        break;
    case K::SeekBy:
        // From the position heard once paused, not the one when asked.
        if (!PauseFirst(command, true))
            RunSeek(m_elapsed + command.amount);
        break;
    case K::Close:
        if (!PauseFirst(command, false))
            RunClose();
        break;
    case K::Load:
        if (!PauseFirst(command, false) && !command.paths.empty())
            RunLoad(command.paths.front(), command.entry, false);
        break;
    case K::PlayLoadedEntry:
        if (!PauseFirst(command, false))
            RunPlayLoadedEntry(command.entry);
        break;
    case K::FastForwardPress:
        StartFastWind(true);
        break;
    case K::FastForwardRelease:
        EndFastWind(true);
        break;
    case K::RewindPress:
        StartFastWind(false);
        break;
    case K::RewindRelease:
        EndFastWind(false);
        break;
    case K::SwitchDevice:
        if (!PauseFirst(command, true))
            RunSwitchDevice(command.device, command.makeBackend);
        break;
    }
}

bool CDeck::IsPlayingOrAboutTo() const {
    if (m_state.Get() == State::Playing && !m_streamer.ReachedEnd())
        return true;
    return m_commands.EndsPlaying();
}

void CDeck::Play() {
    Submit(DeckCommand::Of(DeckCommandKind::Resume));
}
void CDeck::Pause() {
    Submit(DeckCommand::Of(DeckCommandKind::Pause));
}
void CDeck::TogglePause() {
    Submit(DeckCommand::Of(DeckCommandKind::PlayPause));
}
void CDeck::Stop() {
    Pause();
    SeekTo(0.0);
}
void CDeck::Next() {
    Submit(DeckCommand::Of(DeckCommandKind::Next));
}
void CDeck::Previous() {
    Submit(DeckCommand::Of(DeckCommandKind::Previous));
}
void CDeck::PlayEntry(EntryId entry) {
    DeckCommand command = DeckCommand::Of(DeckCommandKind::PlayLoadedEntry);
    command.entry = entry;
    Submit(std::move(command));
}
void CDeck::PlayLoadedEntry() {
    Submit(DeckCommand::Of(DeckCommandKind::PlayLoadedEntry));
}
void CDeck::SeekTo(double seconds) {
    if (std::isfinite(seconds))
        Submit(DeckCommand::Of(DeckCommandKind::SeekTo, seconds));
}
void CDeck::SeekBy(double seconds) {
    if (std::isfinite(seconds))
        Submit(DeckCommand::Of(DeckCommandKind::SeekBy, seconds));
}
void CDeck::SetVolume(double volume) {
    // At once, whatever the deck waits for: the volume changes no state.
    if (!std::isfinite(volume) || m_state.Get() == State::ShutDown)
        return;
    m_volume = std::clamp(volume, 0.0, 1.0);
    ApplyVolume();
    m_host.OnVolumeChanged(m_volume);
}
void CDeck::SetOutputDevice(std::string description, BackendFactory makeBackend) {
    Submit(DeckCommand::SwitchTo(std::move(description), std::move(makeBackend)));
}
void CDeck::LoadTrack(const std::string& path, EntryId entry) {
    DeckCommand command = DeckCommand::WithPaths(DeckCommandKind::Load, {path});
    command.entry = entry;
    Submit(std::move(command));
}
void CDeck::Close() {
    Submit(DeckCommand::Of(DeckCommandKind::Close));
}
std::vector<std::string> CDeck::Append(const std::vector<std::string>& paths) {
    std::vector<std::string> unread;
    const int firstNew = m_playlist.GetRowCount();
    for (const std::string& path : paths) {
        if (!IsPlaylistFile(std::filesystem::path(path).extension().string()))
            m_playlist.AddTrackRow(path, -1.0, std::string());
        else if (m_playlist.LoadPlayList(path).status != PlaylistReadStatus::Ok)
            unread.push_back(path);
    }
    // The deck passes over the new entries that do not open.
    if (!IsPlayingOrAboutTo() && firstNew < m_playlist.GetRowCount())
        PlayEntry(m_playlist.Tracks().GetId(firstNew));
    return unread;
}
void CDeck::SetEqualizer(const CFilterBank* bank, int band) {
    // The output takes it at once: the render picks new filters up between
    // two blocks, whatever the deck is doing.
    if (bank == nullptr)
        m_output.RemoveEqualizer();
    else if (band >= 0)
        m_output.UpdateEqualizerBand(*bank, band);
    else
        m_output.ApplyEqualizer(*bank);
}
void CDeck::OnFastForwardPressed() {
    Submit(DeckCommand::Of(DeckCommandKind::FastForwardPress));
}
void CDeck::OnFastForwardReleased() {
    Submit(DeckCommand::Of(DeckCommandKind::FastForwardRelease));
}
void CDeck::OnRewindPressed() {
    Submit(DeckCommand::Of(DeckCommandKind::RewindPress));
}
void CDeck::OnRewindReleased() {
    Submit(DeckCommand::Of(DeckCommandKind::RewindRelease));
}

} // namespace tessel
