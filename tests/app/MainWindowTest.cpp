#include "app/PlaylistStore.h"
#include "controls/PictureSlider.h"
#include "equalizer/ui/EqualizerWindow.h"
#include "playlist/AudioTypes.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/GoneBackend.h"
#include "tests/support/qt/WidgetEvents.h"

#include <QGroupBox>
#include <QLabel>
#include <QSlider>

#include <fstream>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

using MainWindowTest = test::WindowFixture;

TEST_F(MainWindowTest, CancellingBrowseKeepsTheTrackPlayingAndNoFileLoadedUnloadsIt) {
    Browse({Wav("song.wav", 3.0)});
    EXPECT_EQ(Combo().currentText(), QStringLiteral("song.wav"));
    PlayAndWait();

    Browse({});
    EXPECT_EQ(dialogCalls, 2);
    EXPECT_EQ(lastFilter.toStdString(), AudioFileDialogFilter());
    QTest::qWait(50);
    EXPECT_TRUE(Deck().IsPlaying());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_EQ(Combo().count(), 2);

    window->OnChooseTrack(Combo().findText(QStringLiteral("No File Loaded")));
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_FALSE(Tracks().IsLoaded(0));
    EXPECT_EQ(notices, 0);
}

TEST_F(MainWindowTest, ThreeChosenFilesLoadTheFirstUnstartedAndQueueAllThree) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 1.0), c = Wav("c.wav", 1.0);
    Browse({a, b, c});
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeckReady(); }));
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(Deck().TrackPath(), a);
    EXPECT_EQ(Combo().currentText(), QStringLiteral("a.wav"));

    EXPECT_THAT(Paths(), ElementsAre(a, b, c));
    EXPECT_TRUE(Tracks().IsLoaded(0));
    EXPECT_NEAR(Tracks().GetLength(0), 2.0, 0.05);
    // Unopened by the deck; the track-length worker measures them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tracks().GetLength(2) >= 0.0; }));
    EXPECT_NEAR(Tracks().GetLength(1), 1.0, 1e-6);
    EXPECT_NEAR(Tracks().GetLength(2), 1.0, 1e-6);
}

TEST_F(MainWindowTest, AnUnplayableFirstChoiceIsReportedAndTheRestStillQueued) {
    std::ofstream(dir / "junk.mp3") << "not audio at all";
    const std::string good = Wav("good.wav", 1.0);
    Browse({(dir / "junk.mp3").string(), good});
    EXPECT_TRUE(QTest::qWaitFor([&] { return notices == 1; }));
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_THAT(Paths(), ElementsAre(good));
    // Nothing is loaded, so Play must not wait for a deck nobody readies.
    window->Controls().play->click();
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());
}

TEST_F(MainWindowTest, ATrackNamedLikeAChooserEntryIsStillJustTheTrack) {
    const fs::path odd = dir / "Browse...";
    fs::copy_file(Wav("x.wav", 1.0), odd);
    Browse({odd.string()});
    ASSERT_EQ(Combo().currentText(), QStringLiteral("Browse..."));
    window->OnChooseTrack(Combo().currentIndex());
    EXPECT_EQ(dialogCalls, 1);
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().count(), 3);
}

// A volume of 1000 on the slider is full silence: a stored one must reach the
// output as such at the next start.
TEST_F(MainWindowTest, TheVolumeIsStoredAMomentAfterTheSliderRestsAndAtExitAndPlaysAsStored) {
    window->Controls().volume->setValue(640);
    EXPECT_EQ(parts->settings.ReadDword(CSettings::kVolumeLevel), 0u) << "not on every step";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return parts->settings.ReadDword(CSettings::kVolumeLevel) == 640u; }, 5000));
    window->Controls().volume->setValue(1000);
    Stop(); // before the delayed write: the exit stores it

    auto backend = RecordingClock();
    auto* clock = static_cast<CVirtualClockBackend*>(backend.get());
    Start(std::move(backend));
    EXPECT_EQ(window->Controls().volume->value(), 1000);
    Browse({Wav("loud.wav", 1.0)});
    PlayAndWait();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().ReachedEnd(); }, 20000));
    const std::vector<int16_t> played = clock->Recorded();
    ASSERT_FALSE(played.empty());
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 0; }));
}

std::unique_ptr<IAudioBackend> DeviceModel() {
    VirtualClockOptions options;
    options.model.periodFrames = 1024;
    options.model.speed = 4.0;
    return std::make_unique<CVirtualClockBackend>(options);
}

