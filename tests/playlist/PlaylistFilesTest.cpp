// The playlist files: M3U and PLS read and written, CUE sheets read, and rows
// that are a part of their file (a sheet's tracks, chapters) in them and in
// the list.
#include "playlist/PlaylistFiles.h"
#include "playlist/CueSheet.h"
#include "playlist/Playlist.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <tuple>

namespace tessel {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteBytes;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
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

TEST(PlaylistRead, ExtInfVariantsGiveLengthAndTitle) {
    std::string text = "#EXTM3U"; // no final line end
    std::vector<Row> expected;
    for (const auto& [extinf, title, length] :
         std::vector<std::tuple<std::string, std::string, double>>{
             {"#EXTINF:215,Artist - Title, with comma", "Artist - Title, with comma", 215.0},
             {"#EXTINF:42", "", 42.0},
             {"#EXTINF: 12.75 , spaced ", "spaced", 12.75},
             {"#EXTINF:-1 tvg-name=\"a,b\" group-title=\"x\",Channel", "Channel", -1.0},
             {"#EXTINF:abc,Not a number", "Not a number", -1.0},
             {"#extinf:7,lower case", "lower case", 7.0},
             {"#EXTINF:-5,negative", "negative", -1.0}}) {
        const std::string path = "/m/" + std::to_string(expected.size()) + ".mp3";
        text += "\r\n" + extinf + "\r\n" + path;
        expected.emplace_back(title, length, path);
    }
    TempDir dir;
    EXPECT_EQ(Rows(Load(dir, "list.m3u", text)), expected);
}

// The #EXTINF info reaches its path across the other directives; the CRLF
// line ends are the #EXTINF table's.
TEST(PlaylistRead, M3uCommentsDirectivesAndBlankLinesAreNotEntriesWhateverTheLineEnds) {
    TempDir dir;
    for (char eol : {'\n', '\r'}) {
        std::string text = "\xEF\xBB\xBF#EXTM3U\n\n# a comment\n#EXTINF:10,First\n#EXTGRP:Rock\n"
                           "#EXTVLCOPT:network-caching=1000\n\n   \n/m/first.mp3\n#PLAYLIST:x\n"
                           "  /m/second.mp3  \n\n";
        std::replace(text.begin(), text.end(), '\n', eol);
        EXPECT_EQ(Rows(Load(dir, "list.m3u", text)),
                  (std::vector<Row>{{"First", 10.0, "/m/first.mp3"}, {"", -1.0, "/m/second.mp3"}}));
    }
}

TEST(PlaylistRead, PathsResolveAgainstThePlaylistFolderAndFileUrlsOfThisMachineAreLocal) {
    TempDir dir;
    std::filesystem::create_directories(dir / "lists");
    const std::pair<std::string, std::string> cases[] = {
        {"rel.mp3", In(dir, "lists/rel.mp3")},
        {"sub\\dir\\win.mp3", In(dir, "lists/sub/dir/win.mp3")},
        {"..\\up.mp3", In(dir, "up.mp3")},
        {"./a/./b//../c.mp3", In(dir, "lists/a/c.mp3")},
        {"../../../../../../../../../../x.mp3", "/x.mp3"}, // stops at the root
        {"/abs/o\\lute.mp3", "/abs/o\\lute.mp3"},          // a name character here
        {"\\rooted\\w.mp3", "/rooted/w.mp3"},
        // Windows-only paths cannot be resolved here and stay as written.
        {"C:\\Music\\drive.mp3", "C:\\Music\\drive.mp3"},
        {"d:/Music/fwd.mp3", "d:/Music/fwd.mp3"},
        {"\\\\server\\share\\unc.mp3", "\\\\server\\share\\unc.mp3"},
        {"https://example.org/a%20b.mp3", "https://example.org/a%20b.mp3"},
        {"file:///m/My%20Song%20%231.mp3", "/m/My Song #1.mp3"},
        {"FILE://LocalHost/m/%C3%A9t%C3%A9.flac", "/m/été.flac"},
        {"file:/m/one%2fslash.mp3", "/m/one/slash.mp3"},
        {"file:///m/%E9t%E9.mp3", "/m/\xE9t\xE9.mp3"}, // the bytes the file system has
        {"file:///m/100%.mp3", "/m/100%.mp3"},         // a bare percent sign stays
        // Another host: not ours to open; no path holds a NUL.
        {"file://server/share/a.mp3", "file://server/share/a.mp3"},
        {"file:///m/nul%00.mp3", "file:///m/nul%00.mp3"},
        {"file:///C:/Music/win.mp3", "C:/Music/win.mp3"}};
    std::string text;
    std::vector<Row> expected;
    for (const auto& [line, path] : cases) {
        text += line + "\n";
        expected.emplace_back("", -1.0, path);
    }
    EXPECT_EQ(Rows(Load(dir, "lists/x.m3u", text)), expected);
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

// Mostly UTF-8, one line written by an old Windows program: the UTF-8 lines
// stay as they are, and 0x80-0x9F are that code page's characters.
TEST(PlaylistRead, EachLineIsUtf8WhenValidElseWindows1252AndUtf16GoesByItsBom) {
    TempDir dir;
    EXPECT_EQ(Rows(Load(dir, "mixed.M3U8",
                        "#EXTM3U\n#EXTINF:1,Motörhead – Ace\n/m/ü.mp3\n"
                        "#EXTINF:2,\x93Quoted\x94 \x80 5 \x85\n/m/Caf\xE9.mp3\n"
                        "#EXTINF:3,日本\n/m/日本.mp3\n")),
              (std::vector<Row>{{"Motörhead – Ace", 1.0, "/m/ü.mp3"},
                                {"“Quoted” € 5 …", 2.0, "/m/Café.mp3"},
                                {"日本", 3.0, "/m/日本.mp3"}}));
    EXPECT_EQ(Rows(Load(dir, "l.pls", "[playlist]\nFile1=/m/\xC9t\xE9.mp3\nTitle1=\xC9t\xE9\n")),
              (std::vector<Row>{{"Été", -1.0, "/m/Été.mp3"}}));

    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("/m/a.mp3\r\n/m/b.mp3"))
        utf16 += std::string{c, '\0'};
    utf16 += std::string("\xE9\0", 2); // é
    EXPECT_EQ(Rows(Load(dir, "w.m3u", utf16)),
              (std::vector<Row>{{"", -1.0, "/m/a.mp3"}, {"", -1.0, "/m/b.mp3é"}}));
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

// Other players read the M3U as it is laid out here; every format reads back
// to the same paths, titles and whole seconds.
TEST(PlaylistWrite, M3uIsUtf8WithCrlfAndWholeSecondsAndEveryFormatReadsBack) {
    CTrackList list;
    list.AddTrack("Café Ω", 185.9, "/music/Café/ünï 日本.mp3");
    list.AddTrack("", -1.0, "/music/AC\\DC plain.ogg");
    list.AddTrack("Stream, live", 0.0, "http://radio.example/s?a=1");
    TempDir dir;
    const std::vector<Row> expected = {{"Café Ω", 185.0, "/music/Café/ünï 日本.mp3"},
                                       {"", -1.0, "/music/AC\\DC plain.ogg"},
                                       {"Stream, live", 0.0, "http://radio.example/s?a=1"}};
    for (const auto& [format, name] : {std::pair{PlaylistFormat::M3u, "rt.m3u"},
                                       {PlaylistFormat::M3u8, "rt.m3u8"},
                                       {PlaylistFormat::Pls, "rt.pls"}}) {
        const auto saved = SavePlaylistFile((dir / name).string(), list, format);
        ASSERT_TRUE(saved) << saved.error;
        EXPECT_EQ(Rows(LoadPlayList((dir / name).string())), expected) << name;
    }
    EXPECT_EQ(ReadText(dir / "rt.m3u"), "#EXTM3U\r\n"
                                        "#EXTINF:185,Café Ω\r\n/music/Café/ünï 日本.mp3\r\n"
                                        "#EXTINF:-1,\r\n/music/AC\\DC plain.ogg\r\n"
                                        "#EXTINF:0,Stream, live\r\nhttp://radio.example/s?a=1\r\n");
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
    list.AddTrack("", -1.0, "/m/a.mp3");
    TempDir dir;
    EXPECT_EQ(SavePlaylistFile((dir / "no/x.m3u").string(), list, PlaylistFormat::M3u).status,
              PlaylistSaveStatus::CannotCreate);

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
    list.AddTrack("", -1.0, "/m/a.mp3");
    TempDir dir;
    std::ofstream(dir / "real.m3u") << "old";
    ::chmod((dir / "real.m3u").c_str(), 0640);
    std::filesystem::create_symlink(dir / "real.m3u", dir / "link.m3u");
    ASSERT_TRUE(SavePlaylistFile((dir / "link.m3u").string(), list, PlaylistFormat::M3u));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.m3u"));
    EXPECT_EQ(LoadPlayList((dir / "real.m3u").string()).entries.size(), 1u);
    struct stat info {};
    ASSERT_EQ(::stat((dir / "real.m3u").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Saving through the list fills an empty title from the file's ID3v1 tag,
// never one the entry has (a 30-byte ID3v1 title would cut a long one).
TEST(PlaylistWrite, SavingThroughTheListFillsOnlyEmptyTitlesFromId3v1) {
    TempDir dir;
    CPlaylist playlist;
    int listChanges = 0;
    playlist.onListChanged = [&] { ++listChanges; };
    const std::string longTitle = "Symphony No. 9 in D minor, Op. 125: IV. Presto - Allegro assai";
    std::ofstream(dir / "in.m3u") << "#EXTM3U\n#EXTINF:5," << longTitle
                                  << "\na.mp3\nb.mp3\n#EXTINF:1,Other\nmissing.mp3\n";
    ASSERT_EQ(playlist.LoadPlayList((dir / "in.m3u").string()).entries.size(), 3u);
    EXPECT_EQ(listChanges, 1);
    for (const char* name : {"a.mp3", "b.mp3"})
        test::WriteBytes(dir / name, std::string(300, 'x') + test::Id3v1Block("Tagged"));
    ASSERT_TRUE(playlist.SavePlayList((dir / "out.pls").string(), PlaylistFormat::Pls));
    EXPECT_EQ(playlist.Tracks().GetTag(1), "Tagged"); // the list shows the title it saved
    std::vector<std::string> titles;
    for (const PlaylistEntry& entry : LoadPlayList((dir / "out.pls").string()).entries)
        titles.push_back(entry.title);
    EXPECT_EQ(titles, (std::vector<std::string>{longTitle, "Tagged", "Other"}));
}

// The name's extension winning over the filter, and whether the file exists
// and is asked about: the window's save test.
TEST(PlaylistWrite, SaveTargetTakesFormatFromExtensionThenFilter) {
    const auto target = [](const std::string& chosen, std::optional<PlaylistFormat> filter) {
        const auto t = ChooseSaveTarget(chosen, filter);
        return !t ? std::string("none")
                  : t->path + (t->format == PlaylistFormat::Pls    ? " pls"
                               : t->format == PlaylistFormat::M3u8 ? " m3u8"
                                                                   : " m3u");
    };
    EXPECT_EQ(target("/d/list.M3u8", PlaylistFormat::Pls), "/d/list.M3u8 m3u8");
    EXPECT_EQ(target("/d/list.PLS", std::nullopt), "/d/list.PLS pls");
    EXPECT_EQ(target("/d/list", std::nullopt), "/d/list.m3u m3u");
    EXPECT_EQ(target("/d/list.txt", PlaylistFormat::M3u8), "/d/list.txt.m3u8 m3u8");
    EXPECT_EQ(target("/x.pls/name", std::nullopt), "/x.pls/name.m3u m3u");
    EXPECT_EQ(target("", std::nullopt), "none");
    EXPECT_EQ(target("/d/", std::nullopt), "none");
}

// "start-end title" per row, "!" marking an unreadable one, joined by " | ".
std::string Summary(const CueRows& rows) {
    std::string out;
    for (const CueRow& row : rows.rows) {
        if (!out.empty())
            out += " | ";
        out += (row.unreadable ? "!" : "") + std::to_string(row.startFrame) + "-" +
               std::to_string(row.endFrame) + " " + row.title;
    }
    return out;
}

auto Fields(const CueRemarks& r) {
    return std::tie(r.genre, r.date, r.discNumber, r.comment, r.trackGain, r.trackPeak, r.albumGain,
                    r.albumPeak);
}

constexpr int64_t kLong = 44100 * 3600; // an hour at 44.1 kHz

TEST(CueSheet, SheetsOddAndDamaged) {
    struct Case {
        const char* name;
        std::string sheet;
        std::string rows;    // Summary() of the rows, at 44.1 kHz, kLong frames a file
        const char* problem; // a problem that must be reported; "" for none at all
    };
    const Case cases[] = {
        {"plain album; the pregap of 2 is heard at the end of 1",
         "REM GENRE Rock\nPERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"a.wav\" WAVE\n"
         "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:01:00\n    INDEX 01 00:02:00\n",
         "0-88200 One | 88200--1 Two", ""},
        {"bare values, lower-case commands, CRLF, tabs",
         "\tfile a.wav wave\r\ntrack 1 audio\r\n\ttitle One Word\r\n\tindex 01 0:0:1\r\n",
         "588--1 One Word", ""},
        {"quotes inside a title survive",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"The \"Best\" Of\"\n"
         "INDEX 01 00:00:00\n",
         "0--1 The \"Best\" Of", ""},
        {"index out of order: the later track is left out",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nTITLE B\n"
         "INDEX 01 00:05:00\nTRACK 03 AUDIO\nTITLE C\nINDEX 01 00:20:00\n",
         "441000-882000  | 882000--1 C", "TRACK 02 (line 4) starts at 00:05:00, not after"},
        {"no INDEX 01", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", "", "no INDEX 01"},
        {"a data track", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "",
         "not audio"},
        {"bad times: seconds 60, frames 75, letters, missing",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\nINDEX 01 00:00:75\nINDEX 01 x:y:z\n"
         "INDEX 01\nINDEX 01 99999999999:00:00\nINDEX 01 00:00:02\n",
         "1176--1 ", "not mm:ss:ff"},
        {"INDEX 01 twice: the first counts",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:01\nINDEX 01 00:00:02\n", "588--1 ",
         "given twice"},
        {"sub-indexes are no rows",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:01:00\n", "0--1 ", ""},
        {"empty", "", "", "no TRACK"},
        {"a bad ReplayGain value is reported, the row kept",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nREM REPLAYGAIN_TRACK_GAIN loud\nINDEX 01 00:00:00\n",
         "0--1 ", "REPLAYGAIN_TRACK_GAIN is no number"},
        {"INDEX 00 after INDEX 01 is reported, the row kept",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:01:00\nINDEX 00 00:02:00\n", "44100--1 ",
         "INDEX 00 after"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CueSheet sheet = ParseCueSheet(c.sheet);
        const std::vector<std::string> paths(sheet.files.size(), "/music/a.wav");
        const std::vector<CueFileFacts> facts(sheet.files.size(), CueFileFacts{true, 44100, kLong});
        const CueRows rows = MakeCueRows(sheet, paths, facts);
        EXPECT_EQ(Summary(rows), c.rows);
        if (*c.problem == '\0')
            EXPECT_THAT(rows.problems, IsEmpty());
        else
            EXPECT_THAT(rows.problems, Contains(HasSubstr(c.problem)));
    }
}

// The album's remarks and performer stand for a track's missing ones; a
// track without a TITLE takes its file's title tag.
TEST(CueSheet, FieldsAndRemarksReachTheRows) {
    const CueSheet sheet = ParseCueSheet(
        "REM GENRE \"Jazz\"\nREM DATE 1959\nREM DISCNUMBER 2\nREM COMMENT \"ripped\"\n"
        "REM REPLAYGAIN_ALBUM_GAIN -7.50 dB\nREM REPLAYGAIN_ALBUM_PEAK 0.988\n"
        "PERFORMER \"Quintet\"\nTITLE \"Blue\"\nFILE \"Blue.flac\" FLAC\n"
        "  TRACK 01 AUDIO\n    TITLE \"So\"\n    REM REPLAYGAIN_TRACK_GAIN +1.25 dB\n"
        "    REM REPLAYGAIN_TRACK_PEAK 0.5\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    PERFORMER Guest\n    REM GENRE Bop\n    INDEX 01 09:22:00\n");
    const CueRows rows = MakeCueRows(sheet, {"/m/Blue.flac"}, {{true, 44100, kLong, "Whole"}});
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0].performer + "|" + rows.rows[0].album, "Quintet|Blue");
    EXPECT_EQ(rows.rows[1].title + "|" + rows.rows[1].performer, "Whole|Guest");
    EXPECT_EQ(Fields(rows.rows[0].remarks),
              Fields({"Jazz", "1959", "2", "ripped", 1.25, 0.5, -7.5, 0.988}));
    EXPECT_EQ(Fields(rows.rows[1].remarks),
              Fields({"Bop", "1959", "2", "ripped", {}, {}, -7.5, 0.988}));
}

// 1 CD frame = 588 samples at 44.1 kHz and 640 at 48 kHz (the sheet's rows
// at both rates play in the deck's sheet test); at 32 kHz it is 426.67,
// rounded to the nearest sample.
TEST(CueSheet, OffsetsAreRoundedToTheNearestSample) {
    EXPECT_EQ(CueFramesToSamples(1, 32000), 427);
    EXPECT_EQ(CueFramesToSamples(2, 32000), 853);
    EXPECT_EQ(CueFramesToSamples(75 * 60 * 80, 44100), int64_t{44100} * 60 * 80);
}

TEST(CueSheet, FilesAreFoundByCaseAndByBaseNameAndAMissingOneMarksItsRows) {
    TempDir dir;
    std::filesystem::create_directories(dir / "sub");
    WriteBytes(dir / "Album.FLAC", std::string("x"));
    WriteBytes(dir / "sub" / "two.ogg", std::string("x"));
    WriteBytes(dir / "sub" / "two.txt", std::string("x"));
    WriteBytes(dir / "exact.wav", std::string("x"));

    EXPECT_EQ(MatchCueFileName("two.wav", {"two.txt", "twofold.ogg"}), std::nullopt);

    const std::string sheet =
        "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
        "FILE \"sub\\two.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"
        "FILE \"exact.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:37\n"
        "FILE \"gone.wav\" WAVE\nTRACK 04 AUDIO\nINDEX 01 00:00:00\n"
        "TRACK 05 AUDIO\nINDEX 01 00:01:00\n"
        "FILE \"C:\\Rips\\EXACT.wav\" WAVE\nTRACK 06 AUDIO\nINDEX 01 00:00:00\n";
    std::vector<std::string> probed;
    const CueRows rows =
        CueSheetRows(sheet, (dir / "album.cue").string(), [&](const std::string& path) {
            probed.push_back(path);
            return std::filesystem::exists(path) ? CueFileFacts{true, 48000, 480000}
                                                 : CueFileFacts{};
        });
    // The last by its leaf next to the sheet; a file's offsets count from
    // its own start at its rate (37 CD frames at 48 kHz), the gone file's at
    // the CD's.
    const std::string d = dir.Path().string();
    EXPECT_EQ(Summary(rows), "0--1  | 0--1  | 23680--1  | !0-44100  | !44100--1  | 0--1 ");
    std::vector<std::string> paths;
    for (const CueRow& row : rows.rows)
        paths.push_back(row.path);
    EXPECT_EQ(paths,
              (std::vector<std::string>{d + "/Album.FLAC", d + "/sub/two.ogg", d + "/exact.wav",
                                        d + "/gone.wav", d + "/gone.wav", d + "/exact.wav"}));
    EXPECT_EQ(probed.size(), 4u) << "each file once";
    EXPECT_THAT(rows.problems, Contains(HasSubstr("gone.wav")));
}

TEST(CueSheet, HugeSheetsAreBounded) {
    std::string sheet = "FILE a.wav WAVE\n";
    for (size_t i = 0; i < kMaxCueTracks + 50; ++i)
        sheet += "TRACK 01 AUDIO\nINDEX 01 00:00:" + std::to_string(i % 75) + "\n";
    const CueRows rows = MakeCueRows(ParseCueSheet(sheet), {"/a.wav"}, {{true, 44100, kLong}});
    EXPECT_EQ(rows.rows.size(), 75u);
    EXPECT_EQ(rows.problems.size(), kMaxCueProblems);
    EXPECT_GT(rows.problemsLeftOut, 0u);
}

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

// A track beyond its file's end is left out and told; the rows of a file
// that is gone are kept, unreadable, counted at the CD's rate.
TEST(RangedRows, ASheetReadAloneOrNamedInAPlaylistBecomesItsRows) {
    TempDir dir;
    WriteBytes(dir / "Album.flac", std::string("audio"));
    WriteBytes(dir / "album.cue", std::string("PERFORMER Band\nTITLE Record\nREM DATE 1999\n"
                                              "FILE \"album.wav\" WAVE\n"
                                              "TRACK 01 AUDIO\nTITLE One\nINDEX 01 00:00:00\n"
                                              "TRACK 02 AUDIO\nTITLE Two\nINDEX 01 00:30:00\n"
                                              "TRACK 03 AUDIO\nTITLE Far\nINDEX 01 09:00:00\n"
                                              "FILE gone.wav WAVE\n"
                                              "TRACK 04 AUDIO\nINDEX 01 00:01:00\n"));
    WriteBytes(dir / "list.m3u", std::string("#EXTM3U\nbefore.mp3\nalbum.cue\nmissing.cue\n"));

    const PlaylistReadResult alone = LoadPlayList((dir / "album.cue").string(), FakeProbe);
    ASSERT_EQ(alone.status, PlaylistReadStatus::Ok);
    ASSERT_EQ(alone.entries.size(), 3u);
    EXPECT_EQ(alone.entries[0].rangeEnd, 44100 * 30);
    EXPECT_DOUBLE_EQ(alone.entries[1].length, 30.0) << "to the end of the one-minute file";
    EXPECT_EQ(alone.entries[1].sheetPath, (dir / "album.cue").string());
    EXPECT_EQ(LoadPlayList((dir / "album.cue").string()).status, PlaylistReadStatus::NotSupported)
        << "no rows without knowing the files' rates";

    CPlaylist playlist;
    playlist.cueFileProbe = FakeProbe;
    std::vector<std::string> told;
    playlist.onSheetProblems = [&](const std::vector<std::string>& problems) { told = problems; };
    playlist.LoadPlayList((dir / "list.m3u").string());
    EXPECT_THAT(told, Contains(HasSubstr("album.cue: TRACK 03")));
    const CTrackList& tracks = playlist.Tracks();
    ASSERT_EQ(tracks.GetCount(), 5);
    EXPECT_EQ(tracks.GetTrackPath(1), (dir / "Album.flac").string());
    EXPECT_EQ(tracks.GetTagLine(1), "Band \u2013 One") << "the sheet's performer is the artist";
    EXPECT_EQ(tracks.GetTags(2).album, "Record");
    EXPECT_EQ(tracks.GetTags(2).trackNumber, 2);
    EXPECT_EQ(tracks.GetTags(2).date, "1999");
    EXPECT_EQ(tracks.GetRecord(2)->Part().rangeStart, 44100 * 30);
    EXPECT_TRUE(tracks.IsUnreadable(3));
    EXPECT_EQ(tracks.GetTrackPath(4), (dir / "missing.cue").string()) << "kept; shows unreadable";

    // The length loader measures the album file: its rows keep their own.
    playlist.OnTrackLengthLoaded((dir / "Album.flac").string(), "Album title", 60.0);
    EXPECT_DOUBLE_EQ(tracks.GetLength(1), 30.0);
    EXPECT_EQ(tracks.GetTag(1), "One");
}

TEST(RangedRows, AFileWithChaptersBecomesARowPerChapterUnlessItPlaysWhole) {
    CPlaylist playlist;
    CTrackList& tracks = playlist.Tracks();
    for (const char* path : {"/m/book.m4b", "/m/other.mp3", "/m/book.m4b"})
        playlist.AddTrackRow(path, -1.0, "");
    playlist.MarkLoaded(2); // being played whole: it stays whole
    playlist.MarkLoaded(7); // a row that is not there changes nothing
    const EntryId first = tracks.GetId(0);
    playlist.SplitIntoParts("/m/book.m4b", {{{0, 100}, "Only", 1.0}}); // one part: no split
    ASSERT_EQ(tracks.GetCount(), 3);
    playlist.SplitIntoParts(
        "/m/book.m4b",
        {{{0, 44100}, "One", 1.0}, {{44100, 88200}, "", 1.0}, {{88200, -1}, "Three", 2.5}});
    std::vector<TrackRange> ranges;
    for (int row = 0; row < tracks.GetCount(); ++row)
        ranges.push_back(tracks.GetRange(row));
    EXPECT_EQ(ranges, (std::vector<TrackRange>{{0, 44100}, {44100, 88200}, {88200, -1}, {}, {}}));
    EXPECT_EQ(tracks.GetId(0), first) << "the entry is its first chapter";
    EXPECT_EQ(tracks.GetTag(2), "Three");
    EXPECT_EQ(tracks.GetTrackName(2), "book \u2013 Three") << "told apart in the file-name view";
    EXPECT_EQ(tracks.GetTrackName(1), "book") << "no title to tell it by";
    EXPECT_DOUBLE_EQ(tracks.GetLength(2), 2.5);
    EXPECT_EQ(tracks.GetTrackPath(3), "/m/other.mp3");
    EXPECT_TRUE(tracks.IsLoaded(4));
}

} // namespace
} // namespace tessel
