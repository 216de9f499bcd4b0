// The built player started as real processes, each with a private runtime
// and settings folder on Qt's offscreen platform and SDL's dummy sound
// driver; optionally under a session bus of its own (dbus-run-session),
// where playerctl and QtDBus reach it through MPRIS2.
#pragma once

#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessel::test {

class PlayerProcessTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The player with `args`; its pid.
    pid_t Launch(const std::vector<std::string>& args = {});
    // The player under a session bus of its own; the pid of the player
    // itself once it answers there (or, without `waitUntilReady`, once it
    // starts); -1 when it never did. BusAddress() reaches it.
    pid_t LaunchOnBus(const std::vector<std::string>& args = {}, bool waitUntilReady = true);
    const std::string& BusAddress() const { return m_busAddress; }
    // The dbus-run-session of the last LaunchOnBus: it exits with the
    // player's exit status.
    pid_t SessionPid() const { return m_session; }

    // playerctl's output (trailing newline cut) for the player on the bus;
    // "ERROR <status>: <output>" when it fails.
    std::string Playerctl(const std::string& args) const;
    // Until playerctl answers `expected` to `args`.
    bool WaitForPlayerctl(const std::string& args, const std::string& expected,
                          std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;

    // The exit status, or -1 when the process is still running at `timeout`.
    // Only for processes this fixture started directly.
    static int WaitForExit(pid_t pid, std::chrono::milliseconds timeout);
    static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    static bool IsRunning(pid_t pid);

    std::filesystem::path LockFile() const;
    std::filesystem::path SocketFile() const;
    // The process whose id the lock file names.
    pid_t LockHolder() const;
    bool WaitForLockHolder(pid_t pid,
                           std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;

    std::string Wav(const std::string& name, double seconds);

    std::filesystem::path m_player;
    TempDir m_dir;

  private:
    pid_t Spawn(const std::vector<std::string>& argv);

    std::vector<pid_t> m_started;
    std::vector<pid_t> m_onBus;    // players started under dbus-run-session
    std::vector<pid_t> m_sessions; // those dbus-run-sessions
    std::string m_busAddress;
    pid_t m_session = -1;
    int m_busCount = 0;
};

} // namespace tessel::test
