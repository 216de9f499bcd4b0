// The commands a user gives the player other than through its buttons: keys,
// MPRIS2 clients, a second start with files. Each comes in through one entry
// point on the main window, CMainWindow::OnUserCommand, which does what the
// matching button or slider does.
#pragma once

namespace tessel {

enum class UserCommand {
    PlayPause,
    Play,  // nothing when already playing
    Pause, // nothing when not playing
    Stop,  // pauses and goes back to the start of the track
    Next,
    Previous,
    SeekBy,     // value: seconds, negative is back; clamped to the track
    SeekTo,     // value: seconds from the start; clamped to the track
    VolumeStep, // value: steps, positive is louder
    SetVolume,  // value: 0 (silence) .. 1 (full volume)
    OpenFiles,  // the track chooser's Browse...
    ShowPlaylist,
    ShowEqualizer,
    ShowLoudness,
    ShowTrackInfo, // of the loaded track
    Quit,
    Raise,        // shows, raises and activates the window
    CycleRepeat,  // off, track, all, off ...
    CycleShuffle, // off, tracks, albums, off ...
    SetRepeat,    // value: a RepeatMode's number (app/PlayModes.h); others ignored
    SetShuffle,   // value: a ShuffleMode's number; others ignored
};

// The volume (of 1) per VolumeStep.
inline constexpr double kVolumeStep = 0.05;

} // namespace tessel
