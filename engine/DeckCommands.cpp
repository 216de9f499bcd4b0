// The deck's command queue and its state transitions.
#include "engine/Deck.h"

#include <algorithm>
#include <cassert>

namespace tessel {

namespace {

bool IsAllowed(CDeck::State from, CDeck::State to) {
    using S = CDeck::State;
    if (to == S::ShutDown)
        return true;
    switch (from) {
    case S::NoFile:
        return to == S::Opening || to == S::NoFile;
    case S::Opening:
        return to == S::Paused || to == S::NoFile;
    case S::Paused:
        return to == S::Opening || to == S::NoFile || to == S::Starting || to == S::Seeking;
    case S::Starting:
        return to == S::Playing || to == S::Paused;
    case S::Playing:
        return to == S::Stopping;
    case S::Stopping:
    case S::Seeking:
        return to == S::Paused;
    case S::ShutDown:
        return false;
    }
    return false;
}

} // namespace

void CDeck::EnterState(State next) {
    assert(IsAllowed(m_state, next));
    if (IsAllowed(m_state, next))
        m_state = next;
}

bool CDeck::CanRunNow() const {
    // A command asked for by the running command itself (the playlist
    // playing the entry Next moved to) belongs to it and runs now.
    return m_state != State::ShutDown && m_waitDepth == 0 &&
           (m_queue.empty() || m_executeDepth > 0);
}

void CDeck::Submit(DeckCommand command) {
    if (m_state == State::ShutDown)
        return;
    if (CanRunNow()) {
        Execute(command);
        return;
    }
    m_queue.push_back(std::move(command));
    m_engine.Loop().StartTimer(kTimerCommands, 1, [this] { RunQueuedCommands(); });
}

void CDeck::RunQueuedCommands() {
    // The timer also ticks inside waits, where the queue must stay put.
    if (m_waitDepth > 0)
        return;
    m_engine.Loop().StopTimer(kTimerCommands);
    while (!m_queue.empty() && m_waitDepth == 0 && m_state != State::ShutDown) {
        DeckCommand command = std::move(m_queue.front());
        m_queue.pop_front();
        Execute(command);
    }
}

void CDeck::Execute(DeckCommand& command) {
    ++m_executeDepth;
    ExecuteKind(command);
    --m_executeDepth;
}

void CDeck::ExecuteKind(DeckCommand& command) {
    using K = DeckCommandKind;
    switch (command.kind) {
    case K::PlayPause:
        RunPlayPause();
        break;
    case K::Next:
        StepThroughPlaylist(true);
        break;
    case K::Previous:
        StepThroughPlaylist(false);
        break;
    case K::SeekTo:
        RunSeek(command.value);
        break;
    case K::SetVolume:
        m_volumeLevel = std::clamp(command.value, 0, 1000);
        ApplyVolume();
        break;
    case K::ChooseNoFile:
        RunChooseNoFile();
        break;
    case K::Load: {
        bool ok = false;
        if (!command.paths.empty())
            RunLoad(command.paths.front(), ok);
        break;
    }
    case K::PlayLoadedEntry:
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
        RunSwitchDevice(command.device, command.makeBackend);
        break;
    case K::HostTask:
        if (command.task)
            command.task();
        break;
    }
}

void CDeck::TogglePlayPause() {
    Submit(DeckCommand::Of(DeckCommandKind::PlayPause));
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

void CDeck::LoadTrack(const std::string& path, bool& ok) {
    ok = false;
    if (m_state == State::ShutDown)
        return;
    if (!CanRunNow()) {
        Submit(DeckCommand::WithPaths(DeckCommandKind::Load, {path}));
        return;
    }
    RunLoad(path, ok);
}

} // namespace tessel
