// The main window as the user drives it: the track chooser, the volume, the
// no-device notice, the equalizer, the position slider; its one entry point
// for commands and files from outside its buttons; the start, with the
// stored playlist first, then the command line; and every window fitting the
// screen's available area as it shows (at a large scale factor or on a small
// screen the play list's buttons must stay within reach).
#include "app/PlaylistStore.h"
#include "controls/PictureSlider.h"
#include "equalizer/ui/EqualizerWindow.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/GoneBackend.h"
#include "tests/support/qt/WidgetEvents.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QSlider>

#include <cmath>
#include <fstream>

namespace tessel {
namespace {

using ::testing::ElementsAre;
namespace fs = std::filesystem;

using MainWindowTest = test::WindowFixture;

TEST_F(MainWindowTest, ChosenFilesLoadTheFirstUnstartedAndQueueAllAndACancelKeepsPlaying) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 1.0), c = Wav("c.wav", 1.0);
    Browse({a, b, c});
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeckReady(); }));
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(Deck().TrackPath(), a);
    EXPECT_EQ(Combo().currentText(), QStringLiteral("a.wav"));
    EXPECT_THAT(Paths(), ElementsAre(a, b, c));

    PlayAndWait();
    Browse({});
    QTest::qWait(50);
    EXPECT_TRUE(Deck().IsPlaying());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    window->OnChooseTrack(Combo().findText(QStringLiteral("No File Loaded")));
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_FALSE(Tracks().IsLoaded(0));

    // A track named like a chooser entry is still just the track.
    const fs::path odd = dir / "Browse...";
    fs::copy_file(a, odd);
    Browse({odd.string()});
    ASSERT_EQ(Combo().currentText(), QStringLiteral("Browse..."));
    window->OnChooseTrack(Combo().currentIndex());
    EXPECT_EQ(dialogCalls, 3);
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_EQ(notices, 0);
}

// A volume of 1000 on the slider is full silence: a stored one must reach the
// output as such at the next start. The equalizer window drives the output
// and is kept too. Once closed, the window takes no more.
TEST_F(MainWindowTest, TheVolumeAndTheEqualizerAreStoredAtCloseAndPlayAsStored) {
    Browse({Wav("song.wav", 2.0)});
    PlayAndWait();
    window->Controls().volume->setValue(640);
    EXPECT_EQ(parts->settings.ReadDword(CSettings::kVolumeLevel), 0u) << "not on every step";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return parts->settings.ReadDword(CSettings::kVolumeLevel) == 640u; }, 5000));
    window->Controls().volume->setValue(1000);
    auto* eq = dynamic_cast<CEqualizerWindow*>(window->EqualizerWindow());
    ASSERT_NE(eq, nullptr);
    eq->ChangeBandCount(5);
    eq->Slider(4)->setValue(1120);
    EXPECT_FLOAT_EQ(parts->equalizerBank->GetBandGain(4), 1.12f);
    eq->PowerButton()->click();
    EXPECT_FALSE(parts->output.IsEqualizerOn());
    window->close(); // before the delayed writes: closing stores them
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_FALSE(window->AppendPathsAndPlay({Wav("a.wav", 1.0)}));
    window->OnUserCommand(UserCommand::SetVolume, 0.0);
    QTest::qWait(20);
    EXPECT_EQ(Tracks().GetCount(), 1);
    Stop();

    auto backend = RecordingClock();
    auto* clock = static_cast<CVirtualClockBackend*>(backend.get());
    Start(std::move(backend));
    eq = dynamic_cast<CEqualizerWindow*>(window->EqualizerWindow());
    EXPECT_EQ(eq->BandCount(), 5);
    EXPECT_EQ(eq->Slider(4)->value(), 1120);
    EXPECT_FALSE(parts->output.IsEqualizerOn());
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

// A tap on the position slider (press and release back to back, before the
// event loop runs) and a wheel notch over it both seek, and neither leaves
// the slider held; a wheel over the chooser opens no dialog.
TEST_F(MainWindowTest, TheSliderSeeksOnATapOrAWheelNotchAndTheTrackBoxTellsOfALostDevice) {
    test::WheelDown(&Combo());
    QTest::qWait(30);
    EXPECT_EQ(dialogCalls, 0);

    Stop();
    Start(DeviceModel());
    Browse({Wav("a.wav", 60.0)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeckReady(); }));
    QSlider* slider = window->Controls().position;
    const QPointF at(slider->width() * 0.75, slider->height() / 2.0);
    test::SendMouse(slider, QEvent::MouseButtonPress, at);
    test::SendMouse(slider, QEvent::MouseButtonRelease, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().GetState() == CDeck::State::Paused; }));
    QTest::qWait(50);
    EXPECT_FALSE(window->Controls().position->Held());
    EXPECT_NEAR(Deck().Elapsed(), 60.0 * slider->value() / 65535.0, 0.01);
    const double tapped = Deck().Elapsed();

    test::WheelDown(slider);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().Elapsed() != tapped; }));
    EXPECT_FALSE(window->Controls().position->Held());
    EXPECT_NEAR(Deck().Elapsed(), 60.0 * slider->value() / 65535.0, 0.01);

    // With no device left the window says so, and plays again when one opens.
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

