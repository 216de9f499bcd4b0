// The SDL path, through SDL's dummy and disk drivers and through a driver
// that finds no device. Real time, so only what ends by itself is waited for.
// That the disk driver gets every frame the player renders, once and in
// order, the end-to-end tests in tests/tools check (RealTimeDisk).
#include "output/SdlAudioBackend.h"
#include "output/SpeakerSuffix.h"
#include "tests/output/OutputRig.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

namespace tessel::test {
namespace {

struct SdlRig {
    CEvent notify{true, false, "Play Forward Notify Event"};
    CSoundOutput output;
    Status status;

    explicit SdlRig(const std::string& description = "System audio output device") {
        output.SetNotifyEvent(&notify);
        status = output.OpenDevice(std::make_unique<CSdlAudioBackend>(), description);
    }

    // Waits until the cursor has passed `segments` notification points.
    void WaitSegments(int segments) {
        for (int i = 0; i < segments; ++i) {
            ASSERT_TRUE(notify.WaitFor(std::chrono::seconds(20)));
            notify.Reset();
        }
    }
};

TEST(SdlBackend, ASpeakerPairReachesSdlAsTheMatchingPairOfFivePointOne) {
    // 5.1 is laid out alike by every SDL driver; four channels are not.
    for (const bool rear : {true, false}) {
        SCOPED_TRACE(rear ? "rear" : "front");
        TempDir dir;
        const auto file = dir / "disk.raw";
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv path("SDL_DISKAUDIOFILE", file.c_str());
        ScopedEnv delay("SDL_DISKAUDIODELAY", "0");
        {
            SdlRig rig(rear ? "Card (Rear)" : "Card (Front)");
            ASSERT_EQ(rig.status, Status::Ok);
            ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
            const Chunk loud = ConstantChunk(1000, -1000);
            for (uint32_t n = 0; n < kRingSegments; ++n)
                ASSERT_EQ(rig.output.WriteForward(loud.data()), Status::Ok);
            rig.output.PlayForward();
            rig.WaitSegments(4);
            StopAfterRamp(rig);
            rig.output.CloseDevice();
        }
        const std::vector<int16_t> raw = ReadRawS16(file);
        ASSERT_EQ(raw.size() % 6, 0u) << "not six channels";
        const size_t pair = rear ? 4 : 0;
        const size_t silentPair = rear ? 0 : 4;
        bool heard = false;
        for (size_t i = 0; i + 6 <= raw.size(); i += 6) {
            ASSERT_EQ(raw[i + 2], 0) << "centre, frame " << i / 6;
            ASSERT_EQ(raw[i + 3], 0) << "LFE, frame " << i / 6;
            ASSERT_EQ(raw[i + silentPair], 0) << "other pair, frame " << i / 6;
            ASSERT_EQ(raw[i + silentPair + 1], 0) << "other pair, frame " << i / 6;
            heard = heard || (raw[i + pair] == 1000 && raw[i + pair + 1] == -1000);
        }
        EXPECT_TRUE(heard) << "the chosen pair stayed silent";
    }
}

TEST(SdlBackend, DummyDriverPlaysStopsAndPlaysAgain) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    const std::vector<std::string> devices = CSdlAudioBackend::ListPlaybackDevices();
    ASSERT_EQ(devices.size(), 1u);
    SdlRig rig(devices.front() + " (Rear)");
    ASSERT_EQ(rig.status, Status::Ok);
    EXPECT_EQ(rig.output.GetDeviceName(), devices.front());
    ASSERT_EQ(rig.output.OpenStream(48000), Status::Ok);
    const Chunk quiet = ConstantChunk(0, 0);
    for (uint32_t n = 0; n < kRingSegments; ++n)
        rig.output.WriteForward(quiet.data());
    for (int round = 0; round < 2; ++round) {
        rig.output.PlayForward();
        EXPECT_TRUE(rig.output.IsPlayingForward());
        rig.WaitSegments(1);
        StopAfterRamp(rig);
        EXPECT_FALSE(rig.output.IsPlayingForward());
    }
    EXPECT_GE(rig.output.GetForwardPlayCursor(), 2 * kChunkBytes);
}

TEST(SdlBackend, AnUnknownDriverOrNoSoundServerAndNoCardLeavesNoDevice) {
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
        SdlRig rig;
        EXPECT_NE(rig.status, Status::Ok);
        EXPECT_FALSE(rig.output.HasDevice());
        EXPECT_TRUE(CSdlAudioBackend::ListPlaybackDevices().empty());
    }
    ScopedEnv driver("SDL_AUDIODRIVER", nullptr);
    ScopedEnv pulse("PULSE_SERVER", "unix:/nonexistent/tessel-test-pulse");
    ScopedEnv pipewire("PIPEWIRE_REMOTE", "/nonexistent/tessel-test-pipewire");
    if (!CSdlAudioBackend::ListPlaybackDevices().empty())
        GTEST_SKIP() << "this machine has a playback device of its own";
    SdlRig rig("Speakers");
    EXPECT_NE(rig.status, Status::Ok);
    EXPECT_FALSE(rig.output.HasDevice());
}

// The "(Front)"/"(Rear)" suffix that picks the pair, read off a device name.
struct SuffixCase {
    const char* description;
    const char* name;
    SpeakerPair pair;
};

TEST(SpeakerSuffix, PicksThePairAndCleansTheName) {
    const SuffixCase cases[] = {
        {"Speakers (Rear)", "Speakers", SpeakerPair::Rear},
        {"Speakers (Front)", "Speakers", SpeakerPair::Front},
        {"Speakers (Can Split)", "Speakers", SpeakerPair::None},
        {"Speakers (Can't Split)", "Speakers", SpeakerPair::None},
        {"Speakers", "Speakers", SpeakerPair::None},
        // Glued to the name: only the suffix goes, the last letter stays.
        {"Speakers(Rear)", "Speakers", SpeakerPair::Rear},
        // Only the trailing suffix counts and only it is cut.
        {"(Rear) Monitor (Front)", "(Rear) Monitor", SpeakerPair::Front},
        {"Speakers (Rear) Dock", "Speakers (Rear) Dock", SpeakerPair::None},
        {"Speakers (rear)", "Speakers (rear)", SpeakerPair::None},
        {"(Rear)", "", SpeakerPair::Rear},
        {"Null Output", "Null Output", SpeakerPair::None},
    };
    for (const SuffixCase& c : cases) {
        const SpeakerChoice choice = ParseSpeakerSuffix(c.description);
        EXPECT_EQ(choice.name, c.name) << c.description;
        EXPECT_EQ(choice.pair, c.pair) << c.description;
    }
}

} // namespace
} // namespace tessel::test
