// One player per user: a second start hands its files to the running one and
// ends at once, whatever state the running one is in. The message, and the
// two ends of the socket in one process (the sending end on a thread of its
// own, as it blocks); then the built player as processes, where playback also
// survives the end of a player: a SIGKILL loses at most the few seconds since
// the last periodic write, a SIGTERM nothing, and the next start without
// files picks up there, paused.
#include "app/HandOverClient.h"
#include "app/HandOverMessage.h"
#include "app/HandOverServer.h"
#include "app/SecondStart.h"
#include "app/SingleInstance.h"
#include "playlist/ResumePoint.h"
#include "tests/app/PlayerProcess.h"

#include <QLocalSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

namespace tessel {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kOddPaths = {
    "/music/plain.mp3",
    "/music/with space/and\nnewline.ogg",
    std::string("/music/latin1-\xe9t\xe9.wav"), // not UTF-8: the bytes as they are
    "/" + std::string(4000, 'x') + ".flac",
};

TEST(HandOverMessage, AnyPathsComeBackByteForByteAndAnythingElseIsRefusedEarly) {
    const QByteArray message = EncodeHandOver(kOddPaths);
    std::vector<std::string> paths;
    ASSERT_EQ(ParseHandOver(message, paths), HandOverParse::Complete);
    EXPECT_EQ(paths, kOddPaths);
    for (qsizetype cut = 0; cut < message.size(); cut += 7)
        ASSERT_EQ(ParseHandOver(message.left(cut), paths), HandOverParse::Incomplete) << cut;

    paths.clear();
    EXPECT_EQ(ParseHandOver("TSLX", paths), HandOverParse::Invalid); // wrong at its 4th byte
    QByteArray wrongVersion = EncodeHandOver({"/a"});
    wrongVersion[11] = 2;
    QByteArray tooMany = EncodeHandOver({});
    tooMany[12] = 0x7f;
    for (const QByteArray& bad : {wrongVersion, tooMany, EncodeHandOver({"/a"}) + "extra",
                                  EncodeHandOver({""}), EncodeHandOver({std::string("/a\0b", 4)}),
                                  EncodeHandOver({std::string(kMaxHandOverPathBytes + 1, 'x')})})
        EXPECT_EQ(ParseHandOver(bad, paths), HandOverParse::Invalid);
    EXPECT_TRUE(paths.empty());
}

class HandOverSocketTest : public ::testing::Test {
  protected:
    // Runs a blocking sending end on a thread while this one serves Qt's events.
    template <typename Sending> static auto OffThread(Sending sending) {
        auto result = std::async(std::launch::async, sending);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return result.wait_for(0s) == std::future_status::ready; }));
        return result.get();
    }
    HandOverResult Send(const std::vector<std::string>& paths) {
        return OffThread([&] { return SendToRunningInstance(socketPath, paths, 2s); });
    }

    test::TempDir dir;
    QString socketPath = QString::fromStdString((dir / "files.socket").string());
    std::vector<std::vector<std::string>> received;
    bool accept = true;
    CHandOverServer server{[this](const std::vector<std::string>& paths) {
        received.push_back(paths);
        return accept;
    }};
};

// A second start talks to nobody, to a server whose places stalling starts
// fill, and to one that is closing. (What a killed player leaves, and a
// player that no longer listens, are the process test's.)
TEST_F(HandOverSocketTest, AnyPathsGetPastStallingStartsAndAClosingOrGoneEndIsNoListener) {
    CSingleInstanceGuard guard(QString::fromStdString((dir / "lock").string()));
    const auto startWithoutFiles = [&] {
        const SecondStartOutcome done =
            OffThread([&] { return RunSecondStart(guard, socketPath, {}); });
        EXPECT_FALSE(done.becomePlayer);
        EXPECT_EQ(done.exitStatus, 0) << "asking for the window ends well even unanswered";
    };
    EXPECT_EQ(Send({"/a.wav"}), HandOverResult::NoListener);
    startWithoutFiles();

    // More bad starts than there are places: killed, talking nonsense, and
    // enough that stall (silent, or stopped mid-message) to fill every place.
    ASSERT_TRUE(server.Listen(socketPath));
    const QByteArray half = EncodeHandOver({"/half.wav"}).chopped(3);
    std::vector<std::unique_ptr<QLocalSocket>> bad;
    for (int i = -3; i < CHandOverServer::kMaxConnections; ++i) {
        auto& socket = bad.emplace_back(std::make_unique<QLocalSocket>());
        socket->connectToServer(socketPath);
        ASSERT_TRUE(socket->waitForConnected(1000));
        if (i < -1) {
            socket->abort();
            continue;
        }
        socket->write(i == -1 ? QByteArray("not the message at all") : i % 2 ? half : "");
        socket->waitForBytesWritten(1000);
    }
    EXPECT_EQ(Send(kOddPaths), HandOverResult::Accepted);
    EXPECT_EQ(received, (std::vector<std::vector<std::string>>{kOddPaths}));
    // Every one of them is dropped by its deadline at the latest.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(bad.begin(), bad.end(), [](auto& s) {
                return s->state() == QLocalSocket::UnconnectedState;
            });
        },
        10000));
    startWithoutFiles();
    EXPECT_EQ(received.back(), std::vector<std::string>{}) << "an empty hand-over";

    accept = false; // a closing player gives no answer
    EXPECT_EQ(Send({"/a.wav"}), HandOverResult::NoListener);
    EXPECT_EQ(received.size(), 3u);
}

