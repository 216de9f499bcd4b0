#include "tests/app/PlayerProcess.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

namespace tessel::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void PlayerProcessTest::SetUp() {
    m_player = BinDir() / "tessel-audio-player";
    if (!fs::exists(m_player))
        GTEST_SKIP() << "the player is not built: " << m_player;
    fs::create_directories(m_dir / "runtime");
    fs::permissions(m_dir / "runtime", fs::perms::owner_all);
    fs::create_directories(m_dir / "config");
    Spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, m_dir / "bus");
    ASSERT_TRUE(WaitFor(
        [&] {
            return std::getline(std::ifstream(m_dir / "bus"), m_busAddress) &&
                   !m_busAddress.empty();
        },
        10s));
}

void PlayerProcessTest::TearDown() {
    // The players first, then their bus.
    for (auto pid = m_started.rbegin(); pid != m_started.rend(); ++pid) {
        if (::waitpid(*pid, nullptr, WNOHANG) == 0) {
            ::kill(*pid, SIGKILL);
            ::waitpid(*pid, nullptr, 0);
        }
    }
}

pid_t PlayerProcessTest::Spawn(std::vector<std::string> argv, const fs::path& out) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                    "XDG_RUNTIME_DIR=" + (m_dir / "runtime").string(),
                                    "XDG_CONFIG_HOME=" + (m_dir / "config").string(),
                                    "HOME=" + m_dir.Path().string(),
                                    "SDL_AUDIODRIVER=dummy",
                                    "PATH=/usr/bin:/bin",
                                    "DBUS_SESSION_BUS_ADDRESS=" + m_busAddress};
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
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    EXPECT_EQ(posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, argp.data(), envp.data()), 0)
        << argv[0];
    posix_spawn_file_actions_destroy(&actions);
    m_started.push_back(pid);
    return pid;
}

pid_t PlayerProcessTest::Launch(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {m_player.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, "/dev/null");
}

std::string PlayerProcessTest::Playerctl(const std::string& args) const {
    const std::string command =
        "DBUS_SESSION_BUS_ADDRESS='" + m_busAddress + "' playerctl -p tessel " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return "ERROR popen";
    std::string out;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof(buffer), pipe))
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return status == 0 ? out : "ERROR " + std::to_string(status) + ": " + out;
}

bool PlayerProcessTest::WaitForPlayerctl(const std::string& args,
                                         const std::string& expected) const {
    std::string last;
    const bool ok = WaitFor([&] { return (last = Playerctl(args)) == expected; }, 15s);
    if (!ok)
        ADD_FAILURE() << "playerctl " << args << " answered \"" << last << "\", not \"" << expected
                      << "\"";
    return ok;
}

bool PlayerProcessTest::WaitUntilOnBus() const {
    return WaitFor([&] { return Playerctl("status").rfind("ERROR", 0) != 0; }, 15s);
}

int PlayerProcessTest::WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout))
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool PlayerProcessTest::WaitFor(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool PlayerProcessTest::WaitForLockHolder(pid_t pid) const {
    return WaitFor(
        [&] {
            long holder = -1;
            return (std::ifstream(Runtime("Audio Player Mutex.lock")) >> holder) && holder == pid;
        },
        15s);
}

std::string PlayerProcessTest::Wav(const std::string& name, double seconds) {
    constexpr int kRate = 44100;
    WriteWav16(m_dir / name, kRate, 2, MakeSignal(kRate, 2, static_cast<size_t>(seconds * kRate)));
    return (m_dir / name).string();
}

} // namespace tessel::test
