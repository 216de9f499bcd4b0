#include "core/FormatTime.h"

#include <gtest/gtest.h>

TEST(FormatTime, PadsEachFieldBelowTenAndLetsHoursGrow) {
    using tessel::FormatTime;
    EXPECT_EQ(FormatTime(0), "00:00:00");
    EXPECT_EQ(FormatTime(59), "00:00:59");
    EXPECT_EQ(FormatTime(60), "00:01:00");
    EXPECT_EQ(FormatTime(3599), "00:59:59");
    EXPECT_EQ(FormatTime(3725), "01:02:05");
    EXPECT_EQ(FormatTime(360000), "100:00:00");
}
