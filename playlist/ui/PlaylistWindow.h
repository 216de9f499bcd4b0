// The playlist window: a thin view over the playlist (CPlaylist) through its
// Qt model adapter. It shows the entries with their state icons and lengths,
// lets the user add files, folders and playlists (by button or by dropping),
// find, reorder, delete and save them, and asks for an entry to be played on
// a double click. It stands below the main window, as wide as it.
//
// Threads: GUI thread only.
#pragma once

#include "controls/MessageSink.h"
#include "core/AppMessages.h"
#include "playlist/ui/PlaylistAdder.h"
#include "playlist/ui/PlaylistControls.h"
#include "playlist/ui/PlaylistDialogs.h"
#include "playlist/ui/PlaylistModel.h"

#include <QMenu>
#include <QWidget>

#include <functional>
#include <optional>

namespace tessel {

class CPlaylistWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMinimumHeight = 256;
    static constexpr int kStartHeight = 400;
    static constexpr int kTimeColumnMinWidth = 46;

    // `post` carries the buttons' and the find box's messages to whoever
    // serves them (the main window, which hands them back to HandleMessage).
    CPlaylistWindow(CPlaylist& playlist, MessageSink post, QWidget* owner);
    ~CPlaylistWindow() override;

    void SetDialogs(PlaylistDialogs dialogs) { m_dialogs = std::move(dialogs); }
    // Who plays a row the user chose (a double click); without one, the
    // playlist is asked to play it.
    using RowPlayer = std::function<void(int row)>;
    void SetRowPlayer(RowPlayer player) { m_rowPlayer = std::move(player); }
    // Who shows a row's Track Info (the rows' context menu); without one the
    // menu does not offer it.
    using TrackInfoShower = std::function<void(int row)>;
    void SetTrackInfoShower(TrackInfoShower shower) { m_trackInfoShower = std::move(shower); }

    // Holds the window's outer width at `width` (the main window's), keeping
    // its position and height.
    void SetWindowWidth(int width);
    // Puts the window's top-left corner at the owner's bottom-left corner.
    void PlaceBelow(const QWidget& owner);

    // Delete, Up, Down, Find Next and dropped files; false for other messages.
    bool HandleMessage(const Message& message);

    // The commands.
    void AddFiles();
    void AddFolder();
    void OnFilesDropped();
    void DeleteSelected();
    void DeleteAll();
    void MoveSelectedUp();
    void MoveSelectedDown();
    void FindNext();
    void SavePlayList();
    void SetShowMode(ShowMode mode);
    void SelectRow(int row);
    // The row the commands act on; -1 when none.
    int SelectionMark() const;
    void PlayRow(int row);
    // The context menu of a row (Play, Track Info...); nullptr for no row.
    // The caller runs or shows it; it goes with the window.
    QMenu* RowMenu(int row);

    CPlaylistModel& Model() { return m_model; }
    CPlaylistAdder& Adder() { return m_adder; }
    const PlaylistControls& Controls() const { return m_controls; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ConnectControls();
    void ApplyColumnWidths();
    void OnBusyChanged(bool busy);
    void OnProgress(int inserted, int total);
    void OnCurrentRowChanged(int row);

    CPlaylist& m_playlist;
    MessageSink m_post;
    CPlaylistModel m_model;
    CPlaylistAdder m_adder;
    PlaylistControls m_controls;
    PlaylistDialogs m_dialogs;
    RowPlayer m_rowPlayer;
    TrackInfoShower m_trackInfoShower;
    QMenu* m_rowMenu = nullptr;
    int m_windowWidth = 0;
};

} // namespace tessel
