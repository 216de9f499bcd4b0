// The main window's entry point for commands that do not come from its own
// buttons. Each does exactly what the matching control does: a click on the
// button, or the slider set and let go. Nothing here talks to the deck
// itself; it only reads the deck's state to decide (Play is nothing while
// playing, a seek is relative to what is heard).
#include "app/CadenzoDlg.h"

#include "app/PlayerParts.h"
#include "controls/QuilButtonCtrl.h"
#include "controls/QuilSliderCtrl.h"
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
// How soon a command waiting for the engine to settle looks again.
constexpr int kSettleRetryMs = 10;

void SetVolumeSlider(QSlider& slider, double position) {
    position = std::clamp(position, double(slider.minimum()), double(slider.maximum()));
    slider.setValue(static_cast<int>(std::lround(position)));
}

bool IsPlaylistPath(const std::string& path) {
    return IsPlaylistFile(std::filesystem::path(path).extension().string());
}

} // namespace

void CCadenzoDlg::OnUserCommand(UserCommand command, double value) {
    if (m_shutDown || !std::isfinite(value))
        return;
    // A held key repeats faster than a seek settles: steps still waiting add
    // up to one, rather than play out one by one long after the key is up.
    const bool adds = command == UserCommand::SeekBy || command == UserCommand::VolumeStep;
    if (adds && !m_userCommands.empty() && m_userCommands.back().command == command)
        m_userCommands.back().value += value;
    else
        m_userCommands.push_back({command, value, {}});
    RunSettledUserCommands();
}

bool CCadenzoDlg::EngineSettled() const {
    // Whether the deck plays is about to change inside a wait of the engine
    // (a start waiting for its first data, a pause for its worker) and while
    // a start waits on its timer; Play, Pause and the relative seeks decide
    // by that answer, so they wait until it holds.
    return !m_parts.loop.IsPumping() && !m_parts.loop.IsTimerRunning(CDeck::kTimerStart);
}

void CCadenzoDlg::RunSettledUserCommands() {
    while (!m_userCommands.empty() && !m_shutDown) {
        if (!EngineSettled()) {
            if (!m_userCommandsScheduled) {
                m_userCommandsScheduled = true;
                QTimer::singleShot(kSettleRetryMs, this, [this] {
                    m_userCommandsScheduled = false;
                    RunSettledUserCommands();
                });
            }
            return;
        }
        const PendingUserCommand next = std::move(m_userCommands.front());
        m_userCommands.pop_front();
        if (next.command)
            RunUserCommand(*next.command, next.value);
        else
            AppendAndPlayNow(next.paths);
    }
}

void CCadenzoDlg::RunUserCommand(UserCommand command, double value) {
    value = std::clamp(value, -kLargestValue, kLargestValue);
    const MainWindowControls& c = m_controls;
    switch (command) {
    case UserCommand::PlayPause:
        c.play->click();
        break;
    case UserCommand::Play:
        if (!m_deck->IsPlaying())
            c.play->click();
        break;
    case UserCommand::Pause:
        if (m_deck->IsPlaying())
            c.play->click();
        break;
    case UserCommand::Stop:
        if (m_deck->IsPlaying())
            c.play->click();
        SeekToSeconds(0.0);
        break;
    case UserCommand::Next:
        c.next->click();
        break;
    case UserCommand::Previous:
        c.previous->click();
        break;
    case UserCommand::SeekBy:
        SeekToSeconds(m_deck->Elapsed() + value);
        break;
    case UserCommand::SeekTo:
        SeekToSeconds(value);
        break;
    case UserCommand::VolumeStep:
        // The slider runs from full volume (0) to silence (1000); setting it
        // does what moving it by hand does.
        SetVolumeSlider(*c.volume, c.volume->value() - value * kVolumeSliderStep);
        break;
    case UserCommand::SetVolume:
        SetVolumeSlider(*c.volume, (1.0 - value) * c.volume->maximum());
        break;
    case UserCommand::OpenFiles:
        BrowseForFiles();
        break;
    case UserCommand::ShowPlayList:
        c.playList->click();
        break;
    case UserCommand::ShowEqualizer:
        c.equalizer->click();
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
    }
}

void CCadenzoDlg::SeekToSeconds(double seconds) {
    const double length = m_deck->TrackLength();
    // While the user holds the slider or a wind button, that hold decides.
    if (!m_deck->IsTrackLoaded() || !(length > 0.0) || m_deck->IsSliderHeld() ||
        m_controls.position->Held())
        return;
    CQuilSliderCtrl& slider = *m_controls.position;
    const double fraction = std::clamp(seconds / length, 0.0, 1.0);
    slider.setValue(static_cast<int>(std::lround(fraction * slider.maximum())));
    // What letting go of the slider at that place does.
    emit slider.grabReleased();
}

bool CCadenzoDlg::AppendPathsAndPlay(const std::vector<std::string>& paths) {
    if (m_shutDown)
        return false;
    // "Nothing is playing" must not be read in the middle of a start; and
    // the caller (a socket's or the bus's handling) sends its answer first.
    m_userCommands.push_back({std::nullopt, 0, paths});
    QTimer::singleShot(0, this, [this] { RunSettledUserCommands(); });
    return true;
}

void CCadenzoDlg::AppendAndPlayNow(const std::vector<std::string>& paths) {
    CPlaylist& playlist = m_parts.playlist;
    const int firstNew = playlist.GetRowCount();
    for (const std::string& path : paths) {
        if (IsPlaylistPath(path))
            playlist.LoadPlayList(path);
        else
            playlist.AddTrackRow(0, path, -1.0, std::string());
    }
    if (m_deck->IsPlaying() || !playlist.onPlayLoadedEntry)
        return;
    // The play list's own way to play an entry; the load has finished when
    // it returns, so an entry that did not open is marked and passed over.
    for (int row = firstNew; row < playlist.GetRowCount() && !m_shutDown; ++row) {
        if (playlist.Tracks().IsUnreadable(row))
            continue;
        const std::string path = playlist.Tracks().GetTrackPath(row);
        playlist.MarkLoaded(row);
        playlist.onPlayLoadedEntry(0);
        if (m_deck->IsTrackLoaded() && m_deck->TrackPath() == path)
            return;
        playlist.MarkUnreadable(path);
    }
}

} // namespace tessel
