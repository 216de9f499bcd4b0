// The sound output: the facade's guards (no device, no stream, bad
// arguments, failing backends); the ring on the virtual clock without
// ramps: what is written comes out exactly, in ring order, with one
// notification per segment passed; and the SDL path, through SDL's disk
// driver and through a driver that does not exist (real time, so only what
// ends by itself is waited for; that the disk driver gets every frame the
// player renders, once and in order, the end-to-end tests in tests/tools
// check, RealTimeDisk).
#include "core/Status.h"
#include "output/SdlAudioBackend.h"
#include "output/SpeakerSuffix.h"
#include "tests/output/OutputRig.h"
#include "tests/support/GoneBackend.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>

namespace tessel::test {
namespace {

// Prepares a device but cannot open a stream on it.
class NoStreamBackend final : public IAudioBackend {
  public:
    Status Prepare(uint32_t) override { return Status::Ok; }
    Status Open(uint32_t, uint32_t, IRenderSource&) override { return Status::Failed; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return true; }
};

// Every call on an output without a stream is refused or does nothing.
void ExpectInert(CSoundOutput& output) {
    EXPECT_EQ(output.WriteForward(ConstantChunk(1, 1).data()), Status::NotInitialized);
    EXPECT_EQ(output.SetVolume(0.5), Status::NotInitialized);
    EXPECT_EQ(output.SetTrackGainAt(0, 0.5f), Status::NotInitialized);
    output.PlayForward();
    output.StopForward();
    output.NotificationHandled();
    EXPECT_FALSE(output.IsPlayingForward());
    EXPECT_EQ(output.GetForwardWriteOffset(), 0u);
    EXPECT_EQ(output.GetForwardPlayCursor(), 0u);
}

TEST(SoundOutput, WithoutADeviceOrAStreamOrWithAFailingBackendNothingHappens) {
    CSoundOutput output;
    EXPECT_EQ(output.OpenStream(44100), Status::NotInitialized);
    ExpectInert(output);
    EXPECT_EQ(output.OpenDevice(nullptr, "Speakers"), Status::Unexpected);
    EXPECT_EQ(output.OpenDevice(std::make_unique<CVirtualClockBackend>(VirtualClockOptions{}), ""),
              Status::Unexpected);
    EXPECT_EQ(output.OpenDevice(std::make_unique<CGoneBackend>(), "Card"), Status::Failed);
    EXPECT_FALSE(output.HasDevice());
    EXPECT_EQ(output.GetDeviceName(), "");
    // A stream the backend cannot open is no stream.
    ASSERT_EQ(output.OpenDevice(std::make_unique<NoStreamBackend>(), "Card"), Status::Ok);
    EXPECT_EQ(output.OpenStream(44100), Status::Failed);
    ExpectInert(output);

    VirtualRig rig(false);
    ExpectInert(rig.output); // a device, no stream yet
    // Opening a device closes the one before even when the new one fails.
    EXPECT_EQ(rig.output.OpenDevice(std::make_unique<CGoneBackend>(), "Card"), Status::Failed);
    EXPECT_FALSE(rig.output.HasDevice());
}

TEST(SoundOutput, BadArgumentsAreRefusedAndChangeNothing) {
    VirtualRig rig(true);
    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    EXPECT_EQ(rig.output.WriteForward(nullptr), Status::Unexpected);
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 0u);
    ASSERT_EQ(rig.output.SetVolume(0.5), Status::Ok);
    for (double bad : {std::nan(""), 1.5, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(rig.output.SetVolume(bad), Status::Unexpected) << bad;
    EXPECT_EQ(rig.output.GetVolume(), -2800);
    EXPECT_EQ(rig.output.SetVolume(-1.0), Status::Ok);
    EXPECT_EQ(rig.output.GetVolume(), -10000);

    // Track gains: bad values, out of order, too many, or dropped where a
    // render may be reading.
    const uint64_t from = rig.output.FirstUnreadFrame();
    for (float bad : {std::nanf(""), -0.1f, 1001.0f, INFINITY})
        EXPECT_EQ(rig.output.SetTrackGainAt(from, bad), Status::Unexpected) << bad;
    EXPECT_EQ(rig.output.DropTrackGainsFrom(from - 1), Status::Locked);
    for (uint64_t i = 0; i < CTrackGainQueue::kCapacity; ++i)
        ASSERT_EQ(rig.output.SetTrackGainAt(from + 10 * i, 0.5f), Status::Ok);
    EXPECT_EQ(rig.output.SetTrackGainAt(from + 100, 0.5f), Status::Locked) << "full";
    EXPECT_EQ(rig.output.DropTrackGainsFrom(from + 15), Status::Ok);
    EXPECT_EQ(rig.output.SetTrackGainAt(from + 5, 0.25f), Status::Unexpected)
        << "before the last one kept";
    for (uint64_t i = 2; i < CTrackGainQueue::kCapacity; ++i)
        EXPECT_EQ(rig.output.SetTrackGainAt(from + 12 + i, 0.25f), Status::Ok) << "room again";

    for (uint32_t rate : {0u, 999u, 768001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(rig.output.OpenStream(rate), Status::Unexpected) << rate;
        ExpectInert(rig.output);
    }
    EXPECT_EQ(rig.output.OpenStream(8000), Status::Ok);
}

// Chunk `n`: every sample holds n + 1 (left) and -(n + 1) (right).
Chunk Numbered(uint32_t n) {
    return ConstantChunk(static_cast<int16_t>(n + 1), static_cast<int16_t>(-(int32_t(n) + 1)));
}

// `frames` interleaved frames of the numbered chunks `chunks`, one after another.
std::vector<int16_t> NumberedFrames(const std::vector<uint32_t>& chunks, size_t frames) {
    std::vector<int16_t> out;
    for (size_t f = 0; f < frames; ++f) {
        const auto v = static_cast<int16_t>(chunks[f / kSegmentFrames] + 1);
        out.insert(out.end(), {v, static_cast<int16_t>(-v)});
    }
    return out;
}

// Opens a stream, writes chunks 0 to count - 1 and starts playing.
void Start(VirtualRig& rig, uint32_t rate, uint32_t count) {
    ASSERT_EQ(rig.output.OpenStream(rate), Status::Ok);
    for (uint32_t n = 0; n < count; ++n)
        ASSERT_EQ(rig.output.WriteForward(Numbered(n).data()), Status::Ok);
    rig.output.PlayForward();
}

TEST(Ring, WritesWaitForRoomAndPlayInOrderAcrossTheWrapAndAStop) {
    constexpr uint32_t kSteps = 120;
    std::vector<uint32_t> chunks(kSteps + 1);
    std::iota(chunks.begin(), chunks.end(), 0u);
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.OpenStream(48000), Status::Ok);
    for (uint32_t n = 0; n < kRingSegments; ++n)
        ASSERT_EQ(rig.output.WriteForward(Numbered(n).data()), Status::Ok);
    // Before the start: once playing, the clock may take its first step at
    // once and make room.
    EXPECT_EQ(rig.output.WriteForward(Numbered(99).data()), Status::Locked)
        << "segment 0 has not been played yet";
    rig.output.PlayForward();
    // A file render: the volume is not applied.
    ASSERT_EQ(rig.output.SetVolume(0.5), Status::Ok);
    for (uint32_t k = 1; k <= kSteps; ++k) {
        rig.NextNotification();
        // The cursor has just left segment k - 1: one frame into segment k.
        EXPECT_EQ(rig.output.GetForwardPlayCursor(),
                  (k % kRingSegments) * kChunkBytes + kBytesPerFrame)
            << "notification " << k;
        EXPECT_EQ(rig.output.GetFramesPlayed(), uint64_t{k} * kSegmentFrames + 1);
        // Without the acknowledgement the clock does not play on.
        EXPECT_LE(rig.clock->StepsTaken(), k);
        ASSERT_EQ(rig.output.WriteForward(Numbered(kRingSegments + k - 1).data()), Status::Ok);
        EXPECT_EQ(rig.output.GetForwardWriteOffset(), (k % kRingSegments) * kChunkBytes);
        if (k == 60) {
            // Stopped, it stays put; played again, it goes on from there.
            StopAfterRamp(rig);
            EXPECT_FALSE(rig.output.IsPlayingForward());
            const uint32_t stoppedAt = rig.output.GetForwardPlayCursor();
            StopAfterRamp(rig); // stopped: nothing changes
            rig.Ack();
            EXPECT_EQ(rig.output.GetForwardPlayCursor(), stoppedAt);
            rig.output.PlayForward();
            rig.output.PlayForward(); // playing: nothing changes
        } else if (k < kSteps) {
            rig.Ack();
        }
    }
    StopAfterRamp(rig);
    EXPECT_TRUE(rig.Recorded() == NumberedFrames(chunks, kSteps * kSegmentFrames + 1))
        << "what was written, once, in order";
    EXPECT_EQ(rig.output.GetStarvation().underruns, 0u);
}

TEST(Ring, AReopenedStreamPlaysOnlyItsOwnAudioAndWaitsWhenItRunsDry) {
    // A file that cannot be written is reported; the sound plays all the same.
    TempDir dir;
    VirtualRig rig(false, "Virtual", dir / "no-such-folder" / "out.wav");
    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    for (uint32_t n = 10; n < 17; ++n)
        ASSERT_EQ(rig.output.WriteForward(Numbered(n).data()), Status::Ok);
    ASSERT_EQ(rig.output.SetVolume(0.5), Status::Ok);
    Start(rig, 44100, 3);
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 3 * kChunkBytes);
    EXPECT_EQ(rig.output.GetVolume(), 0) << "full volume again";
    rig.Advance(5); // two steps past the written audio
    EXPECT_EQ(rig.output.GetFramesPlayed(), uint64_t{3} * kSegmentFrames);
    const StarvationReport starved = rig.output.GetStarvation();
    EXPECT_EQ(starved.underruns, 1u);
    EXPECT_EQ(starved.lastBeganAt, uint64_t{3} * kSegmentFrames);
    EXPECT_GT(starved.starvedFrames, 0u);
    rig.output.WriteForward(Numbered(3).data());
    rig.Ack();
    rig.Advance(1);
    StopAfterRamp(rig);
    EXPECT_TRUE(rig.Recorded() == NumberedFrames({0, 1, 2, 3}, 4 * kSegmentFrames))
        << "the device never plays the old stream's audio";
    EXPECT_EQ(rig.output.GetStarvation().underruns, 2u) << "the fourth segment ran dry too";
    EXPECT_FALSE(rig.clock->FileOk());
}

TEST(Ring, PaceGateHoldsEachStepBack) {
    VirtualRig rig(false);
    std::atomic<int> asked{0}, allowAfter{5};
    rig.output.SetPaceGate([&] { return asked.fetch_add(1) + 1 > allowAfter.load(); });
    Start(rig, 44100, 5);
    rig.NextNotification();
    EXPECT_GE(asked.load(), 6);
    allowAfter = 1000000; // hold the next step
    const int before = asked.load();
    rig.Ack();
    while (asked.load() < before + 3) // it keeps asking and does not step
        std::this_thread::yield();
    EXPECT_EQ(rig.clock->StepsTaken(), 1u);
    allowAfter = 0;
    EXPECT_EQ(rig.NextNotification(), 2u);
    StopAfterRamp(rig);
}

// An output on SDL's current driver.
struct SdlRig : OutputRig {
    Status status;
    explicit SdlRig(const std::string& description = "System audio output device")
        : status(output.OpenDevice(std::make_unique<CSdlAudioBackend>(), description)) {}
};

TEST(SdlBackend, ASpeakerPairReachesSdlAsTheMatchingPairOfFivePointOneAcrossStopAndPlay) {
    // 5.1 is laid out alike by every SDL driver; four channels are not.
    for (const bool rear : {true, false}) {
        SCOPED_TRACE(rear ? "rear" : "front");
        TempDir dir;
        const auto file = dir / "disk.raw";
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv path("SDL_DISKAUDIOFILE", file.c_str());
        {
            SdlRig rig(rear ? "Card (Rear)" : "Card (Front)");
            ASSERT_EQ(rig.status, Status::Ok);
            EXPECT_EQ(rig.output.GetDeviceName(), "Card");
            ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
            for (uint32_t n = 0; n < kRingSegments; ++n)
                ASSERT_EQ(rig.output.WriteForward(ConstantChunk(1000, -1000).data()), Status::Ok);
            for (int round = 0; round < 2; ++round) {
                rig.output.PlayForward();
                EXPECT_TRUE(rig.output.IsPlayingForward());
                rig.Advance(2);
                StopAfterRamp(rig);
                EXPECT_FALSE(rig.output.IsPlayingForward());
            }
            EXPECT_GE(rig.output.GetFramesPlayed(), 4 * kSegmentFrames) << "played again";
            rig.output.CloseDevice();
        }
        const std::vector<int16_t> raw = ReadRawS16(file);
        ASSERT_EQ(raw.size() % 6, 0u) << "not six channels";
        const size_t pair = rear ? 4 : 0;
        const size_t silentPair = rear ? 0 : 4;
        bool heard = false;
        for (size_t i = 0; i + 6 <= raw.size(); i += 6) {
            ASSERT_TRUE(raw[i + 2] == 0 && raw[i + 3] == 0 && raw[i + silentPair] == 0 &&
                        raw[i + silentPair + 1] == 0)
                << "centre, LFE or the other pair sounds at frame " << i / 6;
            heard = heard || (raw[i + pair] == 1000 && raw[i + pair + 1] == -1000);
        }
        EXPECT_TRUE(heard) << "the chosen pair stayed silent";
    }
}

TEST(SdlBackend, AnUnknownDriverLeavesNoDevice) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    SdlRig rig;
    EXPECT_NE(rig.status, Status::Ok);
    EXPECT_FALSE(rig.output.HasDevice());
    EXPECT_TRUE(CSdlAudioBackend::ListPlaybackDevices().empty());
}

// The "(Front)"/"(Rear)" suffix that picks the pair, read off a device name.
TEST(SpeakerSuffix, PicksThePairAndCleansTheName) {
    const std::tuple<const char*, const char*, SpeakerPair> cases[] = {
        {"Speakers (Rear)", "Speakers", SpeakerPair::Rear},
        {"Speakers (Front)", "Speakers", SpeakerPair::Front},
        {"Speakers (Can Split)", "Speakers", SpeakerPair::None},
        {"Speakers", "Speakers", SpeakerPair::None},
        // Glued to the name: only the suffix goes, the last letter stays.
        {"Speakers(Rear)", "Speakers", SpeakerPair::Rear},
        // Only the trailing suffix counts and only it is cut.
        {"(Rear) Monitor (Front)", "(Rear) Monitor", SpeakerPair::Front},
        {"Speakers (Rear) Dock", "Speakers (Rear) Dock", SpeakerPair::None},
        {"Speakers (rear)", "Speakers (rear)", SpeakerPair::None},
        {"(Rear)", "", SpeakerPair::Rear},
    };
    for (const auto& [description, name, pair] : cases) {
        const SpeakerChoice choice = ParseSpeakerSuffix(description);
        EXPECT_TRUE(choice.name == name && choice.pair == pair) << description;
    }
}

} // namespace
} // namespace tessel::test
