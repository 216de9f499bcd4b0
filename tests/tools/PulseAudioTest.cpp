// The player into a real sound server: a private PulseAudio with null sinks,
// whose monitors record what was played into them, and the counter signal
// that makes every frame lost or repeated visible in such a recording.
#include "tests/tools/PlayerRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using namespace tessel::test;
using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

constexpr long kRate = 44100;
// A ramp (50 ms) and a device buffer (8192 frames): what a move of the
// stream may drop or play twice, at most.
constexpr long kRampFrames = kRate / 20;
constexpr long kBufferFrames = 8192;
// The server may drop the last few hundred frames a client sent when the
// client closes its stream.
constexpr long kSinkMayDropAtClose = 1024;

ToolRun Pactl(const std::string& args) {
    return RunTool(Words("pactl " + args));
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    for (const auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(25ms))
        if (done())
            return true;
    return false;
}

class PulseAudio : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // libpulse is not instrumented: a run under ThreadSanitizer reports
        // only libpulse. The plain and AddressSanitizer runs cover this path.
        GTEST_SKIP() << "not under ThreadSanitizer";
#endif
        if (RunCommand("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            GTEST_SKIP() << "PulseAudio is not installed";
        // A private server with the sinks alpha (the default) and beta, and
        // an idle sink whose monitor is the default source, so that no
        // recorder follows the default sink when it changes. Everything this
        // process starts from now on talks to it.
        for (const char* key : {"PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"}) {
            fs::create_directories(tmp / key);
            pulseEnv.push_back(std::make_unique<ScopedEnv>(key, (tmp / key).c_str()));
        }
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"pulseaudio", "--exit-idle-time=-1", "--system=false", "-n",
                                     "--load=module-native-protocol-unix"});
        ASSERT_TRUE(Eventually([] { return Pactl("info").status == 0; }))
            << "the private PulseAudio did not start";
        for (const std::string sink : {"alpha", "beta", "idle"})
            LoadSink(sink);
        ASSERT_EQ(Pactl("set-default-sink alpha").status, 0);
        ASSERT_EQ(Pactl("set-default-source idle.monitor").status, 0);
    }

    // Loads null sink `name`, described as the name capitalised.
    void LoadSink(std::string name) {
        const ToolRun load = Pactl(
            "load-module module-null-sink norewinds=1 sink_name=" + name +
            " sink_properties=device.description=" + char(std::toupper(name[0])) + name.substr(1));
        ASSERT_EQ(load.status, 0) << load.err;
        modules[name] = load.out.substr(0, load.out.find('\n'));
    }

    // Records sink `sink`'s monitor into `<sink>.raw` (or `file`), s16le at
    // 44.1 kHz, once the recorder is connected: what comes before is lost.
    void Record(const std::string& sink, std::string file = {}) {
        recorders.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"parec", "-d", sink + ".monitor", "--format=s16le",
                                     "--rate=44100", "--channels=2"},
            std::vector<std::string>{}, tmp / (file.empty() ? sink + ".raw" : file)));
        const std::string id =
            "application.process.id = \"" + std::to_string(recorders.back()->Pid()) + "\"";
        EXPECT_TRUE(Eventually([&] {
            return Pactl("list source-outputs").out.find(id) != std::string::npos;
        })) << "parec did not connect";
    }

    // Stops the recorders once the monitors have handed on the last of it.
    void StopRecorders() {
        std::this_thread::sleep_for(300ms);
        recorders.clear();
    }

    // A null sink whose own thread runs late on a busy machine records
    // silence of its own, even between two frames that follow each other;
    // nothing of the player's is lost by it, so runs go on across silence.
    std::vector<CounterRun> Runs(const std::string& file) {
        return CounterRuns(ReadRawS16(tmp / file), 64, true);
    }

    // SDL 2.26's PulseAudio hot-plug thread leaks inside libpulse; leak
    // checking of the player itself is done by every other end-to-end test.
    std::vector<std::string> PlayerEnv(std::vector<std::string> more = {}) const {
        const char* asan = std::getenv("ASAN_OPTIONS");
        more.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":detect_leaks=0");
        more.push_back("SDL_AUDIODRIVER=pulseaudio");
        return more;
    }

    // The desktop player with its own home and settings `conf`.
    void StartWindowPlayer(const fs::path& home, const fs::path& wav, const std::string& conf) {
        fs::create_directories(home / "runtime");
        fs::permissions(home / "runtime", fs::perms::owner_all);
        fs::create_directories(home / "config/Tessel Programs");
        std::ofstream(home / "config/Tessel Programs/Tessel Audio Player.conf") << conf;
        player = std::make_unique<ChildProcess>(
            std::vector<std::string>{BinDir() / "tessel-audio-player", wav},
            PlayerEnv({"QT_QPA_PLATFORM=offscreen",
                       "XDG_RUNTIME_DIR=" + (home / "runtime").string(),
                       "XDG_CONFIG_HOME=" + (home / "config").string(), "HOME=" + home.string()}));
    }

    fs::path CounterWav(double seconds) {
        frames = static_cast<long>(seconds * kRate);
        WriteWav16(tmp / "counter.wav", kRate, 2, MakeCounterSignal(static_cast<size_t>(frames)));
        return tmp / "counter.wav";
    }

    // The track heard whole on one sink, from the end of the start ramp to
    // the last few hundred frames the server may drop at the close.
    void ExpectWholeTrack(const std::vector<CounterRun>& runs) {
        ASSERT_EQ(runs.size(), 1u) << Describe(runs);
        EXPECT_TRUE(runs[0].first <= kRampFrames + 64 &&
                    runs[0].last >= frames - 1 - kSinkMayDropAtClose)
            << Describe(runs);
    }

    // The track went on from `before` on one sink to `after` on another:
    // frames lost or repeated at the move within the bounds.
    void ExpectMoved(const CounterRun& before, const CounterRun& after, long maxLost,
                     long maxRepeated) {
        const long lost = after.first - before.last - 1; // below zero: repeated
        EXPECT_TRUE(lost <= maxLost && -lost <= maxRepeated)
            << lost << " frames lost in the move: " << Describe({before, after});
    }

    // Gone in the reverse order: the recorders, the player and the server
    // are waited for before their folder goes, or the server writes into its
    // runtime folder after the test has removed it.
    TempDir tmp;
    std::vector<std::unique_ptr<ScopedEnv>> pulseEnv;
    std::unique_ptr<ChildProcess> server, player;
    std::vector<std::unique_ptr<ChildProcess>> recorders;
    std::map<std::string, std::string> modules; // of the sinks, by name
    long frames = 0;
};

} // namespace

