// The console player into a real sound server: a private PulseAudio with a
// null sink, whose monitor is recorded while the player plays into it.
#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"
#include "tests/tools/PlayerRun.h"
#include "tests/tools/PulseServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

// The server may drop the last few hundred frames a client sent when the
// client closes its stream.
constexpr size_t kSinkMayDropAtClose = 1024;

class RealTimePulse : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // libpulse synchronises its threads in ways ThreadSanitizer cannot see
        // (it is not instrumented), so a run under it reports only libpulse. The
        // plain and AddressSanitizer runs cover this path.
        GTEST_SKIP() << "not under ThreadSanitizer";
#endif
        if (RunCommand("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            GTEST_SKIP() << "PulseAudio is not installed";
        m_server = std::make_unique<PrivatePulseServer>(
            m_tmp / "pulse",
            std::vector<std::string>{"module-null-sink sink_name=nullsink norewinds=1"});
        ASSERT_TRUE(m_server->Ready()) << "the private PulseAudio did not start";
    }

    // Plays `args` into the null sink while its monitor is recorded at
    // 44.1 kHz; returns the recording.
    std::vector<int16_t> PlayAndRecord(const std::string& args, ToolRun& run) {
        const std::string& env = m_server->Env();
        const fs::path recording = m_tmp / "rec.raw";
        const fs::path pidPath = m_tmp / "parec.pid";
        RunCommand(env + "parec -d nullsink.monitor --format=s16le --rate=44100 --channels=2 >" +
                   Quote(recording) + " 2>/dev/null & echo $! >" + Quote(pidPath));
        // Whatever the player sends before the recorder is connected is lost.
        bool connected = false;
        for (int i = 0; i < 200 && !connected; ++i) {
            connected =
                RunCommand(env + "pactl list short source-outputs 2>/dev/null | grep -q .") == 0;
            if (!connected)
                std::this_thread::sleep_for(25ms);
        }
        EXPECT_TRUE(connected) << "parec did not connect";
        // SDL 2.26's PulseAudio hot-plug thread leaks the operations it starts
        // (inside libpulse, not our code); leak checking of the player itself
        // is done by every other end-to-end test.
        run = PlayTool(args, env + "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" "
                                   "SDL_AUDIODRIVER=pulseaudio");
        std::this_thread::sleep_for(300ms); // the monitor hands on the last of it
        std::ifstream pidFile(pidPath);
        int pid = 0;
        // Read the file only once parec has written its last.
        if (pidFile >> pid && pid > 0)
            StopProcess(pid);
        return ReadRawS16(recording.string());
    }

    TempDir m_tmp;
    std::unique_ptr<PrivatePulseServer> m_server;
};

// The server inserts silence of its own when the device thread that feeds it
// runs late on a busy machine; the player cannot see that, and nothing is
// lost by it. The player's own underruns are refused through its report.
CounterCheckOptions ThroughTheServer(size_t frames) {
    CounterCheckOptions options = RealTimeCheck(frames, 44100, kSinkMayDropAtClose);
    options.allowUnderruns = true;
    return options;
}

} // namespace

// Real time into a sound server: the null sink consumes at the pace of a
// sound card, and its monitor hands back exactly what the player sent.
TEST_F(RealTimePulse, SinkHasEveryFrameOnceInOrder) {
    const size_t frames = 30 * 44100;
    WriteWav16(m_tmp / "count.wav", 44100, 2, MakeCounterSignal(frames));
    ToolRun run;
    const auto recording = PlayAndRecord(Quote(m_tmp / "count.wav"), run);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto result = CheckCounterSignal(recording, ThroughTheServer(frames));
    EXPECT_TRUE(result.ok) << result.message;
    if (!kUnderrunsAllowed) {
        EXPECT_FALSE(ReportsUnderruns(run)) << run.err;
    }
}

// One counter signal split into two files at a frame that is no multiple of
// a chunk: the second file's frames must follow the first's without a gap.
TEST_F(RealTimePulse, GaplessPairRunsOnAcrossTheSeam) {
    const size_t frames = 20 * 44100;
    const size_t seam = 150 * 2940 + 1234;
    WriteWav16(m_tmp / "a.wav", 44100, 2, MakeCounterSignal(seam));
    WriteWav16(m_tmp / "b.wav", 44100, 2,
               MakeCounterSignal(frames - seam, static_cast<uint32_t>(seam)));
    ToolRun run;
    const auto recording =
        PlayAndRecord(Quote(m_tmp / "a.wav") + " " + Quote(m_tmp / "b.wav"), run);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto first = run.out.find("track\t" + (m_tmp / "a.wav").string() + "\t");
    const auto second = run.out.find("track\t" + (m_tmp / "b.wav").string() + "\t");
    EXPECT_TRUE(first != std::string::npos && second != std::string::npos && first < second)
        << "each track announced, in order:\n"
        << run.out;
    const auto result = CheckCounterSignal(recording, ThroughTheServer(frames));
    EXPECT_TRUE(result.ok) << result.message;
    if (!kUnderrunsAllowed) {
        EXPECT_FALSE(ReportsUnderruns(run)) << run.err;
    }
}

TEST(PulseAudio, NoDeviceAtAllIsReportedWithStatusThree) {
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    const bool noCards =
        !cards || !std::getline(cards, first) || first.find("no soundcards") != std::string::npos;
    if (!noCards)
        GTEST_SKIP() << "this machine has a sound card";
    TempDir tmp;
    WriteWav16(tmp / "in.wav", 44100, 2, MakeSignal(44100, 2, 4410));
    const int status = RunCommand("SDL_AUDIODRIVER=alsa " + Quote(BinDir() / "tessel-play") + " " +
                                  Quote(tmp / "in.wav") + " >/dev/null 2>" + Quote(tmp / "err"));
    EXPECT_EQ(status, 3);
    std::ifstream err(tmp / "err");
    std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("No audio output device"), std::string::npos) << text;
}
