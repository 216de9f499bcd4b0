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

std::map<QString, QString> ReadEntry() {
    QFile file(QStringLiteral(TESSEL_SOURCE_DIR "/res/tessel-audio-player.desktop"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::map<QString, QString> keys;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !line.startsWith('#'))
            keys[line.left(eq)] = line.mid(eq + 1);
    }
    return keys;
}

QSet<QString> MimeTypesOf(const std::map<QString, QString>& entry) {
    const QStringList types = entry.at("MimeType").split(';', Qt::SkipEmptyParts);
    return QSet<QString>(types.begin(), types.end());
}

TEST(DesktopEntry, StartsThePlayerWithFilesAndClaimsEveryTypeItReadsAsItsMprisListDoes) {
    const auto entry = ReadEntry();
    EXPECT_EQ(entry.at("Type"), "Application");
    EXPECT_EQ(entry.at("Name"), "Tessel Audio Player");
    EXPECT_EQ(entry.at("GenericName"), "Audio Player");
    EXPECT_EQ(entry.at("Exec"), "tessel-audio-player %F");
    EXPECT_EQ(entry.at("Icon"), "tessel-audio-player");
    EXPECT_EQ(entry.at("Categories"), "AudioVideo;Audio;Player;");

    const QSet<QString> claimed = MimeTypesOf(entry);
    const QMimeDatabase mime;
    std::vector<std::string> patterns = AudioTypePatterns();
    for (const char* playlist : {"*.m3u", "*.m3u8", "*.pls"})
        patterns.emplace_back(playlist);
    for (const std::string& pattern : patterns) {
        const QString name = QString::fromStdString("x" + pattern.substr(1));
        const QMimeType type = mime.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
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
