// One player per user: a second start hands its files to the running one and
// ends at once, whatever state the running one is in.
#include "tests/app/PlayerProcess.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>

namespace tessel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::PlayerProcessTest;

TEST_F(PlayerProcessTest, ASecondInstanceExitsQuietlyAndTheFirstRunsOn) {
    const pid_t first = Launch();
    ASSERT_TRUE(WaitForLockHolder(first));

    const pid_t second = Launch();
    EXPECT_EQ(WaitForExit(second, 15s), 0);
    EXPECT_EQ(WaitForExit(first, 0ms), -1) << "the first instance ended";
    EXPECT_EQ(LockHolder(), first);

    // SIGTERM shuts down like closing the window: a clean exit that stores
    // the volume.
    ASSERT_EQ(::kill(first, SIGTERM), 0);
    EXPECT_EQ(WaitForExit(first, 15s), 0);
    std::ifstream conf(m_dir / "config" / "Tessel Programs" / "Tessel Audio Player.conf");
    const std::string text((std::istreambuf_iterator<char>(conf)), {});
    EXPECT_NE(text.find("volumeLevel=0"), std::string::npos) << text;
}

TEST_F(PlayerProcessTest, ALockLeftByAKilledInstanceDoesNotBlockTheNextStart) {
    const pid_t crashed = Launch();
    ASSERT_TRUE(WaitForLockHolder(crashed));
    ::kill(crashed, SIGKILL);
    ::waitpid(crashed, nullptr, 0);
    ASSERT_TRUE(fs::exists(LockFile()));

    const pid_t next = Launch();
    EXPECT_TRUE(WaitForLockHolder(next));
    EXPECT_EQ(WaitForExit(next, 0ms), -1) << "the next instance did not start";
    ::kill(next, SIGINT);
    EXPECT_EQ(WaitForExit(next, 15s), 0);
}

TEST_F(PlayerProcessTest, ASecondStartHandsItsFilesOverAndTheFirstPlaysThemInOrder) {
    const std::string a = Wav("a.wav", 6.0), b = Wav("b.wav", 6.0);
    ASSERT_GT(LaunchOnBus(), 0);
    ASSERT_EQ(Playerctl("status"), "Stopped");

    // The bound is for a hang; the hand-over itself takes milliseconds.
    const pid_t second = Launch({a, b, (m_dir / "missing.wav").string()});
    EXPECT_EQ(WaitForExit(second, 2s), 0);
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_EQ(Playerctl("metadata xesam:url"), "file://" + a);
    ASSERT_EQ(Playerctl("next"), "");
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + b));
}

TEST_F(PlayerProcessTest, ASecondStartWhileTheFirstIsStoppedEndsWithinASecond) {
    const std::string a = Wav("a.wav", 6.0);
    const pid_t first = LaunchOnBus();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, SIGSTOP), 0);
    const pid_t second = Launch({a});
    const int status = WaitForExit(second, 1s);
    ::kill(first, SIGCONT);
    EXPECT_EQ(status, 0);
    // The files waited in the socket for the first to read them.
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + a));
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
}

TEST_F(PlayerProcessTest, AStartNobodyAnswersGivesUpUnlessTheLockFrees) {
    const std::string a = Wav("a.wav", 6.0);
    const pid_t first = Launch();
    ASSERT_TRUE(WaitForLockHolder(first));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(SocketFile()); }, 15s));
    // A player that holds the lock but no longer listens, as one does while
    // it ends.
    ::kill(first, SIGSTOP);
    fs::remove(SocketFile());

    const pid_t refused = Launch({a});
    EXPECT_EQ(WaitForExit(refused, 5s), 1);

    // The running player goes while a start waits for it: that start
    // becomes the player, with its files.
    const pid_t next = LaunchOnBus({a}, false);
    std::this_thread::sleep_for(250ms); // into its wait, most likely
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    ASSERT_GT(next, 0);
    EXPECT_TRUE(WaitForLockHolder(next));
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + a));
}

} // namespace
} // namespace tessel
