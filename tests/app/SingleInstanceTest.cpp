// One player per user: a second start hands its files to the running one and
// ends at once, whatever state the running one is in.
#include "tests/app/PlayerProcess.h"

#include <csignal>
#include <fstream>
#include <thread>

namespace tessel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::PlayerProcessTest;

TEST_F(PlayerProcessTest, ALockLeftByAKilledPlayerIsTakenOverAndASecondStartExitsQuietly) {
    QProcess& crashed = Launch();
    ASSERT_TRUE(WaitForLockHolder(crashed));
    crashed.kill();
    crashed.waitForFinished();
    ASSERT_TRUE(fs::exists(Runtime("Audio Player Mutex.lock")));

    QProcess& first = Launch();
    ASSERT_TRUE(WaitForLockHolder(first));
    EXPECT_EQ(WaitForExit(Launch(), 15s), 0);
    EXPECT_EQ(WaitForExit(first, 0ms), -1) << "the first player ended";

    // SIGTERM shuts down like closing the window: a clean exit that stores
    // the volume.
    first.terminate();
    EXPECT_EQ(WaitForExit(first, 15s), 0);
    std::ifstream conf(m_dir / "config" / "Tessel Programs" / "Tessel Audio Player.conf");
    const std::string text((std::istreambuf_iterator<char>(conf)), {});
    EXPECT_NE(text.find("volumeLevel=0"), std::string::npos) << text;
}

TEST_F(PlayerProcessTest, ASecondStartWhileTheFirstIsStoppedLeavesItsFilesToPlayInOrder) {
    const std::string a = Wav("a.wav", 6.0), b = Wav("b.wav", 6.0);
    QProcess& first = Launch();
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_EQ(Playerctl("status"), "Stopped");
    ASSERT_EQ(::kill(first.processId(), SIGSTOP), 0);
    // The bound is for a hang (a loaded machine starts a process slowly); the
    // hand-over itself waits a quarter of a second for an answer at most.
    const int status = WaitForExit(Launch({a, b, (m_dir / "missing.wav").string()}), 5s);
    ::kill(first.processId(), SIGCONT);
    EXPECT_EQ(status, 0);
    // The files waited in the socket for the first to read them.
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_EQ(Playerctl("metadata xesam:url"), "file://" + a);
    ASSERT_EQ(Playerctl("next"), "");
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + b));
}

TEST_F(PlayerProcessTest, ASecondStartWithAFolderHandsOverItsAudioFilesAsAFirstStartListsThem) {
    fs::create_directories(m_dir / "album" / "cd2");
    const std::string b = Wav("album/b.wav", 6.0), a = Wav("album/a.wav", 6.0);
    const std::string c = Wav("album/cd2/c.wav", 6.0);
    std::ofstream(m_dir / "album" / "notes.txt") << "not audio";
    QProcess& first = Launch();
    ASSERT_TRUE(WaitUntilOnBus());
    ASSERT_EQ(Playerctl("status"), "Stopped");
    EXPECT_EQ(WaitForExit(Launch({(m_dir / "album").string()}), 5s), 0);
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + a));
    for (const std::string& next : {b, c}) {
        ASSERT_EQ(Playerctl("next"), "");
        EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + next));
    }
    // A folder that is not there is refused like a file that is not.
    EXPECT_EQ(WaitForExit(Launch({(m_dir / "no such album").string()}), 5s), 1);
    EXPECT_EQ(WaitForExit(first, 0ms), -1) << "the first player ended";
}

TEST_F(PlayerProcessTest, AStartNobodyAnswersGivesUpUnlessTheLockFrees) {
    const std::string a = Wav("a.wav", 6.0);
    QProcess& first = Launch();
    ASSERT_TRUE(WaitForLockHolder(first));
    const fs::path socket = Runtime("Audio Player Files.socket");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(socket); }, 15s));
    // A player that holds the lock but no longer listens, as one does while
    // it ends.
    ::kill(first.processId(), SIGSTOP);
    fs::remove(socket);
    EXPECT_EQ(WaitForExit(Launch({a}), 5s), 1);

    // The running player goes while a start waits for it: that start
    // becomes the player, with its files.
    QProcess& next = Launch({a});
    std::this_thread::sleep_for(250ms); // into its wait, most likely
    first.kill();
    first.waitForFinished();
    EXPECT_TRUE(WaitForLockHolder(next));
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + a));
}

} // namespace
} // namespace tessel
