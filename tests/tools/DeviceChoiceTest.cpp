// Choosing the output device, end to end: a private PulseAudio server with
// two null sinks, each recorded from its monitor, and a counter signal that
// shows every frame lost or repeated. Each run plays a few seconds.
#include "tests/tools/PulseServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

constexpr long kRate = 44100;
// A ramp (50 ms) and a device buffer (8192 frames): what a move of the
// stream may drop or play twice, at most.
constexpr long kRampFrames = kRate / 20;
constexpr long kBufferFrames = 8192;

const char* const kAlpha =
    "module-null-sink sink_name=alpha norewinds=1 sink_properties=device.description=Alpha";
const char* const kBeta =
    "module-null-sink sink_name=beta norewinds=1 sink_properties=device.description=Beta";

class DeviceChoice : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // libpulse is not instrumented: a run under ThreadSanitizer reports
        // only libpulse. The plain and AddressSanitizer runs cover this path.
        GTEST_SKIP() << "not under ThreadSanitizer";
#endif
        if (RunCommand("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            GTEST_SKIP() << "PulseAudio is not installed";
    }

    void StartServer(std::vector<std::string> modules = {kAlpha, kBeta},
                     const std::string& defaultSink = "alpha", const std::string& conf = {}) {
        // A sink nobody plays to, whose monitor is the default source, so
        // that no recorder follows the default sink.
        modules.push_back("module-null-sink sink_name=idle norewinds=1 "
                          "sink_properties=device.description=Idle");
        server = std::make_unique<PrivatePulseServer>(tmp / "pulse", modules, conf);
        ASSERT_TRUE(server->Ready()) << "the private PulseAudio did not start";
        ASSERT_EQ(server->Pactl("set-default-sink " + defaultSink), 0);
        ASSERT_EQ(server->Pactl("set-default-source idle.monitor"), 0);
    }

    fs::path CounterWav(double seconds) {
        const fs::path path = tmp / "counter.wav";
        frames = static_cast<long>(seconds * kRate);
        WriteWav16(path, kRate, 2, CounterSignal(static_cast<size_t>(frames)));
        return path;
    }

    std::string Player(const std::string& args) const {
        // SDL 2.26's PulseAudio hot-plug thread leaks inside libpulse.
        return server->Env() + "ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=pulseaudio " +
               Quote(BinDir() / "tessel-play") + " " + args;
    }

    // Starts the player in the background; Finish waits for its status.
    void StartPlayer(const std::string& args) {
        const fs::path script = tmp / "play.sh";
        std::ofstream(script) << Player(args) << " >/dev/null 2>" << Quote(tmp / "player.err")
                              << "\necho $? > " << Quote(tmp / "status") << "\n";
        ASSERT_EQ(RunCommand("sh " + Quote(script) + " >/dev/null 2>&1 &"), 0);
    }
    int Finish(std::chrono::seconds limit = 30s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!fs::exists(tmp / "status") || fs::file_size(tmp / "status") == 0) {
            if (std::chrono::steady_clock::now() > end)
                return -1;
            std::this_thread::sleep_for(50ms);
        }
        std::this_thread::sleep_for(300ms);
        server->StopRecorders();
        std::ifstream in(tmp / "status");
        int status = -1;
        in >> status;
        return status;
    }

    std::vector<CounterRun> Runs(const std::string& sink) {
        return CounterRuns(ReadRaw(tmp / (sink + ".raw")));
    }
    bool Silent(const std::string& sink) {
        const auto samples = ReadRaw(tmp / (sink + ".raw"));
        return std::all_of(samples.begin(), samples.end(), [](int16_t v) { return v == 0; });
    }
    void RecordBoth() {
        server->Record("alpha", tmp / "alpha.raw");
        server->Record("beta", tmp / "beta.raw");
        std::this_thread::sleep_for(300ms); // the recorders connect
    }

    // The track heard whole on one sink, from the end of the start ramp to
    // the last few hundred frames SDL may drop at its close.
    void ExpectWholeTrack(const std::vector<CounterRun>& runs) {
        ASSERT_EQ(runs.size(), 1u) << Describe(runs);
        EXPECT_LE(runs[0].first, kRampFrames + 64) << Describe(runs);
        EXPECT_GE(runs[0].last, frames - 1 - 1024) << Describe(runs);
    }

    // The track moved from `before` to `after` once: each sink got one
    // stretch, the second going on where the first stopped.
    void ExpectMoved(const std::vector<CounterRun>& before, const std::vector<CounterRun>& after,
                     long maxLost, long maxRepeated) {
        ASSERT_EQ(before.size(), 1u) << "before: " << Describe(before);
        ASSERT_EQ(after.size(), 1u) << "after: " << Describe(after);
        EXPECT_LE(before[0].first, kRampFrames + 64) << Describe(before);
        EXPECT_GT(before[0].Length(), kRate / 2) << "moved too early to tell";
        EXPECT_GE(after[0].last, frames - 1 - 1024) << "the track did not end on the new sink";
        const long lost = after[0].first - before[0].last - 1;
        EXPECT_LE(lost, maxLost) << "frames lost in the move: " << Describe(before) << "/ "
                                 << Describe(after);
        EXPECT_LE(-lost, maxRepeated)
            << "frames repeated in the move: " << Describe(before) << "/ " << Describe(after);
    }

    TempDir tmp;
    std::unique_ptr<PrivatePulseServer> server;
    long frames = 0;
};

} // namespace

