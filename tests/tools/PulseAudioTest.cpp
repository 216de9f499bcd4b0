// The console player into a real sound server: a private PulseAudio with a
// null sink, whose monitor is recorded while the player plays into it.
#include "tests/tools/PulseServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace tessel::test;
using namespace std::chrono_literals;

TEST(PulseAudio, TheSinkReceivesTheFileInOrder) {
#if defined(__SANITIZE_THREAD__)
    // libpulse synchronises its threads in ways ThreadSanitizer cannot see
    // (it is not instrumented), so a run under it reports only libpulse. The
    // plain and AddressSanitizer runs cover this path.
    GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    if (RunCommand("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
        GTEST_SKIP() << "PulseAudio is not installed";
    TempDir tmp;
    PrivatePulseServer server(tmp / "pulse", {"module-null-sink sink_name=nullsink norewinds=1"});
    ASSERT_TRUE(server.Ready()) << "the private PulseAudio did not start";

    const auto signal = MakeSignal(44100, 2, 44100 * 2, 31);
    WriteWav16(tmp / "in.wav", 44100, 2, signal);
    const fs::path recording = tmp / "rec.raw";
    ASSERT_EQ(RunCommand(server.Env() +
                         "sh -c 'parec -d nullsink.monitor --format=s16le --rate=44100 "
                         "--channels=2 > " +
                         Quote(recording) + " & echo $! > " + Quote(tmp / "parec.pid") + "'"),
              0);
    std::this_thread::sleep_for(300ms); // the recorder connects
    // SDL 2.26's PulseAudio hot-plug thread leaks the operations it starts
    // (inside libpulse, not our code); leak checking of the player itself is
    // done by every other end-to-end test.
    const int status = RunCommand(
        server.Env() + "ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=pulseaudio " +
        Quote(BinDir() / "tessel-play") + " " + Quote(tmp / "in.wav") + " >/dev/null 2>&1");
    std::this_thread::sleep_for(300ms);
    RunCommand("kill $(cat " + Quote(tmp / "parec.pid") + ")");
    ASSERT_EQ(status, 0);

    const auto recorded = ReadRaw(recording);
    // After the start ramp the signal must be there in order; SDL may drop
    // the last few hundred frames when it closes the device.
    const size_t from = 2205 + 64;
    const size_t to = signal.size() / 2 - 1024;
    std::vector<int16_t> expected(signal.begin() + static_cast<long>(from * 2),
                                  signal.begin() + static_cast<long>(to * 2));
    const auto needle = std::vector<int16_t>(expected.begin(), expected.begin() + 4000);
    long at = -1;
    for (size_t i = 0; i + needle.size() <= recorded.size(); i += 2) {
        if (std::equal(needle.begin(), needle.end(), recorded.begin() + static_cast<long>(i))) {
            at = static_cast<long>(i);
            break;
        }
    }
    ASSERT_GE(at, 0) << "the signal is not in the sink's recording (" << recorded.size() / 2
                     << " frames)";
    ASSERT_LE(static_cast<size_t>(at) + expected.size(), recorded.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), recorded.begin() + at))
        << "gap or damage in the stream";
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
