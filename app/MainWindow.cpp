#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/CoverArtFollower.h"
#include "app/LoudnessDialog.h"
#include "app/StartTrace.h"
#include "app/LoudnessSettings.h"
#include "app/PlayModeMenu.h"
#include "app/PlayModes.h"
#include "app/PlayerParts.h"
#include "app/PlaylistSession.h"
#include "app/TrackInfoDialog.h"
#include "controls/DialogFolder.h"
#include "controls/PictureButton.h"
#include "controls/PictureFolder.h"
#include "controls/PictureSlider.h"
#include "controls/ScreenFit.h"
#include "core/FormatTime.h"
#include "core/FreedMemory.h"
#include "engine/Deck.h"
#include "equalizer/ui/EqualizerWindow.h"
#include "playlist/AudioTypes.h"
#include "playlist/CueSheet.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tessel {

namespace {

// Item data of the track chooser's entries. The entry's data, not its text,
// says what it is: a track may well be called "Browse...".
constexpr int kNoFileItem = 0;
constexpr int kBrowseItem = 1;
constexpr int kCurrentTrackItem = -1;

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString FromPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

// The one folder every file dialog opens in, kept between runs.
DialogFolderStore KeptDialogFolder(const CSettings& settings) {
    return {[&settings] { return settings.GetLastFolder(); },
            [&settings](const QString& folder) { settings.SetLastFolder(folder); }};
}

// Not modal: a folder of many albums may hold several damaged sheets, and
// adding goes on meanwhile.
void TellSheetProblems(QWidget* parent, const std::vector<std::string>& problems) {
    constexpr size_t kShown = 10;
    QString text = QStringLiteral("Some tracks of a CUE sheet were left out:\n");
    for (size_t i = 0; i < problems.size() && i < kShown; ++i)
        text += QStringLiteral("\n") + QString::fromStdString(problems[i]);
    if (problems.size() > kShown)
        text += QStringLiteral("\n(%1 more)").arg(problems.size() - kShown);
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kProductName), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void WarnNotRecognized(QWidget* parent) {
    QMessageBox::warning(parent, QString::fromLatin1(kProductName),
                         QStringLiteral("File Not Recognized"), QMessageBox::Ok);
}

} // namespace

