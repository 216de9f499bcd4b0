// The built player, started as real processes with a private runtime and
// settings folder on Qt's offscreen platform.
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tessel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class PlayerProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_player = test::BinDir() / "tessel-audio-player";
        if (!fs::exists(m_player))
            GTEST_SKIP() << "the player is not built: " << m_player;
        fs::create_directories(m_dir / "runtime");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all);
        fs::create_directories(m_dir / "config");
    }

    void TearDown() override {
        for (pid_t pid : m_started) {
            if (::kill(pid, 0) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    pid_t Launch(const std::vector<std::string>& args = {}) {
        std::vector<std::string> env = {
            "QT_QPA_PLATFORM=offscreen",
            "XDG_RUNTIME_DIR=" + (m_dir / "runtime").string(),
            "XDG_CONFIG_HOME=" + (m_dir / "config").string(),
            "HOME=" + m_dir.Path().string(),
            "SDL_AUDIODRIVER=dummy",
            "PATH=/usr/bin:/bin",
        };
        std::vector<std::string> argv = {m_player.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argp, envp;
        for (auto& a : argv)
            argp.push_back(a.data());
        argp.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawn(&pid, m_player.c_str(), &actions, nullptr, argp.data(), envp.data()),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        m_started.push_back(pid);
        return pid;
    }

    // The exit status, or -1 when the process is still running at `timeout`.
    static int WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            if (std::chrono::steady_clock::now() > end)
                return -1;
            std::this_thread::sleep_for(5ms);
        }
    }

    fs::path LockFile() const { return m_dir / "runtime" / "Audio Player Mutex.lock"; }

    // The process whose id the lock file names.
    pid_t LockHolder() const {
        std::ifstream in(LockFile());
        long pid = -1;
        in >> pid;
        return in ? static_cast<pid_t>(pid) : -1;
    }

    bool WaitForLockHolder(pid_t pid, std::chrono::milliseconds timeout = 15s) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (LockHolder() != pid) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    fs::path m_player;
    test::TempDir m_dir;
    std::vector<pid_t> m_started;
};

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

} // namespace
} // namespace tessel
