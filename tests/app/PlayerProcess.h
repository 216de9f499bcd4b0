// The built player started as real processes with a private runtime and
// settings folder, on Qt's offscreen platform and SDL's dummy sound driver,
// and on a session bus of the test's own, where playerctl and QtDBus reach
// it through MPRIS2.
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

    // playerctl's output (trailing newline cut) for the player on the bus;
    // "ERROR <status>: <output>" when it fails.
    std::string Playerctl(const std::string& args) const;
    bool WaitForPlayerctl(const std::string& args, const std::string& expected) const;
    bool WaitUntilOnBus() const;

    // The exit status of a player, or -1 when it still runs at `timeout`.
    static int WaitForExit(pid_t pid, std::chrono::milliseconds timeout);
    static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    std::filesystem::path Runtime(const char* name) const { return m_dir / "runtime" / name; }
    // Until the lock file names `pid`.
    bool WaitForLockHolder(pid_t pid) const;
    std::string Wav(const std::string& name, double seconds);

    std::string m_busAddress;
    TempDir m_dir;

  private:
    pid_t Spawn(std::vector<std::string> argv, const std::filesystem::path& out);

    std::filesystem::path m_player;
    std::vector<pid_t> m_started; // the bus first
};

} // namespace tessel::test
