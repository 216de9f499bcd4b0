// The main window driven from the keyboard alone.
#include "app/ControlIds.h"
#include "controls/PictureSlider.h"
#include "tests/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QSlider>
#include <QToolButton>

#include <set>

namespace tessel {
namespace {

using namespace std::chrono_literals;

using KeyboardTest = test::WindowFixture;

TEST_F(KeyboardTest, ArrowsSeekFiveSecondsWithinTheTrackAndStepTheVolume) {
    Browse({Wav("long.wav", 12.0)});
    // One slider step of a 12 s track is 0.2 ms.
    for (auto [key, at] : {std::pair{Qt::Key_Right, 5.0},
                           {Qt::Key_Right, 10.0},
                           {Qt::Key_Left, 5.0},
                           {Qt::Key_Left, 0.0},
                           {Qt::Key_Left, 0.0}}) {
        Key(key);
        EXPECT_NEAR(Deck().Elapsed(), at, 0.001);
    }
    EXPECT_EQ(window->Controls().position->value(), 0);

    QSlider& volume = *window->Controls().volume;
    volume.setValue(500);
    Key(Qt::Key_Up);
    EXPECT_EQ(volume.value(), 450);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(volume.value(), 550);
    volume.setValue(20);
    Key(Qt::Key_Up);
    EXPECT_EQ(volume.value(), 0); // full volume is as loud as it goes
}

TEST_F(KeyboardTest, CtrlKeysOpenTheChooserAndTheWindowsAndQuitButEscapeDoesNot) {
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogCalls, 1);
    Key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(window->EqualizerWindow()->isVisible());
    EXPECT_FALSE(window->PlaylistWindow()->isVisible());
    Key(Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window->PlaylistWindow()->isVisible());
    EXPECT_FALSE(window->EqualizerWindow()->isVisible());

    Key(Qt::Key_Escape);
    QTest::qWait(20);
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(Deck().GetState(), CDeck::State::ShutDown);
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->PlaylistWindow(), nullptr); // shut down, not just hidden
}

TEST_F(KeyboardTest, TabReachesEveryControl) {
    const auto& c = window->Controls();
    c.trackCombo->setFocus(Qt::TabFocusReason);
    std::set<QWidget*> reached;
    for (int i = 0; i < 20; ++i) {
        reached.insert(QApplication::focusWidget());
        Key(Qt::Key_Tab);
    }
    EXPECT_EQ(reached, (std::set<QWidget*>{c.trackCombo, c.menu, c.previous, c.rewind, c.play,
                                           c.fastForward, c.next, c.playList, c.equalizer,
                                           c.devices, c.position, c.volume}));
}

TEST_F(KeyboardTest, SpaceOnAFocusedButtonWorksThatButtonAndCtrlArrowsStepThroughTheList) {
    const std::string a = Wav("a.wav", 20.0), b = Wav("b.wav", 3.0), c = Wav("c.wav", 3.0);
    Browse({a, b, c});
    window->Controls().next->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == b; }));
    // Next plays the entry it moves to; a Space that also toggled play would
    // have paused it.
    EXPECT_TRUE(Deck().IsPlaying()) << "Space also toggled play";
    window->Controls().previous->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == a; }));

    // Held, fast forward winds a second of the track every 200 ms; let go,
    // the deck seeks there.
    CPictureButton* ffwd = window->Controls().fastForward;
    ffwd->setFocus(Qt::TabFocusReason);
    QTest::keyPress(ffwd, Qt::Key_Space);
    EXPECT_TRUE(ffwd->Pressed());
    QTest::qWait(1100);
    QTest::keyRelease(ffwd, Qt::Key_Space);
    EXPECT_FALSE(ffwd->Pressed());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().Elapsed() >= 4.0; }, 2000)) << Deck().Elapsed();

    for (auto [key, path] : {std::pair{Qt::Key_Right, b}, {Qt::Key_Right, c}, {Qt::Key_Left, b}}) {
        Key(key, Qt::ControlModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == path; })) << path;
    }
}

TEST_F(KeyboardTest, TheWindowsKeysWinOverTheChoosersAndTheSlidersKeysSeek) {
    Browse({Wav("a.wav", 20.0)});
    Combo().setFocus(Qt::TabFocusReason);
    const int chosen = Combo().currentIndex();
    Key(Qt::Key_Down); // would choose an entry past the current track
    Key(Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(Combo().currentIndex(), chosen);
    EXPECT_TRUE(Deck().IsTrackLoaded());
    EXPECT_FALSE(Combo().view()->isVisible());
    Key(Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Deck().IsPlaying(); }));

    window->Controls().position->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), window->Controls().position);
    for (auto [key, at] :
         {std::pair{Qt::Key_PageUp, 1.0}, {Qt::Key_End, 20.0}, {Qt::Key_Home, 0.0}}) {
        Key(key);
        EXPECT_NEAR(Deck().Elapsed(), at, 0.001) << key;
    }
}

} // namespace
} // namespace tessel
