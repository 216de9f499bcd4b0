#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <fstream>

namespace tessel {
namespace {

using test::ReadText;
using test::TempDir;

void FillList(CTrackList& list) {
    list.AddTrack("Café Ω", 185.9, "/music/Café/ünï 日本.mp3");
    list.AddTrack("", -1.0, "/music/AC\\DC plain.ogg");
    list.AddTrack("Stream, live", 0.0, "http://radio.example/s?a=1");
}

TEST(PlaylistWrite, M3uIsUtf8WithCrlfAndWholeSeconds) {
    CTrackList list;
    FillList(list);
    TempDir dir;
    const auto saved = SavePlaylistFile((dir / "out.m3u").string(), list, PlaylistFormat::M3u);
    ASSERT_TRUE(saved) << saved.error;
    EXPECT_EQ(saved.entriesWritten, 3);
    EXPECT_EQ(ReadText(dir / "out.m3u"),
              "#EXTM3U\r\n"
              "#EXTINF:185,Café Ω\r\n/music/Café/ünï 日本.mp3\r\n"
              "#EXTINF:-1,\r\n/music/AC\\DC plain.ogg\r\n"
              "#EXTINF:0,Stream, live\r\nhttp://radio.example/s?a=1\r\n");
}

TEST(PlaylistWrite, RoundTripsKeepNonAsciiPathsTitlesAndLengths) {
    CTrackList list;
    FillList(list);
    TempDir dir;
    for (const auto& [format, name] : {std::pair{PlaylistFormat::M3u, "rt.m3u"},
                                       {PlaylistFormat::M3u8, "rt.m3u8"},
                                       {PlaylistFormat::Pls, "rt.pls"}}) {
        ASSERT_TRUE(SavePlaylistFile((dir / name).string(), list, format));
        const auto back = LoadPlayList((dir / name).string());
        ASSERT_EQ(back.entries.size(), 3u) << name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(back.entries[i].path, list.GetTrackPath(i)) << name;
            EXPECT_EQ(back.entries[i].title, list.GetTag(i)) << name;
            EXPECT_EQ(back.entries[i].length, i == 0 ? 185.0 : list.GetLength(i)) << name;
        }
    }
}

TEST(PlaylistWrite, NamesALineCannotHoldGoOutAsUrlsAndReadBack) {
    const std::string evil = "/m/evil\n#EXTINF:1,x\n/m/b.mp3";
    const std::string notUtf8 = "/c:/caf\xE9 \xFF.mp3"; // not UTF-8; "c:" a folder
    std::vector<PlaylistEntry> entries = {{"multi\r\nline\ttitle", 5.0, "/m/a.mp3"},
                                          {"", -1.0, evil},
                                          {"", -1.0, ""},
                                          {"", -1.0, "http://x/line\nbreak"},
                                          {"", 1e300, notUtf8}};
    for (PlaylistFormat format : {PlaylistFormat::M3u, PlaylistFormat::Pls}) {
        int skipped = 0;
        const std::string text = FormatPlaylist(entries, format, &skipped);
        EXPECT_EQ(skipped, 2) << "an empty path and a URL with a line break";
        if (format == PlaylistFormat::Pls) {
            EXPECT_EQ(text, "[playlist]\r\nFile1=/m/a.mp3\r\nTitle1=multi  line title\r\n"
                            "Length1=5\r\nFile2=file:///m/evil%0A%23EXTINF%3A1%2Cx%0A/m/b.mp3\r\n"
                            "Title2=\r\nLength2=-1\r\nFile3=file:///c%3A/caf%E9%20%FF.mp3\r\n"
                            "Title3=\r\nLength3=2147483647\r\nNumberOfEntries=3\r\nVersion=2\r\n");
        }
        const auto back = ParsePlaylist(text, format, "/lists");
        ASSERT_EQ(back.entries.size(), 3u);
        EXPECT_EQ(back.entries[1].path, evil);
        EXPECT_EQ(back.entries[2].path, notUtf8);
    }
}

TEST(PlaylistWrite, FailedSaveKeepsTheOldFileAndSaysSo) {
    CTrackList list;
    FillList(list);
    TempDir dir;
    const auto missingFolder =
        SavePlaylistFile((dir / "no/such/x.m3u").string(), list, PlaylistFormat::M3u);
    EXPECT_FALSE(missingFolder);
    EXPECT_EQ(missingFolder.status, PlaylistSaveStatus::CannotCreate);
    EXPECT_FALSE(missingFolder.error.empty());

    // The target is a folder: the rename fails, nothing is left behind.
    std::filesystem::create_directory(dir / "taken.m3u");
    std::ofstream(dir / "taken.m3u" / "inside") << "keep";
    const auto onFolder = SavePlaylistFile((dir / "taken.m3u").string(), list, PlaylistFormat::M3u);
    EXPECT_EQ(onFolder.status, PlaylistSaveStatus::WriteFailed);
    EXPECT_EQ(ReadText(dir / "taken.m3u" / "inside"), "keep");

    // A write that fails halfway (here: over the file-size limit): the old
    // file keeps its contents.
    std::ofstream(dir / "old.m3u") << "old contents";
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto tooBig = SavePlaylistFile((dir / "old.m3u").string(), list, PlaylistFormat::M3u);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(tooBig.status, PlaylistSaveStatus::WriteFailed);
    EXPECT_EQ(ReadText(dir / "old.m3u"), "old contents");

    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << entry.path();
}

TEST(PlaylistWrite, SaveReplacesTheOldFileKeepingItsModeAndLinks) {
    CTrackList list;
    FillList(list);
    TempDir dir;
    std::ofstream(dir / "real.m3u") << "old";
    ::chmod((dir / "real.m3u").c_str(), 0640);
    std::filesystem::create_symlink(dir / "real.m3u", dir / "link.m3u");
    ASSERT_TRUE(SavePlaylistFile((dir / "link.m3u").string(), list, PlaylistFormat::M3u));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.m3u"));
    EXPECT_EQ(LoadPlayList((dir / "real.m3u").string()).entries.size(), 3u);
    struct stat info {};
    ASSERT_EQ(::stat((dir / "real.m3u").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(PlaylistWrite, SaveTargetTakesFormatFromExtensionThenFilter) {
    TempDir dir;
    const std::string base = (dir / "list").string();
    const auto check = [&](const std::string& chosen, std::optional<PlaylistFormat> filter,
                           const std::string& path, PlaylistFormat format) {
        const auto target = ChooseSaveTarget(chosen, filter);
        ASSERT_TRUE(target) << chosen;
        EXPECT_EQ(target->path, path) << chosen;
        EXPECT_EQ(target->format, format) << chosen;
    };
    check(base + ".m3u", PlaylistFormat::Pls, base + ".m3u", PlaylistFormat::M3u);
    check(base + ".PLS", std::nullopt, base + ".PLS", PlaylistFormat::Pls);
    check(base + ".M3u8", PlaylistFormat::Pls, base + ".M3u8", PlaylistFormat::M3u8);
    check(base, std::nullopt, base + ".m3u", PlaylistFormat::M3u);
    check(base, PlaylistFormat::Pls, base + ".pls", PlaylistFormat::Pls);
    check(base + ".txt", PlaylistFormat::M3u8, base + ".txt.m3u8", PlaylistFormat::M3u8);
    check("/x.pls/name", std::nullopt, "/x.pls/name.m3u", PlaylistFormat::M3u);
    EXPECT_FALSE(ChooseSaveTarget("", std::nullopt));
    EXPECT_FALSE(ChooseSaveTarget(dir.Path().string() + "/", std::nullopt));

    EXPECT_FALSE(ChooseSaveTarget(base, PlaylistFormat::Pls)->exists);
    std::ofstream(base + ".pls") << "x";
    EXPECT_TRUE(ChooseSaveTarget(base, PlaylistFormat::Pls)->exists);
}

} // namespace
} // namespace tessel