TEST_F(DeviceChoice, ListDevicesNamesEverySinkAndDevicePlaysOnTheNamedOneOnly) {
    StartServer();
    const fs::path list = tmp / "list.txt";
    ASSERT_EQ(RunCommand(Player("--list-devices > " + Quote(list))), 0);
    std::ifstream in(list);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    EXPECT_NE(std::find(names.begin(), names.end(), "Alpha"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Beta"), names.end());

    const fs::path wav = CounterWav(2.0);
    RecordBoth();
    ASSERT_EQ(RunCommand(Player("--device Beta " + Quote(wav) + " >/dev/null 2>&1")), 0);
    std::this_thread::sleep_for(300ms);
    server->StopRecorders();
    ExpectWholeTrack(Runs("beta"));
    EXPECT_TRUE(Silent("alpha")) << "the default sink got sound too";

    // An unknown name is refused with its name, before anything plays.
    const fs::path err = tmp / "err.txt";
    EXPECT_EQ(RunCommand(Player("--device Gamma " + Quote(wav) + " 2> " + Quote(err))), 3);
    std::ifstream errIn(err);
    const std::string text((std::istreambuf_iterator<char>(errIn)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Gamma"), std::string::npos) << text;
}

TEST_F(DeviceChoice, WithoutAChoiceTheTrackFollowsTheDefaultSinkWhenItChanges) {
    StartServer();
    const fs::path wav = CounterWav(3.0);
    RecordBoth();
    StartPlayer(Quote(wav));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(server->Pactl("set-default-sink beta"), 0);
    ASSERT_EQ(Finish(), 0);
    // The server moves the stream with what it holds: nothing beyond its
    // own buffer may go missing or come twice.
    ExpectMoved(Runs("alpha"), Runs("beta"), kBufferFrames, kBufferFrames);
}

TEST_F(DeviceChoice, UnloadingTheSinkInUseGoesOnThroughTheOther) {
    StartServer();
    const fs::path wav = CounterWav(3.0);
    RecordBoth();
    // Beta is chosen and Alpha is the default.
    StartPlayer("--device Beta " + Quote(wav));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(server->Pactl("unload-module $(" + server->Env() +
                            "pactl list short modules | grep sink_name=beta | cut -f1)"),
              0)
        << "the sink in use was not unloaded";
    ASSERT_EQ(Finish(), 0);
    // What the vanished sink took after it was gone until the player saw it
    // (a poll and a stop ramp) is lost; nothing else, and nothing twice
    // beyond the old device's buffer.
    ExpectMoved(Runs("beta"), Runs("alpha"), kRate, kBufferFrames + kRampFrames);
}

TEST_F(DeviceChoice, WhenTheChosenSinkReturnsTheTrackMovesBackToIt) {
    StartServer();
    // Long enough that the return is noticed well before the end, on a busy
    // machine too.
    const fs::path wav = CounterWav(8.0);
    RecordBoth();
    StartPlayer("--device Beta " + Quote(wav));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(server->Pactl("unload-module $(" + server->Env() +
                            "pactl list short modules | grep sink_name=beta | cut -f1)"),
              0);
    std::this_thread::sleep_for(1200ms);
    ASSERT_EQ(server->Pactl("load-module " + std::string(kBeta)), 0);
    server->Record("beta", tmp / "beta-again.raw");
    ASSERT_EQ(Finish(), 0);
    const auto first = Runs("beta");
    const auto between = Runs("alpha");
    const auto again = CounterRuns(ReadRaw(tmp / "beta-again.raw"));
    ASSERT_EQ(first.size(), 1u) << Describe(first);
    ASSERT_EQ(between.size(), 1u) << Describe(between);
    RunCommand("cat " + Quote(tmp / "player.err") + " >&2");
    ASSERT_EQ(again.size(), 1u) << Describe(again) << " in "
                                << fs::file_size(tmp / "beta-again.raw") << " bytes; before "
                                << Describe(first) << "between " << Describe(between);
    EXPECT_LE(first[0].first, kRampFrames + 64);
    EXPECT_GE(again[0].last, frames - 1 - 1024) << "the track did not end on the chosen sink";
    // Unplugged: see the test above. Back: a planned move, which loses or
    // repeats no more than the default sink held and the ramps.
    const long lostUnplugged = between[0].first - first[0].last - 1;
    EXPECT_LE(lostUnplugged, kRate);
    EXPECT_LE(-lostUnplugged, kBufferFrames + kRampFrames);
    const long lostBack = again[0].first - between[0].last - 1;
    EXPECT_LE(lostBack, kBufferFrames + 2 * kRampFrames)
        << Describe(between) << "/ " << Describe(again);
    EXPECT_LE(-lostBack, kBufferFrames + 2 * kRampFrames)
        << Describe(between) << "/ " << Describe(again);
}

TEST_F(DeviceChoice, EachSpeakerPairOfAFourChannelSinkGetsTheSoundAlone) {
    StartServer({"module-null-sink sink_name=quad channels=4 "
                 "channel_map=front-left,front-right,rear-left,rear-right norewinds=1 "
                 "sink_properties=device.description=Quad"},
                "quad",
                // Remixing would spread the front pair over all four
                // speakers at a lower level; without it every channel goes
                // by its position alone, which is what the test checks.
                "enable-remixing = no\n");
    const fs::path wav = CounterWav(1.5);
    for (const char* pair : {"Rear", "Front"}) {
        SCOPED_TRACE(pair);
        const fs::path raw = tmp / (std::string(pair) + ".raw");
        server->Record("quad", raw, 4, "front-left,front-right,rear-left,rear-right");
        std::this_thread::sleep_for(300ms);
        ASSERT_EQ(RunCommand(Player("--device 'Quad (" + std::string(pair) + ")' " + Quote(wav) +
                                    " >/dev/null 2>&1")),
                  0);
        std::this_thread::sleep_for(300ms);
        server->StopRecorders();
        const auto samples = ReadRaw(raw);
        const int chosen = std::string(pair) == "Rear" ? 2 : 0;
        ExpectWholeTrack(CounterRuns(samples, 4, chosen));
        const int other = 2 - chosen;
        bool otherSilent = true;
        for (size_t i = 0; i + 4 <= samples.size(); i += 4)
            otherSilent = otherSilent && samples[i + other] == 0 && samples[i + other + 1] == 0;
        EXPECT_TRUE(otherSilent) << "the other pair got sound";
    }
}

// The player remembers the device in its settings and opens it at start;
// one that is not there falls back to the system default.
TEST_F(DeviceChoice, ThePlayerOpensTheRememberedDeviceOrTheDefaultWhenItIsAbsent) {
    const fs::path player = BinDir() / "tessel-audio-player";
    if (!fs::exists(player))
        GTEST_SKIP() << "the player is not built";
    StartServer();
    const fs::path wav = CounterWav(1.5);
    for (const char* remembered : {"Beta", "Gamma"}) {
        SCOPED_TRACE(remembered);
        const fs::path home = tmp / remembered;
        fs::create_directories(home / "runtime");
        fs::permissions(home / "runtime", fs::perms::owner_all);
        fs::create_directories(home / "config" / "Tessel Programs");
        std::ofstream(home / "config" / "Tessel Programs" / "Tessel Audio Player.conf")
            << "[Settings]\noutputDevice=" << remembered << "\nvolumeLevel=0\n";
        fs::remove(tmp / "alpha.raw");
        fs::remove(tmp / "beta.raw");
        RecordBoth();
        const fs::path script = tmp / "player.sh";
        std::ofstream(script) << server->Env()
                              << "QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=pulseaudio "
                              << "ASAN_OPTIONS=detect_leaks=0 XDG_RUNTIME_DIR="
                              << Quote(home / "runtime")
                              << " XDG_CONFIG_HOME=" << Quote(home / "config")
                              << " HOME=" << Quote(home) << " exec " << Quote(player) << " "
                              << Quote(wav) << " >/dev/null 2>&1 &\n"
                              << "echo $! > " << Quote(tmp / "player.pid") << "\n";
        ASSERT_EQ(RunCommand("sh " + Quote(script)), 0);
        std::this_thread::sleep_for(3500ms); // start-up and the whole track
        RunCommand("kill $(cat " + Quote(tmp / "player.pid") + ")");
        std::this_thread::sleep_for(500ms);
        server->StopRecorders();
        const bool there = std::string(remembered) == "Beta";
        ExpectWholeTrack(Runs(there ? "beta" : "alpha"));
        EXPECT_TRUE(Silent(there ? "alpha" : "beta")) << "the other sink got sound too";
    }
}
