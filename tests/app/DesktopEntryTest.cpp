// The menu entry a desktop offers the installed player by, against what the
// player reads: a type it plays but does not claim is a file manager that
// never offers it; one it claims but cannot play, a failure for the user.
#include "app/MprisState.h"
#include "playlist/AudioTypes.h"

#include <QFile>
#include <QMimeDatabase>
#include <QSet>
#include <QTextStream>

#include <gtest/gtest.h>

#include <map>

namespace tessel {
namespace {

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
    for (const char* type : {"audio/x-mpegurl", "audio/mpegurl", "audio/x-scpls"})
        EXPECT_TRUE(claimed.contains(type)) << type;
    const QStringList mpris = SupportedMimeTypes();
    EXPECT_EQ(QSet<QString>(mpris.begin(), mpris.end()), claimed);
}

} // namespace
} // namespace tessel
