// Rows that are a part of their file (a CUE sheet's tracks, chapters) in the
// playlist files, the kept playlist and the list.
#include "playlist/Playlist.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessel {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteBytes;

void AddRow(CTrackList& list, const std::string& path, double length, int64_t start, int64_t end,
            const std::string& sheet, const std::string& title = "") {
    list.AddTrack(title, length, path);
    list.SetRange(list.GetCount() - 1, start, end, sheet);
}

// Rate 44100 and one minute for every file that exists; nothing otherwise.
CueFileFacts FakeProbe(const std::string& path) {
    return std::filesystem::exists(path) ? CueFileFacts{true, 44100, 44100 * 60} : CueFileFacts{};
}

TEST(RangedRows, SavedForOtherPlayersAsTheSheetOrTheFileOnce) {
    TempDir dir;
    CTrackList list;
    list.AddTrack("Plain", 10.0, "/m/plain.mp3");
    AddRow(list, "/m/album.flac", 100.0, 0, 4410000, "/m/album.cue", "One");
    AddRow(list, "/m/album.flac", 50.0, 4410000, -1, "/m/album.cue", "Two");
    AddRow(list, "/m/disc2.flac", 20.0, 0, -1, "/m/album.cue", "Three"); // the sheet's next file
    // Moved before the row it followed: a new run, so the sheet is named again.
    AddRow(list, "/m/album.flac", 100.0, 0, 4410000, "/m/album.cue", "One again");
    // Chapters of one file; the second's length is not known.
    AddRow(list, "/m/book.m4b", 30.0, 0, 1323000, "", "Ch 1");
    AddRow(list, "/m/book.m4b", -1.0, 1323000, -1, "", "Ch 2");
    AddRow(list, "/m/talk.mka", 7.0, 441, 88200, "", "Lone chapter");

    const std::string path = (dir / "out.m3u").string();
    const PlaylistSaveResult saved =
        SavePlaylistFile(path, list, PlaylistFormat::M3u, PlaylistTitles::AsStored);
    ASSERT_TRUE(saved) << saved.error;
    EXPECT_EQ(saved.entriesWritten, 5);
    EXPECT_EQ(ReadText(path), "#EXTM3U\r\n"
                              "#EXTINF:10,Plain\r\n/m/plain.mp3\r\n"
                              "#EXTINF:170,\r\n/m/album.cue\r\n"
                              "#EXTINF:100,\r\n/m/album.cue\r\n"
                              "#EXTINF:-1,\r\n/m/book.m4b\r\n"
                              "#EXTINF:7,Lone chapter\r\n/m/talk.mka\r\n");
    const std::string pls = (dir / "out.pls").string();
    ASSERT_TRUE(SavePlaylistFile(pls, list, PlaylistFormat::Pls, PlaylistTitles::AsStored));
    EXPECT_NE(ReadText(pls).find("File2=/m/album.cue\r\nTitle2=\r\nLength2=170\r\n"),
              std::string::npos);
}

TEST(RangedRows, ASheetReadAloneOrNamedInAPlaylistBecomesItsRows) {
    TempDir dir;
    WriteBytes(dir / "Album.flac", std::string("audio"));
    WriteBytes(dir / "album.cue", std::string("PERFORMER Band\nTITLE Record\nREM DATE 1999\n"
                                              "FILE \"album.wav\" WAVE\n"
                                              "TRACK 01 AUDIO\nTITLE One\nINDEX 01 00:00:00\n"
                                              "TRACK 02 AUDIO\nTITLE Two\nINDEX 01 00:30:00\n"
                                              "TRACK 03 AUDIO\nTITLE Far\nINDEX 01 09:00:00\n"));
    WriteBytes(dir / "list.m3u",
               std::string("#EXTM3U\nbefore.mp3\nalbum.cue\nmissing.cue\nalbum.cue\nafter.mp3\n"));

    const PlaylistReadResult alone = LoadPlayList((dir / "album.cue").string(), FakeProbe);
    ASSERT_EQ(alone.status, PlaylistReadStatus::Ok);
    ASSERT_EQ(alone.entries.size(), 2u);
    EXPECT_EQ(alone.entries[0].path, (dir / "Album.flac").string());
    EXPECT_EQ(alone.entries[0].rangeEnd, 44100 * 30);
    EXPECT_DOUBLE_EQ(alone.entries[0].length, 30.0);
    EXPECT_DOUBLE_EQ(alone.entries[1].length, 30.0) << "to the end of the one-minute file";
    EXPECT_EQ(alone.entries[1].sheetPath, (dir / "album.cue").string());
    ASSERT_EQ(alone.problems.size(), 1u);
    EXPECT_NE(alone.problems[0].find("album.cue: TRACK 03"), std::string::npos);

    EXPECT_EQ(LoadPlayList((dir / "album.cue").string()).status, PlaylistReadStatus::NotSupported)
        << "no rows without knowing the files' rates";

    CPlaylist playlist;
    playlist.cueFileProbe = FakeProbe;
    const PlaylistReadResult listed = playlist.LoadPlayList((dir / "list.m3u").string());
    const CTrackList& tracks = playlist.Tracks();
    ASSERT_EQ(tracks.GetCount(), 7);
    EXPECT_EQ(tracks.GetTrackPath(0), (dir / "before.mp3").string());
    EXPECT_EQ(tracks.GetTag(1), "One");
    EXPECT_EQ(tracks.GetTagLine(1), "Band \u2013 One") << "the sheet's performer is the artist";
    EXPECT_EQ(tracks.GetTags(2).album, "Record");
    EXPECT_EQ(tracks.GetTags(2).trackNumber, 2);
    EXPECT_EQ(tracks.GetTags(2).date, "1999");
    EXPECT_EQ(tracks.GetRecord(2)->Part().rangeStart, 44100 * 30);
    EXPECT_EQ(tracks.GetTrackPath(3), (dir / "missing.cue").string()) << "kept; shows unreadable";
    EXPECT_EQ(tracks.GetTag(5), "Two");
    EXPECT_EQ(listed.problems.size(), 2u);

    // The length loader measures the album file: its rows keep their own.
    playlist.OnTrackLengthLoaded((dir / "Album.flac").string(), "Album title", 60.0);
    EXPECT_DOUBLE_EQ(tracks.GetLength(1), 30.0);
    EXPECT_EQ(tracks.GetTag(1), "One");
}