namespace fs = std::filesystem;
using test::PlayerProcessTest;

TEST_F(PlayerProcessTest,
       PlayersKeepTheirPlaceWhenKilledOrEndedAndLaterStartsHandTheRunningOneTheirFiles) {
    fs::create_directories(m_dir / "album" / "cd2");
    const std::string b = Wav("album/b.wav", 6.0), a = Wav("album/a.wav", 6.0);
    const std::string c = Wav("album/cd2/c.wav", 20.0), first = Wav("first.wav", 6.0);
    const std::string track = Wav("long.wav", 60.0);
    std::ofstream(m_dir / "album" / "notes.txt") << "not audio";
    const fs::path resumeFile = m_dir / ".local/share/Tessel Programs/Tessel Audio Player/resume";
    const auto playsPast = [&](double seconds) {
        return WaitFor([&] { return Playerctl("status") == "Playing" && Seconds() > seconds; },
                       30s);
    };

    QProcess& killed = Launch({track});
    ASSERT_TRUE(WaitUntilOnBus());
    // Past the first periodic write, and short of the second.
    ASSERT_TRUE(playsPast(7.0));
    const double beforeKill = Seconds();
    killed.kill();
    killed.waitForFinished();
    ASSERT_TRUE(fs::exists(Runtime("Audio Player Mutex.lock")));
    const std::optional<ResumePoint> killedAt = ReadResumePoint(resumeFile);
    ASSERT_TRUE(killedAt);
    EXPECT_EQ(killedAt->path, track);
    // A write every 5 s, however late the event loop gets to it.
    EXPECT_GE(killedAt->seconds, beforeKill - 5.25);
    EXPECT_LE(killedAt->seconds, beforeKill + 0.25);

    // The lock it left is taken over.
    QProcess& running = Launch();
    ASSERT_TRUE(WaitForLockHolder(running));
    ASSERT_TRUE(WaitUntilOnBus());
    EXPECT_TRUE(WaitForPlayerctl("status", "Paused"));
    EXPECT_EQ(Playerctl("metadata xesam:title"), "long.wav");
    EXPECT_TRUE(WaitFor([&] { return std::abs(Seconds() - killedAt->seconds) < 0.01; }, 10s))
        << Seconds() << " is not " << killedAt->seconds;
    EXPECT_EQ(WaitForExit(Launch(), 15s), 0) << "a start without files";

    // Stopped, the running player cannot answer. The bound is for a hang (a
    // loaded machine starts a process slowly); the hand-over itself waits a
    // quarter of a second for an answer at most.
    ASSERT_EQ(::kill(running.processId(), SIGSTOP), 0);
    const int status = WaitForExit(
        Launch({first, (m_dir / "album").string(), (m_dir / "missing.wav").string()}), 5s);
    ::kill(running.processId(), SIGCONT);
    EXPECT_EQ(status, 0);
    // The paths waited in the socket; the folder's audio files follow in
    // path order, as a first start lists them.
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + first));
    EXPECT_TRUE(WaitForPlayerctl("status", "Playing"));
    for (const std::string& next : {a, b, c}) {
        ASSERT_EQ(Playerctl("next"), "");
        EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + next));
    }
    // A folder that is not there is refused like a file that is not.
    EXPECT_EQ(WaitForExit(Launch({(m_dir / "no such album").string()}), 5s), 1);

    // SIGTERM keeps the position at the signal, not the last periodic write's.
    ASSERT_TRUE(playsPast(1.0));
    const double beforeTerm = Seconds();
    const auto asked = std::chrono::steady_clock::now();
    running.terminate();
    ASSERT_EQ(WaitForExit(running, 15s), 0);
    const double sinceAsked =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    const std::optional<ResumePoint> terminatedAt = ReadResumePoint(resumeFile);
    ASSERT_TRUE(terminatedAt);
    EXPECT_EQ(terminatedAt->path, c);
    EXPECT_GE(terminatedAt->seconds, beforeTerm - 0.25);
    EXPECT_LE(terminatedAt->seconds, beforeTerm + sinceAsked + 0.25);

    // A player that holds the lock but no longer listens, as one does while
    // it ends, turns a start away; should it go while a start waits for it,
    // that start becomes the player, with its files.
    QProcess& ending = Launch();
    ASSERT_TRUE(WaitForLockHolder(ending));
    const fs::path socket = Runtime("Audio Player Files.socket");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(socket); }, 15s));
    ::kill(ending.processId(), SIGSTOP);
    fs::remove(socket);
    EXPECT_EQ(WaitForExit(Launch({a}), 5s), 1);
    QProcess& next = Launch({a});
    std::this_thread::sleep_for(250ms); // into its wait, most likely
    ending.kill();
    ending.waitForFinished();
    EXPECT_TRUE(WaitForLockHolder(next));
    EXPECT_TRUE(WaitForPlayerctl("metadata xesam:url", "file://" + a));
}

} // namespace
} // namespace tessel
