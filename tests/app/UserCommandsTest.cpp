// The window's one entry point for commands from outside its buttons, and
// files handed to it from outside.
#include "controls/QuilSliderCtrl.h"
#include "tests/app/WindowFixture.h"

#include <QSlider>

#include <cmath>
#include <fstream>
#include <limits>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::RunQtFor;
using test::RunQtUntil;

using UserCommandsTest = test::WindowFixture;

TEST_F(UserCommandsTest, PlayAndPauseAskForAStateAndStopRewinds) {
    Browse({Wav("a.wav", 10.0)});
    window->OnUserCommand(UserCommand::Play);
    window->OnUserCommand(UserCommand::Play); // before the start has happened
    ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Play);
    RunQtFor(50ms);
    EXPECT_TRUE(Deck().IsPlaying());

    window->OnUserCommand(UserCommand::SeekTo, 4.0);
    EXPECT_NEAR(Deck().Elapsed(), 4.0, 0.001);
    window->OnUserCommand(UserCommand::Pause);
    window->OnUserCommand(UserCommand::Pause);
    RunQtFor(50ms);
    EXPECT_FALSE(Deck().IsPlaying());
    EXPECT_NEAR(Deck().Elapsed(), 4.0, 0.001);

    window->OnUserCommand(UserCommand::Play);
    ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
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
    QSlider& volume = *window->Controls().volume;
    window->OnUserCommand(UserCommand::SetVolume, 0.25);
    EXPECT_EQ(volume.value(), 750);
    window->OnUserCommand(UserCommand::SetVolume, std::nan(""));
    window->OnUserCommand(UserCommand::VolumeStep, std::numeric_limits<double>::infinity());
    EXPECT_EQ(volume.value(), 750);
    window->OnUserCommand(UserCommand::SetVolume, 7.0);
    EXPECT_EQ(volume.value(), 0);
    window->OnUserCommand(UserCommand::VolumeStep, -1e300);
    EXPECT_EQ(volume.value(), 1000);

    window->OnUserCommand(UserCommand::SeekTo, 1e300);
    EXPECT_NEAR(Deck().Elapsed(), 6.0, 0.001);
    window->OnUserCommand(UserCommand::SeekBy, -99.0);
    EXPECT_EQ(Deck().Elapsed(), 0.0);
    window->OnUserCommand(UserCommand::SeekTo, std::nan(""));
    EXPECT_EQ(Deck().Elapsed(), 0.0);
}

TEST_F(UserCommandsTest, FilesFromOutsideJoinTheListAndTheFirstThatOpensPlays) {
    const std::filesystem::path junk = dir / "junk.mp3";
    std::ofstream(junk) << "not audio at all";
    const std::string good = Wav("good.wav", 3.0), later = Wav("later.wav", 3.0);
    ASSERT_TRUE(window->AppendPathsAndPlay({junk.string(), good, later}));

    ASSERT_TRUE(RunQtUntil([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(Deck().TrackPath(), good);
    ASSERT_EQ(Tracks().GetCount(), 3);
    EXPECT_TRUE(Tracks().IsUnreadable(0));
    EXPECT_TRUE(Tracks().IsLoaded(1));
    EXPECT_EQ(Tracks().GetTrackPath(2), later);

    // While something plays, files only join the list; a playlist by its
    // entries.
    const std::filesystem::path list = dir / "list.m3u";
    std::ofstream(list) << "#EXTM3U\nlater.wav\ngood.wav\n";
    ASSERT_TRUE(window->AppendPathsAndPlay({list.string()}));
    RunQtFor(100ms);
    EXPECT_EQ(Deck().TrackPath(), good);
    ASSERT_EQ(Tracks().GetCount(), 5);
    EXPECT_EQ(Tracks().GetTrackPath(3), later);
    EXPECT_EQ(Tracks().GetTrackPath(4), good);
}

TEST_F(UserCommandsTest, AClosingWindowTakesNoMoreFilesOrCommands) {
    window->Shutdown();
    EXPECT_FALSE(window->AppendPathsAndPlay({Wav("a.wav", 1.0)}));
    window->OnUserCommand(UserCommand::SetVolume, 0.0);
    RunQtFor(20ms);
    EXPECT_EQ(Tracks().GetCount(), 0);
}

} // namespace
} // namespace tessel
