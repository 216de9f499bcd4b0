// The console player's play modes: a shuffle that plays every input once in
// its seed's order, and repeats, which only real-time playback takes.
#include "tests/tools/PlayerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <thread>

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
    for (int i = 0; i < 6; ++i) {
        const std::string path = (tmp / ("t" + std::to_string(i) + ".wav")).string();
        signals[path] = MakeSignal(44100, 2, 3000 + 1000 * static_cast<size_t>(i), i + 1);
        WriteWav16(path, 44100, 2, signals[path]);
        inputs.push_back(path);
    }
    std::vector<std::vector<std::string>> orders;
    for (const char* seed : {"7", "7", "8"}) {
        const fs::path out = tmp / (std::string("out") + std::to_string(orders.size()) + ".wav");
        std::vector<std::string> args{"--shuffle", "--seed", seed, "-o", out};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const ToolRun run = PlayTool(args);
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
    const std::string a = tmp / "a.wav";
    WriteWav16(a, 44100, 2, MakeSignal(44100, 2, 4410, 1));
    const std::string out = tmp / "out.wav";
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
        SCOPED_TRACE(c.args);
        const ToolRun run = PlayTool(Words(c.args));
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(TesselPlayModes, RepeatTrackPlaysTheFirstTrackOverUntilInterrupted) {
    TempDir tmp;
    WriteWav16(tmp / "a.wav", 44100, 2, MakeSignal(44100, 2, 11025, 1));
    WriteWav16(tmp / "b.wav", 44100, 2, MakeSignal(44100, 2, 11025, 2));
    ChildProcess player(
        {BinDir() / "tessel-play", "--repeat", "track", tmp / "a.wav", tmp / "b.wav"},
        {"SDL_AUDIODRIVER=dummy"}, tmp / "out");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(player.Running()) << "it ended by itself";
    player.Stop(SIGINT);
    const std::vector<std::string> played = PlayedPaths(ReadText(tmp / "out"));
    ASSERT_GE(played.size(), 2u) << ReadText(tmp / "out");
    for (const std::string& path : played)
        EXPECT_EQ(path, (tmp / "a.wav").string());
}
