// The hand-over of files from a second start: the message, and the two ends
// of the socket in one process (the sending end on a thread of its own, as
// it blocks).
#include "app/HandOverClient.h"
#include "app/HandOverMessage.h"
#include "app/HandOverServer.h"
#include "app/SecondStart.h"
#include "app/SingleInstance.h"
#include "tests/support/TestData.h"

#include <QLocalSocket>

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    // Runs the blocking sender on a thread while this one serves Qt's events.
    HandOverResult Send(const std::vector<std::string>& paths) {
        auto result = std::async(std::launch::async, [this, paths] {
            return SendToRunningInstance(socketPath, paths, 2s);
        });
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return result.wait_for(0s) == std::future_status::ready; }));
        return result.get();
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

TEST_F(HandOverSocketTest, TheRunningEndTakesThePathsAndAClosingOneOrNobodyIsNoListener) {
    ASSERT_TRUE(server.Listen(socketPath));
    EXPECT_EQ(Send(kOddPaths), HandOverResult::Accepted);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], kOddPaths);
    accept = false; // a closing player gives no answer
    EXPECT_EQ(Send({"/a.wav"}), HandOverResult::NoListener);
    server.Close();
    EXPECT_EQ(Send({"/a.wav"}), HandOverResult::NoListener);
    EXPECT_EQ(received.size(), 2u);
}

TEST_F(HandOverSocketTest, ASocketFileLeftBehindIsReplacedAndStallingStartsHoldNobodyUp) {
    // What a killed player leaves: a bound socket file nobody listens on.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.toStdString().c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    EXPECT_EQ(Send({"/a.wav"}), HandOverResult::NoListener);

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
    EXPECT_EQ(Send({"/b.wav"}), HandOverResult::Accepted);
    EXPECT_EQ(received, (std::vector<std::vector<std::string>>{{"/b.wav"}}));
    // Every one of them is dropped by its deadline at the latest.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(bad.begin(), bad.end(), [](auto& s) {
                return s->state() == QLocalSocket::UnconnectedState;
            });
        },
        10000));
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(HandOverSocketTest, AStartWithoutFilesAsksForTheWindowAndEndsWellEvenUnanswered) {
    CSingleInstanceGuard guard(QString::fromStdString((dir / "lock").string()));
    const auto secondStart = [&] {
        auto outcome =
            std::async(std::launch::async, [&] { return RunSecondStart(guard, socketPath, {}); });
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return outcome.wait_for(0s) == std::future_status::ready; }));
        return outcome.get();
    };
    SecondStartOutcome outcome = secondStart(); // nobody listens
    EXPECT_FALSE(outcome.becomePlayer);
    EXPECT_EQ(outcome.exitStatus, 0);
    ASSERT_TRUE(server.Listen(socketPath));
    outcome = secondStart();
    EXPECT_FALSE(outcome.becomePlayer);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(received, (std::vector<std::vector<std::string>>{{}})) << "an empty hand-over";
}

} // namespace
} // namespace tessel
