#include "app/CadenzoDlg.h"
#include "app/ControlIds.h"
#include "app/PlayerParts.h"
#include "controls/QuilButtonCtrl.h"
#include "controls/QuilSliderCtrl.h"
#include "engine/Deck.h"
#include "equalizer/ui/QuilEqualizer2.h"
#include "output/VirtualClockBackend.h"
#include "tests/app/QtTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSlider>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::RunQtFor;
using test::RunQtUntil;

constexpr int kRate = 44100;

// One main window over its own set of parts and settings folder. Without an
// output device the deck plays into nothing and stays "playing", which is all
// these tests look at; the sound itself is the deck's tests' business.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }

    void Start(std::unique_ptr<IAudioBackend> backend = nullptr) {
        parts = std::make_unique<CPlayerParts>();
        if (backend) {
            ASSERT_EQ(parts->output.OpenDevice(std::move(backend), "Virtual"), 0);
        }
        window = std::make_unique<CCadenzoDlg>(*parts);
        window->SetOpenFilesDialog([this](QWidget*, const QString& filter) {
            ++dialogCalls;
            lastFilter = filter;
            return nextFiles;
        });
        window->SetNotRecognizedNotice([this](QWidget*) { ++notices; });
        window->Initialise();
        window->show();
    }

    void Stop() {
        if (window)
            window->Shutdown();
        window.reset();
        parts.reset();
    }

    std::string Wav(const std::string& name, double seconds) {
        const auto frames = static_cast<size_t>(seconds * kRate);
        const std::filesystem::path path = dir / name;
        test::WriteWav16(path, kRate, 2, test::MakeSignal(kRate, 2, frames));
        return path.string();
    }

    QComboBox& Combo() { return *window->Controls().trackCombo; }
    CDeck& Deck() { return window->Deck(); }
    CTrackList& Tracks() { return parts->playlist.Tracks(); }

    // The deck has read ahead and could start at once.
    bool DeckReady() { return window->Controls().play->EnabledLook(); }

    void Browse(QStringList files) {
        nextFiles = std::move(files);
        window->OnChooseTrack(Combo().findText(QStringLiteral("Browse...")));
    }

    void PlayAndWait() {
        window->Controls().play->click();
        ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    }

    test::ScopedSettingsFolder settingsFolder;
    test::TempDir dir;
    std::unique_ptr<CPlayerParts> parts;
    std::unique_ptr<CCadenzoDlg> window;
    QStringList nextFiles;
    int dialogCalls = 0;
    int notices = 0;
    QString lastFilter;
};

TEST_F(MainWindowTest, EveryControlCarriesItsIdAndTheCaptionTheProductName) {
    for (const char* id :
         {ids::kTrackGroup, ids::kTrackCombo, ids::kPlay, ids::kFastForward, ids::kRewind,
          ids::kNext, ids::kPrevious, ids::kPlayList, ids::kEqualizer, ids::kDevices,
          ids::kPositionSlider, ids::kTimeDisplay, ids::kVolumeSlider, ids::kLevelMeter})
        EXPECT_NE(window->findChild<QWidget*>(QString::fromLatin1(id)), nullptr) << id;
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Tessel Audio Player")));
    const auto& c = window->Controls();
    EXPECT_EQ(c.position->maximum(), 65535);
    EXPECT_EQ(c.volume->maximum(), 1000);
    EXPECT_EQ(c.level->maximum(), 100);
    EXPECT_EQ(window->pos(), QPoint(10, 10));
}

TEST_F(MainWindowTest, PlayWithNoFileDoesNothing) {
    window->Controls().play->click();
    RunQtFor(100ms);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_EQ(Combo().count(), 2);
    EXPECT_EQ(window->Controls().time->text(), QStringLiteral("00:00:00"));
}

