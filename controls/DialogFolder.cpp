#include "controls/DialogFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessel {

namespace {

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// The folder the user was in when choosing `chosen`.
void KeepFolderOf(const DialogFolderStore& store, const QString& chosen) {
    if (!store.write || chosen.isEmpty())
        return;
    const QString folder = QFileInfo(chosen).absolutePath();
    if (IsFolder(folder))
        store.write(folder);
}

} // namespace

QString StartFolder(const QString& kept, const QString& music, const QString& home) {
    if (IsFolder(kept))
        return kept;
    if (IsFolder(music))
        return music;
    return home;
}

QString StartFolder(const DialogFolderStore& store) {
    return StartFolder(store.read ? store.read() : QString(),
                       QStandardPaths::writableLocation(QStandardPaths::MusicLocation),
                       QDir::homePath());
}

QStringList AskForFiles(QWidget* parent, const QString& title, const QString& filter,
                        const DialogFolderStore& store) {
    const QStringList files =
        QFileDialog::getOpenFileNames(parent, title, StartFolder(store), filter);
    if (!files.isEmpty())
        KeepFolderOf(store, files.front());
    return files;
}

QString AskForFolder(QWidget* parent, const QString& title, const DialogFolderStore& store) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title, StartFolder(store),
                                                             QFileDialog::ShowDirsOnly);
    // Its parent: the next folder is most likely one of its neighbours.
    KeepFolderOf(store, QDir::cleanPath(folder));
    return folder;
}

QString AskForSaveName(QWidget* parent, const QString& title, const QString& filters,
                       QString* selectedFilter, const DialogFolderStore& store) {
    const QString path =
        QFileDialog::getSaveFileName(parent, title, StartFolder(store), filters, selectedFilter,
                                     QFileDialog::DontConfirmOverwrite);
    KeepFolderOf(store, path);
    return path;
}

} // namespace tessel