// Real time into a sound server, which consumes at the pace of a sound card:
// one counter signal split into two files at a frame that is no multiple of
// a chunk, whose second file's frames must follow the first's without a gap.
TEST_F(PulseAudio, GaplessPairRunsOnAcrossTheSeamInRealTime) {
    const long total = 20 * kRate, seam = 150 * 2940 + 1234;
    WriteWav16(tmp / "a.wav", kRate, 2, MakeCounterSignal(seam));
    WriteWav16(tmp / "b.wav", kRate, 2, MakeCounterSignal(total - seam, seam));
    Record("alpha");
    const ToolRun run = PlayTool({tmp / "a.wav", tmp / "b.wav"}, PlayerEnv());
    ASSERT_EQ(run.status, 0) << run.err;
    StopRecorders();
    EXPECT_EQ(PlayedPaths(run.out), (std::vector<std::string>{tmp / "a.wav", tmp / "b.wav"}));
    // The server inserts silence of its own when the device thread that feeds
    // it runs late on a busy machine; nothing is lost by it. The player's own
    // underruns are refused through its report.
    ExpectRealTimePlay(run, ReadRawS16(tmp / "alpha.raw"), total, kRate, kSinkMayDropAtClose, true);
}

// Playing on the named device is the unplugging test's start.
TEST_F(PulseAudio, ListDevicesNamesEverySinkAndAnUnknownDeviceIsRefusedByName) {
    const ToolRun list = PlayTool({"--list-devices"}, PlayerEnv());
    ASSERT_EQ(list.status, 0);
    EXPECT_THAT(list.out, AllOf(HasSubstr("Alpha\n"), HasSubstr("Beta\n")));
    const ToolRun unknown = PlayTool({"--device", "Gamma", CounterWav(1.0)}, PlayerEnv());
    EXPECT_EQ(unknown.status, 3);
    EXPECT_NE(unknown.err.find("Gamma"), std::string::npos) << unknown.err;
}

