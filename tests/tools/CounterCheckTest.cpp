// The counter signal and its runs: the real-time tests trust them to pass a
// whole recording and to split it wherever a frame went missing or came twice.
#include "tests/support/CounterSignal.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tessel::test;

TEST(CounterCheck, RunsSplitAtEveryLossOrRepeatAndAcrossSilenceOnlyWhereFramesGoOn) {
    using Signal = std::vector<int16_t>;
    const auto silence = [](Signal& s, long at, long frames) {
        s.insert(s.begin() + 2 * at, 2 * frames, 0);
    };
    const struct {
        const char* what;
        std::function<void(Signal&)> change;
        const char* strict;  // the runs as they are
        const char* lenient; // across silence; "" for the same
    } cases[] = {
        {"whole", [](Signal&) {}, "[0..99999] ", ""},
        {"a stale stretch replayed",
         [](Signal& s) { std::copy(s.begin(), s.begin() + 6000, s.begin() + 2 * 47000); },
         "[0..46999] [0..2999] [50000..99999] ", ""},
        {"frames lost", [](Signal& s) { s.erase(s.begin() + 2 * 50000, s.begin() + 2 * 50100); },
         "[0..49999] [50100..99999] ", ""},
        {"an underrun", [&](Signal& s) { silence(s, 60000, 8192); }, "[0..59999] [60000..99999] ",
         "[0..99999] "},
        {"silence in place of frames",
         [](Signal& s) { std::fill(s.begin() + 2 * 60000, s.begin() + 2 * 61000, 0); },
         "[0..59999] [61000..99999] ", ""},
        {"frames at a lower volume",
         [](Signal& s) { std::for_each(&s[60000], &s[60200], [](int16_t& v) { v = v * 9 / 10; }); },
         "[0..29999] [30100..99999] ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Signal signal = MakeCounterSignal(100000);
        c.change(signal);
        silence(signal, 0, 1000);
        EXPECT_EQ(Describe(CounterRuns(signal)), c.strict);
        EXPECT_EQ(Describe(CounterRuns(signal, 64, true)), *c.lenient ? c.lenient : c.strict);
    }
}
