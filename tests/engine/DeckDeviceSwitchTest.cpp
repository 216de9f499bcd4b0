// Moving playback to another device while a track plays, on device models
// with a buffer of their own: the new device must take over at the frame the
// listener was hearing. What the old device received, less what its buffer
// still held when it was closed, followed by what the new one receives, must
// be the track exactly: no frame lost, none repeated, no restart.
#include "engine/OutputDevices.h"
#include "tests/engine/DeckRig.h"
#include "tests/support/GoneBackend.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSpeed = 3.0;
#else
constexpr double kSpeed = 6.0;
#endif

DeviceModel Model(uint32_t latencyFrames) {
    DeviceModel model;
    model.periodFrames = 1024;
    model.speed = kSpeed;
    model.latencyFrames = latencyFrames;
    return model;
}

// A device that records into `wav` (complete once the device is closed).
BackendFactory Recorder(const std::filesystem::path& wav, uint32_t latencyFrames) {
    return [wav, latencyFrames] {
        VirtualClockOptions options;
        options.wavPath = wav;
        options.rampsAndVolume = false; // the samples exactly
        options.model = Model(latencyFrames);
        return std::make_unique<CVirtualClockBackend>(options);
    };
}

struct SwitchRig {
    explicit SwitchRig(uint32_t latency) : latencyFrames(latency) {
        signal = MakeWav(tmp / "track.wav", kTrackFrames, 5);
        rig.AddRows({tmp / "track.wav"});
    }
    void SwitchTo(const std::string& name) {
        rig.deck->SetOutputDevice(name, Recorder(tmp / (name + ".wav"), latencyFrames));
    }
    std::vector<int16_t> Received(const std::string& name) const {
        return ReadWav16(tmp / (name + ".wav")).samples;
    }
    bool PlayUntilPlayed(uint64_t frames) {
        return rig.RunUntil([&] { return rig.output.GetFramesPlayed() >= frames; });
    }

    static constexpr size_t kTrackFrames = 44100 * 5;
    const uint32_t latencyFrames;
    TempDir tmp;
    DeckRig rig{false, Model(0)};
    std::vector<int16_t> signal;
};

// `first` then `second` must be the whole track with the last `held` frames
// of `first` (the old device's buffer) heard again on `second`.
void ExpectJoinsUp(const std::vector<int16_t>& signal, const std::vector<int16_t>& first,
                   const std::vector<int16_t>& second, uint32_t held) {
    const size_t firstFrames = first.size() / 2;
    ASSERT_GT(firstFrames, held) << "the old device played too little to test";
    EXPECT_EQ(FrameDifference(first, Frames(signal, 0, firstFrames)), "")
        << "the old device got something other than the track's start";
    const size_t resumeAt = firstFrames - held;
    const size_t rest = signal.size() / 2 - resumeAt;
    EXPECT_EQ(FrameDifference(Frames(second, 0, rest), Frames(signal, resumeAt, rest)), "")
        << "the new device did not go on from frame " << resumeAt << " to the end (it starts at "
        << FindFrames(signal, Frames(second, 0, 64)) << ")";
    // After the end only the silence that marks it.
    const auto after = Frames(second, rest, second.size() / 2);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](int16_t v) { return v == 0; }))
        << "sound after the end of the track";
}

} // namespace

TEST(DeckDeviceSwitch, APlayingTrackGoesOnFromTheFrameHeardWhateverTheBuffer) {
    for (uint32_t latency : {0u, 3000u, 8192u}) {
        SCOPED_TRACE("device buffer " + std::to_string(latency));
        SwitchRig r(latency);
        r.SwitchTo("A"); // nothing loaded yet: only the device changes
        ASSERT_TRUE(r.rig.LoadRow(0));
        r.rig.deck->TogglePause();
        ASSERT_TRUE(r.PlayUntilPlayed(44100 * 2));
        r.SwitchTo("B");
        EXPECT_TRUE(r.rig.RunUntil([&] { return r.rig.deck->IsPlaying(); }));
        ASSERT_TRUE(r.rig.RunUntil([&] { return r.rig.deck->ReachedEnd(); }));
        r.rig.output.CloseDevice();
        ExpectJoinsUp(r.signal, r.Received("A"), r.Received("B"), latency);
        // The track was never loaded again: one track shown, once.
        EXPECT_EQ(r.rig.host.tracks.size(), 1u);
    }
}

