// Seeking lands on the sample: a read after a seek equals the continuous read
// from that sample, and the position reported is where the next read starts.
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace tessel::test {
namespace {

constexpr size_t kFrames = 220537; // 5 s and a bit at 44.1 kHz

void ExpectSeeksMatchContinuousRead(const std::filesystem::path& file) {
    SCOPED_TRACE(file.filename().string());
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(file.string()), 0);
    const int rate = reader.GetSampleRate();
    const auto whole = ReadToEnd(reader);
    const auto frames = static_cast<int64_t>(whole.size() / 2);
    ASSERT_GT(frames, 0);
    ASSERT_EQ(reader.Open(file.string()), 0);
    const int64_t length = std::llround(reader.GetDurationSeconds() * rate);
    ASSERT_EQ(length, frames);
    for (double fraction : {0.0, 0.0137, 0.5, 0.8123, 0.97}) {
        SCOPED_TRACE(fraction);
        reader.SeekToFraction(fraction);
        const auto target =
            static_cast<int64_t>(std::floor(static_cast<double>(length) * fraction));
        EXPECT_NEAR(reader.GetPositionSeconds(), static_cast<double>(target) / rate, 0.5 / rate);
        const std::vector<int16_t> got = ReadToEnd(reader, 3);
        const std::vector<int16_t> expected(
            whole.begin() + 2 * target,
            whole.begin() + 2 * std::min<int64_t>(frames, target + 3 * kChunkFrames));
        EXPECT_TRUE(SameAudio(got, expected));
        if (!reader.IsOpen()) {
            ASSERT_EQ(reader.Open(file.string()), 0);
        }
    }
    // To the very end: nothing left, the stream ends.
    reader.SeekToFraction(1.0);
    const ChunkRead last = ReadOneChunk(reader);
    EXPECT_EQ(last.status, 0);
    EXPECT_EQ(last.bytes, 0u);
    EXPECT_TRUE(last.end);
}

TEST(ReaderSeek, LandsOnTheSampleInEveryFormat) {
    const auto source = SourceWav(44100, 2, kFrames, 11);
    const auto source48 = SourceWav(48000, 2, kFrames, 12);
    ExpectSeeksMatchContinuousRead(source);
    ExpectSeeksMatchContinuousRead(Encoded(source, "", "flac"));
    ExpectSeeksMatchContinuousRead(
        Fixture("seek-vbr.mp3", "lame --quiet -V2 '" + source.string() + "' {out}"));
    ExpectSeeksMatchContinuousRead(Encoded(source, "-c:a libmp3lame -b:a 128k", "mp3"));
    // Without noise substitution, whose noise differs after a seek.
    ExpectSeeksMatchContinuousRead(Encoded(source, "-c:a aac -aac_pns 0 -b:a 128k", "m4a"));
    ExpectSeeksMatchContinuousRead(Encoded(source48, "-c:a libopus -b:a 96k", "opus"));
    ExpectSeeksMatchContinuousRead(Encoded(source, "-c:a libvorbis", "ogg"));
}

// A track longer than 2^31 bytes of 16-bit stereo (3.4 hours at 44.1 kHz):
// a sparse WAV of four hours with marked stretches far into it.
TEST(ReaderSeek, FourHourTrackSeeksAndReportsPastThirtyTwoBits) {
    TempDir dir;
    const auto path = dir / "long.wav";
    constexpr int kRate = 44100;
    constexpr uint64_t kLongFrames = uint64_t{4} * 3600 * kRate;
    WriteBytes(path, WavHeader(1, 2, kRate, 4, 16, static_cast<uint32_t>(kLongFrames * 4)));
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        // A ramp of 10000 frames at 3.9 hours, and a mark in the last frame.
        const uint64_t at = static_cast<uint64_t>(3.9 * 3600 * kRate);
        f.seekp(static_cast<std::streamoff>(44 + at * 4));
        for (int i = 0; i < 10000; ++i) {
            const int16_t v[2] = {static_cast<int16_t>(i - 5000), static_cast<int16_t>(i - 5000)};
            f.write(reinterpret_cast<const char*>(v), 4);
        }
        f.seekp(static_cast<std::streamoff>(44 + (kLongFrames - 1) * 4));
        const int16_t mark[2] = {1234, -1234};
        f.write(reinterpret_cast<const char*>(mark), 4);
    }
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(path.string()), 0);
    EXPECT_DOUBLE_EQ(reader.GetDurationSeconds(), 4.0 * 3600);

    const double fraction = 3.9 / 4.0;
    const auto target =
        static_cast<int64_t>(std::floor(static_cast<double>(kLongFrames) * fraction));
    reader.SeekToFraction(fraction);
    EXPECT_NEAR(reader.GetPositionSeconds(), 3.9 * 3600, 1.0 / kRate);
    const ChunkRead chunk = ReadOneChunk(reader);
    ASSERT_EQ(chunk.status, 0);
    ASSERT_EQ(chunk.bytes, kChunkBytes);
    int16_t first = 0;
    std::memcpy(&first, chunk.data.data(), 2);
    const auto rampStart = static_cast<int64_t>(3.9 * 3600 * kRate);
    EXPECT_EQ(first, static_cast<int16_t>(target - rampStart - 5000));
    EXPECT_NEAR(reader.GetPositionSeconds(), static_cast<double>(target + kChunkFrames) / kRate,
                1e-6);

    // The last chunk ends on the mark.
    reader.SeekToFraction(static_cast<double>(kLongFrames - 10) / static_cast<double>(kLongFrames));
    const ChunkRead tail = ReadOneChunk(reader);
    ASSERT_EQ(tail.status, 0);
    EXPECT_TRUE(tail.end);
    ASSERT_GE(tail.bytes, 4u);
    int16_t last[2] = {0, 0};
    std::memcpy(last, tail.data.data() + tail.bytes - 4, 4);
    EXPECT_EQ(last[0], 1234);
    EXPECT_EQ(last[1], -1234);
}

} // namespace
} // namespace tessel::test
