#include "playlist/CueSheet.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace tessel {
namespace {

using test::TempDir;
using test::WriteBytes;

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

bool Mentions(const CueRows& rows, const std::string& text) {
    return std::any_of(rows.problems.begin(), rows.problems.end(),
                       [&](const std::string& p) { return p.find(text) != std::string::npos; });
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
        {"an unclosed quote runs to the end of the line",
         "FILE \"a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"Open\nINDEX 01 00:00:00\n", "0--1 Open", ""},
        {"index out of order: the later track is left out",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nTITLE B\n"
         "INDEX 01 00:05:00\nTRACK 03 AUDIO\nTITLE C\nINDEX 01 00:20:00\n",
         "441000-882000  | 882000--1 C", "TRACK 02 (line 4) starts at 00:05:00, not after"},
        {"two tracks at the same index",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
         "TRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         "0--1 ", "not after"},
        {"index beyond the end of the file",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
         "TRACK 02 AUDIO\nINDEX 01 61:00:00\n",
         "0--1 ", "beyond the end"},
        {"no INDEX 01", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", "", "no INDEX 01"},
        {"a data track", "FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "",
         "not audio"},
        {"track before any file", "TRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE a.wav WAVE\n", "",
         "TRACK before any FILE"},
        {"bad times: seconds 60, frames 75, letters, missing",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\nINDEX 01 00:00:75\nINDEX 01 x:y:z\n"
         "INDEX 01\nINDEX 01 99999999999:00:00\nINDEX 01 00:00:02\n",
         "1176--1 ", "not mm:ss:ff"},
        {"INDEX 01 twice: the first counts",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:01\nINDEX 01 00:00:02\n", "588--1 ",
         "given twice"},
        {"sub-indexes are no rows",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:01:00\n", "0--1 ", ""},
        {"index outside a track", "FILE a.wav WAVE\nINDEX 01 00:00:00\n", "", "INDEX outside"},
        {"empty", "", "", "no TRACK"},
        {"binary noise", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18), "", "no TRACK"},
        {"Windows-1252 title",
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE Caf\xE9\nINDEX 01 00:00:00\n", "0--1 Caf\xC3\xA9",
         ""},
        {"UTF-8 with BOM",
         "\xEF\xBB\xBF"
         "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE Ωmega\n"
         "INDEX 01 00:00:00\n",
         "0--1 Ωmega", ""},
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
            EXPECT_TRUE(rows.problems.empty()) << rows.problems.front();
        else
            EXPECT_TRUE(Mentions(rows, c.problem))
                << (rows.problems.empty() ? "none" : rows.problems[0]);
    }
}

TEST(CueSheet, FieldsRemarksAndGainReachTheRows) {
    const CueSheet sheet = ParseCueSheet(
        "REM GENRE \"Jazz\"\nREM DATE 1959\nREM DISCNUMBER 2\nREM COMMENT \"ripped\"\n"
        "REM REPLAYGAIN_ALBUM_GAIN -7.50 dB\nREM REPLAYGAIN_ALBUM_PEAK 0.988\n"
        "PERFORMER \"Quintet\"\nTITLE \"Blue\"\nFILE \"Blue.flac\" FLAC\n"
        "  TRACK 01 AUDIO\n    TITLE \"So\"\n    REM REPLAYGAIN_TRACK_GAIN +1.25 dB\n"
        "    REM REPLAYGAIN_TRACK_PEAK 0.5\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    PERFORMER Guest\n    REM GENRE Bop\n    INDEX 01 09:22:00\n");
    EXPECT_EQ(sheet.title, "Blue");
    ASSERT_EQ(sheet.files, std::vector<std::string>{"Blue.flac"});
    const CueRows rows = MakeCueRows(sheet, {"/m/Blue.flac"}, {{true, 44100, kLong, "Whole"}});
    ASSERT_EQ(rows.rows.size(), 2u);
    const CueRow& first = rows.rows[0];
    EXPECT_EQ(first.title, "So");
    EXPECT_EQ(rows.rows[1].title, "Whole") << "no TITLE: the file's";
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.performer, "Quintet") << "the album's when the track has none";
    EXPECT_EQ(Fields(first.remarks),
              Fields({"Jazz", "1959", "2", "ripped", 1.25, 0.5, -7.5, 0.988}));
    EXPECT_EQ(rows.rows[1].performer, "Guest");
    EXPECT_EQ(Fields(rows.rows[1].remarks),
              Fields({"Bop", "1959", "2", "ripped", {}, {}, -7.5, 0.988}));
}

TEST(CueSheet, OffsetsAreExactSamplesAt44100And48000) {
    // 1 CD frame = 588 samples at 44.1 kHz and 640 at 48 kHz; at 22.05 kHz
    // it is 294, at 32 kHz 426.67, rounded to the nearest sample.
    EXPECT_EQ(CueFramesToSamples(1, 44100), 588);
    EXPECT_EQ(CueFramesToSamples(1, 48000), 640);
    EXPECT_EQ(CueFramesToSamples(1, 32000), 427);
    EXPECT_EQ(CueFramesToSamples(2, 32000), 853);
    EXPECT_EQ(CueFramesToSamples(75 * 60 * 80, 44100), int64_t{44100} * 60 * 80);

    const CueSheet sheet = ParseCueSheet("FILE a.flac WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nINDEX 00 03:59:70\nINDEX 01 04:00:01\n"
                                         "TRACK 03 AUDIO\nINDEX 01 70:00:74\n"
                                         "FILE b.flac WAVE\nTRACK 04 AUDIO\nINDEX 01 00:00:37\n");
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const CueRows rows =
            MakeCueRows(sheet, {"/m/a.flac", "/m/b.flac"},
                        {{true, rate, int64_t{rate} * 4300}, {true, rate, 1000000}});
        ASSERT_EQ(rows.rows.size(), 4u);
        const int64_t two = (240 * 75 + 1) * int64_t{rate} / 75;
        const int64_t three = (4200 * 75 + 74) * int64_t{rate} / 75;
        EXPECT_EQ(rows.rows[0].endFrame, two);
        EXPECT_EQ(rows.rows[1].startFrame, two);
        EXPECT_EQ(rows.rows[1].endFrame, three);
        EXPECT_EQ(rows.rows[2].startFrame, three);
        EXPECT_EQ(rows.rows[2].endFrame, -1) << "the last of its file runs to the end";
        EXPECT_EQ(rows.rows[3].path, "/m/b.flac");
        EXPECT_EQ(rows.rows[3].startFrame, 37 * int64_t{rate} / 75);
    }
}

TEST(CueSheet, FilesAreFoundByCaseAndByBaseNameAndAMissingOneMarksItsRows) {
    TempDir dir;
    std::filesystem::create_directories(dir / "sub");
    WriteBytes(dir / "Album.FLAC", std::string("x"));
    WriteBytes(dir / "sub" / "two.ogg", std::string("x"));
    WriteBytes(dir / "sub" / "two.txt", std::string("x"));
    WriteBytes(dir / "exact.wav", std::string("x"));

    EXPECT_EQ(MatchCueFileName("album.flac", {"Album.FLAC", "album.mp3"}), "Album.FLAC");
    EXPECT_EQ(MatchCueFileName("two.wav", {"two.txt", "two.ogg"}), "two.ogg");
    EXPECT_EQ(MatchCueFileName("two.wav", {"two.txt", "twofold.ogg"}), std::nullopt);

    const std::string sheet =
        "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
        "FILE \"sub\\two.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"
        "FILE \"exact.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n"
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
    // The last by its leaf next to the sheet; the gone file's second track
    // counted at the CD's rate.
    const std::string d = dir.Path().string();
    EXPECT_EQ(Summary(rows), "0--1  | 0--1  | 0--1  | !0-44100  | !44100--1  | 0--1 ");
    std::vector<std::string> paths;
    for (const CueRow& row : rows.rows)
        paths.push_back(row.path);
    EXPECT_EQ(paths,
              (std::vector<std::string>{d + "/Album.FLAC", d + "/sub/two.ogg", d + "/exact.wav",
                                        d + "/gone.wav", d + "/gone.wav", d + "/exact.wav"}));
    EXPECT_EQ(probed.size(), 4u) << "each file once";
    EXPECT_TRUE(Mentions(rows, "gone.wav"));
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

} // namespace
} // namespace tessel
