// The playlist as Qt's views see it: a two-column table ("Files", "Time") over
// the Qt-free CPlaylist, converting its UTF-8 text at this edge.
//
// Rows change only in the order Qt's views expect: edits that insert,
// remove or move rows go through this adapter, which announces them around
// the change. Entries appended to the list behind its back (the main
// window's chooser, the deck) are announced by Publish, which the list's
// change observer calls: the adapter counts only the rows it has announced,
// so a view never asks for a row it has not been told of.
//
// Threads: GUI thread only.
#pragma once

#include "playlist/Playlist.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace tessel {

enum class ShowMode { FileName = 0, Path = 1, Tag = 2 };

class CPlaylistModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kFilesColumn = 0, kTimeColumn = 1, kColumnCount = 2 };

    explicit CPlaylistModel(CPlaylist& playlist, QObject* parent = nullptr);
    ~CPlaylistModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    CPlaylist& Playlist() { return m_playlist; }
    const CTrackList& Tracks() const { return m_playlist.Tracks(); }

    void SetShowMode(ShowMode mode);
    ShowMode GetShowMode() const { return m_mode; }
    // The "Files" column's text of a row in the current mode.
    QString DisplayText(int row) const;

    void AppendTrack(const std::string& path, double length, const std::string& tag);
    void AppendEntries(const std::vector<PlaylistEntry>& entries);
    // Inserts paths[next...] (sorted) among the rows from startIndex on, as
    // the list's sorted insertion would, until `until` passes; advances
    // `next` and `startIndex` past what it inserted. Neighbouring paths go in
    // as one block, so a view hears of a whole batch at once.
    void InsertSorted(const std::vector<std::string>& paths, size_t& next, int& startIndex,
                      std::chrono::steady_clock::time_point until);
    void RemoveRow(int row);
    void RemoveAll();
    void MoveUp(int row);
    void MoveDown(int row);

    // Announces entries the list gained without this adapter.
    void Publish();

    // Whether the loaded row wears the playing icon. Once playback has run
    // off the end of the list the row stays loaded but plays no more.
    void SetPlayingMarkShown(bool shown);
    bool PlayingMarkShown() const { return m_playingMarkShown; }

  private:
    void OnRowChanged(int row);

    CPlaylist& m_playlist;
    int m_rows = 0;
    ShowMode m_mode = ShowMode::FileName;
    bool m_playingMarkShown = true;
    std::array<QIcon, 5> m_icons;
};

} // namespace tessel