TEST_F(MainWindowTest, CancellingBrowseLeavesThePlayingTrackPlaying) {
    Browse({QString::fromStdString(Wav("song.wav", 3.0))});
    ASSERT_TRUE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("song.wav"));
    PlayAndWait();

    Browse({});
    EXPECT_EQ(dialogCalls, 2);
    EXPECT_EQ(lastFilter, QStringLiteral("Files (*.mp3 *.ogg *.wav *.wma *.flac *.opus *.m4a "
                                         "*.aac *.aif *.aiff);;All Files (*)"));
    RunQtFor(50ms);
    EXPECT_TRUE(Deck().IsPlaying());
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_EQ(Combo().count(), 2);
    EXPECT_EQ(notices, 0);
}

TEST_F(MainWindowTest, ThreeChosenFilesLoadTheFirstUnstartedAndQueueAllThree) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 1.0), c = Wav("c.wav", 1.0);
    Browse({QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)});

    ASSERT_TRUE(RunQtUntil([&] { return DeckReady(); }));
    RunQtFor(50ms);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(Deck().TrackPath(), a);
    EXPECT_EQ(Combo().currentText(), QStringLiteral("a.wav"));

    ASSERT_EQ(Tracks().GetCount(), 3);
    EXPECT_EQ(Tracks().GetTrackPath(0), a);
    EXPECT_NEAR(Tracks().GetLength(0), 2.0, 0.05);
    EXPECT_TRUE(Tracks().IsLoaded(0));
    EXPECT_EQ(Tracks().GetTrackPath(1), b);
    EXPECT_EQ(Tracks().GetTrackPath(2), c);
    // Unopened by the deck; the track-length worker measures them.
    ASSERT_TRUE(RunQtUntil([&] { return Tracks().GetLength(2) >= 0.0; }));
    EXPECT_NEAR(Tracks().GetLength(1), 1.0, 1e-6);
    EXPECT_NEAR(Tracks().GetLength(2), 1.0, 1e-6);
    EXPECT_EQ(notices, 0);
}

TEST_F(MainWindowTest, AnUnplayableFirstChoiceIsReportedAndTheRestStillQueued) {
    const std::filesystem::path junk = dir / "junk.mp3";
    std::ofstream(junk) << "not audio at all";
    const std::string good = Wav("good.wav", 1.0);
    Browse({QString::fromStdString(junk.string()), QString::fromStdString(good)});

    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_EQ(Combo().count(), 2);
    ASSERT_EQ(Tracks().GetCount(), 1);
    EXPECT_EQ(Tracks().GetTrackPath(0), good);
    EXPECT_EQ(Tracks().GetLength(0), -1.0);
    // Nothing is loaded, so Play must not wait for a deck nobody readies.
    window->Controls().play->click();
    RunQtFor(50ms);
    EXPECT_FALSE(Deck().IsPlaying());
}

TEST_F(MainWindowTest, ATrackNamedLikeAChooserEntryIsStillJustTheTrack) {
    const std::filesystem::path odd = dir / "Browse...";
    std::filesystem::copy_file(Wav("x.wav", 1.0), odd);
    Browse({QString::fromStdString(odd.string())});
    ASSERT_TRUE(Deck().IsTrackLoaded());
    ASSERT_EQ(Combo().currentText(), QStringLiteral("Browse..."));

    window->OnChooseTrack(Combo().currentIndex());
    EXPECT_EQ(dialogCalls, 1);
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().count(), 3);
}

TEST_F(MainWindowTest, NoFileLoadedUnloadsThePlayingTrack) {
    Browse({QString::fromStdString(Wav("song.wav", 2.0))});
    PlayAndWait();
    window->OnChooseTrack(Combo().findText(QStringLiteral("No File Loaded")));
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().count(), 2);
    EXPECT_FALSE(Tracks().IsLoaded(0));
}