TEST_F(MainWindowTest, WithNoDeviceLeftTheWindowSaysSoAndPlaysAgainWhenOneOpens) {
    Stop();
    Start(DeviceModel());
    Browse({Wav("long.wav", 20.0)});
    PlayAndWait();
    QGroupBox& box = *window->Controls().trackGroup;
    const QString usual = box.title();
    Deck().SetOutputDevice("Gone", [] { return std::make_unique<test::CGoneBackend>(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().GetState() == CDeck::State::Paused; }));
    EXPECT_EQ(box.title().toStdString(), CMainWindow::kNoDeviceNotice);
    Deck().SetOutputDevice("Back", [] { return DeviceModel(); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(box.title(), usual);
}

TEST_F(MainWindowTest, ChildWindowsStayBelowTheMainWindow) {
    QWidget* list = window->PlaylistWindow();
    QWidget* eq = window->EqualizerWindow();
    EXPECT_TRUE(list->isVisible());
    window->Controls().equalizer->click();
    EXPECT_TRUE(eq->isVisible());
    EXPECT_FALSE(list->isVisible());
    window->move(200, 150);
    QTest::qWait(20);
    const QPoint below(window->frameGeometry().left(), window->frameGeometry().bottom() + 1);
    EXPECT_EQ(eq->pos(), below);
    window->Controls().playList->click();
    EXPECT_FALSE(eq->isVisible());
    EXPECT_EQ(list->pos(), below);
}

TEST_F(MainWindowTest, TheEqualizerWindowDrivesTheOutputAndIsRemembered) {
    auto* eq = dynamic_cast<CEqualizerWindow*>(window->EqualizerWindow());
    ASSERT_NE(eq, nullptr);
    EXPECT_TRUE(parts->output.IsEqualizerOn()) << "on at a first start";
    eq->ChangeBandCount(5);
    EXPECT_EQ(parts->equalizerBank->GetNumBands(), 5);
    eq->Slider(4)->setValue(1120);
    EXPECT_FLOAT_EQ(parts->equalizerBank->GetBandGain(4), 1.12f);
    eq->PowerButton()->click();
    EXPECT_FALSE(parts->output.IsEqualizerOn());
    Stop();

    Start();
    eq = dynamic_cast<CEqualizerWindow*>(window->EqualizerWindow());
    EXPECT_FALSE(eq->IsOn());
    EXPECT_EQ(eq->BandCount(), 5);
    EXPECT_EQ(eq->Slider(4)->value(), 1120);
    EXPECT_FALSE(parts->output.IsEqualizerOn());
    eq->PowerButton()->click();
    EXPECT_TRUE(parts->output.IsEqualizerOn());
}

TEST_F(MainWindowTest, ClosingTheWindowStopsTheDeckStoresTheVolumeAndTakesNoMore) {
    Browse({Wav("song.wav", 2.0)});
    PlayAndWait();
    window->Controls().volume->setValue(250);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(window->PlaylistWindow(), nullptr);
    EXPECT_EQ(CSettings().GetVolumeLevel(), 250);

    EXPECT_FALSE(window->AppendPathsAndPlay({Wav("a.wav", 1.0)}));
    window->OnUserCommand(UserCommand::SetVolume, 0.0);
    QTest::qWait(20);
    EXPECT_EQ(Tracks().GetCount(), 1);
}

// A tap on the position slider (press and release back to back, before the
// event loop runs) and a wheel notch over it both seek, and neither leaves
// the slider held; a wheel over the chooser opens no dialog.
TEST_F(MainWindowTest, ATapAndAWheelNotchOnThePositionSliderSeekAndLetGo) {
    test::WheelDown(&Combo());
    QTest::qWait(30);
    EXPECT_EQ(dialogCalls, 0);

    Browse({Wav("a.wav", 8.0)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeckReady(); }));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("a \u2013 Tessel Audio Player"))
        << "a file without a title is named by its file name";
    QSlider* slider = window->Controls().position;
    const QPointF at(slider->width() * 0.75, slider->height() / 2.0);
    test::SendMouse(slider, QEvent::MouseButtonPress, at);
    test::SendMouse(slider, QEvent::MouseButtonRelease, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().GetState() == CDeck::State::Paused; }));
    QTest::qWait(50);
    EXPECT_FALSE(window->Controls().position->Held());
    EXPECT_NEAR(Deck().Elapsed(), 8.0 * slider->value() / 65535.0, 0.01);
    const double tapped = Deck().Elapsed();

    test::WheelDown(slider);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().Elapsed() != tapped; }));
    EXPECT_FALSE(window->Controls().position->Held());
    EXPECT_NEAR(Deck().Elapsed(), 8.0 * slider->value() / 65535.0, 0.01);
}

// As the application starts: the stored playlist first, then the command line.
using StartTest = test::WindowFixture;

CPlaylistWindow& List(CMainWindow& window) {
    return *static_cast<CPlaylistWindow*>(window.PlaylistWindow());
}