CMainWindow::CMainWindow(CPlayerParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts), m_openFiles([folders = KeptDialogFolder(parts.settings)](
                                                       QWidget* owner, const QString& filter) {
          return AskForFiles(owner, QStringLiteral("Open Audio Files"), filter, folders);
      }),
      m_notRecognized(WarnNotRecognized) {
    setWindowTitle(QString::fromLatin1(kProductName));
    setWindowIcon(QIcon(PicturePath(kAppIconFile)));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    TraceStart("main window: title and icon");
    m_controls = BuildMainWindowControls(this, [this](AppMessage id) {
        if (!m_shutDown)
            OnControlMessage(id);
    });
    TraceStart("main window: controls");
    m_menu = new QMenu(this);
    m_deck = parts.MakeDeck(*this);
    BuildPlayModeMenu();
    m_menu->addSeparator();
    // The key itself is the window's (see KeyboardShortcuts); the menu shows it.
    m_menu
        ->addAction(QStringLiteral("&Loudness...\tCtrl+,"), this,
                    [this] { ShowLoudnessSettings(); })
        ->setObjectName(QStringLiteral("loudness"));
    m_menu->addAction(QStringLiteral("Track &Info...\tCtrl+I"), this, [this] { ShowTrackInfo(); })
        ->setObjectName(QStringLiteral("trackInfo"));
    m_menu->addAction(QString::fromLatin1(kAboutCommand), this, [this] { ShowAboutBox(this); });

    parts.engine.channel.SetHandler([this](const Message& message) { HandleMessage(message); });

    TraceStart("main window: deck and menu");
    m_equalizer = new CEqualizerWindow(*parts.equalizerBank, this);
    TraceStart("equalizer window");
    // Handled before the call returns, so a band moved is heard at once.
    m_equalizer->SetMessageSink([this](AppMessage id, int32_t value) {
        if (!m_shutDown)
            HandleMessage({id, value});
    });
    m_playListSession = std::make_unique<CPlaylistSession>(parts, *m_deck, this);
    m_playList = m_playListSession->Window();
    TraceStart("playlist window");
    m_playList->SetRowPlayer([this](int row) { PlayChosenRow(row); });
    m_playList->SetTrackInfoShower([this](int row) { ShowTrackInfo(row); });
    // Tags come from the length worker after the track has loaded: the
    // title bar follows them. Rows change by the thousand while a folder is
    // measured, so only a change of the loaded row is looked at.
    // A row measured before the view was told of it comes in with its tags.
    const auto followRows = [this](int first, int last) {
        if (m_shutDown || m_currentPath.empty())
            return;
        const CTrackList& tracks = m_parts.playlist.Tracks();
        const EntryId entry = m_deck->TrackEntry();
        for (int row = first; row <= last; ++row) {
            if (entry != 0 ? tracks.GetId(row) == entry : tracks.IsLoaded(row)) {
                ShowTitleBar();
                return;
            }
        }
    };
    connect(&m_playList->Model(), &QAbstractItemModel::dataChanged, this,
            [followRows](const QModelIndex& first, const QModelIndex& last) {
                followRows(first.row(), last.row());
            });
    connect(&m_playList->Model(), &QAbstractItemModel::rowsInserted, this,
            [followRows](const QModelIndex&, int first, int last) { followRows(first, last); });
    m_cover = std::make_unique<CCoverArtFollower>();
    connect(m_cover.get(), &CCoverArtFollower::urlChanged, this, [this] { TellDeckChanged(); });
    parts.playlist.onSheetProblems = [this](const std::vector<std::string>& problems) {
        if (!m_shutDown)
            TellSheetProblems(this, problems);
    };
    m_playList->SetDialogs(StandardPlaylistDialogs(KeptDialogFolder(parts.settings)));

    m_lengthShownTimer.setSingleShot(true);
    m_lengthShownTimer.setInterval(kLengthShownMs);
    connect(&m_lengthShownTimer, &QTimer::timeout, this, [this] {
        if (!m_controls.position->Held())
            ShowTimeText(m_shownSeconds);
    });
    m_volumeSaveTimer.setSingleShot(true);
    m_volumeSaveTimer.setInterval(kVolumeSaveDelayMs);
    connect(&m_volumeSaveTimer, &QTimer::timeout, this, [this] { StoreVolume(); });
    m_equalizerSaveTimer.setSingleShot(true);
    m_equalizerSaveTimer.setInterval(kVolumeSaveDelayMs);
    connect(&m_equalizerSaveTimer, &QTimer::timeout, this, [this] { StoreEqualizer(); });

    ResetTrackCombo();
    ConnectControls();
}

CMainWindow::~CMainWindow() {
    Shutdown();
    m_deck.reset();
}

QWidget* CMainWindow::PlaylistWindow() const {
    return m_playList;
}
QWidget* CMainWindow::EqualizerWindow() const {
    return m_equalizer;
}

void CMainWindow::ConnectControls() {
    const MainWindowControls& c = m_controls;
    connect(c.trackCombo, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { OnChooseTrack(index); });
    // A wheel over the chooser would "choose" Browse... and open a dialog.
    c.trackCombo->installEventFilter(this);
    connect(c.play, &QAbstractButton::clicked, this, [this] { m_deck->TogglePause(); });
    connect(c.next, &QAbstractButton::clicked, this, [this] { m_deck->Next(); });
    connect(c.previous, &QAbstractButton::clicked, this, [this] { m_deck->Previous(); });
    connect(c.playList, &QAbstractButton::clicked, this, [this] { ShowPlaylistWindow(); });
    connect(c.equalizer, &QAbstractButton::clicked, this, [this] { ShowEqualizerWindow(); });
    connect(c.devices, &QAbstractButton::clicked, this, [this] { ShowDeviceChooser(); });
    connect(c.menu, &QAbstractButton::clicked, this, [this] {
        ShowMenu(m_controls.menu->mapToGlobal(QPoint(0, m_controls.menu->height())));
    });
    // Ffwd and Rwnd come through OnControlMessage. While the slider is
    // held, the time shows where a release would seek to.
    connect(c.position, &QSlider::sliderMoved, this,
            [this](int position) { ShowTimeText(SecondsOfSlider(position)); });
    connect(c.position, &CPictureSlider::grabReleased, this,
            [this] { m_deck->SeekTo(SecondsOfSlider(m_controls.position->value())); });
    // The wheel, the keys or a click beside the thumb move the slider
    // without a grab: that is a seek too. A notch moves a few percent.
    c.position->setSingleStep(c.position->maximum() / 100);
    c.position->setPageStep(c.position->maximum() / 10);
    connect(c.position, &QAbstractSlider::actionTriggered, this, [this](int) {
        if (!m_controls.position->Held())
            m_deck->SeekTo(SecondsOfSlider(m_controls.position->sliderPosition()));
    });
    connect(c.volume, &QSlider::valueChanged, this,
            [this] { m_deck->SetVolume(VolumeOfSlider()); });
}

