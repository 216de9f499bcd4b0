// The built player started as real processes with a private runtime and
// settings folder, on Qt's offscreen platform and SDL's dummy sound driver,
// and on a session bus of the test's own, where playerctl and QtDBus reach
// it through MPRIS2.
#pragma once

#include "tests/support/TestData.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace tessel::test {

class PlayerProcessTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    QProcess& Launch(const std::vector<std::string>& args = {});

    // playerctl's output (trailing newline cut) for the player on the bus;
    // "ERROR <status>: <output>" when it fails.
    std::string Playerctl(const std::string& args) const;
    bool WaitForPlayerctl(const std::string& args, const std::string& expected) const;
    bool WaitUntilOnBus() const;
    // The position playerctl reads, in seconds.
    double Seconds() const { return std::strtod(Playerctl("position").c_str(), nullptr); }

    // The exit status of a player, or -1 when it still runs at `timeout`
    // (-2 when a signal ended it).
    static int WaitForExit(QProcess& player, std::chrono::milliseconds timeout);
    template <typename Done> static bool WaitFor(Done done, std::chrono::milliseconds timeout) {
        return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
    }

    std::filesystem::path Runtime(const char* name) const { return m_dir / "runtime" / name; }
    // Until the lock file names `player`.
    bool WaitForLockHolder(const QProcess& player) const;
    std::string Wav(const std::string& name, double seconds);

    std::string m_busAddress;
    TempDir m_dir;

  private:
    QProcess& Start(const QString& program, const QStringList& args, bool readOutput = false);

    QProcessEnvironment m_env;
    std::deque<QProcess> m_started; // the bus first
};

} // namespace tessel::test