TEST_F(StartTest, CommandLineEntriesGoInOrderUnopenedAndPlayOnFromTheFirstThatOpens) {
    // A playlist kept from the last run: it stays first and is not played.
    const std::string kept = Wav("kept.wav", 1.0);
    List(*window).Model().AppendTrack(kept, -1.0, "");
    parts->playlist.MarkLoaded(0);
    Stop();

    const std::string a = Wav("a.wav", 0.5), b = Wav("b.wav", 0.25);
    const std::string c = Wav("folder/sub/c.wav", 0.2), d = Wav("folder/d.wav", 0.1);
    std::ofstream(dir / "folder" / "cover.jpg") << "not audio";
    std::ofstream(dir / "list.m3u") << "#EXTM3U\n#EXTINF:1,Bee\nb.wav\n";
    const std::string missing = (dir / "missing.mp3").string();
    Start(RecordingClock());
    window->LoadCommandLine({missing, a, (dir / "list.m3u").string(), (dir / "folder").string()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }, 20000));
    ASSERT_THAT(Paths(), ElementsAre(kept, missing, a, b, d, c));
    EXPECT_EQ(Tracks().GetTag(3), "Bee");
    EXPECT_TRUE(Tracks().IsUnreadable(1)) << "passed over silently, shown as unreadable";
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(Deck().TrackPath(), a);

    // The hand-over carries on through the rest, gapless: exactly their audio.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().ReachedEnd(); }, 30000));
    EXPECT_EQ(parts->playlist.GetLoadedIndex(), 5);
    EXPECT_EQ(Deck().AudioBytesWritten(), 4u * (22050 + 11025 + 8820 + 4410));
    const auto& model = List(*window).Model();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.data(model.index(1, 1)).toString() == "???"; }));
}

TEST_F(StartTest, TheLastRowLosesThePlayingIconOnceTheListHasPlayedToItsEnd) {
    Stop();
    Start(RecordingClock());
    // The first longer than the deck reads ahead.
    window->LoadCommandLine({Wav("a.wav", 10.0), Wav("b.wav", 0.5)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }, 20000));
    const CPlaylistModel& model = List(*window).Model();
    const auto icon = [&](int row) {
        return model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    const qint64 playing = icon(0), normal = icon(1);
    ASSERT_NE(playing, normal);

    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().ReachedEnd(); }, 30000));
    QTest::qWait(50);
    EXPECT_TRUE(Tracks().IsLoaded(1)) << "it stays the loaded row";
    EXPECT_EQ(icon(1), normal);
    EXPECT_EQ(icon(0), normal);

    // Play starts the list again: the first row plays and shows it.
    window->Controls().play->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying() && Tracks().IsLoaded(0); }, 20000));
    EXPECT_EQ(icon(0), playing);
    EXPECT_EQ(icon(1), normal);
}

TEST_F(StartTest, ARowChosenThatDoesNotOpenIsReportedAndNothingStartsInItsPlace) {
    std::ofstream(dir / "junk.mp3") << "not audio at all";
    const std::string a = Wav("a.wav", 30.0), b = Wav("b.wav", 20.0);
    CPlaylistWindow& list = List(*window);
    list.Model().AppendEntries({{"", -1.0, a},
                                {"", -1.0, (dir / "junk.mp3").string()},
                                {"", -1.0, b},
                                {"", -1.0, (dir / "missing.mp3").string()}});
    // Not audio with a readable row after it; missing as the last row.
    for (const int row : {1, 3}) {
        list.PlayRow(0); // as a double click does
        ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
        ASSERT_EQ(window->Controls().time->text(), "00:00:30") << "a's length, for a moment";
        const int before = notices;
        list.PlayRow(row);
        ASSERT_TRUE(QTest::qWaitFor([&] { return notices == before + 1; })) << row;
        Settle();
        EXPECT_FALSE(Deck().IsTrackLoaded()) << row;
        EXPECT_TRUE(Tracks().IsUnreadable(row));
        EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
        EXPECT_EQ(window->Controls().time->text(), "00:00:00") << row;
        EXPECT_EQ(window->Controls().position->value(), 0);
    }
    EXPECT_EQ(notices, 2);
}

TEST_F(StartTest, TheStoredPlaylistSurvivesTwoStartsAndADamagedOneIsSetAside) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 3.0);
    List(*window).Model().AppendEntries({{"Title A", -1.0, a}, {"", -1.0, b}});
    parts->playlist.MarkLoaded(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tracks().GetLength(1) >= 0.0; }));
    Stop(); // the exit writes it

    for (int start = 0; start < 2; ++start) {
        Start();
        ASSERT_EQ(Tracks().GetCount(), 2) << "start " << start;
        EXPECT_EQ(Tracks().GetTrackPath(0), a);
        EXPECT_EQ(Tracks().GetTag(0), "Title A");
        EXPECT_NEAR(Tracks().GetLength(1), 3.0, 1e-3);
        // With no command line the loaded entry is loaded again, not started.
        window->LoadCommandLine({});
        EXPECT_EQ(Deck().TrackPath(), b);
        EXPECT_FALSE(Deck().IsPlaying());
        Stop();
    }

    const fs::path stored = CPlaylistStore::DefaultPath().toStdString();
    const std::string damaged = "#EXTM3U\n#X-TESSEL-ENTRIES:2\n" + a + "\n";
    std::ofstream(stored, std::ios::binary | std::ios::trunc) << damaged;
    Start();
    EXPECT_EQ(Tracks().GetCount(), 0) << "a damaged playlist starts empty";
    EXPECT_FALSE(fs::exists(stored));
    List(*window).Model().AppendTrack(b, 3.0, "");
    Stop();
    EXPECT_EQ(test::ReadText(stored.string() + ".bad"), damaged) << "kept unread";
    Start();
    EXPECT_THAT(Paths(), ElementsAre(b));
}

} // namespace
} // namespace tessel
