// Where the file dialogs open: the folder the user last chose in, kept by
// whoever owns the settings, else the user's music folder, else home. Every
// dialog of the player (open, add files, add a folder, save a playlist)
// shares that one folder.
//
// Threads: GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tessel {

struct DialogFolderStore {
    std::function<QString()> read; // "" when none is kept
    std::function<void(const QString& folder)> write;
};

// `kept` when it is an existing folder, else `music` when that is one, else
// `home`.
QString StartFolder(const QString& kept, const QString& music, const QString& home);
// The same with the store's folder and the system's music and home folders.
QString StartFolder(const DialogFolderStore& store);

// The standard dialogs, opening in the store's folder and keeping the one
// the user chose in: a chosen file's folder, a chosen folder's parent. Empty
// answers mean cancelled. A store without functions keeps nothing.
QStringList AskForFiles(QWidget* parent, const QString& title, const QString& filter,
                        const DialogFolderStore& store);
QString AskForFolder(QWidget* parent, const QString& title, const DialogFolderStore& store);
// `selectedFilter` gets the filter chosen. The dialog does not ask before
// replacing a file: the caller adds the filter's extension first and asks
// then.
QString AskForSaveName(QWidget* parent, const QString& title, const QString& filters,
                       QString* selectedFilter, const DialogFolderStore& store);

} // namespace tessel