void CMainWindow::OnControlMessage(AppMessage id) {
    switch (id) {
    case AppMessage::FfwdPressed:
        m_deck->OnFastForwardPressed();
        break;
    case AppMessage::FfwdReleased:
        m_deck->OnFastForwardReleased();
        break;
    case AppMessage::RwndPressed:
        m_deck->OnRewindPressed();
        break;
    case AppMessage::RwndReleased:
        m_deck->OnRewindReleased();
        break;
    default:
        m_parts.engine.channel.Post(id);
        break;
    }
}

void CMainWindow::ShowMenu(const QPoint& where) {
    if (m_menu && !m_shutDown)
        m_menu->exec(where);
}

void CMainWindow::BuildPlayModeMenu() {
    CPlayModeMenu::Hooks hooks;
    hooks.setRepeat = [this](RepeatMode mode) {
        OnUserCommand(UserCommand::SetRepeat, ValueOf(mode));
    };
    hooks.setShuffle = [this](ShuffleMode mode) {
        OnUserCommand(UserCommand::SetShuffle, ValueOf(mode));
    };
    hooks.setStopAfterCurrent = [this](bool on) {
        if (!m_shutDown)
            m_deck->SetStopAfterCurrent(on);
        ShowPlayModes();
    };
    hooks.setResumePlaying = [this](bool on) {
        StoreResumePlaying(m_parts.settings, on);
        ShowPlayModes();
    };
    m_playModeMenu = new CPlayModeMenu(*m_menu, std::move(hooks));
}

void CMainWindow::ShowPlayModes() {
    m_playModeMenu->Show(m_deck->Repeat(), m_deck->Shuffle(), m_deck->StopsAfterCurrent(),
                         ReadResumePlaying(m_parts.settings));
}

void CMainWindow::TellDeckChanged() {
    if (m_deckChanged)
        m_deckChanged();
}

void CMainWindow::OnPlayModesChanged() {
    if (!m_playModeMenu)
        return; // the deck is still being built
    ShowPlayModes();
    StorePlayModes(m_parts.settings, {m_deck->Repeat(), m_deck->Shuffle()});
    TellDeckChanged();
}

void CMainWindow::Initialise() {
    Prepare();
    RestorePlaylist();
}

void CMainWindow::Prepare() {
    move(10, 10);
    ResetTrackCombo();
    // Damaged values read as off; off is what the deck starts with, so a
    // player with both off does nothing new here.
    ApplyLoudness(ReadReplayGainSettings(m_parts.settings));
    const PlayModes modes = ReadPlayModes(m_parts.settings);
    if (modes.repeat != m_deck->Repeat())
        m_deck->SetRepeat(modes.repeat);
    if (modes.shuffle != m_deck->Shuffle())
        m_deck->SetShuffle(modes.shuffle);
    ShowPlayModes();
    {
        // Restoring is not a move by the user: nothing to store again.
        const QSignalBlocker blocker(m_controls.volume);
        m_controls.volume->setValue(m_parts.settings.GetVolumeLevel());
    }
    m_deck->SetVolume(VolumeOfSlider());
    const CSettings::Equalizer equalizer = m_parts.settings.GetEqualizer();
    m_equalizer->Restore(equalizer.on, equalizer.bands, equalizer.gains);
    m_parts.lengthLoader.Start();
}

namespace {
constexpr int kSettleAfterRestoreMs = 1000;
} // namespace

