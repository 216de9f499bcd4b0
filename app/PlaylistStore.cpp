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
    connect(&m_timer, &QTimer::timeout, this, [this] { SaveInBackground(); });
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

CPlaylistStore::~CPlaylistStore() {
    // Waits for a write in progress: it holds only its own copy.
    m_writer.reset();
}

void CPlaylistStore::SaveInBackground() {
    if (!m_dirty || !m_writable)
        return;
    if (!m_writer)
        m_writer = std::make_unique<CLatestJobThread>();
    m_dirty = false;
    m_lastPosted = m_writer->Post(
        [this, path = ToPath(m_path), rows = SnapshotStoredRows(m_playlist.Tracks())](uint64_t n) {
            std::string error;
            if (WriteStoredPlaylist(path, rows, error))
                m_lastWritten.store(n, std::memory_order_release);
            // A long list's text is megabytes, held only while it is written.
            ReturnFreedMemory();
        });
}

void CPlaylistStore::SaveNow() {
    m_timer.stop();
    // The worker's write must not land after this one; a write it dropped
    // for a newer one, or one that failed, is this one's to do.
    m_writer.reset();
    if (m_lastPosted != m_lastWritten.load(std::memory_order_acquire))
        m_dirty = true;
    m_lastPosted = 0;
    m_lastWritten.store(0, std::memory_order_relaxed);
    if (!m_dirty || !m_writable)
        return;
    std::string error;
    if (WriteStoredPlaylist(ToPath(m_path), m_playlist.Tracks(), error))
        m_dirty = false;
    // A failed write is tried again with the next change or at the exit;
    // the file already there stays whole meanwhile.
}

} // namespace tessel
