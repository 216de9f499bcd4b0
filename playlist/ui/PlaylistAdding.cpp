// "+ File", "+ Folder" and dropped files.
#include "playlist/ui/PlaylistWindow.h"

#include "controls/PlaylistView.h"
#include "playlist/AudioTypes.h"

#include <QFile>

namespace tessel {

namespace {

std::vector<std::string> ToPaths(const QStringList& paths) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : paths)
        out.push_back(QFile::encodeName(path).toStdString());
    return out;
}

} // namespace

void CPlaylistWindow::AddFiles() {
    if (!m_dialogs.openFiles)
        return;
    const QStringList files =
        m_dialogs.openFiles(this, QString::fromStdString(AudioAndPlaylistDialogFilter()));
    if (files.isEmpty())
        return;
    const int mark = SelectionMark();
    const int before = m_model.rowCount();
    m_adder.AddFiles(ToPaths(files));
    // With no row chosen yet, the cursor goes to the first one added.
    if (mark < 0 && m_model.rowCount() > before)
        SelectRow(before);
}

void CPlaylistWindow::AddFolder() {
    if (!m_dialogs.chooseFolder)
        return;
    const QString folder = m_dialogs.chooseFolder(this);
    if (!folder.isEmpty())
        m_adder.AddFolder(QFile::encodeName(folder).toStdString());
}

void CPlaylistWindow::OnFilesDropped() {
    const QStringList dropped = m_controls.list->GetDropHandle();
    if (!dropped.isEmpty())
        m_adder.AddPaths(ToPaths(dropped));
}

} // namespace tessel
