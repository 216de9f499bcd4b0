// The player's main window. It shows the deck's state and forwards the
// user's commands to the deck; every playback decision is the deck's. It
// owns the deck and the child windows (play list, equalizer), serves the
// engine's message channel, and keeps the volume and equalizer settings.
//
// Threads: GUI thread only. Workers reach it only through the channel.
#pragma once

#include "app/MainWindowControls.h"
#include "app/UserCommands.h"
#include "core/AppMessages.h"
#include "engine/DeckHost.h"

#include <QDialog>
#include <QMenu>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessel {

class CCoverArtFollower;
class CDeck;
class CPlayModeMenu;
class CTrackInfoDialog;
class CPlaylistSession;
class CPlaylistWindow;
class CEqualizerWindow;
class CLoudnessDialog;
struct ReplayGainSettings;
struct CPlayerParts;

class CMainWindow : public QDialog, public IDeckHost {
    Q_OBJECT

  public:
    // Asks the user for audio files; an empty list means cancelled.
    using OpenFilesDialog = std::function<QStringList(QWidget* parent, const QString& filter)>;
    // Tells the user that a chosen file cannot be played.
    using NotRecognizedNotice = std::function<void(QWidget* parent)>;
    // Lets the user choose the output device (the Devices button).
    using DeviceChooser = std::function<void(QWidget* parent)>;
    static constexpr const char* kNoDeviceNotice = "No output device available";

    static constexpr int kVolumeSaveDelayMs = 500;
    // How long a loaded track's length shows before its position.
    static constexpr int kLengthShownMs = 3000;

