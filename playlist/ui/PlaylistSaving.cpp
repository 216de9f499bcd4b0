// "Save": the file name and format from the dialog, the question before a
// file is replaced, and "File Write Error".
#include "playlist/ui/PlaylistWindow.h"

#include <QFile>

namespace tessel {

namespace {

const QString kM3uFilter = QStringLiteral("M3U Playlist (*.m3u)");
const QString kM3u8Filter = QStringLiteral("M3U Playlist, UTF-8 (*.m3u8)");
const QString kPlsFilter = QStringLiteral("PLS Playlist (*.pls)");
const QString kAllFilter = QStringLiteral("All Files (*)");

std::optional<PlaylistFormat> FormatOfFilter(const QString& filter) {
    if (filter == kM3uFilter)
        return PlaylistFormat::M3u;
    if (filter == kM3u8Filter)
        return PlaylistFormat::M3u8;
    if (filter == kPlsFilter)
        return PlaylistFormat::Pls;
    return std::nullopt;
}

} // namespace

void CPlaylistWindow::SavePlayList() {
    if (!m_dialogs.saveFile)
        return;
    const QString filters =
        QStringList{kM3uFilter, kM3u8Filter, kPlsFilter, kAllFilter}.join(QStringLiteral(";;"));
    const SaveChoice choice = m_dialogs.saveFile(this, filters);
    if (choice.path.isEmpty())
        return;
    const std::optional<PlaylistSaveTarget> target = ChooseSaveTarget(
        QFile::encodeName(choice.path).toStdString(), FormatOfFilter(choice.filter));
    if (!target)
        return;
    const QString shownPath = QFile::decodeName(QByteArray::fromStdString(target->path));
    if (target->exists &&
        (!m_dialogs.confirmOverwrite || !m_dialogs.confirmOverwrite(this, shownPath)))
        return;
    const PlaylistSaveResult result = m_playlist.SavePlayList(target->path, target->format);
    if (!result) {
        if (m_dialogs.writeError)
            m_dialogs.writeError(this, QString::fromStdString(result.error));
        return;
    }
    setWindowTitle(shownPath);
}

} // namespace tessel
