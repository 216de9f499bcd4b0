#include "playlist/AudioTypes.h"
#include "app/QuilCommandLineInfo.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

TEST(CommandLine, WithoutArgumentsThereIsNothingToHandOut) {
    char name[] = "player";
    char* argv[] = {name, nullptr};
    CQuilCommandLineInfo info;
    info.ParseCommandLine(1, argv);
    EXPECT_FALSE(info.HasParams());
    std::string path = "unchanged";
    bool isLast = false;
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(isLast);
    EXPECT_TRUE(info.TakeAll().empty());
}

TEST(CommandLine, EveryArgumentIsAPathInOrderEvenIfItLooksLikeAnOption) {
    char name[] = "player";
    char a[] = "/music/one.mp3";
    char b[] = "-two.ogg";
    char c[] = "/three with spaces.wav";
    char* argv[] = {name, a, b, c, nullptr};
    CQuilCommandLineInfo info;
    info.ParseCommandLine(4, argv);
    ASSERT_TRUE(info.HasParams());

    std::string path;
    bool isLast = false;
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "/music/one.mp3");
    EXPECT_FALSE(isLast);
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "-two.ogg");
    EXPECT_FALSE(isLast);
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "/three with spaces.wav");
    EXPECT_TRUE(isLast);
}

TEST(CommandLine, AskingPastTheLastPathNeitherRepeatsNorReadsBeyondTheList) {
    CQuilCommandLineInfo info;
    info.ParseParam("only.wav", false, true);
    std::string path;
    bool isLast = false;
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "only.wav");
    EXPECT_TRUE(isLast);
    isLast = false;
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(isLast);
    EXPECT_TRUE(info.TakeAll().empty());
}

TEST(CommandLine, TakeAllHandsOutWhatIsLeft) {
    CQuilCommandLineInfo info;
    for (const char* p : {"a", "b", "c"})
        info.ParseParam(p, false, false);
    std::string first;
    bool isLast = false;
    info.GetNextParam(first, isLast);
    EXPECT_EQ(info.TakeAll(), (std::vector<std::string>{"b", "c"}));
}

TEST(AudioTypes, TheDialogFilterOffersEveryTypeThenAllFiles) {
    EXPECT_EQ(AudioFileDialogFilter(), "Files (*.mp3 *.ogg *.wav *.wma *.flac *.opus *.m4a *.aac "
                                       "*.aif *.aiff);;All Files (*)");
    EXPECT_EQ(AudioTypePatterns().size(), 10u);
}

} // namespace
} // namespace tessel
