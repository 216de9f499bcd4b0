// The list's entries, and finding them.
#include "playlist/TrackList.h"
#include "playlist/Playlist.h"
#include "playlist/SearchText.h"
#include "tests/support/TestData.h"
#include "tests/support/TrackPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace tessel {
namespace {

using test::Id3v1Block;
using test::TempDir;
using test::WriteBytes;

std::string LengthText(double seconds) {
    CTrackList list;
    list.AddTrack("", seconds, "/a.mp3");
    return list.GetLengthText(0);
}

TEST(TrackList, LengthTextIsMinutesAndSecondsAndEmptyForNonsense) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> lengths[] = {
        {0.0, "0:00"}, {59.9, "0:59"}, {185.0, "3:05"},    {4500.0, "75:00"}, // no hours
        {-1.0, ""},    {-1.5, ""},     {std::nan(""), ""}, {-kInf, ""}};
    for (const auto& [seconds, text] : lengths)
        EXPECT_EQ(LengthText(seconds), text) << seconds;
    // Huge lengths must not overflow the integer conversion.
    EXPECT_FALSE(LengthText(1e300).empty());
    EXPECT_FALSE(LengthText(kInf).empty());
}

// Windows ask for rows that a concurrent removal has just taken away.
TEST(TrackList, BadIndexesAnswerFallbacksAndSettersDoNothing) {
    CTrackList list;
    list.AddTrack("tag", 10.0, "/music/a.mp3");
    for (int bad : {-1, 1, 1000}) {
        EXPECT_EQ(list.GetTrackPath(bad) + list.ReadId3Tag(bad, true) + list.GetLengthText(bad) +
                      list.GetTagLine(bad),
                  "");
        EXPECT_EQ(list.GetTags(bad), TrackTags{});
        EXPECT_TRUE(list.IsUnreadable(bad));
        EXPECT_EQ(list.GetRecord(bad), nullptr);
        list.SetTag(bad, "x");
        list.SetLength(bad, 1.0);
        list.SetLoaded(bad);
        list.SetCuedNext(bad);
        list.SetSelected(bad);
        list.SetUnreadable(bad);
        list.RemoveTrack(bad);
        list.MoveUp(bad);
        list.MoveDown(bad);
    }
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetTag(0), "tag");
    EXPECT_EQ(list.GetLength(0), 10.0);
    EXPECT_FALSE(list.IsLoaded(0) || list.IsCuedNext(0) || list.IsSelected(0) ||
                 list.IsUnreadable(0));
}

TEST(TrackList, TrackNameDropsFolderAndLastExtension) {
    for (const auto& [path, name] : {std::pair{"/music/Artist/01 Song.name.mp3", "01 Song.name"},
                                     {"/music/noext", "noext"},
                                     {"C:\\Music\\Win Song.wma", "Win Song"},
                                     {"http://radio.example/stream.mp3", "stream"}}) {
        CTrackList list;
        list.AddTrack("", -1.0, path);
        EXPECT_EQ(list.GetTrackName(0), name);
    }
}

TEST(TrackList, AddInsertsBeforeTheIndexOrAppendsAndMovesSwapNeighboursButNotPastTheEnds) {
    CTrackList list;
    list.AddTrack("", -1.0, "b");
    list.AddTrack("", -1.0, "a", 0);
    list.AddTrack("", -1.0, "c", 99); // never dropped
    list.AddTrack("", -1.0, "d", -1);
    list.MoveDown(0);
    list.MoveUp(3);
    list.MoveUp(0);
    list.MoveDown(3);
    list.RemoveTrack(1);
    EXPECT_EQ(test::TrackPaths(list), (std::vector<std::string>{"b", "d", "c"}));
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
}

// The title field only, trimmed, Latin-1 made UTF-8; a file without a usable
// block (too short, "tag" in lower case, an empty title, no file) keeps the
// entry's tag.
TEST(TrackList, ReadId3TagTakesTheTrimmedLatin1TitleOrKeepsTheTag) {
    TempDir dir;
    const std::pair<std::string, std::string> files[] = {
        {std::string(10, 'x') + Id3v1Block("Caf\xE9 \xDC" + std::string(24, ' ')), "Café Ü"},
        {std::string(10, 'x') + Id3v1Block(std::string(30, 'T') + "ARTIST"), std::string(30, 'T')},
        {"x" + Id3v1Block("Found"), "Found"},
        {Id3v1Block("Exactly"), "kept"}, // nothing before the block
        {"TAGshort", "kept"},
        {std::string(10, 'x') + "tag" + Id3v1Block("x").substr(3), "kept"},
        {std::string(10, 'x') + Id3v1Block(std::string(30, ' ')), "kept"},
    };
    CTrackList list;
    for (size_t i = 0; i < std::size(files); ++i) {
        const auto path = dir / (std::to_string(i) + ".mp3");
        WriteBytes(path, files[i].first);
        list.AddTrack("kept", -1.0, path.string());
    }
    std::filesystem::create_directory(dir / "folder.mp3");
    list.AddTrack("kept", -1.0, (dir / "folder.mp3").string());
    list.AddTrack("kept", -1.0, (dir / "missing.mp3").string());
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::string expected =
            i < static_cast<int>(std::size(files)) ? files[i].second : "kept";
        EXPECT_EQ(list.ReadId3Tag(i, true), expected) << i;
        EXPECT_EQ(list.GetTag(i), expected) << i;
    }
}

