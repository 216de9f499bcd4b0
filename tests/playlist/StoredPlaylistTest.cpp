#include "playlist/StoredPlaylist.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessel {
namespace {

using test::ReadText;
using test::TempDir;

TEST(StoredPlaylist, RoundTripsEntriesLengthsTitlesAndTheLoadedEntry) {
    TempDir dir;
    CTrackList list;
    list.AddTrack("Café – Ω", 215.375, "/music/Café/ünï 日本.mp3");
    list.AddTrack("", -1.0, "/music/plain.ogg");
    // Paths a playlist line cannot hold as they are: a line break, an edge
    // space, a byte that is not UTF-8, a percent sign.
    list.AddTrack("odd", 1.0, "/music/two\nlines.mp3");
    list.AddTrack("", 2.0, "/music/trailing space.mp3 ");
    list.AddTrack("", 3.0, std::string("/music/latin\xE9.mp3"));
    list.AddTrack("", 4.0, "/music/100% pure.mp3");
    list.AddTrack("Stream", 0.0, "http://radio.example/live?x=1");
    list.SetLoaded(3);
    const std::string path = (dir / "data" / "playlist.m3u8").string();
    std::string error;
    ASSERT_TRUE(WriteStoredPlaylist(path, list, error)) << error;
    EXPECT_EQ(ReadText(path).substr(0, 9), "#EXTM3U\r\n") << "any player can read it";

    const StoredPlaylistRead read = ReadStoredPlaylist(path);
    ASSERT_EQ(read.status, StoredPlaylistStatus::Ok) << read.reason;
    ASSERT_EQ(read.playlist.entries.size(), 7u);
    for (int i = 0; i < list.GetCount(); ++i) {
        EXPECT_EQ(read.playlist.entries[i].path, list.GetTrackPath(i)) << i;
        EXPECT_EQ(read.playlist.entries[i].title, list.GetTag(i)) << i;
        EXPECT_DOUBLE_EQ(read.playlist.entries[i].length, list.GetLength(i)) << i;
    }
    EXPECT_EQ(read.playlist.loadedIndex, 3);
}

TEST(StoredPlaylist, AMissingFileIsAFirstStartAndADamagedOneIsSetAside) {
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

    ASSERT_TRUE(SetStoredPlaylistAside(path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ReadText(path + ".bad"), "#EXTM3U\n/m/a.mp3\n") << "kept as it was";

    // A folder where the file should be: there, but no playlist to read.
    std::filesystem::create_directories(path);
    EXPECT_EQ(ReadStoredPlaylist(path).status, StoredPlaylistStatus::Damaged);
}

} // namespace
} // namespace tessel
