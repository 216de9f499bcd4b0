// Running the console player from the end-to-end tests, and what the
// real-time ones demand of its output.
#pragma once

#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace tessel::test {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs tessel-play with `args` (quoted by the caller) and `env` assignments
// before it; the timeout only keeps a hung player from hanging the suite.
inline ToolRun PlayTool(const std::string& args, const std::string& env = "") {
    TempDir tmp;
    ToolRun run;
    run.status = RunCommand(env + " timeout 120 " + Quote(BinDir() / "tessel-play") + " " + args +
                            " >" + Quote(tmp / "out") + " 2>" + Quote(tmp / "err"));
    run.out = ReadText(tmp / "out");
    run.err = ReadText(tmp / "err");
    return run;
}

// Sanitizers slow the player enough that a device may run dry now and then:
// there, silence between frames is let pass, but never a frame lost, played
// twice or out of order. Elsewhere the device must never run dry.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderrunsAllowed = true;
#else
inline constexpr bool kUnderrunsAllowed = false;
#endif

// What a real-time play of counter file frames 0 ... frames - 1 at `rate`
// must come out as: whole, after a start ramp of rate / 20 frames. The
// player reports each underrun of its own on stderr as "Underrun at ...".
inline void ExpectRealTimePlay(const ToolRun& run, std::span<const int16_t> recording,
                               size_t frames, int rate, size_t tailMayBeMissing = 0,
                               bool serverMayInsertSilence = false) {
    const CounterCheckOptions options{frames, static_cast<size_t>(rate + 19) / 20, tailMayBeMissing,
                                      kUnderrunsAllowed || serverMayInsertSilence, rate};
    const auto result = CheckCounterSignal(recording, options);
    EXPECT_TRUE(result.ok) << result.message;
    if (!kUnderrunsAllowed) {
        EXPECT_EQ(run.err.find("Underrun"), std::string::npos) << run.err;
    }
}

} // namespace tessel::test
