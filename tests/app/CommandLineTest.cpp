#include "app/CommandLinePaths.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

TEST(CommandLine, EveryArgumentIsAPathInOrderAndNothingIsHandedOutTwice) {
    char name[] = "player", a[] = "/music/one.mp3", b[] = "-two.ogg", c[] = "/three with.wav";
    char* argv[] = {name, a, b, c, nullptr};
    CCommandLinePaths info;
    info.ParseCommandLine(1, argv);
    EXPECT_FALSE(info.HasParams());
    info.ParseCommandLine(4, argv);
    ASSERT_TRUE(info.HasParams());
    std::string path;
    bool isLast = false;
    for (const char* expected : {a, b, c}) {
        EXPECT_FALSE(isLast) << "before " << expected;
        info.GetNextParam(path, isLast);
        EXPECT_EQ(path, expected);
    }
    EXPECT_TRUE(isLast);
    EXPECT_TRUE(info.TakeAll().empty());
    // Past the last path: neither a repeat nor a read beyond the list.
    isLast = false;
    info.GetNextParam(path, isLast);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(isLast);

    CCommandLinePaths rest;
    for (const char* p : {"a", "b", "c"})
        rest.ParseParam(p, false, false);
    rest.GetNextParam(path, isLast);
    EXPECT_EQ(rest.TakeAll(), (std::vector<std::string>{"b", "c"}));
}

} // namespace
} // namespace tessel