// Find reads the list as a person does: letter case and accents aside, over
// title, artist, album and path, from a row on without wrapping.
TEST(SearchText, CaseAndAccentsAside) {
    // Accents, ligatures, ß, Latin Extended-A, a decomposed é, Cyrillic and
    // Greek capitals, CJK as it is, and the empty text.
    for (const auto& [wanted, text] :
         std::vector<std::pair<const char*, const char*>>{{"beyonce", "Beyoncé"},
                                                          {"BEYONCÉ", "beyonce"},
                                                          {"strasse", "Straße"},
                                                          {"aeon", "Æon"},
                                                          {"oeuvre", "Œuvre"},
                                                          {"lodz", "Łódź"},
                                                          {"cafe", "Cafe\xCC\x81 del Mar"},
                                                          {"мир", "МИР"},
                                                          {"σοφια", "ΣΟΦΙΑ"},
                                                          {"日本", "東京 日本語"},
                                                          {"", "anything"}})
        EXPECT_TRUE(CSearchText(wanted).FoundIn(text)) << wanted << " in " << text;
    // The multiplication sign is no letter x.
    for (const auto& [wanted, text] : std::vector<std::pair<const char*, const char*>>{
             {"e", ""}, {"café", "cafx"}, {"x", "×"}, {"abc", "ab"}})
        EXPECT_FALSE(CSearchText(wanted).FoundIn(text)) << wanted << " in " << text;

    // Bytes that are not UTF-8 compare as they are and never stop the search.
    EXPECT_TRUE(CSearchText("caf\xE9").FoundIn("Caf\xE9 \xFF\xC3"));
    EXPECT_TRUE(CSearchText("end").FoundIn("\xC3 \xE2\x82 END"));
    EXPECT_EQ(FoldForSearch("\xF0\x9F\x8E\xB5 A\xC3\x89"), "\xF0\x9F\x8E\xB5 ae");
}

// A file without a title keeps the one its entry had; a title-only answer
// leaves the other tags; a failed measurement touches no tag. Find looks at
// title, artist, album and path, from a row on up to the end.
TEST(Playlist, MeasuredTagsAreKeptShownAsArtistAndTitleAndFound) {
    CPlaylist playlist;
    for (const char* title : {"Halo", ""})
        playlist.AddTrackRow("/m/a.mp3", -1.0, title);
    playlist.AddTrackRow("/m/Björk/b.mp3", -1.0, "");
    TrackTags tags;
    tags.artist = "Beyoncé";
    tags.album = "Sasha Fierce";
    playlist.OnTrackLengthLoaded("/m/a.mp3", tags, 12.0);
    const CTrackList& tracks = playlist.Tracks();
    EXPECT_EQ(tracks.GetTagLine(0), "Beyoncé \u2013 Halo");
    EXPECT_EQ(tracks.GetTagLine(1), "") << "no title: the view shows the file name";
    const std::tuple<const char*, int, int, int> finds[] = {
        {"beyonce", 1, 3, 1}, {"FIERCE", 0, 3, 0}, {"halo", -5, 3, 0}, {"bjork", 0, 3, 2},
        {"", 1, 3, 1},        {"bjork", 0, 2, -1}, {"halo", 1, 3, -1}, {"halo", 9, 99, -1}};
    for (const auto& [text, from, end, row] : finds)
        EXPECT_EQ(playlist.FindRow(text, from, end), row) << text << " from " << from;

    playlist.OnTrackLengthLoaded("/m/a.mp3", std::string("Other"), 12.0);
    EXPECT_EQ(tracks.GetTagLine(0), "Beyoncé \u2013 Other");
    EXPECT_EQ(tracks.GetTags(0).album, "Sasha Fierce");
    playlist.OnTrackLengthLoaded("/m/Björk/b.mp3", tags, -1.0);
    EXPECT_TRUE(tracks.IsUnreadable(2));
    EXPECT_EQ(tracks.GetTags(2), TrackTags{});
}

} // namespace
} // namespace tessel