// Unplugged, the track goes on through the default sink; when the chosen
// sink comes back, the track moves back to it.
TEST_F(PulseAudio, UnpluggedChosenSinkHandsOnToTheDefaultAndTakesTheTrackBackOnItsReturn) {
    // Long enough that the return is noticed well before the end, on a busy
    // machine too.
    const fs::path wav = CounterWav(8.0);
    Record("alpha");
    Record("beta");
    player = std::make_unique<ChildProcess>(
        std::vector<std::string>{BinDir() / "tessel-play", "--device", "Beta", wav}, PlayerEnv());
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(Pactl("unload-module " + modules["beta"]).status, 0) << "the sink was not unloaded";
    // Back once the default has been playing for a while: opening a device
    // on the sound server takes most of a second.
    std::this_thread::sleep_for(2500ms);
    LoadSink("beta");
    Record("beta", "beta-again.raw");
    ASSERT_EQ(player->Wait(30s), 0);
    StopRecorders();
    const auto first = Runs("beta.raw"), between = Runs("alpha.raw"),
               again = Runs("beta-again.raw");
    ASSERT_TRUE(first.size() == 1 && between.size() == 1 && again.size() == 1)
        << Describe(first) << "then " << Describe(between) << "then " << Describe(again);
    ExpectWholeTrack({{first[0].first, again[0].last}});
    // What the vanished sink took after it was gone until the player saw it
    // (a poll and a stop ramp) is lost; nothing else, and nothing twice
    // beyond the old device's buffer. The way back is a planned move.
    ExpectMoved(first[0], between[0], kRate, kBufferFrames + kRampFrames);
    ExpectMoved(between[0], again[0], kBufferFrames + 2 * kRampFrames,
                kBufferFrames + 2 * kRampFrames);
}

// The desktop player remembers the device in its settings and opens it at
// start; one that is not there falls back to the system default. Ten seconds
// after the end of the list it lets go of its stream, so the server can
// suspend the sink; until then it keeps it.
TEST_F(PulseAudio, TheWindowPlayerOpensTheRememberedDeviceOrTheDefaultAndLetsGoWhenIdle) {
    if (!fs::exists(BinDir() / "tessel-audio-player"))
        GTEST_SKIP() << "the player is not built";
    const fs::path wav = CounterWav(1.5);
    const auto streams = [] { return !Pactl("list short sink-inputs").out.empty(); };
    for (const std::string remembered : {"Gamma", "Beta"}) {
        SCOPED_TRACE(remembered);
        Record("alpha");
        Record("beta");
        StartWindowPlayer(tmp / remembered, wav,
                          "[Settings]\noutputDevice=" + remembered + "\nvolumeLevel=0\n");
        std::this_thread::sleep_for(3500ms); // start-up and the whole track
        StopRecorders();
        const bool there = remembered == "Beta";
        ExpectWholeTrack(Runs(there ? "beta.raw" : "alpha.raw"));
        EXPECT_TRUE(Runs(there ? "alpha.raw" : "beta.raw").empty())
            << "the other sink got sound too";
        EXPECT_TRUE(streams()) << "let go of too soon";
        if (there) {
            EXPECT_TRUE(Eventually([&] { return !streams(); }, 12s))
                << "still holding a stream long after the end";
        }
        player.reset();
    }
}
