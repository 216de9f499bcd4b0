// The questions the playlist window asks the user. The window uses the
// standard dialogs; tests put answers of their own in their place.
#pragma once

#include "controls/DialogFolder.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tessel {

struct SaveChoice {
    QString path;   // empty when cancelled
    QString filter; // the filter chosen in the dialog
};

struct PlaylistDialogs {
    // Files to add; an empty list means cancelled.
    std::function<QStringList(QWidget* parent, const QString& filter)> openFiles;
    // A folder to add; empty means cancelled.
    std::function<QString(QWidget* parent)> chooseFolder;
    std::function<SaveChoice(QWidget* parent, const QString& filters)> saveFile;
    // "Are You Sure?" before "Delete All"; true for OK.
    std::function<bool(QWidget* parent)> confirmDeleteAll;
    // Before a save replaces a file; true to replace it.
    std::function<bool(QWidget* parent, const QString& path)> confirmOverwrite;
    // "File Write Error", with the system's reason.
    std::function<void(QWidget* parent, const QString& reason)> writeError;
};

// The file dialogs open in `folders`' folder and keep the one chosen in.
PlaylistDialogs StandardPlaylistDialogs(const DialogFolderStore& folders = {});

} // namespace tessel
