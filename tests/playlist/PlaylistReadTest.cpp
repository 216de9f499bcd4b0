#include "playlist/PlaylistFiles.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

using test::TempDir;
using test::WriteBytes;
using namespace std::string_literals;

PlaylistReadResult Load(const TempDir& dir, const std::string& name, const std::string& bytes) {
    WriteBytes(dir / name, bytes);
    return LoadPlayList((dir / name).string());
}

std::string In(const TempDir& dir, const std::string& relative) {
    return (dir.Path() / relative).lexically_normal().string();
}

// Title, length and path of each entry.
using Row = std::tuple<std::string, double, std::string>;
std::vector<Row> Rows(const PlaylistReadResult& r) {
    std::vector<Row> rows;
    for (const PlaylistEntry& e : r.entries)
        rows.emplace_back(e.title, e.length, e.path);
    return rows;
}

// Reads one line per case from `name` and expects each case's path.
void ExpectPaths(const TempDir& dir, const std::string& name,
                 const std::vector<std::pair<std::string, std::string>>& cases) {
    std::string text;
    for (const auto& [line, path] : cases)
        text += line + "\n";
    const auto r = Load(dir, name, text);
    ASSERT_EQ(r.entries.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(r.entries[i].path, cases[i].second) << cases[i].first;
}

TEST(PlaylistRead, ExtInfVariantsGiveLengthAndTitle) {
    const struct {
        std::string extinf, title;
        double length;
    } cases[] = {
        {"#EXTINF:215,Artist - Title, with comma", "Artist - Title, with comma", 215.0},
        {"#EXTINF:-1,Stream", "Stream", -1.0},
        {"#EXTINF:,No length", "No length", -1.0},
        {"#EXTINF:42", "", 42.0},
        {"#EXTINF: 12.75 , spaced ", "spaced", 12.75},
        {"#EXTINF:-1 tvg-name=\"a,b\" group-title=\"x\",Channel", "Channel", -1.0},
        {"#EXTINF:abc,Not a number", "Not a number", -1.0},
        {"#extinf:7,lower case", "lower case", 7.0},
        {"#EXTINF:-5,negative", "negative", -1.0},
    };
    std::string text = "#EXTM3U";
    for (size_t i = 0; i < std::size(cases); ++i)
        text += "\r\n" + cases[i].extinf + "\r\n/m/" + std::to_string(i) + ".mp3";
    TempDir dir;
    const auto r = Load(dir, "list.m3u", text); // no final line end
    ASSERT_EQ(r.status, PlaylistReadStatus::Ok);
    ASSERT_EQ(r.entries.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(r.entries[i].title, cases[i].title) << cases[i].extinf;
        EXPECT_EQ(r.entries[i].length, cases[i].length) << cases[i].extinf;
        EXPECT_EQ(r.entries[i].path, "/m/" + std::to_string(i) + ".mp3");
    }
}

TEST(PlaylistRead, M3uCommentsAndBlankLinesAreNotEntries) {
    TempDir dir;
    const auto r = Load(dir, "list.m3u",
                        "\xEF\xBB\xBF#EXTM3U\n\n# a comment\n#EXTINF:10,First\n#EXTGRP:Rock\n"
                        "#EXTVLCOPT:network-caching=1000\n\n   \n/m/first.mp3\n#PLAYLIST:x\n"
                        "  /m/second.mp3  \n\n");
    // The #EXTINF info reaches its path across the other directives.
    EXPECT_EQ(Rows(r),
              (std::vector<Row>{{"First", 10.0, "/m/first.mp3"}, {"", -1.0, "/m/second.mp3"}}));
}

TEST(PlaylistRead, BarePathsWithoutHeaderAndAnyLineEnd) {
    TempDir dir;
    for (const std::string eol : {"\n", "\r\n", "\r"}) {
        EXPECT_EQ(Rows(Load(dir, "bare.m3u", "/m/a.mp3" + eol + "/m/b.mp3")),
                  (std::vector<Row>{{"", -1.0, "/m/a.mp3"}, {"", -1.0, "/m/b.mp3"}}));
    }
}

TEST(PlaylistRead, PathsResolveAgainstThePlaylistFolder) {
    TempDir dir;
    std::filesystem::create_directories(dir / "lists");
    ExpectPaths(dir, "lists/x.m3u",
                {{"rel.mp3", In(dir, "lists/rel.mp3")},
                 {"sub\\dir\\win.mp3", In(dir, "lists/sub/dir/win.mp3")},
                 {"..\\up.mp3", In(dir, "up.mp3")},
                 {"./here/../h.mp3", In(dir, "lists/h.mp3")},
                 {"/abs/o\\lute.mp3", "/abs/o\\lute.mp3"}, // a name character here
                 {"\\rooted\\w.mp3", "/rooted/w.mp3"},
                 // Windows-only paths cannot be resolved here and stay as written.
                 {"C:\\Music\\drive.mp3", "C:\\Music\\drive.mp3"},
                 {"d:/Music/fwd.mp3", "d:/Music/fwd.mp3"},
                 {"\\\\server\\share\\unc.mp3", "\\\\server\\share\\unc.mp3"},
                 {"https://example.org/a%20b.mp3", "https://example.org/a%20b.mp3"},
                 {"file:///m/url.mp3", "/m/url.mp3"}});
}

TEST(PlaylistRead, RelativePlaylistPathStillGivesAbsoluteEntries) {
    TempDir dir;
    WriteBytes(dir / "rel.m3u", "song.mp3\n");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const auto r = LoadPlayList("rel.m3u");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(Rows(r), (std::vector<Row>{{"", -1.0, In(dir, "song.mp3")}}));
}

TEST(PlaylistRead, EncodingIsUtf8WhenValidElseLatin1OrUtf16ByBom) {
    TempDir dir;
    EXPECT_EQ(Rows(Load(dir, "u.M3U8", "#EXTINF:1,Café\n/m/Café ünï 日本.mp3\n")),
              (std::vector<Row>{{"Café", 1.0, "/m/Café ünï 日本.mp3"}}));
    EXPECT_EQ(Rows(Load(dir, "l.m3u", "#EXTINF:1,Caf\xE9\r\n/m/Caf\xE9 \xFC.mp3\r\n")),
              (std::vector<Row>{{"Café", 1.0, "/m/Café ü.mp3"}}));
    EXPECT_EQ(Rows(Load(dir, "l.pls", "[playlist]\nFile1=/m/\xC9t\xE9.mp3\nTitle1=\xC9t\xE9\n")),
              (std::vector<Row>{{"Été", -1.0, "/m/Été.mp3"}}));

    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("/m/a.mp3\r\n/m/b.mp3"))
        utf16 += std::string{c, '\0'};
    utf16 += std::string("\xE9\0", 2); // é
    const auto wide = Load(dir, "w.m3u", utf16);
    ASSERT_EQ(wide.entries.size(), 2u);
    EXPECT_EQ(wide.entries[1].path, "/m/b.mp3é");
}

