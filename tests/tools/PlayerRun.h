// Running the console player from the end-to-end tests, and what the
// real-time ones demand of its output.
#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tessel::test {

inline ToolRun PlayTool(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), (BinDir() / "tessel-play").string());
    return RunTool(args, env);
}

// The paths of the "track" lines the player prints as each track starts.
inline std::vector<std::string> PlayedPaths(const std::string& out) {
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("track\t", 0) == 0)
            paths.push_back(line.substr(6, line.find('\t', 6) - 6));
    return paths;
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
// must come out as: one run, whole after a start ramp of rate / 20 frames,
// but for the last frames a sound server may drop at the close. The player
// reports each underrun of its own on stderr as "Underrun at ...".
inline void ExpectRealTimePlay(const ToolRun& run, std::span<const int16_t> recording, long frames,
                               long rate, long tailMayBeMissing = 0,
                               bool serverMayInsertSilence = false) {
    const auto runs = CounterRuns(recording, 64, kUnderrunsAllowed || serverMayInsertSilence);
    ASSERT_EQ(runs.size(), 1u) << "lost, repeated or silent frames: " << Describe(runs);
    EXPECT_LE(runs[0].first, (rate + 19) / 20) << "a late start: " << Describe(runs);
    EXPECT_GE(runs[0].last, frames - 1 - tailMayBeMissing) << "an early end: " << Describe(runs);
    if (!kUnderrunsAllowed) {
        EXPECT_EQ(run.err.find("Underrun"), std::string::npos) << run.err;
    }
}

} // namespace tessel::test