// As the application starts: the stored playlist first, then the command line.
using StartTest = test::WindowFixture;

CPlaylistWindow& List(CMainWindow& window) {
    return *static_cast<CPlaylistWindow*>(window.PlaylistWindow());
}

TEST_F(StartTest, CommandLineEntriesGoInOrderUnopenedPlayOnFromTheFirstThatOpensAndToTheEnd) {
    // A playlist kept from the last run: it stays first and is not played.
    const std::string kept = Wav("kept.wav", 1.0);
    List(*window).Model().AppendTrack(kept, -1.0, "");
    parts->playlist.MarkLoaded(0);
    Stop();

    // The first longer than the deck reads ahead.
    const std::string a = Wav("a.wav", 10.0), b = Wav("b.wav", 0.25);
    const std::string missing = (dir / "missing.mp3").string();
    Start(RecordingClock());
    window->LoadCommandLine({missing, a, b});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }, 20000));
    ASSERT_THAT(Paths(), ElementsAre(kept, missing, a, b));
    EXPECT_TRUE(Tracks().IsUnreadable(1)) << "passed over silently, shown as unreadable";
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(Deck().TrackPath(), a);
    const CPlaylistModel& model = List(*window).Model();
    const auto icon = [&](int row) {
        return model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    const qint64 normal = icon(3);
    ASSERT_NE(icon(2), normal);

    // The hand-over carries on through the rest, gapless: exactly their
    // audio. The last row then stays the loaded one but loses the playing icon.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().ReachedEnd(); }, 30000));
    EXPECT_EQ(Deck().AudioBytesWritten(), 4u * (441000 + 11025));
    QTest::qWait(50);
    EXPECT_TRUE(Tracks().IsLoaded(3));
    EXPECT_EQ(icon(3), normal);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.data(model.index(1, 1)).toString() == "???"; }));
    // Play starts the list again, and the icon comes back with it.
    window->Controls().play->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying() && Tracks().IsLoaded(0); }, 20000));
    EXPECT_NE(icon(0), normal);
}

TEST_F(StartTest, AChoiceThatDoesNotOpenIsReportedAndNothingStartsInItsPlace) {
    std::ofstream(dir / "junk.mp3") << "not audio at all";
    const std::string junk = (dir / "junk.mp3").string();
    const std::string a = Wav("a.wav", 30.0), b = Wav("b.wav", 20.0);
    // Chosen first in the track chooser: reported, and the rest still queued.
    Browse({junk, a});
    EXPECT_TRUE(QTest::qWaitFor([&] { return notices == 1; }));
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_THAT(Paths(), ElementsAre(a));
    // Nothing is loaded, so Play must not wait for a deck nobody readies.
    window->Controls().play->click();
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());

    // A row chosen in the list, with a readable row after it that must not
    // start instead; the time and the slider are cleared.
    CPlaylistWindow& list = List(*window);
    list.Model().AppendEntries({{"", -1.0, junk}, {"", -1.0, b}});
    list.PlayRow(0); // as a double click does
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    ASSERT_EQ(window->Controls().time->text(), "00:00:30") << "a's length, for a moment";
    list.PlayRow(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices == 2; }));
    Settle();
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_TRUE(Tracks().IsUnreadable(1));
    EXPECT_EQ(Combo().currentText(), QStringLiteral("No File Loaded"));
    EXPECT_EQ(window->Controls().time->text(), "00:00:00");
    EXPECT_EQ(window->Controls().position->value(), 0);
}

