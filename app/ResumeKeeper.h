// Keeps where playback is (the sounding entry and the position in it) in a
// file beside the kept playlist, so the next start without files picks up
// there. Written at most every kPlayingWriteMs while playing, and a moment
// after each pause, seek and track change (a seek or a track change passes
// through a few states; the write waits for them to settle), and at once
// on Shutdown, which the exit and SIGTERM reach. A crash or SIGKILL loses
// at most the time since the last write.
//
// Nothing loaded, or the list played to its end, removes the file, so the
// next start loads what the playlist says instead of an entry given up or
// the last second of the list.
//
// Threads: GUI thread only.
#pragma once

#include "engine/DeckState.h"
#include "playlist/ResumePoint.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace tessel {

class CDeck;
class CPlaylist;

class CResumeKeeper : public QObject {
  public:
    static constexpr int kPlayingWriteMs = 5000;
    static constexpr int kSettleMs = 100;

    CResumeKeeper(const CDeck& deck, const CPlaylist& playlist, QString path = DefaultPath());

    // "resume" beside the kept playlist (CPlaylistStore::DefaultPath).
    static QString DefaultPath();
    static QString PathBeside(const QString& playlistPath);

    // The kept point; nothing when there is none or it is damaged.
    std::optional<ResumePoint> Read() const;

    // The deck's reports.
    void OnStateChanged(DeckState state);
    void OnTrackChanged();
    // Writes now and no more afterwards.
    void Shutdown();

    const QString& Path() const { return m_path; }

  private:
    void WriteNow();

    const CDeck& m_deck;
    const CPlaylist& m_playlist;
    QString m_path;
    QTimer m_playing;
    QTimer m_settle;
    bool m_shutDown = false;
};

// Loads the kept entry at the kept position (and plays it when `play`);
// false when there is no kept point or its entry is not in the list.
// An entry whose file is gone loads nothing and says nothing.
bool ResumeFrom(const ResumePoint& point, CDeck& deck, CPlaylist& playlist, bool play);

} // namespace tessel
