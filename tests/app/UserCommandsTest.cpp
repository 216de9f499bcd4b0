// The window's one entry point for commands from outside its buttons, and
// files handed to it from outside.
#include "controls/PictureSlider.h"
#include "tests/app/WindowFixture.h"

#include <QSlider>

#include <cmath>
#include <fstream>
#include <limits>

namespace tessel {
namespace {

using namespace std::chrono_literals;

using UserCommandsTest = test::WindowFixture;

TEST_F(UserCommandsTest, PlayAndPauseAskForAStateAndStopRewinds) {
    Browse({Wav("a.wav", 10.0)});
    window->OnUserCommand(UserCommand::Play);
    window->OnUserCommand(UserCommand::Play); // before the start has happened
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Play);
    QTest::qWait(50);
    EXPECT_TRUE(Deck().IsPlaying());

    window->OnUserCommand(UserCommand::SeekTo, 4.0);
    window->OnUserCommand(UserCommand::Pause);
    window->OnUserCommand(UserCommand::Pause);
    QTest::qWait(50);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_NEAR(Deck().Elapsed(), 4.0, 0.001);

    window->OnUserCommand(UserCommand::Play);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Stop);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_EQ(Deck().Elapsed(), 0.0);
    EXPECT_EQ(window->Controls().position->value(), 0);
    EXPECT_TRUE(Deck().IsTrackLoaded());
}

TEST_F(UserCommandsTest, ValuesOutsideTheirRangeAreClampedAndNonNumbersIgnored) {
    window->OnUserCommand(UserCommand::SeekBy, 5.0); // no track: nothing to seek
    window->OnUserCommand(UserCommand::Stop);
    EXPECT_EQ(window->Controls().position->value(), 0);
    Browse({Wav("a.wav", 6.0)});
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const std::tuple<UserCommand, double, int> volumes[] = {
        {UserCommand::SetVolume, 0.25, 750},
        {UserCommand::SetVolume, nan, 750},
        {UserCommand::VolumeStep, inf, 750},
        {UserCommand::SetVolume, 7.0, 0},
        {UserCommand::VolumeStep, -1e300, 1000}};
    for (const auto& [command, value, slider] : volumes) {
        window->OnUserCommand(command, value);
        EXPECT_EQ(window->Controls().volume->value(), slider) << value;
    }
    const std::tuple<UserCommand, double, double> seeks[] = {{UserCommand::SeekTo, 1e300, 6.0},
                                                             {UserCommand::SeekBy, -99.0, 0.0},
                                                             {UserCommand::SeekTo, nan, 0.0}};
    for (const auto& [command, value, at] : seeks) {
        window->OnUserCommand(command, value);
        Settle();
        EXPECT_NEAR(Deck().Elapsed(), at, 0.001) << value;
    }
}

TEST_F(UserCommandsTest, FilesFromOutsideJoinTheListAndTheFirstThatOpensPlays) {
    std::ofstream(dir / "junk.mp3") << "not audio at all";
    const std::string good = Wav("good.wav", 3.0), later = Wav("later.wav", 3.0);
    ASSERT_TRUE(window->AppendPathsAndPlay({(dir / "junk.mp3").string(), good, later}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(Deck().TrackPath(), good);
    ASSERT_EQ(Tracks().GetCount(), 3);
    EXPECT_TRUE(Tracks().IsUnreadable(0));
    EXPECT_TRUE(Tracks().IsLoaded(1));

    // While something plays, files only join the list; a playlist by its
    // entries.
    std::ofstream(dir / "list.m3u") << "#EXTM3U\nlater.wav\ngood.wav\n";
    ASSERT_TRUE(window->AppendPathsAndPlay({(dir / "list.m3u").string()}));
    QTest::qWait(100);
    EXPECT_EQ(Deck().TrackPath(), good);
    EXPECT_THAT(Paths(),
                ::testing::ElementsAre((dir / "junk.mp3").string(), good, later, later, good));
}

TEST_F(UserCommandsTest, RaiseBringsAMinimisedWindowBackAndActivatesIt) {
    window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMinimized(); }));
    window->OnUserCommand(UserCommand::Raise);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !window->isMinimized() && window->isActiveWindow(); }));
}

} // namespace
} // namespace tessel