void CMainWindow::RestorePlaylist() {
    if (m_shutDown)
        return;
    m_playListSession->Start();
    // Reading a long kept list, and the views laying out its rows on their
    // next paints, leave megabytes of freed memory behind.
    QTimer::singleShot(kSettleAfterRestoreMs, this, [] { ReturnFreedMemory(); });
}

void CMainWindow::LoadCommandLine(const std::vector<std::string>& paths) {
    if (!m_shutDown)
        m_playListSession->AddCommandLine(paths);
}

void CMainWindow::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    // Where playback is, before the deck lets go of it.
    m_playListSession->Resume().Shutdown();
    m_deck->Shutdown();
    m_playListSession->Shutdown();
    m_parts.lengthLoader.Stop();
    m_cover->Stop();
    delete m_trackInfo;
    m_trackInfo = nullptr;
    m_volumeSaveTimer.stop();
    StoreVolume();
    m_equalizerSaveTimer.stop();
    StoreEqualizer();
    delete m_equalizer;
    m_equalizer = nullptr;
    delete m_playList;
    m_playList = nullptr;
    m_parts.playlist.onPlayLoadedEntry = nullptr;
    m_parts.playlist.onSheetProblems = nullptr;
    m_parts.engine.channel.SetHandler(nullptr);
    m_parts.engine.channel.Close();
}

void CMainWindow::done(int result) {
    Shutdown();
    QDialog::done(result);
}

void CMainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_controls.trackCombo && event->type() == QEvent::Wheel)
        return true;
    return QDialog::eventFilter(watched, event);
}

void CMainWindow::HandleMessage(const Message& message) {
    if (m_shutDown || m_deck->HandleMessage(message))
        return;
    if (m_playListSession->HandleMessage(message))
        return;
    switch (message.kind) {
    case AppMessage::EqualizerBandMoved:
    case AppMessage::EqualizerOff:
    case AppMessage::EqualizerOn:
        OnEqualizerMessage(message);
        break;
    case AppMessage::PlaylistChanged:
    case AppMessage::ChildWindowClosed:
    default:
        break;
    }
}

void CMainWindow::ResetTrackCombo() {
    QComboBox* combo = m_controls.trackCombo;
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItem(QStringLiteral("No File Loaded"), kNoFileItem);
    combo->addItem(QStringLiteral("Browse..."), kBrowseItem);
    combo->setCurrentIndex(0);
    combo->setToolTip(QString());
}

void CMainWindow::OnChooseTrack(int index) {
    const int item = m_controls.trackCombo->itemData(index).toInt();
    if (item == kNoFileItem)
        m_deck->Close();
    else if (item == kBrowseItem)
        BrowseForFiles();
}

void CMainWindow::BrowseForFiles() {
    const QStringList files = m_openFiles(this, QString::fromStdString(AudioFileDialogFilter()));
    if (files.isEmpty() || m_shutDown) {
        ResetTrackCombo();
        return;
    }
    // The first is loaded; it joins the play list once it has opened, and
    // the rest wait there behind it, their lengths measured later.
    m_browsed.clear();
    for (const QString& file : files)
        m_browsed.push_back(ToPath(file));
    if (IsCueSheetName(m_browsed.front())) {
        // A sheet is an album's rows, not a file to load: they join the
        // list and the first of them plays.
        const int firstNew = m_parts.playlist.GetRowCount();
        m_deck->Append(std::exchange(m_browsed, {}));
        PlayChosenRow(firstNew);
        return;
    }
    m_deck->LoadTrack(m_browsed.front());
}

void CMainWindow::PlayChosenRow(int row) {
    const CTrackList& tracks = m_parts.playlist.Tracks();
    if (m_shutDown || row < 0 || row >= tracks.GetCount())
        return;
    m_parts.playlist.MarkLoaded(row);
    m_chosenRow = tracks.GetTrackPath(row);
    m_deck->LoadTrack(m_chosenRow, tracks.GetId(row));
    m_deck->Play();
}

void CMainWindow::OnTrackLoadFailed(const std::string& path) {
    if (!m_chosenRow.empty() && path == m_chosenRow) {
        m_chosenRow.clear();
        TellNotRecognized();
        return;
    }
    if (m_browsed.empty() || path != m_browsed.front())
        return;
    AddBrowsedFiles();
    TellNotRecognized();
    ResetTrackCombo();
}