TEST(RangedRows, AMissingAudioFileMarksTheSheetsRowsUnreadableAndATrackLeftOutIsTold) {
    TempDir dir;
    WriteBytes(dir / "a.cue", std::string("FILE gone.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                          "TRACK 02 AUDIO\nINDEX 01 00:01:00\n"
                                          "TRACK 03 AUDIO\nINDEX 01 00:00:30\n"));
    CPlaylist playlist;
    playlist.cueFileProbe = FakeProbe;
    std::vector<std::string> told;
    playlist.onSheetProblems = [&](const std::vector<std::string>& problems) { told = problems; };
    playlist.LoadPlayList((dir / "a.cue").string());
    EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const std::string& problem) {
        return problem.find("a.cue: TRACK 03") != std::string::npos;
    })) << "the track out of order";
    ASSERT_EQ(playlist.Tracks().GetCount(), 2);
    EXPECT_TRUE(playlist.Tracks().IsUnreadable(0));
    EXPECT_TRUE(playlist.Tracks().IsUnreadable(1));
    EXPECT_EQ(playlist.Tracks().GetRecord(1)->Part().rangeStart, 44100);
}

TEST(RangedRows, AFileWithChaptersBecomesARowPerChapterUnlessItPlaysWhole) {
    CPlaylist playlist;
    CTrackList& tracks = playlist.Tracks();
    playlist.AddTrackRow("/m/book.m4b", -1.0, "");
    playlist.AddTrackRow("/m/other.mp3", -1.0, "");
    playlist.AddTrackRow("/m/book.m4b", -1.0, "");
    playlist.MarkLoaded(2); // being played whole: it stays whole
    const EntryId first = tracks.GetId(0);
    playlist.SplitIntoParts("/m/book.m4b", {{{0, 100}, "Only", 1.0}}); // one part: no split
    ASSERT_EQ(tracks.GetCount(), 3);
    playlist.SplitIntoParts(
        "/m/book.m4b",
        {{{0, 44100}, "One", 1.0}, {{44100, 88200}, "", 1.0}, {{88200, -1}, "Three", 2.5}});
    ASSERT_EQ(tracks.GetCount(), 5);
    EXPECT_EQ(tracks.GetId(0), first) << "the entry is its first chapter";
    EXPECT_EQ(tracks.GetRange(0), (TrackRange{0, 44100}));
    EXPECT_EQ(tracks.GetRange(1), (TrackRange{44100, 88200}));
    EXPECT_EQ(tracks.GetRange(2), (TrackRange{88200, -1}));
    EXPECT_EQ(tracks.GetTag(2), "Three");
    EXPECT_EQ(tracks.GetTrackName(2), "book \u2013 Three") << "told apart in the file-name view";
    EXPECT_EQ(tracks.GetTrackName(1), "book") << "no title to tell it by";
    EXPECT_DOUBLE_EQ(tracks.GetLength(2), 2.5);
    EXPECT_EQ(tracks.GetTrackPath(3), "/m/other.mp3");
    EXPECT_TRUE(tracks.GetRange(4).IsWholeFile());
    EXPECT_TRUE(tracks.IsLoaded(4));
}

} // namespace
} // namespace tessel
