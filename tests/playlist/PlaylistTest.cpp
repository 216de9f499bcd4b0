#include "playlist/Playlist.h"
#include "playlist/PlaylistFiles.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessel {
namespace {

// A playlist with observers that record what they were told.
class PlaylistFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        playlist.onPlayLoadedEntry = [this] { ++played; };
        playlist.onListChanged = [this] { ++listChanges; };
        playlist.onRowChanged = [this](int row) { rowsChanged.push_back(row); };
    }
    void Add(int count) {
        for (int i = 0; i < count; ++i) {
            const int n = playlist.GetRowCount();
            playlist.AddTrackRow("/m/" + std::to_string(n) + ".mp3", -1.0, "");
        }
    }
    int Loaded() const { return playlist.GetLoadedIndex(); }

    CPlaylist playlist;
    int played = 0;
    int listChanges = 0;
    std::vector<int> rowsChanged;
};

TEST_F(PlaylistFixture, OneRowIsLoadedAndNextAndPreviousStopAtTheEnds) {
    EXPECT_FALSE(playlist.NextTrack()); // empty list
    EXPECT_FALSE(playlist.PreviousTrack());
    Add(3);
    playlist.MarkLoaded(0);
    playlist.MarkLoaded(2);
    playlist.MarkLoaded(7);
    playlist.MarkLoaded(-1);
    EXPECT_FALSE(playlist.Tracks().IsLoaded(0));
    EXPECT_EQ(playlist.GetLoadedTrackPath(), "/m/2.mp3");
    playlist.SetLoadedTrackLength(99.0);
    EXPECT_EQ(playlist.Tracks().GetLength(2), 99.0);
    EXPECT_EQ(playlist.Tracks().GetLength(0), -1.0);

    EXPECT_FALSE(playlist.NextTrack()); // at the last row
    EXPECT_TRUE(playlist.PreviousTrack());
    EXPECT_TRUE(playlist.PreviousTrack());
    EXPECT_FALSE(playlist.PreviousTrack()); // at the first row
    EXPECT_EQ(Loaded(), 0);
    EXPECT_EQ(played, 2);

    playlist.ClearLoadedRows();
    EXPECT_EQ(Loaded(), -1);
    EXPECT_EQ(playlist.GetLoadedTrackPath(), "");
    EXPECT_FALSE(playlist.PreviousTrack()); // nothing loaded
    EXPECT_TRUE(playlist.NextTrack());      // nothing loaded: the first row
    EXPECT_EQ(Loaded(), 0);
    EXPECT_FALSE(rowsChanged.empty());
}

TEST_F(PlaylistFixture, CueNextTrackHandsOutTheFollowingEntryOnce) {
    EXPECT_EQ(playlist.CueNextTrack(), "");
    Add(3);
    EXPECT_EQ(playlist.CueNextTrack(), "/m/0.mp3"); // nothing loaded: the first row
    playlist.MarkLoaded(1);
    EXPECT_EQ(playlist.CueNextTrack(), "/m/2.mp3");
    EXPECT_EQ(playlist.GetCuedIndex(), 2);
    EXPECT_FALSE(playlist.Tracks().IsCuedNext(0)); // earlier cue cleared

    playlist.LoadCuedTrack();
    EXPECT_EQ(Loaded(), 2);
    EXPECT_FALSE(playlist.Tracks().IsLoaded(1));
    EXPECT_EQ(playlist.CueNextTrack(), ""); // loaded row is the last
    EXPECT_EQ(playlist.GetCuedIndex(), -1);
    playlist.LoadCuedTrack(); // nothing cued: nothing changes
    EXPECT_EQ(Loaded(), 2);
    EXPECT_EQ(played, 0); // cueing never asks to play
}

TEST_F(PlaylistFixture, DeckPassesOverEntriesThatWillNotOpen) {
    Add(4);
    playlist.MarkLoaded(0);
    std::string path = playlist.CueNextTrack();
    std::vector<std::string> failed;
    // Rows 1 and 2 fail to open.
    while (path == "/m/1.mp3" || path == "/m/2.mp3") {
        failed.push_back(path);
        playlist.MarkUnreadable(path);
        path = playlist.CueNextTrack(playlist.GetCuedIndex());
    }
    EXPECT_EQ(path, "/m/3.mp3");
    EXPECT_EQ(failed.size(), 2u);
    EXPECT_TRUE(playlist.Tracks().IsUnreadable(1));
    EXPECT_TRUE(playlist.Tracks().IsUnreadable(2));
    EXPECT_FALSE(playlist.Tracks().IsUnreadable(3));
    EXPECT_EQ(playlist.GetCuedIndex(), 3);
    EXPECT_EQ(playlist.CueNextTrack(3), "");
    EXPECT_EQ(playlist.CueNextTrack(99), "");
    EXPECT_EQ(playlist.CueNextTrack(-7), "/m/0.mp3");
    // The play order names the row itself.
    EXPECT_EQ(playlist.CueRow(2), "/m/2.mp3");
    EXPECT_EQ(playlist.GetCuedIndex(), 2);
    EXPECT_EQ(playlist.CueRow(-1), "");
    EXPECT_EQ(playlist.GetCuedIndex(), -1);
}

// Saving fills an empty title from the file's ID3v1 tag, never one the entry
// has (a 30-byte ID3v1 title would cut a long one), unless told to keep
// titles as they are.
TEST_F(PlaylistFixture, LoadAndSavePlayListGoThroughTheModel) {
    test::TempDir dir;
    const std::string longTitle = "Symphony No. 9 in D minor, Op. 125: IV. Presto - Allegro assai";
    std::ofstream(dir / "in.m3u") << "#EXTM3U\n#EXTINF:5," << longTitle
                                  << "\na.mp3\nb.mp3\n#EXTINF:1,Other\nmissing.mp3\n";
    const auto read = playlist.LoadPlayList((dir / "in.m3u").string());
    ASSERT_EQ(read.status, PlaylistReadStatus::Ok);
    ASSERT_EQ(playlist.GetRowCount(), 3);
    EXPECT_EQ(listChanges, 1);
    EXPECT_EQ(playlist.Tracks().GetTag(0), longTitle);
    EXPECT_EQ(playlist.Tracks().GetTrackPath(0), (dir.Path() / "a.mp3").string());

    for (const char* name : {"a.mp3", "b.mp3"})
        test::WriteBytes(dir / name, std::string(300, 'x') + test::Id3v1Block("Tagged"));
    const std::string asStored = (dir / "stored.m3u").string();
    ASSERT_TRUE(SavePlaylistFile(asStored, playlist.Tracks(), PlaylistFormat::M3u,
                                 PlaylistTitles::AsStored));
    EXPECT_EQ(LoadPlayList(asStored).entries[1].title, "");
    ASSERT_TRUE(playlist.SavePlayList((dir / "out.pls").string(), PlaylistFormat::Pls));
    EXPECT_EQ(playlist.Tracks().GetTag(1), "Tagged"); // the list shows the title it saved
    const auto saved = playlist.LoadPlayList((dir / "out.pls").string());
    ASSERT_EQ(saved.entries.size(), 3u);
    EXPECT_EQ(saved.entries[0].title, longTitle);
    EXPECT_EQ(saved.entries[1].title, "Tagged");
    EXPECT_EQ(saved.entries[2].title, "Other");

    EXPECT_EQ(playlist.LoadPlayList((dir / "x.cue").string()).status,
              PlaylistReadStatus::NotSupported);
    EXPECT_EQ(listChanges, 2);
}

} // namespace
} // namespace tessel