    explicit CMainWindow(CPlayerParts& parts, QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Start-up once this instance is known to be the only one: place the
    // window, fill the track chooser, restore the volume. The output device
    // is opened before this, so the restored volume reaches it. Initialise
    // is Prepare and RestorePlaylist at once; the player shows its window
    // between the two, as a long kept list takes a while to restore.
    void Initialise();
    void Prepare();
    void RestorePlaylist();
    // Appends every command-line path to the playlist and plays the first
    // that opens; with none, loads the entry loaded at the last exit.
    void LoadCommandLine(const std::vector<std::string>& paths);
    // Stops the deck and every worker, stores the volume, closes the child
    // windows and the channel. Runs once; closing the window runs it.
    void Shutdown();

    void SetOpenFilesDialog(OpenFilesDialog dialog) { m_openFiles = std::move(dialog); }
    void SetNotRecognizedNotice(NotRecognizedNotice notice) { m_notRecognized = std::move(notice); }
    void SetDeviceChooser(DeviceChooser chooser) { m_deviceChooser = std::move(chooser); }
    // Runs after the window has shown a change of the deck's state, track,
    // volume or play modes (for the remote control, and the timers' pace).
    void SetDeckChangeObserver(std::function<void()> observer) {
        m_deckChanged = std::move(observer);
    }

    CDeck& Deck() { return *m_deck; }
    const MainWindowControls& Controls() const { return m_controls; }
    QWidget* PlaylistWindow() const;
    QWidget* EqualizerWindow() const;
    // The ☰ button's menu, which the context menu shows too.
    QMenu* Menu() const { return m_menu; }

    // IDeckHost
    void ShowCurrentTrack(const std::string& fileName) override;
    void ShowNoFileLoaded() override;
    void ShowPosition(double seconds, double lengthSeconds) override;
    void ShowLengthForAMoment(double lengthSeconds) override;
    void ShowLevel(int level) override;
    void SetTransportEnabled(bool enabled) override;
    void OnTrackChanged(const std::string& path, const std::string& title,
                        double lengthSeconds) override;
    void OnOutputDeviceChanged(const std::string& description, bool opened) override;
    void OnVolumeChanged(double volume) override;
    void OnTrackLoadFailed(const std::string& path) override;
    void OnStateChanged(DeckState state) override;
    // The menu's checks follow, and the modes are stored.
    void OnPlayModesChanged() override;
    void TellDeckChanged();

    // The one way in for commands from the keyboard, MPRIS2 clients and other
    // programs; `value` as UserCommand says. The deck queues what it cannot
    // do yet, in the order given. Defined in UserCommands.cpp, as are the two
    // below.
    void OnUserCommand(UserCommand command, double value = 0);
    // Files from outside the window (a second start, MPRIS2 OpenUri, a
    // command line holding playlists): appended to the play list in order,
    // playlist files by their entries, folders by their audio files as
    // "+ Folder" adds them; when nothing is playing, the first new entry that
    // opens plays. Works from Qt's next round of events; false when
    // the window is shutting down and takes no more files.
    bool AppendPathsAndPlay(const std::vector<std::string>& paths);
    // The same, but the first new entry that opens plays even while another
    // plays: a client's "open this" (MPRIS2 OpenUri) is to be heard.
    bool OpenPathsAndPlayNow(const std::vector<std::string>& paths);
    // The current track's title as its file gives it; empty when it has none.
    const std::string& CurrentTitle() const { return m_currentTitle; }
    // The play list row of the loaded track; -1 for a file loaded outside
    // the list, or nothing loaded.
    int LoadedRow() const;
    // The loaded track's cover as a file:// URL for other programs; empty
    // while there is none (or it is still being read).
    const std::string& CoverUrl() const;
    // The Track Info dialog for a play list row; -1: the loaded track.
    // Nothing when there is no such row or track.
    void ShowTrackInfo(int row = -1);

    // The track chooser's fixed items; ResetTrackCombo leaves only these.
    void ResetTrackCombo();
    // What choosing combo item `index` does (the user's selection).
    void OnChooseTrack(int index);

  public slots:
    void done(int result) override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Escape does not end a player: it closes with its close button, the
    // menu or a signal.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // UserCommands.cpp: commands from outside (keys, the bus, a second
    // start).
    void RunUserCommand(UserCommand command, double value);
    bool CanSeek() const;
    void SeekToSeconds(double seconds);
    bool AppendLater(const std::vector<std::string>& paths, bool atOnce);
    void ConnectControls();
    void HandleMessage(const Message& message);
    // A control's press/release message, as a deck command at once, so that
    // it keeps its order with the signals of the same control.
    void OnControlMessage(AppMessage id);
    void ShowMenu(const QPoint& where);
    void BuildPlayModeMenu();
    void ShowPlayModes();
    void BrowseForFiles();
    // The browsed files join the play list once the first has opened (or
    // would not).
    void AddBrowsedFiles();
    // A row the user chose in the play list: loaded and played like a
    // browsed file, so one that does not open is reported rather than
    // passed over for the next row.
    void PlayChosenRow(int row);
    // "File Not Recognized", once the deck's report has been dealt with.
    void TellNotRecognized();
    double VolumeOfSlider() const;
    void StoreVolume();
    void ShowTimeText(double seconds);
    // The loaded row's playing icon goes once the list has played to its
    // end, and comes back with whatever the deck does next.
    void ShowPlayingMark(bool shown);
    double SecondsOfSlider(int position) const;
    void OnEqualizerMessage(const Message& message);
    void StoreEqualizer();
    void ShowPlaylistWindow();
    void ShowEqualizerWindow();
    void ShowLoudnessSettings();
    void ApplyLoudness(const ReplayGainSettings& settings);
    void ShowDeviceChooser();
    // "Artist – Title", else the title, else the file's name; then the
    // product's name.
    void ShowTitleBar();
    void PlaceChildWindows();

    CPlayerParts& m_parts;
    MainWindowControls m_controls;
    std::unique_ptr<CDeck> m_deck;
    std::unique_ptr<CPlaylistSession> m_playListSession;
    CPlaylistWindow* m_playList = nullptr;
    CEqualizerWindow* m_equalizer = nullptr;
    CLoudnessDialog* m_loudness = nullptr;   // made when first shown
    CTrackInfoDialog* m_trackInfo = nullptr; // made when first shown
    std::unique_ptr<CCoverArtFollower> m_cover;
    QMenu* m_menu = nullptr;
    CPlayModeMenu* m_playModeMenu = nullptr;
    QTimer m_volumeSaveTimer;
    QTimer m_lengthShownTimer;
    double m_shownSeconds = 0.0;
    double m_shownLength = 0.0;
    QTimer m_equalizerSaveTimer;
    OpenFilesDialog m_openFiles;
    NotRecognizedNotice m_notRecognized;
    std::function<void()> m_deckChanged;
    DeviceChooser m_deviceChooser;
    std::string m_currentTitle;
    std::string m_currentPath;
    std::vector<std::string> m_browsed; // files chosen with Browse..., first loading
    std::string m_chosenRow;            // the play list row chosen last, until it opens
    bool m_stopAfterToMove = false;     // to the track the user moved on to
    bool m_shutDown = false;
};

} // namespace tessel
