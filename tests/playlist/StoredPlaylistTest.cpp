#include "playlist/StoredPlaylist.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>

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
    EXPECT_EQ(ReadText(path).substr(0, 9), "#EXTM3U\r\n");

    const StoredPlaylistRead read = ReadStoredPlaylist(path);
    ASSERT_EQ(read.status, StoredPlaylistStatus::Ok) << read.reason;
    ASSERT_EQ(read.playlist.entries.size(), 10u);
    for (int i = 0; i < list.GetCount(); ++i) {
        SCOPED_TRACE(i);
        const PlaylistEntry& entry = read.playlist.entries[static_cast<size_t>(i)];
        const TrackRecord& record = *list.GetRecord(i);
        EXPECT_EQ(entry.path, record.trackPath);
        EXPECT_EQ(entry.title, record.id3Tag);
        EXPECT_DOUBLE_EQ(entry.length, list.GetLength(i));
        EXPECT_EQ(entry.rangeStart, record.Part().rangeStart);
        EXPECT_EQ(entry.rangeEnd, record.Part().rangeEnd);
        EXPECT_EQ(entry.sheetPath, record.Part().sheetPath);
        EXPECT_EQ(entry.gain, record.Part().sheetGain);
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

TEST(StoredPlaylist, AMissingFileIsAFirstStartAndADamagedOneIsTold) {
    TempDir dir;
    const std::string path = (dir / "playlist.m3u8").string();
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Missing);

    CTrackList list;
    for (int i = 0; i < 5; ++i)
        list.AddTrack("t", 1.0, "/m/" + std::to_string(i) + ".mp3");
    std::string error;
    ASSERT_TRUE(WriteStoredPlaylist(path, list, error));
    const std::string whole = ReadText(path);

    // Cut short: fewer entries than its count says.
    std::ofstream(path, std::ios::binary) << whole.substr(0, whole.size() - 20);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
    // Not ours at all.
    std::ofstream(path, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0", 10);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
    // A plain M3U without the count is not taken as whole either.
    std::ofstream(path, std::ios::binary) << "#EXTM3U\n/m/a.mp3\n";
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);

    std::filesystem::remove(path);
    // A folder where the file should be: there, but no playlist to read.
    std::filesystem::create_directories(path);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
}

} // namespace
} // namespace tessel
