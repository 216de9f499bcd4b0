// The main window driven from the keyboard alone, keys delivered the way the
// windowing system delivers them (shortcuts first, then the focused widget).
#include "app/ControlIds.h"
#include "controls/QuilButtonCtrl.h"
#include "controls/QuilSliderCtrl.h"
#include "tests/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QSlider>
#include <QToolButton>

#include <set>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::RunQtFor;
using test::RunQtUntil;

using KeyboardTest = test::WindowFixture;

TEST_F(KeyboardTest, SpaceTogglesPlayAndCtrlArrowsStepThroughThePlayList) {
    const std::string a = Wav("a.wav", 3.0), b = Wav("b.wav", 3.0), c = Wav("c.wav", 3.0);
    Browse({a, b, c});

    Key(Qt::Key_Space);
    ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    Key(Qt::Key_Space);
    EXPECT_TRUE(RunQtUntil([&] { return !Deck().IsPlaying(); }));

    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(RunQtUntil([&] { return Deck().TrackPath() == b; }));
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(RunQtUntil([&] { return Deck().TrackPath() == c; }));
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(RunQtUntil([&] { return Deck().TrackPath() == b; }));
    EXPECT_TRUE(Tracks().IsLoaded(1));
}

TEST_F(KeyboardTest, ArrowsSeekFiveSecondsWithinTheTrackAndStepTheVolume) {
    Browse({Wav("long.wav", 12.0)});
    // One slider step of a 12 s track is 0.2 ms.
    Key(Qt::Key_Right);
    EXPECT_NEAR(Deck().Elapsed(), 5.0, 0.001);
    Key(Qt::Key_Right);
    EXPECT_NEAR(Deck().Elapsed(), 10.0, 0.001);
    Key(Qt::Key_Left);
    EXPECT_NEAR(Deck().Elapsed(), 5.0, 0.001);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(Deck().Elapsed(), 0.0);
    EXPECT_EQ(window->Controls().position->value(), 0);

    QSlider& volume = *window->Controls().volume;
    volume.setValue(500);
    Key(Qt::Key_Up);
    EXPECT_EQ(volume.value(), 500 - kVolumeSliderStep);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(volume.value(), 500 + kVolumeSliderStep);
    volume.setValue(20);
    Key(Qt::Key_Up);
    EXPECT_EQ(volume.value(), 0); // full volume is as loud as it goes
}

TEST_F(KeyboardTest, CtrlKeysOpenTheChooserAndTheWindowsAndQuitButEscapeDoesNot) {
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogCalls, 1);

    Key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(window->EqualizerWindow()->isVisible());
    EXPECT_FALSE(window->PlayListWindow()->isVisible());
    Key(Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window->PlayListWindow()->isVisible());
    EXPECT_FALSE(window->EqualizerWindow()->isVisible());

    Key(Qt::Key_Escape);
    RunQtFor(20ms);
    EXPECT_TRUE(window->isVisible());

    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(RunQtUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->PlayListWindow(), nullptr); // shut down, not just hidden
}

TEST_F(KeyboardTest, TabReachesEveryControl) {
    const auto& c = window->Controls();
    window->Controls().trackCombo->setFocus(Qt::TabFocusReason);
    std::set<QWidget*> reached;
    for (int i = 0; i < 20; ++i) {
        reached.insert(QApplication::focusWidget());
        Key(Qt::Key_Tab);
    }
    const std::set<QWidget*> every = {c.trackCombo, c.menu,        c.previous, c.rewind,
                                      c.play,       c.fastForward, c.next,     c.playList,
                                      c.equalizer,  c.devices,     c.position, c.volume};
    EXPECT_EQ(reached, every);
}

TEST_F(KeyboardTest, SpaceOnAFocusedButtonWorksThatButtonNotPlayPause) {
    const std::string a = Wav("a.wav", 20.0), b = Wav("b.wav", 3.0);
    Browse({a, b});
    window->Controls().next->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Space);
    EXPECT_TRUE(RunQtUntil([&] { return Deck().TrackPath() == b; }));
    EXPECT_FALSE(Deck().IsPlaying()) << "Space also toggled play";

    window->Controls().previous->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Return);
    EXPECT_TRUE(RunQtUntil([&] { return Deck().TrackPath() == a; }));

    // Held, fast forward winds a second of the track every 200 ms; let go,
    // the deck seeks there.
    CQuilButtonCtrl* ffwd = window->Controls().fastForward;
    ffwd->setFocus(Qt::TabFocusReason);
    QTest::keyPress(ffwd, Qt::Key_Space);
    EXPECT_TRUE(ffwd->Pressed());
    RunQtFor(1100ms);
    QTest::keyRelease(ffwd, Qt::Key_Space);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_TRUE(RunQtUntil([&] { return Deck().Elapsed() >= 4.0; }, 2s)) << Deck().Elapsed();
}

TEST_F(KeyboardTest, TheWindowsKeysWinOverTheChoosersAndTheSlidersKeysSeek) {
    Browse({Wav("a.wav", 20.0)});
    QComboBox* combo = window->Controls().trackCombo;
    combo->setFocus(Qt::TabFocusReason);
    const int chosen = combo->currentIndex();
    Key(Qt::Key_Down); // would choose an entry past the current track
    Key(Qt::Key_Space);
    ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(combo->currentIndex(), chosen);
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_FALSE(combo->view()->isVisible());
    Key(Qt::Key_Space);
    ASSERT_TRUE(RunQtUntil([&] { return !Deck().IsPlaying(); }));

    CQuilSliderCtrl* position = window->Controls().position;
    position->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), position);
    Key(Qt::Key_PageUp);
    EXPECT_NEAR(Deck().Elapsed(), 1.0, 0.001); // a twentieth of the track
    Key(Qt::Key_End);
    EXPECT_NEAR(Deck().Elapsed(), 20.0, 0.001);
    Key(Qt::Key_Home);
    EXPECT_EQ(Deck().Elapsed(), 0.0);
}

} // namespace
} // namespace tessel
