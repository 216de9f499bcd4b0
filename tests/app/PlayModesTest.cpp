// The play modes as the user sets them: the keys and the menu's checks, the
// settings they are kept in, and Stop After Current.
#include "app/PlayModes.h"
#include "app/PlayModeMenu.h"
#include "tests/app/WindowFixture.h"

#include <QAbstractItemView>

namespace tessel {
namespace {

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

TEST_F(PlayModesTest, KeysAndMenuSetTheModesTheChecksFollowAndTheSettingsKeepThem) {
    EXPECT_EQ(Checked(*window), QStringList({"repeat-off", "shuffle-off"}));
    const std::tuple<Qt::Key, RepeatMode, ShuffleMode, QStringList> steps[] = {
        {Qt::Key_R, RepeatMode::Track, ShuffleMode::Off, {"repeat-track", "shuffle-off"}},
        {Qt::Key_R, RepeatMode::All, ShuffleMode::Off, {"repeat-all", "shuffle-off"}},
        {Qt::Key_S, RepeatMode::All, ShuffleMode::Tracks, {"repeat-all", "shuffle-tracks"}},
        {Qt::Key_S, RepeatMode::All, ShuffleMode::Albums, {"repeat-all", "shuffle-albums"}},
        {Qt::Key_R, RepeatMode::Off, ShuffleMode::Albums, {"repeat-off", "shuffle-albums"}},
        {Qt::Key_S, RepeatMode::Off, ShuffleMode::Off, {"repeat-off", "shuffle-off"}},
    };
    for (const auto& [key, repeat, shuffle, checked] : steps) {
        Key(key);
        EXPECT_EQ(Deck().Repeat(), repeat);
        EXPECT_EQ(Deck().Shuffle(), shuffle);
        EXPECT_EQ(Checked(*window), checked);
    }
    MenuAction("shuffle-albums")->trigger();
    MenuAction("repeat-track")->trigger();
    // A value from outside that names no mode changes nothing.
    for (double bad : {-1.0, 0.5, 3.0, 1e9}) {
        window->OnUserCommand(UserCommand::SetRepeat, bad);
        window->OnUserCommand(UserCommand::SetShuffle, bad);
    }
    Stop();
    Start();
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Track);
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Albums);
    EXPECT_EQ(Checked(*window), QStringList({"repeat-track", "shuffle-albums"}));

    // Stored values that name no mode read as off.
    Stop();
    CSettings().WriteText(CSettings::kRepeat, "sometimes");
    CSettings().WriteText(CSettings::kShuffle, "2");
    Start();
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Off);
    EXPECT_EQ(Deck().Shuffle(), ShuffleMode::Off);

    // The play list window is a window of its own; its keys set the modes too.
    QWidget& list = *window->PlaylistWindow();
    list.show();
    list.activateWindow();
    // Not qWaitForWindowActive: a child window counts as active while its
    // owner is.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &list; }));
    QAbstractItemView* rows = list.findChild<QAbstractItemView*>();
    ASSERT_NE(rows, nullptr);
    rows->setFocus();
    Key(Qt::Key_R);
    EXPECT_EQ(Deck().Repeat(), RepeatMode::Track);
}

TEST_F(PlayModesTest, StopAfterCurrentLoadsTheNextEntryPausedAndClearsItsCheck) {
    QAction* stopAfter = MenuAction(CPlayModeMenu::kStopAfterCurrent);
    stopAfter->trigger(); // nothing sounds: nothing to stop after
    EXPECT_FALSE(stopAfter->isChecked());

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
        << Deck().TrackPath();
    EXPECT_FALSE(stopAfter->isChecked());
}

} // namespace
} // namespace tessel