void CMainWindow::TellNotRecognized() {
    // Not from inside the deck's report: the message box's own event loop
    // would hand the deck its next messages while it is still in this one.
    QTimer::singleShot(0, this, [this] {
        if (!m_shutDown && m_notRecognized)
            m_notRecognized(this);
    });
}

void CMainWindow::AddBrowsedFiles() {
    std::vector<std::string> files = std::move(m_browsed);
    m_browsed.clear();
    for (size_t i = 1; i < files.size(); ++i)
        m_parts.playlist.AddTrackRow(files[i], -1.0, std::string());
}

double CMainWindow::VolumeOfSlider() const {
    // The slider runs from full volume (0) to silence (its maximum).
    const QSlider& volume = *m_controls.volume;
    return 1.0 - static_cast<double>(volume.value()) / volume.maximum();
}

void CMainWindow::OnVolumeChanged(double volume) {
    QSlider& slider = *m_controls.volume;
    const int level = static_cast<int>(std::lround((1.0 - volume) * slider.maximum()));
    if (slider.value() != level) {
        const QSignalBlocker blocker(slider);
        slider.setValue(level);
    }
    // Stored once the volume has rested a moment, so a crash later does not
    // lose it, without a disk write for every step of a drag.
    if (level != m_parts.settings.GetVolumeLevel())
        m_volumeSaveTimer.start();
    TellDeckChanged();
}

void CMainWindow::StoreVolume() {
    m_parts.settings.SetVolumeLevel(m_controls.volume->value());
}

void CMainWindow::OnEqualizerMessage(const Message& message) {
    const CFilterBank& bank = *m_parts.equalizerBank;
    if (message.kind == AppMessage::EqualizerBandMoved)
        m_deck->SetEqualizer(&bank, message.value);
    else if (message.kind == AppMessage::EqualizerOn)
        m_deck->SetEqualizer(&bank);
    else
        m_deck->SetEqualizer(nullptr);
    // Stored once the sliders have rested, like the volume.
    m_equalizerSaveTimer.start();
}

void CMainWindow::StoreEqualizer() {
    if (!m_equalizer)
        return;
    CSettings::Equalizer equalizer;
    equalizer.on = m_equalizer->IsOn();
    equalizer.bands = m_equalizer->BandCount();
    equalizer.gains = m_equalizer->Gains();
    m_parts.settings.SetEqualizer(equalizer);
}

void CMainWindow::ShowCurrentTrack(const std::string& fileName) {
    QComboBox* combo = m_controls.trackCombo;
    const QSignalBlocker blocker(combo);
    const int old = combo->findData(kCurrentTrackItem);
    if (old >= 0)
        combo->removeItem(old);
    combo->addItem(FromPath(fileName), kCurrentTrackItem);
    combo->setCurrentIndex(combo->count() - 1);
}

void CMainWindow::ShowNoFileLoaded() {
    ResetTrackCombo();
    m_currentPath.clear();
    m_currentTitle.clear();
    m_cover->Follow(std::string());
    setWindowTitle(QString::fromLatin1(kProductName));
    // Nothing loaded has neither a length nor a place: the last track's
    // must not stay on show.
    m_lengthShownTimer.stop();
    ShowPosition(0.0, 0.0);
}

double CMainWindow::SecondsOfSlider(int position) const {
    return std::clamp(position, 0, m_controls.position->maximum()) * m_shownLength /
           m_controls.position->maximum();
}

void CMainWindow::ShowTimeText(double seconds) {
    m_controls.time->setText(QString::fromStdString(FormatTime(static_cast<int>(seconds))));
}

void CMainWindow::ShowPosition(double seconds, double lengthSeconds) {
    // The deck tells the last position of all when its output has run dry.
    if (m_deck && m_deck->GetState() == DeckState::Playing && m_deck->ReachedEnd())
        ShowPlayingMark(false);
    m_shownSeconds = seconds;
    m_shownLength = lengthSeconds;
    // While the user holds the slider, it and the time show the hold.
    if (m_controls.position->Held())
        return;
    ShowTimeText(seconds);
    const int max = m_controls.position->maximum();
    m_controls.position->setValue(
        lengthSeconds > 0.0
            ? static_cast<int>(std::clamp(max * seconds / lengthSeconds, 0.0, double(max)))
            : 0);
}

