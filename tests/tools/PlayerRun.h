// Running the console player from the end-to-end tests, and what the
// real-time ones demand of its output.
#pragma once

#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"

#include <filesystem>
#include <fstream>
#include <sstream>
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
    const std::string cmd = env + " timeout 120 " + Quote(BinDir() / "tessel-play") + " " + args +
                            " >" + Quote(tmp / "out") + " 2>" + Quote(tmp / "err");
    ToolRun run;
    run.status = RunCommand(cmd);
    auto slurp = [](const std::filesystem::path& p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    run.out = slurp(tmp / "out");
    run.err = slurp(tmp / "err");
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
// must come out as: whole, after a start ramp of rate / 20 frames.
inline CounterCheckOptions RealTimeCheck(size_t frames, int rate, size_t tailMayBeMissing = 0) {
    CounterCheckOptions options;
    options.expectedFrames = frames;
    options.fadeFrames = static_cast<size_t>(rate + 19) / 20;
    options.tailMayBeMissing = tailMayBeMissing;
    options.allowUnderruns = kUnderrunsAllowed;
    options.rate = rate;
    return options;
}

// The player reports each underrun on stderr as "Underrun at ...".
inline bool ReportsUnderruns(const ToolRun& run) {
    return run.err.find("Underrun") != std::string::npos;
}

} // namespace tessel::test
