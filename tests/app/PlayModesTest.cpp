// The play modes as the user sets them: the keys and the menu's checks, the
// settings they are kept in, and Stop After Current.
#include "app/PlayModes.h"
#include "app/PlayModeMenu.h"
#include "playlist/ui/PlaylistControls.h"
#include "tests/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QLineEdit>

namespace tessel {
namespace {

using namespace std::chrono_literals;

using PlayModesTest = test::WindowFixture;

// The checked entries of the window's menu, by object name.
QStringList Checked(CMainWindow& window) {
    QStringList names;
    for (QAction* action : window.Menu()->findChildren<QAction*>())
        if (action->isChecked())
            names << action->objectName();
    names.sort();
    return names;
}

QStringList ChecksFor(RepeatMode repeat, ShuffleMode shuffle) {
    QStringList names{CPlayModeMenu::NameOf(repeat), CPlayModeMenu::NameOf(shuffle)};
    names.sort();
    return names;
}

TEST_F(PlayModesTest, KeysAndMenuStepTheDecksModesAndTheChecksAndSettingsFollow) {
    EXPECT_EQ(Checked(*window), ChecksFor(RepeatMode::Off, ShuffleMode::Off));
    const struct {
        Qt::Key key;
        RepeatMode repeat;
        ShuffleMode shuffle;
        const char* stored[2];
    } steps[] = {
        {Qt::Key_R, RepeatMode::Track, ShuffleMode::Off, {"track", "off"}},
        {Qt::Key_R, RepeatMode::All, ShuffleMode::Off, {"all", "off"}},
        {Qt::Key_S, RepeatMode::All, ShuffleMode::Tracks, {"all", "tracks"}},
        {Qt::Key_S, RepeatMode::All, ShuffleMode::Albums, {"all", "albums"}},
        {Qt::Key_R, RepeatMode::Off, ShuffleMode::Albums, {"off", "albums"}},
        {Qt::Key_S, RepeatMode::Off, ShuffleMode::Off, {"off", "off"}},
    };
    for (const auto& step : steps) {
        Key(step.key);
        EXPECT_EQ(Deck().Repeat(), step.repeat) << step.stored[0];
        EXPECT_EQ(Deck().Shuffle(), step.shuffle) << step.stored[1];
        EXPECT_EQ(Checked(*window), ChecksFor(step.repeat, step.shuffle));
        EXPECT_EQ(parts->settings.ReadText(CSettings::kRepeat), step.stored[0]);
        EXPECT_EQ(parts->settings.ReadText(CSettings::kShuffle), step.stored[1]);
    }

    MenuAction("shuffle-albums")->trigger();
    MenuAction("repeat-track")->trigger();
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Albums);
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Track);
    EXPECT_EQ(Checked(*window), ChecksFor(RepeatMode::Track, ShuffleMode::Albums));
    // A value from outside that names no mode changes nothing.
    for (double bad : {-1.0, 0.5, 3.0, 1e9}) {
        window->OnUserCommand(UserCommand::SetRepeat, bad);
        window->OnUserCommand(UserCommand::SetShuffle, bad);
    }
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Track);
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Albums);
}

TEST_F(PlayModesTest, InThePlayListRAndSAreLettersInTheFindBoxAndModesElsewhere) {
    QWidget& list = *window->PlaylistWindow();
    list.show();
    list.activateWindow();
    // Not qWaitForWindowActive: a child window counts as active while its
    // owner is.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &list; }));
    QLineEdit* find = list.findChild<QLineEdit*>(QString::fromLatin1(ids::kFindEdit));
    ASSERT_NE(find, nullptr);
    find->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), find)
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                        : "none");
    Key(Qt::Key_R);
    Key(Qt::Key_S);
    EXPECT_EQ(find->text(), "rs");
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Off);
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Off);

    QAbstractItemView* rows = list.findChild<QAbstractItemView*>();
    ASSERT_NE(rows, nullptr);
    rows->setFocus();
    Key(Qt::Key_R);
    Key(Qt::Key_S);
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Track);
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Tracks);
    EXPECT_EQ(find->text(), "rs");
}

TEST_F(PlayModesTest, StoredModesAreTakenAtStartAndDamagedOnesReadAsOff) {
    const struct {
        const char* repeat;
        const char* shuffle;
        RepeatMode repeatMode;
        ShuffleMode shuffleMode;
    } cases[] = {
        {"track", "ALBUMS", RepeatMode::Track, ShuffleMode::Albums},
        {" all ", "tracks", RepeatMode::All, ShuffleMode::Tracks},
        {"sometimes", "2", RepeatMode::Off, ShuffleMode::Off},
    };
    for (const auto& c : cases) {
        Stop();
        CSettings().WriteText(CSettings::kRepeat, c.repeat);
        CSettings().WriteText(CSettings::kShuffle, c.shuffle);
        Start();
        EXPECT_EQ(Deck().Repeat(), c.repeatMode) << c.repeat;
        EXPECT_EQ(Deck().Shuffle(), c.shuffleMode) << c.shuffle;
        EXPECT_EQ(Checked(*window), ChecksFor(c.repeatMode, c.shuffleMode));
    }
}

TEST_F(PlayModesTest, StopAfterCurrentLoadsTheNextEntryPausedAndClearsItsCheck) {
    QAction* stopAfter = MenuAction(CPlayModeMenu::kStopAfterCurrent);
    stopAfter->trigger(); // nothing sounds: nothing to stop after
    EXPECT_FALSE(stopAfter->isChecked());
    EXPECT_FALSE(Deck().StopsAfterCurrent());

    Stop();
    Start(RecordingClock());
    const std::string a = Wav("a.wav", 0.5), b = Wav("b.wav", 0.5), c = Wav("c.wav", 3.0),
                      d = Wav("d.wav", 0.5);
    window->LoadCommandLine({a, b, c, d});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Deck().IsPlaying() && Deck().TrackPath() == a; }, 20000));
    stopAfter = MenuAction(CPlayModeMenu::kStopAfterCurrent);
    stopAfter->trigger();
    EXPECT_TRUE(stopAfter->isChecked());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Deck().TrackPath() == b && !Deck().IsBusy() && !Deck().IsPlaying(); }, 20000));
    EXPECT_FALSE(stopAfter->isChecked());
    EXPECT_EQ(Deck().Elapsed(), 0.0);

    // Set on b, then Next: the stop moves on with the track heard.
    window->OnUserCommand(UserCommand::Play);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    stopAfter->trigger();
    window->OnUserCommand(UserCommand::Next);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Deck().TrackPath() == d && !Deck().IsBusy() && !Deck().IsPlaying(); }, 20000))
        << Deck().TrackPath() << " playing " << Deck().IsPlaying() << " end "
        << Deck().ReachedEnd();
    EXPECT_FALSE(stopAfter->isChecked());
}

} // namespace
} // namespace tessel