void CMainWindow::OnStateChanged(DeckState state) {
    // Playing again, seeking, loading or closing: the end is past.
    ShowPlayingMark(true);
    if (m_stopAfterToMove && IsSettled(state)) {
        m_stopAfterToMove = false;
        // After this report, which the deck is still giving.
        QTimer::singleShot(0, this, [this] {
            if (!m_shutDown && m_deck->StopsAfterCurrent())
                m_deck->SetStopAfterCurrent(true);
        });
    }
    if (m_playListSession)
        m_playListSession->Resume().OnStateChanged(state);
    TellDeckChanged();
}

void CMainWindow::ShowPlayingMark(bool shown) {
    if (m_playList)
        m_playList->Model().SetPlayingMarkShown(shown);
}

void CMainWindow::ShowLengthForAMoment(double lengthSeconds) {
    ShowTimeText(lengthSeconds);
    m_lengthShownTimer.start();
}

void CMainWindow::ShowLevel(int level) {
    m_controls.level->setValue(std::clamp(level, 0, 100));
}

void CMainWindow::SetTransportEnabled(bool enabled) {
    for (CPictureButton* button : {m_controls.play, m_controls.fastForward, m_controls.rewind}) {
        button->SetEnabledLook(enabled);
        button->repaint();
    }
}

void CMainWindow::OnTrackChanged(const std::string& path, const std::string& title,
                                 double lengthSeconds) {
    m_currentTitle = title;
    if (m_playListSession)
        m_playListSession->Resume().OnTrackChanged();
    // The stop belongs to the sounding track: one the user moved on to
    // (Next, a double click) takes it over, or the check would stay on for a
    // track that is gone. The stop itself clears it before the next track
    // loads. Moved once the deck has settled: while it opens the track, what
    // it has read ahead is not read again for a new stop.
    if (m_deck && m_deck->StopsAfterCurrent())
        m_stopAfterToMove = true;
    if (path == m_chosenRow)
        m_chosenRow.clear();
    if (!m_browsed.empty() && path == m_browsed.front()) {
        m_parts.playlist.AddTrackRow(path, lengthSeconds, title);
        m_parts.playlist.MarkLoaded(m_parts.playlist.GetRowCount() - 1);
        AddBrowsedFiles();
    }
    QString tip = FromPath(path);
    if (!title.empty())
        tip = QString::fromStdString(title) + '\n' + tip;
    m_controls.trackCombo->setToolTip(tip);
    m_currentPath = path;
    ShowTitleBar();
    m_cover->Follow(path);
    TellDeckChanged();
}

int CMainWindow::LoadedRow() const {
    // The shown track, not the deck's state: the deck tells of a new track
    // before it has settled in a loaded state.
    if (!m_deck || m_currentPath.empty())
        return -1;
    const CPlaylist& playlist = m_parts.playlist;
    const int row = playlist.Tracks().FindRow(m_deck->TrackEntry());
    if (row >= 0)
        return row;
    // A browsed file joins the list after it has loaded, under no entry.
    const int marked = playlist.GetLoadedIndex();
    return marked >= 0 && playlist.Tracks().GetTrackPath(marked) == m_currentPath ? marked : -1;
}

const std::string& CMainWindow::CoverUrl() const {
    return m_cover->Url();
}

void CMainWindow::ShowTitleBar() {
    // What a taskbar shows: the track first, by its tags, else its title,
    // else its file's name.
    const int row = LoadedRow();
    std::string shown = row >= 0 ? m_parts.playlist.Tracks().GetTagLine(row) : std::string();
    if (shown.empty())
        shown = m_currentTitle;
    if (shown.empty())
        shown = std::filesystem::path(m_currentPath).stem().string();
    const QString title = QString::fromStdString(shown) + QStringLiteral(" \u2013 ") +
                          QString::fromLatin1(kProductName);
    if (title != windowTitle())
        setWindowTitle(title);
}

