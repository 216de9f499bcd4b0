// The player into a real sound server: a private PulseAudio with null sinks,
// whose monitors record what was played into them, and the counter signal
// that makes every frame lost or repeated visible in such a recording.
#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"
#include "tests/tools/PlayerRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
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
// The server may drop the last few hundred frames a client sent when the
// client closes its stream.
constexpr long kSinkMayDropAtClose = 1024;

std::string NullSink(const std::string& name, const std::string& description) {
    return "module-null-sink sink_name=" + name +
           " norewinds=1 sink_properties=device.description=" + description;
}

int ReadPid(const fs::path& path) {
    int pid = 0;
    return std::ifstream(path) >> pid ? pid : 0;
}

// Stops a process this test started and waits (a little) for it to go.
void Stop(int pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
        const auto close = stat.rfind(") ");
        if (close == std::string::npos || stat.at(close + 2) == 'Z')
            return;
        std::this_thread::sleep_for(10ms);
    }
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
    }

    void TearDown() override {
        StopRecorders();
        // Waited for, or it writes into its runtime folder after the test
        // has removed it.
        Stop(ReadPid(tmp / "PULSE_RUNTIME_PATH" / "pid"));
    }

    // A private server with `sinks`, the default sink `defaultSink`, and an
    // idle sink whose monitor is the default source, so that no recorder
    // follows the default sink when it changes.
    void StartServer(std::vector<std::string> sinks = {NullSink("alpha", "Alpha"),
                                                       NullSink("beta", "Beta")},
                     const std::string& defaultSink = "alpha", const std::string& conf = {}) {
        for (const char* key : {"PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"}) {
            fs::create_directories(tmp / key);
            env += std::string(key) + "=" + Quote(tmp / key) + " ";
        }
        std::ofstream(tmp / "PULSE_CONFIG_PATH" / "daemon.conf") << conf;
        sinks.push_back(NullSink("idle", "Idle"));
        std::string command = env + "pulseaudio -D --exit-idle-time=-1 --system=false -n ";
        for (const std::string& module : sinks)
            command += "--load='" + module + "' ";
        ASSERT_EQ(RunCommand(command + "--load=module-native-protocol-unix >/dev/null 2>&1"), 0);
        bool ready = false;
        for (int i = 0; i < 200 && !ready; ++i) {
            ready = Pactl("info") == 0;
            if (!ready)
                std::this_thread::sleep_for(25ms);
        }
        ASSERT_TRUE(ready) << "the private PulseAudio did not start";
        ASSERT_EQ(Pactl("set-default-sink " + defaultSink), 0);
        ASSERT_EQ(Pactl("set-default-source idle.monitor"), 0);
    }

    int Pactl(const std::string& args) const {
        return RunCommand(env + "pactl " + args + " >/dev/null 2>&1");
    }

    // Records sink `sink`'s monitor into `<sink>.raw` (or `file`), s16le at
    // 44.1 kHz, once the recorder is connected: what comes before is lost.
    void Record(const std::string& sink, int channels = 2, const std::string& channelMap = {},
                std::string file = {}) {
        const fs::path pid = tmp / ("parec" + std::to_string(recorders.size()) + ".pid");
        RunCommand(env + "parec -d " + sink +
                   ".monitor --format=s16le --rate=44100 --channels=" + std::to_string(channels) +
                   (channelMap.empty() ? "" : " --channel-map=" + channelMap) + " >" +
                   Quote(tmp / (file.empty() ? sink + ".raw" : file)) + " 2>/dev/null & echo $! >" +
                   Quote(pid));
        recorders.push_back(pid);
        bool connected = false;
        for (int i = 0; i < 200 && !connected; ++i) {
            connected = RunCommand(env + "pactl list source-outputs | grep -q " +
                                   "'application.process.id = \"" + std::to_string(ReadPid(pid)) +
                                   "\"'") == 0;
            if (!connected)
                std::this_thread::sleep_for(25ms);
        }
        EXPECT_TRUE(connected) << "parec did not connect";
    }

    // Stops the recorders once the monitors have handed on the last of it.
    void StopRecorders() {
        std::this_thread::sleep_for(300ms);
        for (const auto& path : recorders)
            Stop(ReadPid(path));
        recorders.clear();
    }

    std::vector<int16_t> Recorded(const std::string& file) {
        return ReadRawS16(tmp / file);
    }
    // A null sink whose own thread runs late on a busy machine records
    // silence of its own, even between two frames that follow each other;
    // nothing of the player's is lost by it. Silent frames are left out
    // (no counter frame is silent), so such a gap does not split a run,
    // while anything else between two frames still does.
    std::vector<CounterRun> Runs(const std::string& sink) {
        return RunsIn(sink + ".raw");
    }
    std::vector<CounterRun> RunsIn(const std::string& file) {
        std::vector<int16_t> sound;
        const std::vector<int16_t> samples = Recorded(file);
        for (size_t i = 0; i + 1 < samples.size(); i += 2) {
            if (samples[i] != 0 || samples[i + 1] != 0)
                sound.insert(sound.end(), {samples[i], samples[i + 1]});
        }
        return CounterRuns(sound);
    }
    bool Silent(const std::string& sink) {
        const auto samples = Recorded(sink + ".raw");
        return std::all_of(samples.begin(), samples.end(), [](int16_t v) { return v == 0; });
    }

    // SDL 2.26's PulseAudio hot-plug thread leaks inside libpulse; leak
    // checking of the player itself is done by every other end-to-end test.
    std::string PlayerEnv() const {
        return env + "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" SDL_AUDIODRIVER=pulseaudio ";
    }
    std::string Player(const std::string& args) const {
        return PlayerEnv() + Quote(BinDir() / "tessel-play") + " " + args;
    }

    // Starts the player in the background; Finish waits for its status.
    void StartPlayer(const std::string& args) {
        std::ofstream(tmp / "play.sh")
            << Player(args) << " >/dev/null 2>&1\necho $? > " << Quote(tmp / "status") << "\n";
        ASSERT_EQ(RunCommand("sh " + Quote(tmp / "play.sh") + " >/dev/null 2>&1 &"), 0);
    }
    int Finish() {
        for (int i = 0; i < 600 && ReadText(tmp / "status").empty(); ++i)
            std::this_thread::sleep_for(50ms);
        StopRecorders();
        const std::string status = ReadText(tmp / "status");
        return status.empty() ? -1 : std::stoi(status);
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
        EXPECT_LE(runs[0].first, kRampFrames + 64) << Describe(runs);
        EXPECT_GE(runs[0].last, frames - 1 - kSinkMayDropAtClose) << Describe(runs);
    }

    // The track went on from `before` on one sink to `after` on another:
    // frames lost or repeated at the move within the bounds.
    void ExpectMoved(const CounterRun& before, const CounterRun& after, long maxLost,
                     long maxRepeated) {
        const long lost = after.first - before.last - 1;
        EXPECT_LE(lost, maxLost) << "frames lost in the move: " << Describe({before, after});
        EXPECT_LE(-lost, maxRepeated)
            << "frames repeated in the move: " << Describe({before, after});
    }

    TempDir tmp;
    std::string env;
    std::vector<fs::path> recorders;
    long frames = 0;
};

} // namespace

