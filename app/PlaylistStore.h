// Keeps the playlist and its loaded entry between runs, as UTF-8 M3U in the
// user's data folder ($XDG_DATA_HOME/Tessel Programs/Tessel Audio Player/
// playlist.m3u8). Each change schedules a write a moment later, so a burst of
// changes (a folder going in, lengths arriving) costs one write a second at
// most; the exit writes at once. Writes replace the file atomically. The
// scheduled ones copy the list on the GUI thread and format and write it on
// a worker, so a long list does not hold the window up; the exit's write
// waits for the worker first, so the last list is the one kept.
//
// A stored playlist that cannot be read, or is not whole, is renamed to
// playlist.m3u8.bad and the player starts with an empty list. If it cannot
// even be moved aside, nothing is written for the whole run, so it is never
// overwritten unread.
//
// Threads: GUI thread only, but for the writer's jobs, which touch only
// their own copy of the list and m_lastWritten (atomic).
#pragma once

#include "decode/LatestJobThread.h"
#include "playlist/StoredPlaylist.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

namespace tessel {

class CPlaylist;

class CPlaylistStore : public QObject {
  public:
    static constexpr int kSaveDelayMs = 1000;

    explicit CPlaylistStore(CPlaylist& playlist, QString path = DefaultPath());
    ~CPlaylistStore() override;

    // The file in the per-user data folder, under the settings' names.
    static QString DefaultPath();

    // The stored entries; an empty playlist on the first run or when the file
    // was damaged (then set aside).
    StoredPlaylist Load();
    void ScheduleSave();
    // Writes now, on this thread, if anything changed since the last write.
    void SaveNow();

    bool IsWritable() const { return m_writable; }
    const QString& Path() const { return m_path; }

  private:
    void SaveInBackground();

    CPlaylist& m_playlist;
    QString m_path;
    QTimer m_timer;
    bool m_writable = true;
    bool m_dirty = false;
    uint64_t m_lastPosted = 0;                  // the writer's number of the latest copy sent
    std::atomic<uint64_t> m_lastWritten{0};     // the latest the writer wrote whole
    std::unique_ptr<CLatestJobThread> m_writer; // made for the first background write
};

} // namespace tessel
