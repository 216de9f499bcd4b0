// What the player keeps between runs: the playlist and the resume point.
#include "playlist/PlaylistFiles.h"
#include "playlist/ResumePoint.h"
#include "playlist/StoredPlaylist.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <tuple>

namespace tessel {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteBytes;

void AddRow(CTrackList& list, const std::string& path, double length, int64_t start, int64_t end,
            const std::string& sheet, const std::string& title) {
    list.AddTrack(title, length, path);
    list.SetRange(list.GetCount() - 1, start, end, sheet);
}

// Every entry comes back as it was: paths a playlist line cannot hold as they
// are (a line break, an edge space, a byte that is not UTF-8, a percent
// sign), lengths, titles, a part of a file with its sheet and gain, and the
// loaded entry. Any other player sees the files, whole.
TEST(StoredPlaylist, RoundTripsEveryEntryExactlyAndOtherPlayersSeeWholeFiles) {
    TempDir dir;
    CTrackList list;
    list.AddTrack("Café – Ω", 215.375, "/music/Café/ünï 日本.mp3");
    list.AddTrack("", -1.0, "/music/plain.ogg");
    list.AddTrack("odd", 1.0, "/music/two\nlines.mp3");
    list.AddTrack("", 2.0, "/music/trailing space.mp3 ");
    list.AddTrack("", 3.0, std::string("/music/latin\xE9.mp3"));
    list.AddTrack("", 4.0, "/music/100% pure.mp3");
    list.AddTrack("Stream", 0.0, "http://radio.example/live?x=1");
    AddRow(list, "/m/album.flac", 100.0, 0, 4410000, "/m/al bum\n.cue", "One");
    AddRow(list, "/m/album.flac", 50.5, 4410000, -1, "/m/al bum\n.cue", "Two");
    list.SetSheetGain(8, {-3.0625, 0.987654321, std::nullopt, 1.0}); // a sheet's REM values
    AddRow(list, "/m/book.m4b", 3.0, 123457, 9876543210, "", "Chapter");
    list.SetLoaded(8);
    const std::string path = (dir / "data" / "playlist.m3u8").string();
    std::string error;
    ASSERT_TRUE(WriteStoredPlaylist(path, list, error)) << error;

    const StoredPlaylistRead read = ReadStoredPlaylist(path);
    ASSERT_EQ(read.status, StoredPlaylistStatus::Ok) << read.reason;
    ASSERT_EQ(read.playlist.entries.size(), 10u);
    for (int i = 0; i < list.GetCount(); ++i) {
        const PlaylistEntry& e = read.playlist.entries[static_cast<size_t>(i)];
        const TrackRecord& r = *list.GetRecord(i);
        const TrackPart& part = r.Part();
        EXPECT_EQ(
            std::tie(e.path, e.title, e.length, e.rangeStart, e.rangeEnd, e.sheetPath, e.gain),
            std::tie(r.trackPath, r.id3Tag, r.length, part.rangeStart, part.rangeEnd,
                     part.sheetPath, part.sheetGain))
            << i;
    }
    EXPECT_EQ(read.playlist.loadedIndex, 8);

    const PlaylistReadResult plain =
        ParsePlaylist(ReadText(path), PlaylistFormat::M3u, dir.Path().string());
    ASSERT_EQ(plain.entries.size(), 10u);
    EXPECT_EQ(plain.entries[8].path, "/m/album.flac");
    EXPECT_EQ(plain.entries[8].rangeStart, -1);

    // A gain line that does not read plays the row at its file's tags.
    std::string gainless = ReadText(path);
    gainless.replace(gainless.find("-3.0625"), 7, "-3.0x25");
    WriteBytes(path, gainless);
    EXPECT_TRUE(ReadStoredPlaylist(path).playlist.entries[8].gain.Empty());

    // A range line that does not read is damage, not a whole-file row.
    std::string text = ReadText(path);
    text.replace(text.find("123457,"), 7, "12x457,");
    WriteBytes(path, text);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
}

// A kept list cut short (fewer entries than its count) is the app's start test.
TEST(StoredPlaylist, AMissingFileIsAFirstStartAndADamagedOneIsTold) {
    TempDir dir;
    const std::string path = (dir / "playlist.m3u8").string();
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Missing);
    // A plain M3U without the count is not taken as whole.
    WriteBytes(path, std::string("#EXTM3U\n/m/a.mp3\n"));
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
    // A folder where the file should be: there, but no playlist to read.
    std::filesystem::remove(path);
    std::filesystem::create_directories(path);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
}

