// Everything the player does around its playlist window: it builds the
// window, restores the stored playlist and keeps it stored, keeps the
// track-length worker measuring entries (and the loudness worker, when
// asked), and puts the command line's files
// into the playlist and plays them.
//
// Threads: GUI thread only. The track-length worker reaches it through the
// engine's message channel (AppMessage::TrackLengthLoaded), the loudness
// worker likewise (AppMessage::LoudnessMeasured).
#pragma once

#include "app/LoudnessMeasuring.h"
#include "app/PlaylistStore.h"
#include "app/ResumeKeeper.h"
#include "core/AppMessages.h"
#include "engine/TrackLengthLoop.h"
#include "playlist/ui/PlaylistWindow.h"

#include <QObject>
#include <QPointer>

#include <string>
#include <vector>

class QWidget;

namespace tessel {

class CDeck;
struct CPlayerParts;

class CPlaylistSession : public QObject {
  public:
    // The window is a child of `owner`, which deletes it; Shutdown must run
    // before that.
    CPlaylistSession(CPlayerParts& parts, CDeck& deck, QWidget* owner,
                     QString storePath = CPlaylistStore::DefaultPath());
    ~CPlaylistSession() override;

    CPlaylistWindow* Window() const { return m_window; }
    CPlaylistStore& Store() { return m_store; }
    CResumeKeeper& Resume() { return m_resume; }
    CTrackLengthLoop& LengthLoop() { return m_lengthLoop; }
    CLoudnessMeasuring& Measuring() { return m_measuring; }

    // Restores the stored playlist and starts measuring. The track-length
    // worker must have been started.
    void Start();
    // Appends every path in order, unopened (folders as a folder add,
    // playlist files read as playlists), then plays the first of them that
    // opens; the hand-over goes on through the rest. With no paths, loads the
    // entry that sounded at the last exit at its kept position (else the
    // entry that was loaded), paused, or playing when the user asked for
    // that ("Resume Playing at Start").
    void AddCommandLine(const std::vector<std::string>& paths);
    // Files from outside (a second start, the bus): appended in order as the
    // command line's are; once they are all in, the first new entry that
    // opens plays unless something is playing, or, `atOnce`, even then.
    void AppendAndPlay(const std::vector<std::string>& paths, bool atOnce = false);
    // The window's messages and the length worker's answers; false for others.
    bool HandleMessage(const Message& message);
    // Stops measuring and adding, and writes the playlist and where playback
    // is (the resume point: before the deck shuts down).
    void Shutdown();

  private:
    void ConnectModel();
    void LoadRestoredEntry();

    CPlayerParts& m_parts;
    CDeck& m_deck;
    QPointer<CPlaylistWindow> m_window;
    CTrackLengthLoop m_lengthLoop;
    CLoudnessMeasuring m_measuring;
    CPlaylistStore m_store;
    CResumeKeeper m_resume;
    bool m_shutDown = false;
};

} // namespace tessel
