#include "app/ResumeKeeper.h"

#include "app/PlaylistStore.h"
#include "engine/Deck.h"
#include "playlist/Playlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace tessel {

namespace {

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CResumeKeeper::CResumeKeeper(const CDeck& deck, const CPlaylist& playlist, QString path)
    : m_deck(deck), m_playlist(playlist), m_path(std::move(path)) {
    m_playing.setInterval(kPlayingWriteMs);
    // A coarse timer may fire late, and the promise is "at most 5 s lost".
    m_playing.setTimerType(Qt::PreciseTimer);
    connect(&m_playing, &QTimer::timeout, this, [this] { WriteNow(); });
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { WriteNow(); });
}

QString CResumeKeeper::DefaultPath() {
    return PathBeside(CPlaylistStore::DefaultPath());
}

QString CResumeKeeper::PathBeside(const QString& playlistPath) {
    return QFileInfo(playlistPath).dir().filePath(QStringLiteral("resume"));
}

std::optional<ResumePoint> CResumeKeeper::Read() const {
    return ReadResumePoint(ToPath(m_path));
}

void CResumeKeeper::OnStateChanged(DeckState state) {
    if (m_shutDown)
        return;
    if (state == DeckState::Playing) {
        if (!m_playing.isActive())
            m_playing.start();
    } else if (IsSettled(state)) {
        m_playing.stop();
    }
    if (IsSettled(state))
        m_settle.start();
}

void CResumeKeeper::OnTrackChanged() {
    if (!m_shutDown)
        m_settle.start();
}

void CResumeKeeper::Shutdown() {
    if (m_shutDown)
        return;
    WriteNow();
    m_shutDown = true;
    m_playing.stop();
    m_settle.stop();
}

void CResumeKeeper::WriteNow() {
    m_settle.stop();
    const std::string path = ToPath(m_path);
    const DeckState state = m_deck.GetState();
    // Played to the end of the list, there is no place to pick up at: the
    // next start loads the loaded row from its start, as Play would play it.
    if (state == DeckState::NoFile || (state == DeckState::Playing && m_deck.ReachedEnd())) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return;
    }
    // Opening: the entry on its way is not known to open yet; the last
    // point stands until it settles.
    if (!m_deck.IsTrackLoaded() || m_deck.TrackPath().empty())
        return;
    ResumePoint point;
    point.path = m_deck.TrackPath();
    point.seconds = m_deck.Elapsed();
    const int row = m_playlist.Tracks().FindRow(m_deck.TrackEntry());
    point.index = m_deck.TrackEntry() != 0 ? row : -1;
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
    std::string error;
    // A failed write leaves the last point whole; the next one tries again.
    WriteResumePoint(path, point, error);
}

bool ResumeFrom(const ResumePoint& point, CDeck& deck, CPlaylist& playlist, bool play) {
    const int row = FindResumeRow(playlist.Tracks(), point);
    if (row < 0)
        return false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(point.path, error))
        return true; // gone: nothing to load, nothing to say
    playlist.MarkLoaded(row);
    deck.LoadTrack(point.path, playlist.Tracks().GetId(row));
    if (point.seconds > 0.0)
        deck.SeekTo(point.seconds);
    if (play)
        deck.Play();
    return true;
}

} // namespace tessel
