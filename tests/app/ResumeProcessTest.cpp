// Where playback is survives the end of the player: a SIGKILL loses at most
// the few seconds since the last periodic write, a SIGTERM nothing, and the
// next start without files picks up there, paused.
#include "playlist/ResumePoint.h"
#include "tests/app/PlayerProcess.h"

#include <cstdlib>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::PlayerProcessTest;

class ResumeProcessTest : public PlayerProcessTest {
  protected:
    std::filesystem::path ResumeFile() const {
        return m_dir / ".local/share/Tessel Programs/Tessel Audio Player/resume";
    }
    double Seconds() const { return std::strtod(Playerctl("position").c_str(), nullptr); }
    bool PlaysPast(double seconds) const {
        return WaitFor([&] { return Playerctl("status") == "Playing" && Seconds() > seconds; },
                       30s);
    }
};

TEST_F(ResumeProcessTest, AKilledPlayerLosesAtMostFiveSecondsAndATerminatedOneNothing) {
    const std::string track = Wav("long.wav", 60.0);
    QProcess& killed = Launch({track});
    ASSERT_TRUE(WaitUntilOnBus());
    // Past the first periodic write, and short of the second.
    ASSERT_TRUE(PlaysPast(7.0));
    const double beforeKill = Seconds();
    killed.kill();
    killed.waitForFinished();
    const std::optional<ResumePoint> killedAt = ReadResumePoint(ResumeFile());
    ASSERT_TRUE(killedAt);
    EXPECT_EQ(killedAt->path, track);
    EXPECT_EQ(killedAt->index, 0);
    // A write every 5 s, however late the event loop gets to it.
    EXPECT_GE(killedAt->seconds, beforeKill - 5.25);
    EXPECT_LE(killedAt->seconds, beforeKill + 0.25);

    QProcess& terminated = Launch();
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_TRUE(WaitForPlayerctl("metadata xesam:title", "long.wav"));
    EXPECT_TRUE(WaitForPlayerctl("status", "Paused"));
    EXPECT_TRUE(WaitFor([&] { return std::abs(Seconds() - killedAt->seconds) < 0.01; }, 10s))
        << Seconds() << " is not " << killedAt->seconds;
    ASSERT_EQ(Playerctl("play"), "");
    ASSERT_TRUE(PlaysPast(killedAt->seconds + 1.0));
    const double beforeTerm = Seconds();
    const auto asked = std::chrono::steady_clock::now();
    terminated.terminate();
    ASSERT_EQ(WaitForExit(terminated, 15s), 0);
    const double sinceAsked =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    const std::optional<ResumePoint> terminatedAt = ReadResumePoint(ResumeFile());
    ASSERT_TRUE(terminatedAt);
    // The position at the signal, not the last periodic write's.
    EXPECT_GE(terminatedAt->seconds, beforeTerm - 0.25);
    EXPECT_LE(terminatedAt->seconds, beforeTerm + sinceAsked + 0.25);
}

} // namespace
} // namespace tessel
