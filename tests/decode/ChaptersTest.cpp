#include "decode/Chapters.h"
#include "decode/TrackProbe.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessel::test {
namespace {

// "start-end title" of each chapter.
std::vector<std::string> Summary(const FileChapters& file) {
    std::vector<std::string> out;
    for (const ChapterRange& c : file.chapters)
        out.push_back(std::to_string(c.startFrame) + "-" + std::to_string(c.endFrame) + " " +
                      c.title);
    return out;
}

TEST(Chapters, MarksBecomeRangesByTheSheetRules) {
    const std::vector<ChapterMark> marks = {
        {0, 1, 1000, "Intro"},     {1234, 1, 1000, "Verse"}, {1000, 1, 1000, "Back in time"},
        {1234, 1, 1000, "Twice"},  {5, 1, 1, "Late"},        {9000, 1, 1000, "Beyond"},
        {-1, 1, 1000, "Negative"}, {0, 0, 0, "No base"},
    };
    const FileChapters got = ChapterRanges(marks, 48000, 48000 * 8);
    EXPECT_EQ(Summary(got),
              (std::vector<std::string>{"0-59232 Intro", "59232-240000 Verse", "240000--1 Late"}));
    EXPECT_EQ(got.problems.size(), 5u);

    EXPECT_TRUE(ChapterRanges({{0, 1, 1000, "Only"}}, 44100, -1).chapters.empty())
        << "one chapter is the whole file";
    EXPECT_EQ(ChapterRanges({{0, 1, 3, ""}, {1, 1, 3, ""}}, 44100, -1).chapters[1].startFrame,
              14700);
}

TEST(Chapters, AMatroskaFilesChaptersAreExactSampleRanges) {
    const auto source = SourceWav(48000, 2, 48000 * 4);
    // Starts in samples of the file's own rate, so the nanoseconds Matroska
    // stores must round back to them exactly.
    const std::string metadata =
        ";FFMETADATA1\\n"
        "[CHAPTER]\\nTIMEBASE=1/48000\\nSTART=0\\nEND=59233\\ntitle=Eins\\n"
        "[CHAPTER]\\nTIMEBASE=1/48000\\nSTART=59233\\nEND=100001\\ntitle=Zwei\\n"
        "[CHAPTER]\\nTIMEBASE=1/48000\\nSTART=100001\\nEND=192000\\ntitle=Drei\\n";
    const auto file =
        Fixture("chapters.mka", "f={out}.mka && printf '" + metadata +
                                    "' > \"$f.txt\" && ffmpeg -v error -y -i '" + source.string() +
                                    "' -i \"$f.txt\" -map 0:a -map_chapters 1 -c:a flac \"$f\" && "
                                    "rm \"$f.txt\" && mv \"$f\" {out}");
    const FileChapters got = ReadChapters(file.string());
    ASSERT_TRUE(got.readable);
    EXPECT_EQ(got.sampleRate, 48000);
    EXPECT_EQ(got.totalFrames, 48000 * 4);
    const std::vector<std::string> expected = {"0-59233 Eins", "59233-100001 Zwei",
                                               "100001--1 Drei"};
    EXPECT_EQ(Summary(got), expected);
    EXPECT_TRUE(got.problems.empty());
    // The track-length worker learns them in the same opening as the length.
    EXPECT_EQ(Summary(ProbeTrack(file.string(), ProbeDepth::Headers).chapters), expected);

    EXPECT_TRUE(ReadChapters(source.string()).chapters.empty()) << "a file without chapters";
    EXPECT_FALSE(ReadChapters("/nonexistent.mka").readable);
}

} // namespace
} // namespace tessel::test