TEST_F(MainWindowTest, TheVolumeIsStoredAMomentAfterTheSliderRestsAndAtExit) {
    QSlider& volume = *window->Controls().volume;
    volume.setValue(640);
    EXPECT_EQ(parts->settings.ReadDword(CSettings::kVolumeLevel), 0u); // not on every step
    ASSERT_TRUE(
        RunQtUntil([&] { return parts->settings.ReadDword(CSettings::kVolumeLevel) == 640u; }, 5s));

    volume.setValue(1000);
    Stop(); // before the delayed write: the exit stores it
    EXPECT_EQ(CSettings().GetVolumeLevel(), 1000);

    Start();
    EXPECT_EQ(window->Controls().volume->value(), 1000);
}

TEST_F(MainWindowTest, AStoredVolumeOfFullSilenceIsSilent) {
    Stop();
    CSettings().SetVolumeLevel(1000);
    VirtualClockOptions options;
    options.keepInMemory = true;
    auto backend = std::make_unique<CVirtualClockBackend>(options);
    CVirtualClockBackend* clock = backend.get();
    Start(std::move(backend));
    ASSERT_EQ(window->Controls().volume->value(), 1000);

    Browse({QString::fromStdString(Wav("loud.wav", 1.0))});
    PlayAndWait();
    ASSERT_TRUE(RunQtUntil([&] { return Deck().ReachedEnd(); }, 20s));
    const std::vector<int16_t> played = clock->Recorded();
    ASSERT_FALSE(played.empty());
    for (int16_t sample : played)
        ASSERT_EQ(sample, 0);
}

namespace {
// A device that was listed but is gone by the time it is opened.
class CGoneBackend final : public IAudioBackend {
  public:
    int32_t Prepare(uint32_t) override { return E_FAIL_STATUS; }
    int32_t Open(uint32_t, uint32_t, IRenderSource&) override { return E_FAIL_STATUS; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return true; }
};

std::unique_ptr<IAudioBackend> DeviceModel() {
    VirtualClockOptions options;
    options.model.periodFrames = 1024;
    options.model.speed = 4.0;
    return std::make_unique<CVirtualClockBackend>(options);
}
} // namespace

TEST_F(MainWindowTest, WithNoDeviceLeftTheWindowSaysSoAndPlaysAgainWhenOneOpens) {
    Stop();
    Start(DeviceModel());
    Browse({QString::fromStdString(Wav("long.wav", 20.0))});
    PlayAndWait();
    QGroupBox& box = *window->Controls().trackGroup;
    const QString usual = box.title();
    Deck().SwitchOutputDevice("Gone", [] { return std::make_unique<CGoneBackend>(); });
    ASSERT_TRUE(RunQtUntil([&] { return Deck().GetState() == CDeck::State::Paused; }));
    EXPECT_EQ(box.title().toStdString(), CCadenzoDlg::kNoDeviceNotice);
    Deck().SwitchOutputDevice("Back", [] { return DeviceModel(); });
    EXPECT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(box.title(), usual);
}

TEST_F(MainWindowTest, AnUnwritableStoreDoesNotStopTheWindow) {
    Stop();
    std::ofstream(dir / "blocker") << "x";
    test::ScopedSettingsFolder blocked(QString::fromStdString((dir / "blocker").string()));
    Start();
    window->Controls().volume->setValue(300);
    RunQtFor(700ms);
    Stop();
    EXPECT_EQ(CSettings().GetVolumeLevel(), 0);
}

TEST_F(MainWindowTest, ChildWindowsStayBelowTheMainWindow) {
    QWidget* list = window->PlayListWindow();
    QWidget* eq = window->EqualizerWindow();
    ASSERT_TRUE(list && eq);
    EXPECT_TRUE(list->isVisible());
    window->Controls().equalizer->click();
    EXPECT_TRUE(eq->isVisible());
    EXPECT_FALSE(list->isVisible());

    window->move(200, 150);
    RunQtFor(20ms);
    const QPoint below(window->frameGeometry().left(), window->frameGeometry().bottom() + 1);
    EXPECT_EQ(eq->pos(), below);

    window->Controls().playList->click();
    EXPECT_TRUE(list->isVisible());
    EXPECT_FALSE(eq->isVisible());
    EXPECT_EQ(list->pos(), below);
}

