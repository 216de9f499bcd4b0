// A track longer than 2^31 bytes of 16-bit stereo (3.4 hours at 44.1 kHz).
// Where each format's seeks land is DecodeRange's table.
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace tessel::test {
namespace {

// A sparse WAV of four hours with a mark in its last frame.
TEST(ReaderSeek, FourHourTrackSeeksAndReportsPastThirtyTwoBits) {
    TempDir dir;
    const auto path = dir / "long.wav";
    constexpr int kRate = 44100;
    constexpr int64_t kLongFrames = int64_t{4} * 3600 * kRate;
    WriteBytes(path, WavHeader(1, 2, kRate, 4, 16, static_cast<uint32_t>(kLongFrames * 4)));
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(44 + (kLongFrames - 1) * 4));
        const int16_t mark[2] = {1234, -1234};
        f.write(reinterpret_cast<const char*>(mark), 4);
    }
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(path.string()), 0);
    EXPECT_DOUBLE_EQ(reader.GetDurationSeconds(), 4.0 * 3600);

    reader.SeekToFrame(kLongFrames - 10);
    EXPECT_NEAR(reader.GetPositionSeconds(), static_cast<double>(kLongFrames - 10) / kRate, 1e-6);
    const ChunkRead tail = ReadOneChunk(reader);
    ASSERT_EQ(tail.status, 0);
    EXPECT_TRUE(tail.end);
    ASSERT_EQ(tail.bytes, 40u) << "the last ten frames";
    int16_t last[2] = {0, 0};
    std::memcpy(last, tail.data.data() + 36, 4);
    EXPECT_EQ(last[0], 1234);
    EXPECT_EQ(last[1], -1234);
}

} // namespace
} // namespace tessel::test
