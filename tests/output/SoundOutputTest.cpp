// The facade's guards: no device, no stream, bad arguments, failing backends.
#include "core/Status.h"
#include "output/SoundDevice.h"
#include "tests/output/OutputRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tessel::test {
namespace {

class FailingBackend final : public IAudioBackend {
  public:
    explicit FailingBackend(bool failPrepare) : m_failPrepare(failPrepare) {}
    Status Prepare(uint32_t) override { return m_failPrepare ? Status::Failed : Status::Ok; }
    Status Open(uint32_t, uint32_t, IRenderSource&) override { return Status::Failed; }
    void Start() override {}
    void Pause() override {}
    void Close() override {}
    bool IsRealTime() const override { return true; }

  private:
    bool m_failPrepare;
};

void ExpectInert(CSoundOutput& output) {
    const Chunk chunk = ConstantChunk(1, 1);
    EXPECT_EQ(output.WriteForward(chunk.data()), Status::NotInitialized);
    EXPECT_EQ(output.SetVolume(0.5), Status::NotInitialized);
    EXPECT_EQ(output.GetForwardWriteOffset(), 0u);
    EXPECT_EQ(output.GetForwardPlayCursor(), 0u);
    EXPECT_EQ(output.GetVolume(), 0);
    EXPECT_FALSE(output.IsPlayingForward());
    output.PlayForward();
    output.StopForward();
    output.NotificationHandled();
    EXPECT_FALSE(output.IsPlayingForward());
}

TEST(SoundOutput, EverythingBeforeADeviceAndAStreamDoesNothing) {
    CSoundOutput output;
    EXPECT_FALSE(output.HasDevice());
    EXPECT_EQ(output.GetDeviceName(), "");
    EXPECT_EQ(output.OpenStream(44100), Status::NotInitialized);
    ExpectInert(output);
    output.CloseDevice();

    EXPECT_EQ(output.OpenDevice(nullptr, "Speakers"), Status::Unexpected);
    EXPECT_EQ(output.OpenDevice(std::make_unique<CVirtualClockBackend>(VirtualClockOptions{}), ""),
              Status::Unexpected);
    EXPECT_FALSE(output.HasDevice());

    // A device without a stream refuses writes too.
    VirtualRig rig(false, "Speakers (Can Split)");
    EXPECT_TRUE(rig.output.HasDevice());
    EXPECT_EQ(rig.output.GetDeviceName(), "Speakers");
    EXPECT_EQ(rig.output.Device()->GetChannels(), 2u);
    ExpectInert(rig.output);
}

TEST(SoundOutput, BadArgumentsAreRefusedAndChangeNothing) {
    VirtualRig rig(true);
    ASSERT_EQ(rig.output.OpenStream(44100), Status::Ok);
    EXPECT_EQ(rig.output.WriteForward(nullptr), Status::Unexpected);
    EXPECT_EQ(rig.output.GetForwardWriteOffset(), 0u);

    ASSERT_EQ(rig.output.SetVolume(0.5), Status::Ok);
    EXPECT_EQ(rig.output.SetVolume(std::nan("")), Status::Unexpected);
    EXPECT_EQ(rig.output.SetVolume(1.5), Status::Unexpected);
    EXPECT_EQ(rig.output.SetVolume(std::numeric_limits<double>::infinity()), Status::Unexpected);
    EXPECT_EQ(rig.output.GetVolume(), -2800);
    EXPECT_EQ(rig.output.SetVolume(-1.0), Status::Ok);
    EXPECT_EQ(rig.output.GetVolume(), -10000);

    for (uint32_t rate : {0u, 999u, 768001u, 0xFFFFFFFFu}) {
        EXPECT_EQ(rig.output.OpenStream(rate), Status::Unexpected) << rate;
        EXPECT_EQ(rig.output.WriteForward(ConstantChunk(1, 1).data()), Status::NotInitialized);
        rig.output.PlayForward();
        EXPECT_FALSE(rig.output.IsPlayingForward());
    }
    EXPECT_EQ(rig.output.OpenStream(8000), Status::Ok);
}

TEST(SoundOutput, BackendThatCannotPlayLeavesNoDevice) {
    CSoundOutput output;
    EXPECT_EQ(output.OpenDevice(std::make_unique<FailingBackend>(true), "Card"), Status::Failed);
    EXPECT_FALSE(output.HasDevice());
    EXPECT_EQ(output.GetDeviceName(), "");

    // Opening a device closes the one before even when the new one fails.
    VirtualRig rig(false);
    EXPECT_EQ(rig.output.OpenDevice(std::make_unique<FailingBackend>(true), "Card"),
              Status::Failed);
    EXPECT_FALSE(rig.output.HasDevice());

    // A stream the backend cannot open is no stream.
    ASSERT_EQ(output.OpenDevice(std::make_unique<FailingBackend>(false), "Card"), Status::Ok);
    EXPECT_EQ(output.OpenStream(44100), Status::Failed);
    ExpectInert(output);
}

} // namespace
} // namespace tessel::test