TEST_F(MainWindowTest, TheEqualizerWindowDrivesTheOutputAndIsRemembered) {
    auto* eq = dynamic_cast<CQuilEqualizer2*>(window->EqualizerWindow());
    ASSERT_NE(eq, nullptr);
    // A first start: on, three bands; the output keeps it for its streams.
    EXPECT_TRUE(eq->IsOn());
    EXPECT_EQ(eq->BandCount(), 3);
    EXPECT_TRUE(parts->output.IsEqualizerOn());

    eq->ChangeBandCount(5);
    EXPECT_EQ(parts->equalizerBank->GetNumBands(), 5);
    eq->Slider(4)->setValue(1120);
    EXPECT_FLOAT_EQ(parts->equalizerBank->GetBandGain(4), 1.12f);
    eq->PowerButton()->click();
    EXPECT_FALSE(parts->output.IsEqualizerOn());
    Stop();

    const CSettings::Equalizer stored = CSettings().GetEqualizer();
    EXPECT_FALSE(stored.on);
    EXPECT_EQ(stored.bands, 5);
    EXPECT_FLOAT_EQ(stored.gains[4], 1.12f);

    Start();
    eq = dynamic_cast<CQuilEqualizer2*>(window->EqualizerWindow());
    EXPECT_FALSE(eq->IsOn());
    EXPECT_EQ(eq->BandCount(), 5);
    EXPECT_EQ(eq->Slider(4)->value(), 1120);
    EXPECT_FALSE(parts->output.IsEqualizerOn());
    eq->PowerButton()->click();
    EXPECT_TRUE(parts->output.IsEqualizerOn());
}

TEST_F(MainWindowTest, ClosingTheWindowStopsThePlayingDeck) {
    Browse({QString::fromStdString(Wav("song.wav", 2.0))});
    PlayAndWait();
    window->Controls().volume->setValue(250);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(window->PlayListWindow(), nullptr);
    EXPECT_EQ(CSettings().GetVolumeLevel(), 250);
}

TEST_F(MainWindowTest, AWheelOverTheChooserOpensNoDialogAndEscapeKeepsTheWindowOpen) {
    QWheelEvent wheel(QPointF(5, 5), Combo().mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Combo(), &wheel);
    RunQtFor(30ms);
    EXPECT_EQ(dialogCalls, 0);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    RunQtFor(30ms);
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(Deck().GetState(), CDeck::State::ShutDown);
}

// A tap on the position slider (press and release back to back, before
// the event loop runs) and a wheel notch over it both seek, and neither
// leaves the slider held.
TEST_F(MainWindowTest, ATapAndAWheelNotchOnThePositionSliderSeekAndLetGo) {
    Browse({QString::fromStdString(Wav("a.wav", 8.0))});
    ASSERT_TRUE(RunQtUntil([&] { return DeckReady(); }));
    QSlider* slider = window->Controls().position;
    const QPointF at(slider->width() * 0.75, slider->height() / 2.0);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, slider->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(slider, &event);
    }
    ASSERT_TRUE(RunQtUntil([&] { return Deck().GetState() == CDeck::State::Paused; }));
    RunQtFor(50ms);
    EXPECT_FALSE(Deck().IsSliderHeld());
    EXPECT_NEAR(Deck().Elapsed(), 8.0 * slider->value() / 65535.0, 0.01);
    const double tapped = Deck().Elapsed();

    QWheelEvent wheel(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &wheel);
    ASSERT_TRUE(RunQtUntil([&] { return Deck().Elapsed() != tapped; }));
    EXPECT_FALSE(Deck().IsSliderHeld());
    EXPECT_NEAR(Deck().Elapsed(), 8.0 * slider->value() / 65535.0, 0.01);
}

} // namespace
} // namespace tessel
