#include "tests/app/PlayerProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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
}

void PlayerProcessTest::TearDown() {
    for (pid_t pid : m_onBus)
        ::kill(pid, SIGKILL);
    for (pid_t pid : m_started) {
        const bool session =
            std::find(m_sessions.begin(), m_sessions.end(), pid) != m_sessions.end();
        // A dbus-run-session ends by itself once its player has, and takes
        // its bus with it; killed, it would leave the bus behind.
        if (session && WaitForExit(pid, 5s) != -1)
            continue;
        if (::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
}

pid_t PlayerProcessTest::Spawn(const std::vector<std::string>& argv) {
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=offscreen",
        "XDG_RUNTIME_DIR=" + (m_dir / "runtime").string(),
        "XDG_CONFIG_HOME=" + (m_dir / "config").string(),
        "HOME=" + m_dir.Path().string(),
        "SDL_AUDIODRIVER=dummy",
        "PATH=/usr/bin:/bin",
    };
    std::vector<std::string> args = argv;
    std::vector<char*> argp, envp;
    for (auto& a : args)
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
    EXPECT_EQ(posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argp.data(), envp.data()), 0)
        << args[0];
    posix_spawn_file_actions_destroy(&actions);
    m_started.push_back(pid);
    return pid;
}

pid_t PlayerProcessTest::Launch(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {m_player.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv);
}

pid_t PlayerProcessTest::LaunchOnBus(const std::vector<std::string>& args, bool waitUntilReady) {
    const fs::path bus = m_dir / ("bus" + std::to_string(m_busCount));
    const fs::path pidFile = m_dir / ("pid" + std::to_string(m_busCount));
    ++m_busCount;
    // The shell tells the bus's address and becomes the player.
    const std::string script = "echo \"$DBUS_SESSION_BUS_ADDRESS\" > '" + bus.string() +
                               ".tmp' && mv '" + bus.string() + ".tmp' '" + bus.string() +
                               "' && echo $$ > '" + pidFile.string() + "' && exec \"$@\"";
    std::vector<std::string> argv = {"dbus-run-session", "--", "sh", "-c", script, "sh",
                                     m_player.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    m_session = Spawn(argv);
    m_sessions.push_back(m_session);
    if (!WaitFor([&] { return fs::exists(bus) && fs::exists(pidFile); }, 10s))
        return -1;
    std::ifstream(bus) >> m_busAddress;
    long pid = -1;
    if (!WaitFor([&] { return (std::ifstream(pidFile) >> pid) && pid > 0; }, 2s))
        return -1;
    m_onBus.push_back(static_cast<pid_t>(pid));
    // Ready once it answers on the bus.
    if (waitUntilReady && !WaitFor([&] { return Playerctl("status").rfind("ERROR", 0) != 0; }, 15s))
        return -1;
    return static_cast<pid_t>(pid);
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
    if (status != 0)
        return "ERROR " + std::to_string(status) + ": " + out;
    return out;
}

bool PlayerProcessTest::WaitForPlayerctl(const std::string& args, const std::string& expected,
                                         std::chrono::milliseconds timeout) const {
    std::string last;
    const bool ok = WaitFor([&] { return (last = Playerctl(args)) == expected; }, timeout);
    if (!ok)
        ADD_FAILURE() << "playerctl " << args << " answered \"" << last << "\", not \"" << expected
                      << "\"";
    return ok;
}

int PlayerProcessTest::WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
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

bool PlayerProcessTest::WaitFor(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool PlayerProcessTest::IsRunning(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

fs::path PlayerProcessTest::LockFile() const {
    return m_dir / "runtime" / "Audio Player Mutex.lock";
}

fs::path PlayerProcessTest::SocketFile() const {
    return m_dir / "runtime" / "Audio Player Files.socket";
}

pid_t PlayerProcessTest::LockHolder() const {
    std::ifstream in(LockFile());
    long pid = -1;
    in >> pid;
    return in ? static_cast<pid_t>(pid) : -1;
}

bool PlayerProcessTest::WaitForLockHolder(pid_t pid, std::chrono::milliseconds timeout) const {
    return WaitFor([&] { return LockHolder() == pid; }, timeout);
}

std::string PlayerProcessTest::Wav(const std::string& name, double seconds) {
    constexpr int kRate = 44100;
    const fs::path path = m_dir / name;
    WriteWav16(path, kRate, 2, MakeSignal(kRate, 2, static_cast<size_t>(seconds * kRate)));
    return path.string();
}

} // namespace tessel::test
