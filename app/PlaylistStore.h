// Keeps the playlist and its loaded entry between runs, as UTF-8 M3U in the
// user's data folder ($XDG_DATA_HOME/Tessel Programs/Tessel Audio Player/
// playlist.m3u8). Each change schedules a write a moment later, so a burst of
// changes (a folder going in, lengths arriving) costs one write a second at
// most; the exit writes at once. Writes replace the file atomically.
//
// A stored playlist that cannot be read, or is not whole, is renamed to
// playlist.m3u8.bad and the player starts with an empty list. If it cannot
// even be moved aside, nothing is written for the whole run, so it is never
// overwritten unread.
//
// Threads: GUI thread only.
#pragma once

#include "playlist/StoredPlaylist.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace tessel {

class CPlaylist;

class CPlaylistStore : public QObject {
  public:
    static constexpr int kSaveDelayMs = 1000;

    explicit CPlaylistStore(CPlaylist& playlist, QString path = DefaultPath());

    // The file in the per-user data folder, under the settings' names.
    static QString DefaultPath();

    // The stored entries; an empty playlist on the first run or when the file
    // was damaged (then set aside).
    StoredPlaylist Load();
    void ScheduleSave();
    // Writes now if anything changed since the last write.
    void SaveNow();

    bool IsWritable() const { return m_writable; }
    const QString& Path() const { return m_path; }

  private:
    CPlaylist& m_playlist;
    QString m_path;
    QTimer m_timer;
    bool m_writable = true;
    bool m_dirty = false;
};

} // namespace tessel
