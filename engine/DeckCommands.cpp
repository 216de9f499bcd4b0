// The deck's command queue and its state changes.
#include "engine/Deck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessel {

const char* DeckStateName(DeckState s) {
    switch (s) {
    case DeckState::NoFile:
        return "NoFile";
    case DeckState::Opening:
        return "Opening";
    case DeckState::Paused:
        return "Paused";
    case DeckState::Playing:
        return "Playing";
    case DeckState::Stopping:
        return "Stopping";
    case DeckState::Seeking:
        return "Seeking";
    case DeckState::ShutDown:
        return "ShutDown";
    }
    return "?";
}

void CDeck::EnterState(State next) {
    if (!IsAllowedTransition(m_state, next)) {
        // Never silently: a refused change is a fault of the deck's own.
        ++m_refusedTransitions;
        std::fprintf(stderr, "deck: refused change %s -> %s\n", DeckStateName(m_state),
                     DeckStateName(next));
        return;
    }
    m_state = next;
}

void CDeck::Submit(DeckCommand command) {
    if (m_state == State::ShutDown)
        return;
    if (m_executing) {
        // Asked for by the running command itself (the playlist playing the
        // entry Next moved to): it belongs to that command and runs next.
        m_raisedByCommand.push_back(std::move(command));
        return;
    }
    m_queue.push_back(std::move(command));
    RunQueue();
}

void CDeck::RunQueue() {
    while (!m_queue.empty() && IsSettled(m_state) && !m_executing) {
        DeckCommand command = std::move(m_queue.front());
        m_queue.pop_front();
        m_executing = true;
        Execute(command);
        m_executing = false;
        // What the command raised goes first, in the order it was raised.
        m_queue.insert(m_queue.begin(), std::make_move_iterator(m_raisedByCommand.begin()),
                       std::make_move_iterator(m_raisedByCommand.end()));
        m_raisedByCommand.clear();
    }
}

bool CDeck::PauseFirst(const DeckCommand& command, bool playAfter) {
    if (m_state != State::Playing)
        return false;
    const bool playOn = playAfter && !m_reachedEnd;
    if (playOn)
        m_raisedByCommand.push_front(DeckCommand::Of(DeckCommandKind::Resume));
    m_raisedByCommand.push_front(command);
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
        if (m_state == State::Paused && !m_resumeOnDevice)
            StartPlaying();
        else if (m_state == State::Playing && m_reachedEnd)
            PlayAgainAfterTheEnd();
        break;
    case K::Pause:
        if (m_state == State::Playing)
            BeginStopping();
        break;
    case K::Next:
    case K::Previous: {
        // The playlist plays the entry it moves to (RunPlayLoadedEntry).
        bool found = false;
        if (command.kind == K::Next)
            m_playlist.NextTrack(0, found);
        else
            m_playlist.PreviousTrack(0, found);
        break;
    }
    case K::SeekTo:
        if (!PauseFirst(command, true))
            RunSeek(std::clamp(command.value, 0, kSliderMax) * m_track.lengthSeconds / kSliderMax);
        break;
    case K::SeekToSeconds:
        if (!PauseFirst(command, true))
            RunSeek(command.seconds);
        break;
    case K::SetVolume:
        m_volumeLevel = std::clamp(command.value, 0, 1000);
        ApplyVolume();
        break;
    case K::ChooseNoFile:
        if (!PauseFirst(command, false))
            RunChooseNoFile();
        break;
    case K::Load:
        if (!PauseFirst(command, false) && !command.paths.empty())
            RunLoad(command.paths.front(), command.entry, false);
        break;
    case K::PlayLoadedEntry:
        if (!PauseFirst(command, false))
            RunPlayLoadedEntry();
        break;
    case K::SliderGrab:
        m_sliderHeld = true;
        break;
    case K::SliderMove:
        ShowHeldPosition(command.value);
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

void CDeck::TogglePlayPause() {
    Submit(DeckCommand::Of(DeckCommandKind::PlayPause));
}
void CDeck::Play() {
    Submit(DeckCommand::Of(DeckCommandKind::Resume));
}
void CDeck::Pause() {
    Submit(DeckCommand::Of(DeckCommandKind::Pause));
}
bool CDeck::IsPlayingOrAboutTo() const {
    if (m_state == State::Playing && !m_reachedEnd)
        return true;
    // The last word on playing among the commands queued.
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        switch (it->kind) {
        case DeckCommandKind::Resume:
        case DeckCommandKind::PlayLoadedEntry:
        case DeckCommandKind::Next:
        case DeckCommandKind::Previous:
            return true;
        case DeckCommandKind::Pause:
        case DeckCommandKind::ChooseNoFile:
        case DeckCommandKind::Load:
            return false;
        default:
            break;
        }
    }
    return false;
}
void CDeck::NextCommand() {
    Submit(DeckCommand::Of(DeckCommandKind::Next));
}
void CDeck::PreviousCommand() {
    Submit(DeckCommand::Of(DeckCommandKind::Previous));
}
void CDeck::PlayLoadedEntry() {
    Submit(DeckCommand::Of(DeckCommandKind::PlayLoadedEntry));
}
void CDeck::ChooseNoFile() {
    Submit(DeckCommand::Of(DeckCommandKind::ChooseNoFile));
}
void CDeck::SetVolume(int level) {
    Submit(DeckCommand::Of(DeckCommandKind::SetVolume, level));
}
void CDeck::SwitchOutputDevice(std::string description, BackendFactory makeBackend) {
    Submit(DeckCommand::SwitchTo(std::move(description), std::move(makeBackend)));
}
void CDeck::SeekToSlider(int position) {
    Submit(DeckCommand::Of(DeckCommandKind::SeekTo, position));
}
void CDeck::SeekTo(double seconds) {
    if (std::isfinite(seconds))
        Submit(DeckCommand::At(DeckCommandKind::SeekToSeconds, seconds));
}
void CDeck::OnPositionSliderGrabbed() {
    Submit(DeckCommand::Of(DeckCommandKind::SliderGrab));
}
void CDeck::OnPositionSliderMoved(int position) {
    Submit(DeckCommand::Of(DeckCommandKind::SliderMove, position));
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
void CDeck::LoadTrack(const std::string& path, EntryId entry) {
    DeckCommand command = DeckCommand::WithPaths(DeckCommandKind::Load, {path});
    command.entry = entry;
    Submit(std::move(command));
}

} // namespace tessel
