#include "app/PlaylistStore.h"

#include "core/FreedMemory.h"

#include "playlist/Playlist.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace tessel {

namespace {

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CPlaylistStore::CPlaylistStore(CPlaylist& playlist, QString path)
    : m_playlist(playlist), m_path(std::move(path)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSaveDelayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { SaveNow(); });
}

QString CPlaylistStore::DefaultPath() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QString::fromLatin1(CSettings::kOrganisation) + QLatin1Char('/') +
                               QString::fromLatin1(CSettings::kApplication) +
                               QStringLiteral("/playlist.m3u8"));
}

StoredPlaylist CPlaylistStore::Load() {
    StoredPlaylistRead read = ReadStoredPlaylist(ToPath(m_path));
    if (read.status == StoredPlaylistStatus::Ok)
        return std::move(read.playlist);
    if (read.status == StoredPlaylistStatus::Damaged) {
        // Kept for the user to look at; the player, which reports nothing on
        // the terminal, starts empty. A file that cannot be moved is left
        // exactly as it is, and so nothing is written over it.
        std::string error;
        m_writable = SetStoredPlaylistAside(ToPath(m_path), error);
    }
    return {};
}

void CPlaylistStore::ScheduleSave() {
    m_dirty = true;
    // Not restarted by later changes: a steady stream of them still gets
    // written every kSaveDelayMs.
    if (!m_timer.isActive())
        m_timer.start();
}

void CPlaylistStore::SaveNow() {
    m_timer.stop();
    if (!m_dirty || !m_writable)
        return;
    std::string error;
    if (WriteStoredPlaylist(ToPath(m_path), m_playlist.Tracks(), error))
        m_dirty = false;
    // A long list's text is megabytes, held only while it is written.
    ReturnFreedMemory();
    // A failed write is tried again with the next change or at the exit;
    // the file already there stays whole meanwhile.
}

} // namespace tessel
