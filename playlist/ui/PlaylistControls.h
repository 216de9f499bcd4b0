// The playlist window's controls and their arrangement: the display-mode
// radio buttons and the find box on top, the list, and the row of seven
// picture buttons, which a progress bar replaces while a folder is added.
// Each control carries its dialog id as its object name.
#pragma once

#include "controls/MessageSink.h"

#include <array>

class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QWidget;

namespace tessel {

class CPictureButton;
class CFindBox;
class CPlaylistView;

namespace ids {
inline constexpr const char* kShowGroup = "1072";
inline constexpr const char* kShowFileName = "1074";
inline constexpr const char* kShowPath = "1075";
inline constexpr const char* kShowTag = "1076";
inline constexpr const char* kFindGroup = "1077";
inline constexpr const char* kFindEdit = "1013";
inline constexpr const char* kFindNext = "1078";
inline constexpr const char* kTrackList = "1006";
inline constexpr const char* kAddFile = "1008";
inline constexpr const char* kAddFolder = "1009";
inline constexpr const char* kMoveUp = "1007";
inline constexpr const char* kMoveDown = "1011";
inline constexpr const char* kDelete = "1010";
inline constexpr const char* kDeleteAll = "1073";
inline constexpr const char* kSave = "1015";
inline constexpr const char* kAddProgress = "1012";
} // namespace ids

struct PlaylistControls {
    QGroupBox* showGroup = nullptr;
    QRadioButton* showFileName = nullptr;
    QRadioButton* showPath = nullptr;
    QRadioButton* showTag = nullptr;
    QGroupBox* findGroup = nullptr;
    CFindBox* findEdit = nullptr;
    QPushButton* findNext = nullptr;
    CPlaylistView* list = nullptr;
    CPictureButton* addFile = nullptr;
    CPictureButton* addFolder = nullptr;
    CPictureButton* moveUp = nullptr;
    CPictureButton* moveDown = nullptr;
    CPictureButton* deleteOne = nullptr;
    CPictureButton* deleteAll = nullptr;
    CPictureButton* save = nullptr;
    // Page 0 holds the buttons, page 1 the progress bar.
    QStackedWidget* bottom = nullptr;
    QProgressBar* progress = nullptr;

    std::array<CPictureButton*, 7> Buttons() const {
        return {addFile, addFolder, moveUp, moveDown, deleteOne, deleteAll, save};
    }
};

// Creates the controls inside `window` and lays them out. Delete, Up and Down
// and the find box post their messages through `post`.
PlaylistControls BuildPlaylistControls(QWidget* window, const MessageSink& post);

} // namespace tessel