void CMainWindow::ShowTrackInfo(int row) {
    if (m_shutDown)
        return;
    const CTrackList& tracks = m_parts.playlist.Tracks();
    std::string path;
    std::string title;
    if (row < 0 && m_deck->IsTrackLoaded()) {
        row = LoadedRow();
        path = m_deck->TrackPath();
        title = m_currentTitle;
    } else if (row >= 0 && row < tracks.GetCount()) {
        path = tracks.GetTrackPath(row);
        title = tracks.GetTag(row);
    }
    if (path.empty())
        return;
    TrackInfoRequest request;
    request.path = path;
    request.title = title;
    if (row >= 0) {
        request.tags = tracks.GetTags(row);
        request.rowLength = tracks.GetLength(row);
        request.sheetGain = tracks.GetSheetGain(row);
        request.partOfFile = tracks.GetRange(row).IsWholeFile() == false;
    }
    if (!m_trackInfo)
        m_trackInfo = new CTrackInfoDialog(this);
    m_trackInfo->Show(request);
    m_trackInfo->show();
    m_trackInfo->raise();
    m_trackInfo->activateWindow();
}

void CMainWindow::ShowPlaylistWindow() {
    if (m_equalizer)
        m_equalizer->hide();
    if (m_playList) {
        // As wide as the main window, so the two read as one column.
        m_playList->SetWindowWidth(frameGeometry().width());
        m_playList->PlaceBelow(*this);
        FitOnScreen(*m_playList, FitWay::ShortenFirst);
        m_playList->show();
    }
}

void CMainWindow::ApplyLoudness(const ReplayGainSettings& settings) {
    m_deck->SetReplayGain(settings);
    m_playListSession->Measuring().SetEnabled(settings.measureUntagged);
}

void CMainWindow::ShowLoudnessSettings() {
    if (m_shutDown)
        return;
    if (!m_loudness) {
        m_loudness = new CLoudnessDialog(this, [this](const ReplayGainSettings& settings) {
            ApplyLoudness(settings);
            StoreReplayGainSettings(m_parts.settings, settings);
        });
    }
    m_loudness->Show(m_deck->ReplayGain());
    m_loudness->show();
    m_loudness->raise();
    m_loudness->activateWindow();
}

void CMainWindow::ShowEqualizerWindow() {
    if (m_equalizer) {
        // As wide as the main window where it fits, like the play list.
        const QSize hint = m_equalizer->sizeHint();
        m_equalizer->resize(std::max(frameGeometry().width(), hint.width()),
                            std::max(m_equalizer->height(), hint.height()));
        m_equalizer->PlaceBelow(*this);
        FitOnScreen(*m_equalizer, FitWay::ShortenFirst);
        m_equalizer->show();
    }
    if (m_playList)
        m_playList->hide();
}

void CMainWindow::OnOutputDeviceChanged(const std::string& /*description*/, bool opened) {
    // The track box's title is what the eye finds first: the reason why
    // nothing plays belongs there.
    m_controls.trackGroup->setTitle(opened ? QStringLiteral("Choose Track")
                                           : QString::fromLatin1(kNoDeviceNotice));
}

void CMainWindow::ShowDeviceChooser() {
    if (m_deviceChooser) {
        m_deviceChooser(this);
        return;
    }
    const std::string name = m_parts.output.GetDeviceName();
    QMessageBox::information(
        this, QStringLiteral("Output Device"),
        m_parts.output.HasDevice()
            ? QStringLiteral("Sound goes to: %1").arg(QString::fromStdString(name))
            : QStringLiteral("No output device could be opened: the player runs silent."));
}

void CMainWindow::PlaceChildWindows() {
    // Below this window where there is room; what would run off the screen
    // is shortened, or moved up.
    if (m_equalizer) {
        m_equalizer->PlaceBelow(*this);
        FitOnScreen(*m_equalizer, FitWay::ShortenFirst);
    }
    if (m_playList) {
        m_playList->PlaceBelow(*this);
        FitOnScreen(*m_playList, FitWay::ShortenFirst);
    }
}

void CMainWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    PlaceChildWindows();
}

void CMainWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ShowPlaylistWindow();
}

void CMainWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowMenu(event->globalPos());
}

} // namespace tessel
