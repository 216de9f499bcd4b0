// Find reads the list as a person does: letter case and accents aside, over
// title, artist, album and path, from a row on without wrapping.
#include "playlist/SearchText.h"
#include "playlist/Playlist.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

TEST(SearchText, CaseAndAccentsAside) {
    struct Case {
        const char* wanted;
        const char* text;
        bool found;
    };
    const Case cases[] = {
        {"beyonce", "Beyoncé", true},
        {"BEYONCÉ", "beyonce", true},
        {"angstrom", "Ångström", true},
        {"strasse", "Straße", true},
        {"aeon", "Æon", true},
        {"lodz", "Łódź", true}, // Latin Extended-A
        {"dvorak", "Dvořák", true},
        {"oeuvre", "Œuvre", true},
        {"cafe", "Cafe\xCC\x81 del Mar", true}, // decomposed: e + combining acute
        {"мир", "МИР", true},                   // Cyrillic capitals
        {"σοφια", "ΣΟΦΙΑ", true},               // Greek capitals
        {"日本", "東京 日本語", true},          // kept as it is
        {"", "anything", true},
        {"", "", true},
        {"e", "", false},
        {"café", "cafx", false},
        {"x", "×", false}, // the multiplication sign is no letter x
        {"beyoncé", "beyoncè", true},
        {"ss", "ß", true},
        {"abc", "ab", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CSearchText(c.wanted).FoundIn(c.text), c.found) << c.wanted << " in " << c.text;

    // Bytes that are not UTF-8 compare as they are and never stop the search.
    EXPECT_TRUE(CSearchText("caf\xE9").FoundIn("Caf\xE9 \xFF\xC3"));
    EXPECT_TRUE(CSearchText("end").FoundIn("\xC3 \xE2\x82 END"));
    EXPECT_EQ(FoldForSearch("\xF0\x9F\x8E\xB5 A\xC3\x89"), "\xF0\x9F\x8E\xB5 ae");
}

class FindRowFixture : public ::testing::Test {
  protected:
    void Add(const std::string& path, const std::string& title, const std::string& artist,
             const std::string& album) {
        playlist.AddTrackRow(path, 10.0, "");
        TrackTags tags;
        tags.title = title;
        tags.artist = artist;
        tags.album = album;
        playlist.OnTrackLengthLoaded(path, tags, 10.0);
    }
    CPlaylist playlist;
};

TEST_F(FindRowFixture, TitleArtistAlbumAndPathFromTheRowOnWithoutWrapping) {
    Add("/m/01.flac", "Halo", "Beyoncé", "I Am... Sasha Fierce");
    Add("/m/02.flac", "Crazy in Love", "Beyoncé", "Dangerously in Love");
    Add("/m/Björk/03.flac", "Jóga", "", "Homogenic");
    Add("/m/04.flac", "", "", "");
    const int end = playlist.GetRowCount();

    EXPECT_EQ(playlist.FindRow("beyonce", 0, end), 0); // artist
    EXPECT_EQ(playlist.FindRow("beyonce", 1, end), 1);
    EXPECT_EQ(playlist.FindRow("beyonce", 2, end), -1) << "no wrapping";
    EXPECT_EQ(playlist.FindRow("FIERCE", 0, end), 0); // album
    EXPECT_EQ(playlist.FindRow("joga", 0, end), 2);   // title
    EXPECT_EQ(playlist.FindRow("bjork", 0, end), 2);  // path
    EXPECT_EQ(playlist.FindRow("04.FLAC", 0, end), 3);
    EXPECT_EQ(playlist.FindRow("", 2, end), 2) << "empty text: the next row";
    EXPECT_EQ(playlist.FindRow("04", 0, 3), -1) << "rows past the end are not looked at";
    EXPECT_EQ(playlist.FindRow("halo", -5, end), 0);
    EXPECT_EQ(playlist.FindRow("halo", 9, 99), -1);
}

TEST_F(FindRowFixture, MeasuredTagsKeptAndShownAsArtistAndTitle) {
    playlist.AddTrackRow("/m/a.mp3", -1.0, "Title From Playlist");
    playlist.AddTrackRow("/m/a.mp3", -1.0, "");
    playlist.AddTrackRow("/m/b.mp3", -1.0, "");
    TrackTags tags;
    tags.artist = "Artist";
    tags.album = "Album";
    tags.trackNumber = 4;
    playlist.OnTrackLengthLoaded("/m/a.mp3", tags, 12.0);
    const CTrackList& tracks = playlist.Tracks();
    // A file without a title keeps the one its entry had.
    EXPECT_EQ(tracks.GetTag(0), "Title From Playlist");
    EXPECT_EQ(tracks.GetTagLine(0), "Artist \u2013 Title From Playlist");
    EXPECT_EQ(tracks.GetTagLine(1), "") << "no title: the view shows the file name";
    EXPECT_EQ(tracks.GetTags(1).album, "Album");
    EXPECT_EQ(tracks.GetTags(1).trackNumber, 4);

    tags.title = "Real Title";
    tags.artist.clear();
    playlist.OnTrackLengthLoaded("/m/a.mp3", tags, 12.0);
    EXPECT_EQ(tracks.GetTagLine(0), "Real Title") << "no artist: the title alone";
    EXPECT_EQ(tracks.GetTags(0).title, "") << "the title lives in one place";

    // The title-only answer leaves the other tags as they were; a failed
    // measurement touches no tag.
    playlist.OnTrackLengthLoaded("/m/a.mp3", std::string("Other"), 12.0);
    EXPECT_EQ(tracks.GetTags(0).album, "Album");
    playlist.OnTrackLengthLoaded("/m/b.mp3", tags, -1.0);
    EXPECT_TRUE(tracks.IsUnreadable(2));
    EXPECT_EQ(tracks.GetTags(2), TrackTags{});
    EXPECT_EQ(tracks.GetTags(99), TrackTags{});
    EXPECT_EQ(tracks.GetTagLine(99), "");
}

} // namespace
} // namespace tessel
