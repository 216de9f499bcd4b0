// The console player's play modes: a shuffle that plays every input once in
// its seed's order, and repeats, which only real-time playback takes.
#include "tests/support/TestData.h"
#include "tests/tools/PlayerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace tessel::test;

namespace {

// The paths of the "track" lines, in order.
std::vector<std::string> PlayedPaths(const std::string& out) {
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("track\t", 0) == 0)
            paths.push_back(line.substr(6, line.find('\t', 6) - 6));
    return paths;
}

} // namespace

TEST(TesselPlayModes, ShuffleRendersEveryInputOnceInTheOrderItsSeedGives) {
    TempDir tmp;
    std::map<std::string, std::vector<int16_t>> signals;
    std::vector<std::string> inputs;
    std::string args;
    for (int i = 0; i < 6; ++i) {
        const std::string path = (tmp / ("t" + std::to_string(i) + ".wav")).string();
        signals[path] = MakeSignal(44100, 2, 3000 + 1000 * static_cast<size_t>(i), i + 1);
        WriteWav16(path, 44100, 2, signals[path]);
        inputs.push_back(path);
        args += " " + Quote(path);
    }
    std::vector<std::vector<std::string>> orders;
    for (const char* seed : {"7", "7", "8"}) {
        const fs::path out = tmp / (std::string("out") + std::to_string(orders.size()) + ".wav");
        const ToolRun run =
            PlayTool("--shuffle --seed " + std::string(seed) + " -o " + Quote(out) + args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> order = PlayedPaths(run.out);
        std::vector<std::string> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, inputs) << "each input once:\n" << run.out;
        // What is heard is what is announced, back to back.
        std::vector<int16_t> expected;
        for (const std::string& path : order)
            expected.insert(expected.end(), signals[path].begin(), signals[path].end());
        EXPECT_TRUE(ReadWav16(out).samples == expected) << run.out;
        orders.push_back(order);
    }
    EXPECT_EQ(orders[0], orders[1]) << "the same seed, another order";
    EXPECT_TRUE(orders[0] != inputs || orders[2] != inputs) << "two seeds, never shuffled";
}

TEST(TesselPlayModes, RepeatIsRefusedOfflineAndBadModeValuesAreUsageErrors) {
    TempDir tmp;
    const std::string a = Quote(tmp / "a.wav");
    WriteWav16(tmp / "a.wav", 44100, 2, MakeSignal(44100, 2, 4410, 1));
    const std::string out = Quote(tmp / "out.wav");
    const struct {
        std::string args;
        const char* says;
    } cases[] = {
        {"--repeat all -o " + out + " " + a, "would never end"},
        {"-o " + out + " --repeat track " + a, "would never end"},
        {"--repeat off " + a, "--repeat off"},
        {"--repeat " + a, "usage"},
        {"--seed 5 " + a, "usage"},
        {"--shuffle --seed -1 " + a, "--seed -1"},
        {"--shuffle --seed 4294967296 " + a, "--seed 4294967296"},
        {"--shuffle --seed 12x " + a, "--seed 12x"},
        {"--shuffle --shuffle " + a, "usage"},
    };
    for (const auto& c : cases) {
        const ToolRun run = PlayTool(c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << ": " << run.err;
        EXPECT_FALSE(fs::exists(tmp / "out.wav")) << c.args;
    }
}

TEST(TesselPlayModes, RepeatTrackPlaysTheFirstTrackOverUntilInterrupted) {
    TempDir tmp;
    WriteWav16(tmp / "a.wav", 44100, 2, MakeSignal(44100, 2, 11025, 1));
    WriteWav16(tmp / "b.wav", 44100, 2, MakeSignal(44100, 2, 11025, 2));
    const int status =
        RunCommand("SDL_AUDIODRIVER=dummy timeout -s INT 3 " + Quote(BinDir() / "tessel-play") +
                   " --repeat track " + Quote(tmp / "a.wav") + " " + Quote(tmp / "b.wav") + " >" +
                   Quote(tmp / "out") + " 2>/dev/null");
    EXPECT_NE(status, 0) << "it ended by itself";
    const std::vector<std::string> played = PlayedPaths(ReadText(tmp / "out"));
    ASSERT_GE(played.size(), 2u) << ReadText(tmp / "out");
    for (const std::string& path : played)
        EXPECT_EQ(path, (tmp / "a.wav").string());
}
