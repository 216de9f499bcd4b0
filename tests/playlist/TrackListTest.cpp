#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
    EXPECT_EQ(LengthText(0.0), "0:00");
    EXPECT_EQ(LengthText(59.9), "0:59");
    EXPECT_EQ(LengthText(185.0), "3:05");
    EXPECT_EQ(LengthText(4500.0), "75:00"); // no hours
    for (double nonsense : {-1.0, -1.5, std::nan(""), -std::numeric_limits<double>::infinity()})
        EXPECT_EQ(LengthText(nonsense), "");
    // Huge lengths must not overflow the integer conversion.
    EXPECT_FALSE(LengthText(1e300).empty());
    EXPECT_FALSE(LengthText(std::numeric_limits<double>::infinity()).empty());
}

// Windows ask for rows that a concurrent removal has just taken away.
TEST(TrackList, BadIndexesAnswerFallbacksAndSettersDoNothing) {
    CTrackList list;
    list.AddTrack("tag", 10.0, "/music/a.mp3");
    for (int bad : {-1, 1, 1000}) {
        EXPECT_EQ(list.GetTrackPath(bad), "");
        EXPECT_EQ(list.ReadId3Tag(bad, true), "");
        EXPECT_EQ(list.GetLengthText(bad), "");
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
                                     {"http://radio.example/stream.mp3", "stream"},
                                     {"/music/Café/Ünïcode ñ.flac", "Ünïcode ñ"}}) {
        CTrackList list;
        list.AddTrack("", -1.0, path);
        EXPECT_EQ(list.GetTrackName(0), name);
    }
}

std::vector<std::string> Paths(const CTrackList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.GetCount(); ++i)
        out.push_back(list.GetTrackPath(i));
    return out;
}

TEST(TrackList, AddTrackSortedOrdersByteWiseFromStartIndexOnly) {
    CTrackList list;
    list.AddTrackSorted("", -1.0, "b", 0);
    list.AddTrackSorted("", -1.0, "a", 0);
    list.AddTrackSorted("", -1.0, "c", 0);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"a", "b", "c"}));

    CTrackList folder;
    folder.AddTrack("", -1.0, "/z/earlier");
    const int start = folder.GetCount();
    for (const char* p : {"/m/b.mp3", "/m/a.mp3", "/m/c.wav", "/m/Z.mp3", "/m/sub/a.mp3"})
        folder.AddTrackSorted("", -1.0, p, start);
    // Capital Z sorts before small a; records before the start keep their place.
    EXPECT_EQ(Paths(folder), (std::vector<std::string>{"/z/earlier", "/m/Z.mp3", "/m/a.mp3",
                                                       "/m/b.mp3", "/m/c.wav", "/m/sub/a.mp3"}));

    folder.AddTrackSorted("", -1.0, "/0", 50); // a start past the end appends
    EXPECT_EQ(Paths(folder).back(), "/0");
}

TEST(TrackList, AddInsertsBeforeTheIndexAndMovesSwapNeighboursAndStopAtTheEnds) {
    CTrackList list;
    list.AddTrack("", -1.0, "b");
    list.AddTrack("", -1.0, "a", 0);
    list.AddTrack("", -1.0, "c", 99); // never dropped
    list.AddTrack("", -1.0, "d", -1);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"a", "b", "c", "d"}));
    list.RemoveTrack(3);
    list.MoveUp(0);
    list.MoveDown(2);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"a", "b", "c"}));
    list.MoveDown(0);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"b", "a", "c"}));
    list.MoveUp(2);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"b", "c", "a"}));
    list.RemoveTrack(1);
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"b", "a"}));
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
}

// The title field only, trimmed, Latin-1 made UTF-8; a file without a usable
// block (too short, "tag" in lower case, an empty title, no file) keeps the
// entry's tag.
TEST(TrackList, ReadId3TagTakesTheTrimmedLatin1TitleOrKeepsTheTag) {
    TempDir dir;
    const std::pair<std::string, std::string> files[] = {
        {std::string(500, 'x') + Id3v1Block("My Song   "), "My Song"},
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
    EXPECT_EQ(list.ReadId3Tag(0, false), "kept");
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::string expected =
            i < static_cast<int>(std::size(files)) ? files[i].second : "kept";
        EXPECT_EQ(list.ReadId3Tag(i, true), expected) << i;
        EXPECT_EQ(list.GetTag(i), expected) << i;
    }
}

} // namespace
} // namespace tessel
