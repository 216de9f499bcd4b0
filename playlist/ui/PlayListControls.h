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

class CQuilButtonCtrl;
class CQuilEdit;
class CQuilListCtrl;

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

struct PlayListControls {
    QGroupBox* showGroup = nullptr;
    QRadioButton* showFileName = nullptr;
    QRadioButton* showPath = nullptr;
    QRadioButton* showTag = nullptr;
    QGroupBox* findGroup = nullptr;
    CQuilEdit* findEdit = nullptr;
    QPushButton* findNext = nullptr;
    CQuilListCtrl* list = nullptr;
    CQuilButtonCtrl* addFile = nullptr;
    CQuilButtonCtrl* addFolder = nullptr;
    CQuilButtonCtrl* moveUp = nullptr;
    CQuilButtonCtrl* moveDown = nullptr;
    CQuilButtonCtrl* deleteOne = nullptr;
    CQuilButtonCtrl* deleteAll = nullptr;
    CQuilButtonCtrl* save = nullptr;
    // Page 0 holds the buttons, page 1 the progress bar.
    QStackedWidget* bottom = nullptr;
    QProgressBar* progress = nullptr;

    std::array<CQuilButtonCtrl*, 7> Buttons() const {
        return {addFile, addFolder, moveUp, moveDown, deleteOne, deleteAll, save};
    }
};

// Creates the controls inside `window` and lays them out. Delete, Up and Down
// and the find box post their messages through `post`.
PlayListControls BuildPlayListControls(QWidget* window, const MessageSink& post);

} // namespace tessel