TEST(PlaylistRead, EachLineFallsBackToWindows1252OnItsOwn) {
    TempDir dir;
    // Mostly UTF-8, one line written by an old Windows program: the UTF-8
    // lines stay as they are, and 0x80-0x9F are that code page's characters.
    const auto r = Load(dir, "mixed.m3u",
                        "#EXTM3U\n#EXTINF:1,Motörhead – Ace\n/m/ü.mp3\n"
                        "#EXTINF:2,\x93Quoted\x94 \x80 5 \x85\n/m/Caf\xE9.mp3\n"
                        "#EXTINF:3,日本\n/m/日本.mp3\n");
    EXPECT_EQ(Rows(r), (std::vector<Row>{{"Motörhead – Ace", 1.0, "/m/ü.mp3"},
                                         {"“Quoted” € 5 …", 2.0, "/m/Café.mp3"},
                                         {"日本", 3.0, "/m/日本.mp3"}}));
}

TEST(PlaylistRead, FileUrlsOfThisMachineBecomeLocalPaths) {
    TempDir dir;
    ExpectPaths(dir, "urls.m3u",
                {{"file:///m/My%20Song%20%231.mp3", "/m/My Song #1.mp3"},
                 {"file://localhost/m/%C3%A9t%C3%A9.flac", "/m/été.flac"},
                 {"FILE://LocalHost/m/caps.ogg", "/m/caps.ogg"},
                 {"file:/m/one%2fslash.mp3", "/m/one/slash.mp3"},
                 // The bytes the file system has.
                 {"file:///m/%E9t%E9.mp3", "/m/\xE9t\xE9.mp3"},
                 // A bare percent sign stands for itself.
                 {"file:///m/100%.mp3", "/m/100%.mp3"},
                 // Another host: not ours to open.
                 {"file://server/share/a.mp3", "file://server/share/a.mp3"},
                 // No path holds a NUL.
                 {"file:///m/nul%00.mp3", "file:///m/nul%00.mp3"},
                 {"file:///C:/Music/win.mp3", "C:/Music/win.mp3"}});
}

