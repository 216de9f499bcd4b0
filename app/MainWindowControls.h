// The main window's controls and their arrangement: the track chooser on
// top, the transport row with the time display, the position slider, and the
// volume slider and level meter standing at the right.
#pragma once

#include "controls/MessageSink.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QSlider;
class QToolButton;
class QWidget;

namespace tessel {

class CPictureButton;
class CPictureSlider;

struct MainWindowControls {
    QGroupBox* trackGroup = nullptr;
    QComboBox* trackCombo = nullptr;
    CPictureButton* play = nullptr;
    CPictureButton* fastForward = nullptr;
    CPictureButton* rewind = nullptr;
    CPictureButton* next = nullptr;
    CPictureButton* previous = nullptr;
    CPictureButton* playList = nullptr;
    CPictureButton* equalizer = nullptr;
    CPictureButton* devices = nullptr;
    CPictureSlider* position = nullptr;
    QLabel* time = nullptr;
    QSlider* volume = nullptr;
    QProgressBar* level = nullptr;
    QToolButton* menu = nullptr; // holds "About Audio Player..."
};

// Creates the controls inside `window`, names them by their ids, gives the
// buttons their roles and lays them out. The buttons and the position slider
// post their messages through `post`.
MainWindowControls BuildMainWindowControls(QWidget* window, const MessageSink& post);

} // namespace tessel
