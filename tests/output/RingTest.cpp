// The ring on the virtual clock without ramps: what is written comes out
// exactly, in ring order, with one notification per segment passed.
#include "core/Status.h"
#include "tests/output/OutputRig.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>

namespace tessel::test {
namespace {

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

TEST(Ring, AReopenedStreamPlaysNothingOfTheOldOne) {
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    for (uint32_t n = 0; n < 7; ++n)
        ASSERT_EQ(rig.output.WriteForward(Numbered(n).data()), Status::Ok);
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 7 * kChunkBytes);

    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 0u);
    EXPECT_EQ(rig.output.GetForwardPlayCursor(), 0u);
    EXPECT_FALSE(rig.output.IsPlayingForward());
    EXPECT_EQ(rig.output.GetVolume(), 0);

    rig.output.PlayForward();
    rig.Advance(3);
    StopAfterRamp(rig);
    EXPECT_TRUE(rig.Recorded().empty()) << "the device waits for audio; it never replays old audio";
    EXPECT_EQ(rig.output.GetStarvation().underruns, 1u);
    EXPECT_GT(rig.output.GetStarvation().starvedFrames, 0u);
}

TEST(Ring, AFullRingRefusesAWriteUntilASegmentHasBeenPlayed) {
    VirtualRig rig(false);
    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    for (uint32_t n = 0; n < kRingSegments; ++n) {
        EXPECT_EQ(rig.output.GetForwardWriteOffset(), n * kChunkBytes);
        ASSERT_EQ(rig.output.WriteForward(Numbered(n).data()), Status::Ok);
    }
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 0u);
    EXPECT_EQ(rig.output.WriteForward(Numbered(99).data()), Status::Locked)
        << "segment 0 has not been played yet";

    rig.output.PlayForward();
    rig.Advance(1);
    ASSERT_EQ(rig.output.WriteForward(Numbered(99).data()), Status::Ok)
        << "segment 0 has been played";
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), kChunkBytes);
    rig.Ack();
    rig.Advance(51);
    StopAfterRamp(rig);
    std::vector<uint32_t> chunks(kRingSegments);
    std::iota(chunks.begin(), chunks.end(), 0u);
    chunks.push_back(99);
    EXPECT_TRUE(rig.Recorded() == NumberedFrames(chunks, kRingFrames + kSegmentFrames))
        << "what was written, once";
}

TEST(Ring, OneNotificationPerSegmentInOrderAcrossTheWrap) {
    VirtualRig rig(false);
    Start(rig, 48000, kRingSegments);
    for (uint32_t k = 1; k <= 120; ++k) {
        rig.NextNotification();
        // The cursor has just left segment k - 1: one frame into segment k.
        EXPECT_EQ(rig.output.GetForwardPlayCursor(),
                  (k % kRingSegments) * kChunkBytes + kBytesPerFrame)
            << "notification " << k;
        EXPECT_EQ(rig.output.GetFramesPlayed(), uint64_t{k} * kSegmentFrames + 1);
        // Without the acknowledgement the clock does not play on.
        EXPECT_LE(rig.clock->StepsTaken(), k);
        ASSERT_EQ(rig.output.WriteForward(Numbered(k).data()), Status::Ok);
        if (k < 120)
            rig.Ack();
    }
    StopAfterRamp(rig);
    EXPECT_EQ(rig.Recorded().size(), (size_t{120} * kSegmentFrames + 1) * 2);
    EXPECT_EQ(rig.output.GetStarvation().underruns, 0u);
}

TEST(Ring, WhenNothingWrittenIsLeftTheDeviceWaitsAndCarriesOnWithTheNextWrite) {
    VirtualRig rig(false);
    Start(rig, 44100, 3);
    rig.Advance(5); // two steps past the written audio
    EXPECT_EQ(rig.output.GetFramesPlayed(), uint64_t{3} * kSegmentFrames);
    const StarvationReport starved = rig.output.GetStarvation();
    EXPECT_EQ(starved.underruns, 1u);
    EXPECT_EQ(starved.lastBeganAt, uint64_t{3} * kSegmentFrames);
    rig.output.WriteForward(Numbered(3).data());
    rig.Ack();
    rig.Advance(1);
    StopAfterRamp(rig);
    EXPECT_TRUE(rig.Recorded() == NumberedFrames({0, 1, 2, 3}, 4 * kSegmentFrames));
    EXPECT_EQ(rig.output.GetStarvation().underruns, 2u) << "the fourth segment ran dry too";
}

TEST(Ring, PaceGateHoldsEachStepBack) {
    VirtualRig rig(false);
    std::atomic<int> asked{0};
    std::atomic<int> allowAfter{5};
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

TEST(Ring, StopAndPlayResumeAtTheCursor) {
    VirtualRig rig(false);
    Start(rig, 44100, 4);
    rig.NextNotification();
    StopAfterRamp(rig);
    EXPECT_FALSE(rig.output.IsPlayingForward());
    const uint32_t stoppedAt = rig.output.GetForwardPlayCursor();
    StopAfterRamp(rig); // stopped: nothing changes
    rig.Ack();
    EXPECT_EQ(rig.output.GetForwardPlayCursor(), stoppedAt);

    rig.output.PlayForward();
    rig.output.PlayForward(); // playing: nothing changes
    rig.NextNotification();
    StopAfterRamp(rig);
    // Two steps back to back: segment 0, segment 1 and a frame of 2, no gap.
    EXPECT_TRUE(rig.Recorded() == NumberedFrames({0, 1, 2}, 2 * kSegmentFrames + 1));
}

TEST(Ring, SpeakerPairPutsTheSoundOnOnePairOfFour) {
    for (const auto& [description, pairAt] :
         {std::pair<std::string, int>{"Card (Rear)", 2}, {"Card (Front)", 0}}) {
        VirtualRig rig(false, description);
        EXPECT_EQ(rig.output.GetDeviceName(), "Card");
        ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
        rig.output.WriteForward(ConstantChunk(1200, -3400).data());
        rig.output.WriteForward(ConstantChunk(1200, -3400).data());
        rig.output.PlayForward();
        rig.NextNotification();
        StopAfterRamp(rig);
        std::vector<int16_t> expected;
        for (size_t frame = 0; frame < kSegmentFrames + 1; ++frame)
            for (int channel = 0; channel < 4; ++channel)
                expected.push_back(channel == pairAt ? 1200 : channel == pairAt + 1 ? -3400 : 0);
        EXPECT_TRUE(rig.Recorded() == expected) << description;
    }
}

TEST(Ring, WavFileHoldsExactlyWhatWasPlayedOrIsReportedUnwritable) {
    TempDir dir;
    const auto path = dir / "out.wav";
    {
        VirtualRig rig(false, "Virtual", path);
        Start(rig, 22050, 3);
        rig.Advance(2);
        StopAfterRamp(rig);
        EXPECT_TRUE(rig.clock->CloseFile());
    }
    const WavData wav = ReadWav16(path);
    EXPECT_EQ(wav.rate, 22050);
    ASSERT_EQ(wav.channels, 2);
    EXPECT_TRUE(wav.samples == NumberedFrames({0, 1, 2}, 2 * kSegmentFrames + 1));
    // A file that cannot be written is reported; the sound plays all the same.
    VirtualRig rig(false, "Virtual", dir / "no-such-folder" / "out.wav");
    Start(rig, 44100, 2);
    rig.Advance(1);
    StopAfterRamp(rig);
    EXPECT_FALSE(rig.clock->FileOk());
    EXPECT_FALSE(rig.Recorded().empty());
}

} // namespace
} // namespace tessel::test
