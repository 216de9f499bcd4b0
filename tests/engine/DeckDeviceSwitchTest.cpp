// Moving playback to another device while a track plays, on device models
// with a buffer of their own: the new device must take over at the frame the
// listener was hearing. What the old device received, less what its buffer
// still held when it was closed, followed by what the new one receives, must
// be the track exactly: no frame lost, none repeated, no restart.
#include "engine/OutputDevices.h"
#include "output/SdlAudioBackend.h"
#include "tests/engine/DeckRig.h"
#include "tests/support/GoneBackend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {

// Moves playback to a device that records into `name`.wav in the rig's
// folder (whole once the device is closed).
void SwitchTo(DeckRig& rig, const std::string& name, uint32_t latencyFrames) {
    rig.deck->SetOutputDevice(name, [wav = rig.dir / (name + ".wav"), latencyFrames] {
        VirtualClockOptions options;
        options.wavPath = wav;
        options.rampsAndVolume = false; // the samples exactly
        options.model = Device(1024, kSpeed, false, 7, latencyFrames);
        return std::make_unique<CVirtualClockBackend>(options);
    });
}

} // namespace

// `A` then `B` must be the whole track with the last `latency` frames of A
// (its buffer when it was closed) heard again on B, and after the end only
// the silence that marks it. Paused, the deck stays paused across the
// switch; without any device it pauses, refuses Play, and plays on from its
// place once one opens, or from where a load and a seek meanwhile chose.
TEST(DeckDeviceSwitch, PlaybackGoesOnFromTheFrameHeardWhateverTheBuffer) {
    struct Case {
        uint32_t latency;
        bool paused;
        bool throughNoDevice;
        bool loadAndSeekMeanwhile;
    };
    for (const Case c : {Case{0, false, false, false}, Case{3000, false, false, false},
                         Case{8192, false, false, false}, Case{4096, true, false, false},
                         Case{2048, false, true, false}, Case{2048, true, true, true}}) {
        SCOPED_TRACE("device buffer " + std::to_string(c.latency) + (c.paused ? ", paused" : "") +
                     (c.throughNoDevice ? ", through no device" : "") +
                     (c.loadAndSeekMeanwhile ? ", a load and a seek meanwhile" : ""));
        DeckRig rig(false, Device(1024, kSpeed));
        // A second entry only for the load.
        const auto tracks = rig.AddTracks({5 * 44100, 4 * 44100}, 5);
        if (!c.loadAndSeekMeanwhile)
            rig.playlist.Tracks().RemoveTrack(1);
        SwitchTo(rig, "A", c.latency); // nothing loaded yet: only the device changes
        ASSERT_TRUE(rig.LoadRow(0));
        rig.deck->TogglePause();
        ASSERT_TRUE(rig.RunUntil([&] { return rig.output.GetFramesPlayed() >= 44100; }));
        if (c.paused) {
            rig.deck->TogglePause();
            ASSERT_EQ(rig.deck->GetState(), DeckState::Paused);
        }
        if (c.throughNoDevice) {
            rig.deck->SetOutputDevice("Null", [] { return nullptr; });
            rig.deck->SetOutputDevice("Gone", [] { return std::make_unique<CGoneBackend>(); });
            EXPECT_FALSE(rig.output.HasDevice());
            EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
            rig.deck->TogglePause();
            rig.loop.RunFor(100ms);
            EXPECT_EQ(rig.deck->GetState(), DeckState::Paused) << "Play with nothing to hear it";
        }
        if (c.loadAndSeekMeanwhile) {
            ASSERT_TRUE(rig.LoadRow(1));
            rig.deck->SeekTo(2.0);
        }
        SwitchTo(rig, "B", c.latency);
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.deck->IsBusy(); }));
        if (c.paused) {
            rig.loop.RunFor(100ms);
            EXPECT_EQ(rig.deck->GetState(), DeckState::Paused);
            EXPECT_EQ(rig.output.GetFramesPlayed(), 0u) << "the new device played while paused";
            rig.deck->TogglePause();
        }
        EXPECT_TRUE(rig.RunUntil([&] { return rig.deck->IsPlaying(); }));
        ASSERT_TRUE(rig.UntilEnd());
        rig.output.CloseDevice();

        const auto a = ReadWav16(rig.dir / "A.wav").samples,
                   b = ReadWav16(rig.dir / "B.wav").samples;
        const size_t heardOnA = a.size() / 2;
        ASSERT_GT(heardOnA, c.latency) << "the old device played too little to test";
        EXPECT_EQ(FrameDifference(a, Frames(tracks[0], 0, heardOnA)), "");
        const auto& onB = tracks[c.loadAndSeekMeanwhile ? 1 : 0];
        const size_t resumeAt = c.loadAndSeekMeanwhile ? 2 * 44100 : heardOnA - c.latency;
        const size_t rest = onB.size() / 2 - resumeAt;
        EXPECT_EQ(FrameDifference(Frames(b, 0, rest), Frames(onB, resumeAt, rest)), "")
            << "B should go on from frame " << resumeAt << ", starts at "
            << FindFrames(onB, Frames(b, 0, 64));
        EXPECT_THAT(Frames(b, rest, b.size()), ::testing::Each(0)) << "sound after the end";
        EXPECT_EQ(rig.host.tracks.size(), c.loadAndSeekMeanwhile ? 2u : 1u)
            << "the track was loaded again";
        if (c.throughNoDevice) {
            EXPECT_EQ(
                rig.host.deviceChanges,
                (std::vector<std::string>{"A opened", "Null failed", "Gone failed", "B opened"}));
        }
    }
}

// What the device chooser is offered: the devices sorted, and the speaker
// pairs of a device with four or more channels right after it.
TEST(OutputDevices, ChoicesAreSortedAndFourChannelDevicesOfferTheirPairs) {
    EXPECT_EQ(COutputDevices::ChoicesOf(
                  {{"Zeta Out", 2}, {"HDMI 1", 8}, {"Analog", 4}, {"Mono Box", 1}, {"Unknown", 0}}),
              (std::vector<std::string>{"Analog", "Analog (Front)", "Analog (Rear)", "HDMI 1",
                                        "HDMI 1 (Front)", "HDMI 1 (Rear)", "Mono Box", "Unknown",
                                        "Zeta Out"}));
}

// SDL is asked for its default device (no name) when no device is chosen,
// and for the bare device of a speaker pair.
TEST(OutputDevices, TheSystemDefaultOpensSdlsDefaultAndAPairItsDevice) {
    for (const auto& [description, name] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"Analog (Rear)", "Analog"}, {"Zeta Out", "Zeta Out"}}) {
        const auto backend = COutputDevices::BackendFor(description)();
        const auto* sdl = dynamic_cast<const CSdlAudioBackend*>(backend.get());
        ASSERT_NE(sdl, nullptr);
        EXPECT_EQ(sdl->DeviceName(), name) << description;
    }
}
