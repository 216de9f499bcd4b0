// The main window's keys. Every control is reached with Tab; Space, Enter
// and Return work a focused button. The window's keys win over the other
// controls' own: Space plays whatever has the focus, and Up / Down on the
// track chooser set the volume rather than choose "No File Loaded" or
// "Browse..." by accident (F4 or Alt+Down open its list). While the window
// is active:
//
//   Space             play / pause        Left / Right        seek 5 s
//   Ctrl+Left/Right   previous / next     Up / Down           volume
//   Ctrl+O            Browse...           Ctrl+L              the play list
//   Ctrl+E            the equalizer       Ctrl+Q              quit
//   Ctrl+I            the loaded track's Track Info
//   R                 repeat: off, track, all
//   S                 shuffle: off, tracks, albums
//
// R and S work in the play list window too, but not while a text field
// (its Find box) has the focus: there they are letters.
// On the focused position slider, Page Up / Page Down seek a twentieth of the
// track and Home / End go to its start / end; the mouse wheel over it seeks
// 5 s a notch. Escape does nothing (a dialog would close on it, and this
// dialog is the player). Each key goes through CMainWindow::OnUserCommand.
#pragma once

namespace tessel {

class CMainWindow;

inline constexpr double kSeekStepSeconds = 5.0;

// Creates the shortcuts and key handling as children of `window`.
void InstallKeyboardShortcuts(CMainWindow& window);

} // namespace tessel