TEST(PlaylistRead, PlsTakesEveryFileLineInOrderWithItsNumberedDetails) {
    TempDir dir;
    // File lines back to back; details before, after and out of order;
    // keys in other cases; no final line end.
    const auto r = Load(dir, "list.pls",
                        "\r\n[Playlist]\r\nNumberOfEntries=4\r\nTitle2=Second\r\n"
                        "File1=/m/one.mp3\r\nFile2=/m/two.mp3\r\nFile3 = rel three.mp3\r\n"
                        "Length1=61\r\nTITLE1=First\r\nlength2=-1\r\n; comment\r\n"
                        "File4=http://radio.example/s\r\nTitle3=\r\nLength3=abc\r\nVersion=2");
    ASSERT_EQ(r.status, PlaylistReadStatus::Ok);
    EXPECT_EQ(Rows(r), (std::vector<Row>{{"First", 61.0, "/m/one.mp3"},
                                         {"Second", -1.0, "/m/two.mp3"},
                                         {"", -1.0, In(dir, "rel three.mp3")},
                                         {"", -1.0, "http://radio.example/s"}}));
}

TEST(PlaylistRead, PlsWithoutHeaderOtherTypesAndMissingFilesGiveNoEntries) {
    TempDir dir;
    EXPECT_EQ(Load(dir, "a.pls", "File1=/m/a.mp3\n").status, PlaylistReadStatus::NoHeader);
    EXPECT_EQ(Load(dir, "b.pls", "").status, PlaylistReadStatus::NoHeader);
    const auto odd = Load(dir, "c.pls", "[playlist]\nFile=/no/number\nFileX=/bad\nFile1\n=x\n");
    EXPECT_EQ(odd.status, PlaylistReadStatus::Ok);
    EXPECT_TRUE(odd.entries.empty());

    EXPECT_EQ(Load(dir, "a.cue", "FILE \"x.wav\" WAVE\n").status, PlaylistReadStatus::NotSupported);
    EXPECT_EQ(Load(dir, "a.wbq", "x").status, PlaylistReadStatus::NotSupported);
    EXPECT_EQ(LoadPlayList((dir / "missing.m3u").string()).status, PlaylistReadStatus::CannotOpen);
    std::filesystem::create_directory(dir / "folder.m3u");
    EXPECT_EQ(LoadPlayList((dir / "folder.m3u").string()).status, PlaylistReadStatus::CannotOpen);
    // A character device would never end; it is refused, not read.
    std::filesystem::create_symlink("/dev/zero", dir / "zero.m3u");
    EXPECT_EQ(LoadPlayList((dir / "zero.m3u").string()).status, PlaylistReadStatus::CannotOpen);
}

TEST(PlaylistRead, IsPlaylistFileKnowsTheTypesInAnyCase) {
    for (const char* ext : {".m3u", ".M3U", ".m3u8", ".pls", ".Pls", ".cue", ".wbq"})
        EXPECT_TRUE(IsPlaylistFile(ext)) << ext;
    for (const char* ext : {".mp3", "", ".m3", "m3u", ".m3u ", ".plsx"})
        EXPECT_FALSE(IsPlaylistFile(ext)) << ext;
}

TEST(PlaylistRead, HostileInputIsBounded) {
    // Lines beyond the line limit and lines with NUL bytes are skipped.
    const std::string longLine(kMaxPlaylistLineBytes + 1, 'a');
    const auto r = ParsePlaylist("/m/ok.mp3\n" + longLine + "\n/m/nul\0.mp3\n/m/ok2.mp3"s,
                                 PlaylistFormat::M3u, "/pl");
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_EQ(r.entries[1].path, "/m/ok2.mp3");
    EXPECT_EQ(r.skippedLines, 2u);

    // More entries than the limit: the rest are dropped and that is said.
    std::string many;
    many.reserve((kMaxPlaylistEntries + 2) * 3);
    for (size_t i = 0; i < kMaxPlaylistEntries + 2; ++i)
        many += "/a\n";
    const auto m = ParsePlaylist(many, PlaylistFormat::M3u, "/pl");
    EXPECT_EQ(m.entries.size(), kMaxPlaylistEntries);
    EXPECT_TRUE(m.truncated);
}

TEST(PlaylistRead, DotSegmentsFoldLexicallyAndStopAtTheRoot) {
    const auto r = ParsePlaylist("../../../../x.mp3\na/./b//c.mp3\na/../../b.mp3\n",
                                 PlaylistFormat::M3u, "/pl/sub/");
    EXPECT_EQ(Rows(r),
              (std::vector<Row>{
                  {"", -1.0, "/x.mp3"}, {"", -1.0, "/pl/sub/a/b/c.mp3"}, {"", -1.0, "/pl/b.mp3"}}));
    EXPECT_EQ(Rows(ParsePlaylist("../../a.mp3\n", PlaylistFormat::M3u, "")),
              (std::vector<Row>{{"", -1.0, "../../a.mp3"}}));
}

} // namespace
} // namespace tessel
