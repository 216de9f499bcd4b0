// The counter signal and its runs: the real-time tests trust them to pass a
// whole recording and to split it wherever a frame went missing, came twice or
// was scaled down, whether silence stands in its place or not.
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tessel::test;

TEST(CounterCheck, RunsSplitWhereverAFrameWentMissingCameTwiceOrWasScaled) {
    std::vector<int16_t> s = MakeCounterSignal(100000);
    std::for_each(&s[2 * 20000], &s[2 * 20100], [](int16_t& v) { v = v * 9 / 10; });
    std::fill(&s[2 * 40000], &s[2 * 41000], 0);            // silence in place of frames
    std::copy(&s[0], &s[2 * 3000], &s[2 * 90000]);         // a stale stretch replayed
    s.erase(s.begin() + 2 * 80000, s.begin() + 2 * 80100); // frames lost
    s.insert(s.begin() + 2 * 60000, 2 * 8192, 0);          // an underrun
    EXPECT_EQ(Describe(CounterRuns(s)), "[0..19999] [20100..39999] [41000..59999] [60000..79999] "
                                        "[80100..89999] [0..2999] [93000..99999] ");
    // Across silence, only the underrun joins up.
    EXPECT_EQ(Describe(CounterRuns(s, 64, true)),
              "[0..19999] [20100..39999] [41000..79999] [80100..89999] [0..2999] [93000..99999] ");
    EXPECT_EQ(Describe(CounterRuns(MakeCounterSignal(100000), 64, true)), "[0..99999] ");
}