// Real time into a sound server, which consumes at the pace of a sound card:
// one counter signal split into two files at a frame that is no multiple of
// a chunk, whose second file's frames must follow the first's without a gap.
TEST_F(PulseAudio, GaplessPairRunsOnAcrossTheSeamInRealTime) {
    StartServer();
    const size_t total = 20 * kRate;
    const size_t seam = 150 * 2940 + 1234;
    WriteWav16(tmp / "a.wav", kRate, 2, MakeCounterSignal(seam));
    WriteWav16(tmp / "b.wav", kRate, 2,
               MakeCounterSignal(total - seam, static_cast<uint32_t>(seam)));
    Record("alpha");
    const ToolRun run = PlayTool(Quote(tmp / "a.wav") + " " + Quote(tmp / "b.wav"), PlayerEnv());
    ASSERT_EQ(run.status, 0) << run.err;
    StopRecorders();
    const auto first = run.out.find("track\t" + (tmp / "a.wav").string() + "\t");
    const auto second = run.out.find("track\t" + (tmp / "b.wav").string() + "\t");
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first < second)
        << "each track announced, in order:\n"
        << run.out;
    // The server inserts silence of its own when the device thread that feeds
    // it runs late on a busy machine; nothing is lost by it. The player's own
    // underruns are refused through its report.
    ExpectRealTimePlay(run, Recorded("alpha.raw"), total, kRate, kSinkMayDropAtClose, true);
}

