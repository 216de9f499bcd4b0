// The main window's entry point for commands that do not come from its own
// buttons: the deck's own commands, or what the matching control does.
#include "app/MainWindow.h"

#include "app/PlayModes.h"
#include "app/PlayerParts.h"
#include "app/PlaylistSession.h"
#include "controls/PictureButton.h"
#include "controls/PictureSlider.h"
#include "engine/Deck.h"
#include "playlist/PlaylistFiles.h"

#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tessel {

namespace {

// Further than any track, small enough that the arithmetic stays exact.
constexpr double kLargestValue = 1e9;

} // namespace

void CMainWindow::OnUserCommand(UserCommand command, double value) {
    if (m_shutDown || !std::isfinite(value))
        return;
    RunUserCommand(command, value);
}

void CMainWindow::RunUserCommand(UserCommand command, double value) {
    value = std::clamp(value, -kLargestValue, kLargestValue);
    const MainWindowControls& c = m_controls;
    switch (command) {
    case UserCommand::PlayPause:
        m_deck->TogglePause();
        break;
    case UserCommand::Play:
        m_deck->Play();
        break;
    case UserCommand::Pause:
        m_deck->Pause();
        break;
    case UserCommand::Stop:
        m_deck->Pause();
        SeekToSeconds(0.0);
        break;
    case UserCommand::Next:
        m_deck->Next();
        break;
    case UserCommand::Previous:
        m_deck->Previous();
        break;
    case UserCommand::SeekBy:
        if (CanSeek())
            m_deck->SeekBy(value);
        break;
    case UserCommand::SeekTo:
        SeekToSeconds(value);
        break;
    case UserCommand::VolumeStep:
        m_deck->SetVolume(m_deck->Volume() + value * kVolumeStep);
        break;
    case UserCommand::SetVolume:
        m_deck->SetVolume(value);
        break;
    case UserCommand::OpenFiles:
        BrowseForFiles();
        break;
    case UserCommand::ShowPlaylist:
        c.playList->click();
        break;
    case UserCommand::ShowEqualizer:
        c.equalizer->click();
        break;
    case UserCommand::ShowLoudness:
        ShowLoudnessSettings();
        break;
    case UserCommand::ShowTrackInfo:
        ShowTrackInfo();
        break;
    case UserCommand::Quit:
        reject();
        break;
    case UserCommand::Raise:
        if (isMinimized())
            showNormal();
        else
            show();
        raise();
        activateWindow();
        break;
    case UserCommand::CycleRepeat:
        m_deck->SetRepeat(NextRepeatMode(m_deck->Repeat()));
        break;
    case UserCommand::CycleShuffle:
        m_deck->SetShuffle(NextShuffleMode(m_deck->Shuffle()));
        break;
    case UserCommand::SetRepeat:
        if (const auto mode = RepeatModeOfValue(value); mode && *mode != m_deck->Repeat())
            m_deck->SetRepeat(*mode);
        break;
    case UserCommand::SetShuffle:
        if (const auto mode = ShuffleModeOfValue(value); mode && *mode != m_deck->Shuffle())
            m_deck->SetShuffle(*mode);
        break;
    }
}

bool CMainWindow::CanSeek() const {
    // While the user holds the slider or a wind button, that hold decides.
    return m_deck->IsTrackLoaded() && m_deck->TrackLength() > 0.0 && !m_deck->IsWinding() &&
           !m_controls.position->Held();
}

void CMainWindow::SeekToSeconds(double seconds) {
    if (CanSeek())
        m_deck->SeekTo(seconds);
}

bool CMainWindow::AppendPathsAndPlay(const std::vector<std::string>& paths) {
    return AppendLater(paths, false);
}

bool CMainWindow::OpenPathsAndPlayNow(const std::vector<std::string>& paths) {
    return AppendLater(paths, true);
}

bool CMainWindow::AppendLater(const std::vector<std::string>& paths, bool atOnce) {
    if (m_shutDown)
        return false;
    // Later: the caller (a socket's or the bus's handling) sends its answer
    // first.
    QTimer::singleShot(0, this, [this, paths, atOnce] {
        if (!m_shutDown)
            m_playListSession->AppendAndPlay(paths, atOnce);
    });
    return true;
}

} // namespace tessel
