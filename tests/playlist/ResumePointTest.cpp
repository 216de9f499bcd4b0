#include "playlist/ResumePoint.h"
#include "playlist/TrackList.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace tessel {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(ResumePoint, AnyPathAndPositionSurviveTheFile) {
    TempDir dir;
    const std::string file = (dir / "resume").string();
    for (const ResumePoint& point : {ResumePoint{"/music/a/01 Intro.mp3", 83.25, 12},
                                     ResumePoint{"/odd/line\nbreak \xff\xfe trailing \n", 0.0, -1},
                                     ResumePoint{"http://radio.example/stream", 1e6, 0}}) {
        std::string error;
        ASSERT_EQ(WriteResumePoint(file, point, error), AtomicWriteStatus::Ok) << error;
        EXPECT_EQ(ReadResumePoint(file), point);
    }
    // Nonsense positions are written as the start.
    for (double nonsense : {-5.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        std::string error;
        WriteResumePoint(file, {"/a.mp3", nonsense, 1}, error);
        ASSERT_TRUE(ReadResumePoint(file));
        EXPECT_EQ(ReadResumePoint(file)->seconds, 0.0);
    }
}

TEST(ResumePoint, AMissingDamagedOrTruncatedFileIsNothingToResume) {
    TempDir dir;
    const std::string file = (dir / "resume").string();
    EXPECT_FALSE(ReadResumePoint(file)) << "missing";
    EXPECT_FALSE(ReadResumePoint(dir.Path().string())) << "a folder";

    const std::string whole = FormatResumePoint({"/music/a.mp3", 12.5, 3});
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(ParseResumePoint(whole.substr(0, cut))) << "cut at " << cut;
    EXPECT_FALSE(ParseResumePoint(whole + "x")) << "more than the path";
    for (const char* damaged :
         {"tessel-resume 2\nindex 3\nseconds 1\npath 2\n/a\n",
          "tessel-resume 1\nindex x\nseconds 1\npath 2\n/a\n",
          "tessel-resume 1\nindex -2\nseconds 1\npath 2\n/a\n",
          "tessel-resume 1\nindex 99999999999\nseconds 1\npath 2\n/a\n",
          "tessel-resume 1\nindex 3\nseconds -1\npath 2\n/a\n",
          "tessel-resume 1\nindex 3\nseconds nan\npath 2\n/a\n",
          "tessel-resume 1\nindex 3\nseconds 1\npath 0\n\n",
          "tessel-resume 1\nindex 3\nseconds 1\npath 18446744073709551615\n/a\n",
          "tessel-resume 1\nindex 3\nseconds 1\npath 18446744073709551615\n",
          "tessel-resume 1\nseconds 1\nindex 3\npath 2\n/a\n"}) {
        WriteBytes(file, std::string(damaged));
        EXPECT_FALSE(ReadResumePoint(file)) << damaged;
    }
    // A huge file is refused unread.
    WriteBytes(file, whole + std::string(kMaxResumeFileBytes, 'x'));
    EXPECT_FALSE(ReadResumePoint(file));
}

TEST(ResumePoint, TheHintedRowIsTakenWhileItStillHoldsThePath) {
    CTrackList list;
    for (const char* path : {"/a.flac", "/cd.flac", "/cd.flac", "/cd.flac"})
        list.AddTrack("", 1.0, path);
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 2}), 2) << "a CUE sheet's second track";
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 0}), 1);
    EXPECT_EQ(FindResumeRow(list, {"/cd.flac", 1.0, 40}), 1);
    EXPECT_EQ(FindResumeRow(list, {"/gone.flac", 1.0, 0}), -1);
}

} // namespace
} // namespace tessel