TEST(DeckDeviceSwitch, APausedTrackStaysPausedAndPlaysOnFromThereOnTheNewDevice) {
    SwitchRig r(4096);
    r.SwitchTo("A");
    ASSERT_TRUE(r.rig.LoadRow(0));
    r.rig.deck->TogglePause();
    ASSERT_TRUE(r.PlayUntilPlayed(44100));
    r.rig.deck->TogglePause();
    ASSERT_EQ(r.rig.deck->GetState(), CDeck::State::Paused);
    r.SwitchTo("B");
    ASSERT_TRUE(r.rig.RunUntil([&] { return !r.rig.deck->IsBusy(); }));
    EXPECT_EQ(r.rig.deck->GetState(), CDeck::State::Paused);
    r.rig.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(r.rig.output.GetFramesPlayed(), 0u) << "the new device played while paused";
    r.rig.deck->TogglePause();
    ASSERT_TRUE(r.rig.RunUntil([&] { return r.rig.deck->ReachedEnd(); }));
    r.rig.output.CloseDevice();
    ExpectJoinsUp(r.signal, r.Received("A"), r.Received("B"), 4096);
}

TEST(DeckDeviceSwitch, WithNoDeviceTheDeckPausesKeepsItsPlaceAndPlaysOnWhenOneOpens) {
    SwitchRig r(2048);
    r.SwitchTo("A");
    ASSERT_TRUE(r.rig.LoadRow(0));
    r.rig.deck->TogglePause();
    ASSERT_TRUE(r.PlayUntilPlayed(44100));
    r.rig.deck->SetOutputDevice("Null", [] { return nullptr; });
    r.rig.deck->SetOutputDevice("Gone", [] { return std::make_unique<CGoneBackend>(); });
    EXPECT_EQ(r.rig.deck->GetState(), CDeck::State::Paused);
    EXPECT_FALSE(r.rig.output.HasDevice());
    // Play is refused while nothing can be heard, and nothing hangs.
    r.rig.deck->TogglePause();
    r.rig.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(r.rig.deck->GetState(), CDeck::State::Paused);
    // A device appears: playback goes on where it stopped, playing again.
    r.SwitchTo("B");
    EXPECT_TRUE(r.rig.RunUntil([&] { return r.rig.deck->IsPlaying(); }));
    ASSERT_TRUE(r.rig.RunUntil([&] { return r.rig.deck->ReachedEnd(); }));
    r.rig.output.CloseDevice();
    ExpectJoinsUp(r.signal, r.Received("A"), r.Received("B"), 2048);
    EXPECT_EQ(r.rig.host.deviceChanges,
              (std::vector<std::string>{"A opened", "Null failed", "Gone failed", "B opened"}));
}

// What the device chooser is offered: the devices sorted, and the speaker
// pairs of a device with four or more channels right after it.
TEST(OutputDevices, ChoicesAreSortedAndFourChannelDevicesOfferTheirPairs) {
    const auto choices = COutputDevices::ChoicesOf(
        {{"Zeta Out", 2}, {"HDMI 1", 8}, {"Analog", 4}, {"Mono Box", 1}, {"Unknown", 0}});
    EXPECT_EQ(choices, (std::vector<std::string>{"Analog", "Analog (Front)", "Analog (Rear)",
                                                 "HDMI 1", "HDMI 1 (Front)", "HDMI 1 (Rear)",
                                                 "Mono Box", "Unknown", "Zeta Out"}));
    EXPECT_TRUE(COutputDevices::ChoicesOf({}).empty());
}
