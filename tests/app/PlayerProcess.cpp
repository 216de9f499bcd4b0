#include "tests/app/PlayerProcess.h"

#include <fstream>

namespace tessel::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void PlayerProcessTest::SetUp() {
    if (!fs::exists(BinDir() / "tessel-audio-player"))
        GTEST_SKIP() << "the player is not built in " << BinDir();
    fs::create_directories(m_dir / "runtime");
    fs::permissions(m_dir / "runtime", fs::perms::owner_all);
    fs::create_directories(m_dir / "config");
    const auto at = [&](const char* sub) { return QString::fromStdString((m_dir / sub).string()); };
    m_env.insert("QT_QPA_PLATFORM", "offscreen");
    m_env.insert("XDG_RUNTIME_DIR", at("runtime"));
    m_env.insert("XDG_CONFIG_HOME", at("config"));
    m_env.insert("HOME", QString::fromStdString(m_dir.Path().string()));
    m_env.insert("SDL_AUDIODRIVER", "dummy");
    m_env.insert("PATH", "/usr/bin:/bin");
    QProcess& bus = Start("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, true);
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    m_busAddress = bus.readLine().trimmed().toStdString();
    m_env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(m_busAddress));
}

void PlayerProcessTest::TearDown() {
    // The players first, then their bus.
    while (!m_started.empty()) {
        m_started.back().kill();
        m_started.back().waitForFinished();
        m_started.pop_back();
    }
}

QProcess& PlayerProcessTest::Start(const QString& program, const QStringList& args,
                                   bool readOutput) {
    QProcess& process = m_started.emplace_back();
    process.setProcessEnvironment(m_env);
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!readOutput)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    EXPECT_TRUE(process.waitForStarted()) << program.toStdString();
    return process;
}

QProcess& PlayerProcessTest::Launch(const std::vector<std::string>& args) {
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    return Start(QString::fromStdString((BinDir() / "tessel-audio-player").string()), arguments);
}

std::string PlayerProcessTest::Playerctl(const std::string& args) const {
    QProcess playerctl;
    playerctl.setProcessEnvironment(m_env);
    playerctl.setProcessChannelMode(QProcess::MergedChannels);
    playerctl.start("playerctl", QStringList{"-p", "tessel"} +
                                     QString::fromStdString(args).split(' ', Qt::SkipEmptyParts));
    if (!playerctl.waitForFinished(10000))
        return "ERROR no end";
    const std::string out = playerctl.readAll().trimmed().toStdString();
    const int status = playerctl.exitStatus() == QProcess::NormalExit ? playerctl.exitCode() : -1;
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

int PlayerProcessTest::WaitForExit(QProcess& player, std::chrono::milliseconds timeout) {
    if (player.state() != QProcess::NotRunning &&
        !player.waitForFinished(static_cast<int>(timeout.count())))
        return -1;
    return player.exitStatus() == QProcess::NormalExit ? player.exitCode() : -2;
}

bool PlayerProcessTest::WaitForLockHolder(const QProcess& player) const {
    return WaitFor(
        [&] {
            long holder = -1;
            return (std::ifstream(Runtime("Audio Player Mutex.lock")) >> holder) &&
                   holder == player.processId();
        },
        15s);
}

std::string PlayerProcessTest::Wav(const std::string& name, double seconds) {
    WriteWav16(m_dir / name, 44100, 2, MakeSignal(44100, 2, static_cast<size_t>(seconds * 44100)));
    return (m_dir / name).string();
}

} // namespace tessel::test
