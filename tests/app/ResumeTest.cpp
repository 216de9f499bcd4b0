// Where playback is, kept between runs: written a moment after a pause and
// at the exit, and picked up by a start without files.
#include "app/PlayModeMenu.h"
#include "app/ResumeKeeper.h"
#include "tests/app/WindowFixture.h"

#include <cmath>
#include <fstream>

namespace tessel {
namespace {

namespace fs = std::filesystem;

class ResumeTest : public test::WindowFixture {
  protected:
    fs::path ResumeFile() const { return CResumeKeeper::DefaultPath().toStdString(); }
    // As the application starts without files.
    void StartWithoutFiles() {
        Start();
        window->LoadCommandLine({});
        Settle();
    }
};

TEST_F(ResumeTest, APauseKeepsThePlaceAndAStartWithoutFilesPicksItUpPausedOrPlaying) {
    const std::string a = Wav("a.wav", 2.0), b = Wav("b.wav", 20.0);
    window->LoadCommandLine({a, b});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == b && Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::SeekTo, 7.5);
    window->OnUserCommand(UserCommand::Pause);
    // Kept a moment after the pause, not only at the exit: a crash now
    // would not lose it.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto point = ReadResumePoint(ResumeFile());
        return point && point->path == b && std::abs(point->seconds - 7.5) < 1e-3;
    })) << "no resume point after the pause";
    EXPECT_EQ(ReadResumePoint(ResumeFile())->index, 1);
    Stop();

    StartWithoutFiles();
    EXPECT_EQ(Deck().TrackPath(), b);
    EXPECT_NEAR(Deck().Elapsed(), 7.5, 1e-3);
    EXPECT_FALSE(Deck().IsPlaying());
    MenuAction(CPlayModeMenu::kResumePlaying)->trigger();
    Stop();

    StartWithoutFiles();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    EXPECT_EQ(Deck().TrackPath(), b);
    EXPECT_GE(Deck().Elapsed(), 7.5);
}

TEST_F(ResumeTest,
       ADamagedPointFallsBackToTheLoadedRowAGoneEntryLoadsNothingAndTheListsEndLeavesNothing) {
    const std::string a = Wav("a.wav", 20.0), b = Wav("b.wav", 20.0);
    window->LoadCommandLine({a, b});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Next);
    window->OnUserCommand(UserCommand::SeekTo, 3.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().TrackPath() == b && !Deck().IsBusy(); }));
    Stop();

    // Damaged: the row the playlist kept as loaded, from its start.
    std::ofstream(ResumeFile(), std::ios::trunc) << "tessel-resume 1\nindex 1\nseconds x\n";
    StartWithoutFiles();
    EXPECT_EQ(Deck().TrackPath(), b);
    EXPECT_EQ(Deck().Elapsed(), 0.0);
    window->OnUserCommand(UserCommand::SeekTo, 3.0);
    Settle();
    Stop();

    fs::remove(b);
    StartWithoutFiles();
    EXPECT_FALSE(Deck().IsTrackLoaded());
    EXPECT_EQ(notices, 0);

    // No file loaded, or the list played to its end, leaves nothing to resume.
    window->LoadCommandLine({Wav("a.wav", 20.0)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    window->OnUserCommand(UserCommand::Pause);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(ResumeFile()); }));
    window->OnChooseTrack(Combo().findText(QStringLiteral("No File Loaded")));
    Settle();
    Stop();
    EXPECT_FALSE(fs::exists(ResumeFile()));

    Start(RecordingClock());
    const std::string last = Wav("last.wav", 0.5);
    std::string error;
    ASSERT_EQ(WriteResumePoint(ResumeFile(), {last, 0.25, 0}, error), AtomicWriteStatus::Ok);
    window->LoadCommandLine({last});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().ReachedEnd(); }));
    Stop();
    EXPECT_FALSE(fs::exists(ResumeFile())) << "the last second of the list kept";
}

} // namespace
} // namespace tessel
