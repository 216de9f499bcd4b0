#include "playlist/ui/PlaylistDialogs.h"

#include <QMessageBox>

namespace tessel {

PlaylistDialogs StandardPlaylistDialogs(const DialogFolderStore& folders) {
    PlaylistDialogs dialogs;
    dialogs.openFiles = [folders](QWidget* parent, const QString& filter) {
        return AskForFiles(parent, QStringLiteral("Add Files"), filter, folders);
    };
    dialogs.chooseFolder = [folders](QWidget* parent) {
        return AskForFolder(parent, QStringLiteral("Select a folder of tracks."), folders);
    };
    dialogs.saveFile = [folders](QWidget* parent, const QString& filters) {
        SaveChoice choice;
        // The window adds the extension the filter asks for and then asks
        // before it replaces a file, so the dialog must not ask about the
        // name as typed.
        choice.path = AskForSaveName(parent, QStringLiteral("Save Playlist"), filters,
                                     &choice.filter, folders);
        return choice;
    };
    dialogs.confirmDeleteAll = [](QWidget* parent) {
        return QMessageBox::question(
                   parent, QStringLiteral("Play List"), QStringLiteral("Are You Sure?"),
                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
    };
    dialogs.confirmOverwrite = [](QWidget* parent, const QString& path) {
        return QMessageBox::question(
                   parent, QStringLiteral("Save Playlist"),
                   QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    dialogs.writeError = [](QWidget* parent, const QString& reason) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Play List"),
                        QStringLiteral("File Write Error"), QMessageBox::Ok, parent);
        box.setInformativeText(reason);
        box.exec();
    };
    return dialogs;
}

} // namespace tessel
