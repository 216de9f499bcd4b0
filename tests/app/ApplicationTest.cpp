// The application's parts outside its windows: the command line, the
// desktop entry it is offered by, and the order in which Qt's main loop
// serves the engine's posts (every window test relies on them arriving).
#include "app/CommandLinePaths.h"
#include "app/MprisState.h"
#include "app/QtMainLoop.h"
#include "engine/EngineContext.h"
#include "playlist/AudioTypes.h"

#include <QFile>
#include <QMimeDatabase>
#include <QSet>
#include <QTest>
#include <QTextStream>

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

namespace tessel {
namespace {

TEST(QtMainLoop, AWorkersPostsAreHandledOnQtsThreadInOrder) {
    CQtMainLoop loop;
    CEngineContext engine(loop);
    loop.ConnectChannel(engine.channel);
    std::vector<AppMessage> handled;
    std::thread::id handlerThread;
    engine.channel.SetHandler([&](const Message& m) {
        handled.push_back(m.kind);
        handlerThread = std::this_thread::get_id();
    });
    std::thread worker([&] {
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.Post(AppMessage::PlayForwardNotify);
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.size() == 2; }));
    EXPECT_EQ(handled,
              (std::vector<AppMessage>{AppMessage::ReadReport, AppMessage::PlayForwardNotify}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    loop.DisconnectChannel();
}

TEST(CommandLine, EveryArgumentIsAPathInOrderAndNothingIsHandedOutTwice) {
    char name[] = "player", a[] = "/music/one.mp3", b[] = "-two.ogg", c[] = "/three with.wav";
    char* argv[] = {name, a, b, c, nullptr};
    CCommandLinePaths info;
    info.ParseCommandLine(4, argv);
    EXPECT_EQ(info.TakeAll(), (std::vector<std::string>{a, b, c}));
    EXPECT_TRUE(info.TakeAll().empty());
}

TEST(DesktopEntry, StartsThePlayerWithFilesAndClaimsEveryTypeItReadsAsItsMprisListDoes) {
    QFile file(QStringLiteral(TESSEL_SOURCE_DIR "/res/tessel-audio-player.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::map<QString, QString> entry;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (const qsizetype eq = line.indexOf('='); eq > 0 && !line.startsWith('#'))
            entry[line.left(eq)] = line.mid(eq + 1);
    }
    EXPECT_EQ(entry["Exec"], "tessel-audio-player %F");
    EXPECT_EQ(entry["Icon"], "tessel-audio-player");

    const QStringList types = entry["MimeType"].split(';', Qt::SkipEmptyParts);
    const QSet<QString> claimed(types.begin(), types.end());
    std::vector<std::string> patterns = AudioTypePatterns();
    for (const char* playlist : {"*.m3u", "*.m3u8", "*.pls", "*.cue"})
        patterns.emplace_back(playlist);
    for (const std::string& pattern : patterns) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(
            QString::fromStdString("x" + pattern.substr(1)), QMimeDatabase::MatchExtension);
        ASSERT_FALSE(type.isDefault()) << pattern;
        EXPECT_TRUE(claimed.contains(type.name()))
            << pattern << " is " << type.name().toStdString() << ", not in MimeType=";
    }
    const QStringList mpris = SupportedMimeTypes();
    EXPECT_EQ(QSet<QString>(mpris.begin(), mpris.end()), claimed);
}

} // namespace
} // namespace tessel