TEST_F(StartTest, TheStoredPlaylistSurvivesTwoStartsAndADamagedOneIsSetAside) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 3.0);
    List(*window).Model().AppendEntries({{"Title A", -1.0, a}, {"", -1.0, b}});
    parts->playlist.MarkLoaded(1);
    Stop(); // the exit writes it

    for (int start = 0; start < 2; ++start) {
        Start();
        ASSERT_THAT(Paths(), ElementsAre(a, b)) << "start " << start;
        EXPECT_EQ(Tracks().GetTag(0), "Title A");
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

using UserCommandsTest = test::WindowFixture;

TEST_F(UserCommandsTest,
       PlayAndPauseAskForAStateStopRewindsValuesAreClampedAndFilesOnlyJoinWhilePlaying) {
    window->OnUserCommand(UserCommand::SeekBy, 5.0); // no track: nothing to seek
    window->OnUserCommand(UserCommand::Stop);
    EXPECT_EQ(window->Controls().position->value(), 0);
    const std::string a = Wav("a.wav", 10.0), later = Wav("later.wav", 3.0);
    Browse({a});
    const double nan = std::nan("");
    const std::tuple<UserCommand, double, int> volumes[] = {
        {UserCommand::SetVolume, 0.25, 750},
        {UserCommand::SetVolume, nan, 750},
        {UserCommand::SetVolume, 7.0, 0},
        {UserCommand::VolumeStep, -1e300, 1000}};
    for (const auto& [command, value, slider] : volumes) {
        window->OnUserCommand(command, value);
        EXPECT_EQ(window->Controls().volume->value(), slider) << value;
    }

    window->OnUserCommand(UserCommand::Play);
    window->OnUserCommand(UserCommand::Play); // before the start has happened
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    // While something plays, files from outside only join the list.
    ASSERT_TRUE(window->AppendPathsAndPlay({later}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tracks().GetCount() == 2; }));
    QTest::qWait(100);
    EXPECT_EQ(Deck().TrackPath(), a);
    window->OnUserCommand(UserCommand::SeekTo, 4.0);
    window->OnUserCommand(UserCommand::Pause);
    window->OnUserCommand(UserCommand::Pause);
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_NEAR(Deck().Elapsed(), 4.0, 0.001);
    const std::tuple<UserCommand, double, double> seeks[] = {{UserCommand::SeekTo, 1e300, 10.0},
                                                             {UserCommand::SeekBy, -99.0, 0.0}};
    for (const auto& [command, value, at] : seeks) {
        window->OnUserCommand(command, value);
        Settle();
        EXPECT_NEAR(Deck().Elapsed(), at, 0.001) << value;
    }
    window->OnUserCommand(UserCommand::SeekTo, 4.0);
    window->OnUserCommand(UserCommand::Play);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Stop);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(Deck().Elapsed(), 0.0);
    EXPECT_EQ(window->Controls().position->value(), 0);
    EXPECT_TRUE(Deck().IsTrackLoaded());

    // Raise brings a minimised window back and activates it.
    window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMinimized(); }));
    window->OnUserCommand(UserCommand::Raise);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !window->isMinimized() && window->isActiveWindow(); }));
}

TEST(ScreenFit, AWindowIsMovedInsideAndShrunkOnlyWhereItMustBe) {
    const QRect area(0, 30, 640, 470); // a panel above
    const QSize minimum(100, 100);
    const std::tuple<QRect, FitWay, QRect> cases[] = {
        {{10, 40, 200, 200}, FitWay::Move, {10, 40, 200, 200}},   // inside already
        {{600, 40, 200, 200}, FitWay::Move, {440, 40, 200, 200}}, // off the right
        {{10, 0, 200, 200}, FitWay::Move, {10, 30, 200, 200}},    // under the panel
        {{10, 400, 200, 200}, FitWay::Move, {10, 300, 200, 200}}, // off the bottom
        {{10, 400, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}},
        {{10, 450, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}}, // the minimum
        {{10, 900, 200, 200}, FitWay::ShortenFirst, {10, 400, 200, 100}}, // below the screen
        {{-50, -20, 800, 700}, FitWay::Move, {0, 30, 640, 470}},          // larger than the area
    };
    for (const auto& [frame, way, fitted] : cases)
        EXPECT_EQ(FitInside(frame, area, minimum, way), fitted) << frame.y();
    // Too large even at its minimum: the title bar stays on the area.
    EXPECT_EQ(FitInside({30, 60, 800, 700}, area, {700, 600}), QRect(0, 30, 700, 600));
    EXPECT_EQ(FitInside({30, 60, 800, 700}, QRect(), minimum), QRect(30, 60, 800, 700));
}

using ScreenFitTest = test::WindowFixture;

bool OnArea(const QWidget& window) {
    return window.screen()->availableGeometry().contains(window.frameGeometry());
}

TEST_F(ScreenFitTest, ChildWindowsFollowBelowTheMainWindowAndEveryWindowOpensWithinTheScreen) {
    const QRect area = window->screen()->availableGeometry();
    ASSERT_TRUE(OnArea(*window));
    QWidget& list = *window->PlaylistWindow();
    QWidget& eq = *window->EqualizerWindow();
    // Taller than the screen, as the play list is at twice the scale on a
    // small one.
    list.resize(list.width(), area.height() * 2);
    window->Controls().playList->click();
    EXPECT_TRUE(OnArea(list)) << list.frameGeometry().bottom() << " " << area.bottom();
    EXPECT_GE(list.y(), window->frameGeometry().bottom()) << "shorter, still below";

    window->Controls().equalizer->click();
    EXPECT_FALSE(list.isVisible()) << "one child window at a time";
    window->move(200, 150);
    QTest::qWait(20);
    EXPECT_EQ(eq.pos(), window->frameGeometry().bottomLeft() + QPoint(0, 1)) << "it follows";
    // Moved there by the user: the window itself stays where it was put.
    window->move(area.left(), area.bottom() - window->frameGeometry().height() / 2);
    window->Controls().equalizer->click();
    EXPECT_TRUE(OnArea(eq));

    QDialog dialog(window.get());
    dialog.resize(area.size() * 2);
    dialog.show();
    EXPECT_TRUE(OnArea(dialog));
}

} // namespace
} // namespace tessel