TEST_F(PulseAudio, ListDevicesNamesEverySinkAndDevicePlaysOnTheNamedOneOnly) {
    StartServer();
    const ToolRun list = PlayTool("--list-devices", PlayerEnv());
    ASSERT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("Alpha\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("Beta\n"), std::string::npos) << list.out;

    const fs::path wav = CounterWav(2.0);
    Record("alpha");
    Record("beta");
    ASSERT_EQ(RunCommand(Player("--device Beta " + Quote(wav) + " >/dev/null 2>&1")), 0);
    StopRecorders();
    ExpectWholeTrack(Runs("beta"));
    EXPECT_TRUE(Silent("alpha")) << "the default sink got sound too";

    // An unknown name is refused with its name, before anything plays.
    const ToolRun unknown = PlayTool("--device Gamma " + Quote(wav), PlayerEnv());
    EXPECT_EQ(unknown.status, 3);
    EXPECT_NE(unknown.err.find("Gamma"), std::string::npos) << unknown.err;
}

TEST_F(PulseAudio, WithoutAChoiceTheTrackFollowsTheDefaultSinkWhenItChanges) {
    StartServer();
    const fs::path wav = CounterWav(3.0);
    Record("alpha");
    Record("beta");
    StartPlayer(Quote(wav));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(Pactl("set-default-sink beta"), 0);
    ASSERT_EQ(Finish(), 0);
    const auto before = Runs("alpha");
    const auto after = Runs("beta");
    ASSERT_EQ(before.size(), 1u) << Describe(before);
    ASSERT_EQ(after.size(), 1u) << Describe(after);
    ExpectWholeTrack({{before[0].first, after[0].last}});
    // The server moves the stream with what it holds: nothing beyond its
    // own buffer may go missing or come twice.
    ExpectMoved(before[0], after[0], kBufferFrames, kBufferFrames);
}

// Unplugged, the track goes on through the default sink; when the chosen
// sink comes back, the track moves back to it.
TEST_F(PulseAudio, UnpluggedChosenSinkHandsOnToTheDefaultAndTakesTheTrackBackOnItsReturn) {
    StartServer();
    // Long enough that the return is noticed well before the end, on a busy
    // machine too.
    const fs::path wav = CounterWav(8.0);
    Record("alpha");
    Record("beta");
    StartPlayer("--device Beta " + Quote(wav));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(Pactl("unload-module $(" + env +
                    "pactl list short modules | grep sink_name=beta | cut -f1)"),
              0)
        << "the sink in use was not unloaded";
    // Back once the default has been playing for a while: opening a device
    // on the sound server takes most of a second.
    std::this_thread::sleep_for(2500ms);
    ASSERT_EQ(Pactl("load-module " + NullSink("beta", "Beta")), 0);
    Record("beta", 2, {}, "beta-again.raw");
    ASSERT_EQ(Finish(), 0);
    const auto first = Runs("beta");
    const auto between = Runs("alpha");
    const auto again = RunsIn("beta-again.raw");
    ASSERT_EQ(first.size(), 1u) << Describe(first);
    ASSERT_EQ(between.size(), 1u) << Describe(between);
    ASSERT_EQ(again.size(), 1u) << Describe(again) << "; before " << Describe(first) << "between "
                                << Describe(between);
    ExpectWholeTrack({{first[0].first, again[0].last}});
    // What the vanished sink took after it was gone until the player saw it
    // (a poll and a stop ramp) is lost; nothing else, and nothing twice
    // beyond the old device's buffer. The way back is a planned move.
    ExpectMoved(first[0], between[0], kRate, kBufferFrames + kRampFrames);
    ExpectMoved(between[0], again[0], kBufferFrames + 2 * kRampFrames,
                kBufferFrames + 2 * kRampFrames);
}

// The desktop player remembers the device in its settings and opens it at
// start; one that is not there falls back to the system default.
TEST_F(PulseAudio, ThePlayerOpensTheRememberedDeviceOrTheDefaultWhenItIsAbsent) {
    const fs::path player = BinDir() / "tessel-audio-player";
    if (!fs::exists(player))
        GTEST_SKIP() << "the player is not built";
    StartServer();
    const fs::path wav = CounterWav(1.5);
    for (const std::string remembered : {"Beta", "Gamma"}) {
        SCOPED_TRACE(remembered);
        const fs::path home = tmp / remembered;
        fs::create_directories(home / "runtime");
        fs::permissions(home / "runtime", fs::perms::owner_all);
        fs::create_directories(home / "config" / "Tessel Programs");
        std::ofstream(home / "config" / "Tessel Programs" / "Tessel Audio Player.conf")
            << "[Settings]\noutputDevice=" << remembered << "\nvolumeLevel=0\n";
        Record("alpha");
        Record("beta");
        std::ofstream(tmp / "player.sh")
            << PlayerEnv()
            << "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" << Quote(home / "runtime")
            << " XDG_CONFIG_HOME=" << Quote(home / "config") << " HOME=" << Quote(home) << " exec "
            << Quote(player) << " " << Quote(wav) << " >/dev/null 2>&1 &\necho $! > "
            << Quote(tmp / "player.pid") << "\n";
        ASSERT_EQ(RunCommand("sh " + Quote(tmp / "player.sh")), 0);
        std::this_thread::sleep_for(3500ms); // start-up and the whole track
        Stop(ReadPid(tmp / "player.pid"));
        StopRecorders();
        const bool there = remembered == "Beta";
        ExpectWholeTrack(Runs(there ? "beta" : "alpha"));
        EXPECT_TRUE(Silent(there ? "alpha" : "beta")) << "the other sink got sound too";
    }
}

// Ten seconds after the end of the list the window player lets go of its
// stream, so the server can suspend the sink; until then it keeps it.
TEST_F(PulseAudio, TheWindowPlayerLetsGoOfItsStreamWhenIdle) {
    const fs::path player = BinDir() / "tessel-audio-player";
    if (!fs::exists(player))
        GTEST_SKIP() << "the player is not built";
    StartServer();
    const fs::path wav = CounterWav(1.0);
    const fs::path home = tmp / "home";
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all);
    std::ofstream(tmp / "player.sh")
        << PlayerEnv() << "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" << Quote(home / "runtime")
        << " XDG_CONFIG_HOME=" << Quote(home / "config") << " HOME=" << Quote(home) << " exec "
        << Quote(player) << " " << Quote(wav) << " >/dev/null 2>&1 &\necho $! > "
        << Quote(tmp / "player.pid") << "\n";
    ASSERT_EQ(RunCommand("sh " + Quote(tmp / "player.sh")), 0);
    const auto streams = [&] {
        return RunCommand(env + "pactl list short sink-inputs | grep -q .") == 0;
    };
    bool opened = false;
    for (int i = 0; i < 200 && !opened; ++i) {
        std::this_thread::sleep_for(50ms);
        opened = streams();
    }
    ASSERT_TRUE(opened) << "the player never opened a stream";
    std::this_thread::sleep_for(5s); // the track, and a few idle seconds
    EXPECT_TRUE(streams()) << "let go of too soon";
    bool released = false;
    for (int i = 0; i < 100 && !released; ++i) {
        std::this_thread::sleep_for(100ms);
        released = !streams();
    }
    EXPECT_TRUE(released) << "still holding a stream 14 s after the end";
    Stop(ReadPid(tmp / "player.pid"));
}