// Any path survives the file; nonsense positions are written as the start.
TEST(ResumePoint, AnyPathAndPositionSurviveTheFile) {
    TempDir dir;
    const std::string file = (dir / "resume").string();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (const auto& [written, read] : std::vector<std::pair<ResumePoint, ResumePoint>>{
             {{"/music/a/01 Intro.mp3", 83.25, 12}, {"/music/a/01 Intro.mp3", 83.25, 12}},
             {{"/odd/line\nbreak \xff\xfe trailing \n", 0.0, -1},
              {"/odd/line\nbreak \xff\xfe trailing \n", 0.0, -1}},
             {{"http://radio.example/stream", 1e6, 0}, {"http://radio.example/stream", 1e6, 0}},
             {{"/a.mp3", -5.0, 1}, {"/a.mp3", 0.0, 1}},
             {{"/a.mp3", std::nan(""), 1}, {"/a.mp3", 0.0, 1}},
             {{"/a.mp3", kInf, 1}, {"/a.mp3", 0.0, 1}}}) {
        std::string error;
        ASSERT_EQ(WriteResumePoint(file, written, error), AtomicWriteStatus::Ok) << error;
        EXPECT_EQ(ReadResumePoint(file), read);
    }
}

TEST(ResumePoint, AMissingDamagedOrTruncatedFileIsNothingToResume) {
    TempDir dir;
    const std::string file = (dir / "resume").string();
    EXPECT_FALSE(ReadResumePoint(file)) << "missing";
    EXPECT_FALSE(ReadResumePoint(dir.Path().string())) << "a folder";

    const std::string whole = FormatResumePoint({"/music/a.mp3", 12.5, 3});
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(ParseResumePoint(whole.substr(0, cut))) << "cut at " << cut;
    EXPECT_FALSE(ParseResumePoint(whole + "x")) << "more than the path";
    for (const char* damaged : {"tessel-resume 2\nindex 3\nseconds 1\npath 2\n/a\n",
                                "tessel-resume 1\nindex -2\nseconds 1\npath 2\n/a\n",
                                "tessel-resume 1\nindex 3\nseconds -1\npath 2\n/a\n",
                                "tessel-resume 1\nindex 3\nseconds nan\npath 2\n/a\n",
                                "tessel-resume 1\nindex 3\nseconds 1\npath 0\n\n",
                                "tessel-resume 1\nindex 3\nseconds 1\npath 18446744073709551615\n",
                                "tessel-resume 1\nseconds 1\nindex 3\npath 2\n/a\n"}) {
        WriteBytes(file, std::string(damaged));
        EXPECT_FALSE(ReadResumePoint(file)) << damaged;
    }
    // A huge file is refused unread.
    WriteBytes(file, whole + std::string(kMaxResumeFileBytes, 'x'));
    EXPECT_FALSE(ReadResumePoint(file));
}

TEST(ResumePoint, TheHintedRowIsTakenWhileItStillHoldsThePath) {
    CTrackList list;
    for (const char* path : {"/a.flac", "/cd.flac", "/cd.flac", "/cd.flac"})
        list.AddTrack("", 1.0, path);
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 2}), 2) << "a CUE sheet's second track";
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 0}), 1);
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 40}), 1);
    EXPECT_EQ(FindResumeRow(list, {"/gone.flac", 1.0, 0}), -1);
}

} // namespace
} // namespace tessel
