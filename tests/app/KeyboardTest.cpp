// The main window driven from the keyboard alone.
#include "controls/PictureSlider.h"
#include "tests/app/WindowFixture.h"

#include <QSlider>

namespace tessel {
namespace {

using KeyboardTest = test::WindowFixture;

// The window's keys are one table of shortcuts: a row of each kind shows
// the table reaches the window's commands.
TEST_F(KeyboardTest, ArrowsSeekAndStepTheVolumeTheSlidersKeysSeekAndCtrlQQuitsButEscapeDoesNot) {
    Browse({Wav("long.wav", 12.0)});
    Key(Qt::Key_Right);
    EXPECT_NEAR(Deck().Elapsed(), 5.0, 0.001); // one slider step of 12 s is 0.2 ms
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_NEAR(Deck().Elapsed(), 0.0, 0.001) << "not before the start";
    QSlider& volume = *window->Controls().volume;
    volume.setValue(500);
    Key(Qt::Key_Up);
    EXPECT_EQ(volume.value(), 450);
    // The position slider's own keys seek, rather than move its thumb behind
    // the deck's back.
    window->Controls().position->setFocus(Qt::TabFocusReason);
    for (auto [key, at] :
         {std::pair{Qt::Key_PageUp, 0.6}, {Qt::Key_End, 12.0}, {Qt::Key_Home, 0.0}}) {
        Key(key);
        EXPECT_NEAR(Deck().Elapsed(), at, 0.001) << key;
    }

    Key(Qt::Key_Escape);
    QTest::qWait(20);
    EXPECT_TRUE(window->isVisible());
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->PlaylistWindow(), nullptr); // shut down, not just hidden
}

TEST_F(KeyboardTest, SpaceOnAFocusedButtonWorksThatButtonAndCtrlRightStepsThroughTheList) {
    const std::string a = Wav("a.wav", 20.0), b = Wav("b.wav", 3.0);
    Browse({a, b});
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
    QTest::qWait(1100);
    QTest::keyRelease(ffwd, Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().Elapsed() >= 4.0; }, 2000)) << Deck().Elapsed();

    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == b; }));
}

} // namespace
} // namespace tessel
