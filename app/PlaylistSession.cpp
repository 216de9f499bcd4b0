#include "app/PlaylistSession.h"

#include "app/PlayModes.h"
#include "app/PlayerParts.h"
#include "engine/Deck.h"
#include "playlist/ui/PlaylistWindow.h"

namespace tessel {

CPlaylistSession::CPlaylistSession(CPlayerParts& parts, CDeck& deck, QWidget* owner,
                                   QString storePath)
    : m_parts(parts), m_deck(deck), m_lengthLoop(parts.lengthLoader, parts.playlist),
      m_measuring(parts.loudnessMeasurer, parts.lengthLoader, parts.playlist.Tracks()),
      m_store(parts.playlist, storePath),
      m_resume(deck, parts.playlist, CResumeKeeper::PathBeside(storePath)) {
    m_window = new CPlaylistWindow(
        parts.playlist, [this](AppMessage id) { m_parts.engine.channel.Post(id); }, owner);
    ConnectModel();
}

CPlaylistSession::~CPlaylistSession() {
    Shutdown();
}

void CPlaylistSession::ConnectModel() {
    CPlaylistModel& model = m_window->Model();
    const auto rowsFrom = [this](int first) {
        m_lengthLoop.OnRowsChanged(first);
        m_measuring.ListChanged();
        m_store.ScheduleSave();
    };
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [rowsFrom](const QModelIndex&, int first, int) { rowsFrom(first); });
    connect(&model, &QAbstractItemModel::rowsRemoved, this,
            [rowsFrom](const QModelIndex&, int first, int) { rowsFrom(first); });
    connect(&model, &QAbstractItemModel::rowsMoved, this,
            [rowsFrom](const QModelIndex&, int start, int, const QModelIndex&, int row) {
                rowsFrom(std::min(start, row));
            });
    connect(&model, &QAbstractItemModel::modelReset, this, [rowsFrom] { rowsFrom(0); });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) {
                // An icon is no change to the list.
                if (roles == QList<int>{Qt::DecorationRole})
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    m_lengthLoop.OnRowChanged(row);
                m_store.ScheduleSave();
            });
}

void CPlaylistSession::Start() {
    StoredPlaylist stored = m_store.Load();
    CPlaylistModel& model = m_window->Model();
    const int first = model.rowCount();
    model.AppendEntries(stored.entries);
    if (stored.loadedIndex >= 0)
        m_parts.playlist.MarkLoaded(first + stored.loadedIndex);
    m_lengthLoop.Start();
}

void CPlaylistSession::AddCommandLine(const std::vector<std::string>& paths) {
    if (m_shutDown)
        return;
    if (paths.empty()) {
        LoadRestoredEntry();
        return;
    }
    // The restored entries stay where they are; the command line's own come
    // after them, and only those are played.
    const int first = m_window->Model().rowCount();
    CPlaylistAdder& adder = m_window->Adder();
    adder.AddPaths(paths);
    adder.WhenDone([this, first] {
        if (!m_shutDown && first < m_window->Model().rowCount())
            m_parts.playlist.PlayEntry(first);
    });
}

void CPlaylistSession::AppendAndPlay(const std::vector<std::string>& paths, bool atOnce) {
    if (m_shutDown || paths.empty())
        return;
    // Through the adder even for plain files: one that arrives while a
    // folder is still going in lands after the folder's files, not among
    // them.
    const int first = m_window->Model().rowCount();
    CPlaylistAdder& adder = m_window->Adder();
    adder.AddPaths(paths);
    adder.WhenDone([this, first, atOnce] {
        if (m_shutDown || first >= m_window->Model().rowCount() ||
            (!atOnce && m_deck.IsPlayingOrAboutTo()))
            return;
        // The deck passes over the new entries that do not open.
        m_deck.PlayEntry(m_parts.playlist.Tracks().GetId(first));
    });
}

void CPlaylistSession::LoadRestoredEntry() {
    const bool play = ReadResumePlaying(m_parts.settings);
    const std::optional<ResumePoint> point = m_resume.Read();
    if (point && ResumeFrom(*point, m_deck, m_parts.playlist, play))
        return;
    const std::string path = m_parts.playlist.GetLoadedTrackPath();
    if (path.empty())
        return;
    // The deck marks the entry unreadable if it does not open, and does not
    // move on.
    m_deck.LoadTrack(path, m_parts.playlist.Tracks().GetId(m_parts.playlist.GetLoadedIndex()));
    if (play)
        m_deck.Play();
}

bool CPlaylistSession::HandleMessage(const Message& message) {
    if (m_shutDown || !m_window)
        return false;
    if (message.kind == AppMessage::TrackLengthLoaded) {
        m_lengthLoop.OnAnswer();
        m_measuring.ListChanged();
        return true;
    }
    if (message.kind == AppMessage::LoudnessMeasured) {
        m_measuring.OnMeasured();
        return true;
    }
    return m_window->HandleMessage(message);
}

void CPlaylistSession::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_resume.Shutdown();
    m_lengthLoop.Stop();
    m_measuring.Shutdown();
    if (m_window)
        m_window->Adder().Cancel();
    m_store.SaveNow();
}

} // namespace tessel
