// Every format decodes to the source's length and content.
#include "decode/AudioFileReader.h"
#include "decode/StereoConverter.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace tessel::test {
namespace {

// Not a whole number of codec frames, chunks or milliseconds.
constexpr size_t kOddFrames = 110261;
// A whole number of milliseconds: MP4 edit lists count in them.
constexpr size_t kMsFrames = 110250;

// One row per path of ours: interleaved and planar samples, mono, an MP3's
// LAME header, Opus's pre-skip, an MP4's edit list or iTunes tag (FFmpeg's
// own decode goes on into the encoder's padding there) and a length guessed
// from the bit rate. The audio is FFmpeg's own decode, the length the source's.
TEST(ReaderFormats, EachFormatHasTheSourcesLengthAndFfmpegsContent) {
    const auto stereo = SourceWav(44100, 2, kOddFrames);
    const auto ms = SourceWav(44100, 2, kMsFrames);
    const struct {
        std::filesystem::path file;
        int rate;
        size_t frames; // 0: the file does not tell its encoder's delay and padding
    } cases[] = {
        {stereo, 44100, kOddFrames},
        {SourceWav(44100, 1, kOddFrames), 44100, kOddFrames},
        {Encoded(stereo, "-c:a alac", "m4a"), 44100, kOddFrames},
        {Fixture("lame-vbr.mp3", "lame --quiet -V4 '" + stereo.string() + "' {out}"), 44100,
         kOddFrames},
        {Encoded(SourceWav(48000, 2, kOddFrames), "-c:a libopus -b:a 96k", "opus"), 48000,
         kOddFrames},
        {Encoded(ms, "-c:a aac -b:a 128k", "m4a"), 44100, kMsFrames},
        // iTunes' gapless tag, where present, gives the count to the sample.
        {Encoded(ms,
                 "-c:a aac -movflags use_metadata_tags "
                 "-metadata iTunSMPB=' 00000000 00000400 00000000 000000000001AEA1'",
                 "m4a"),
         44100, 0x1AEA1},
        {Encoded(stereo, "-c:a aac -b:a 128k", "aac"), 44100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        double seconds = 0;
        const std::vector<int16_t> got = DecodeAll(c.file, &seconds);
        const std::vector<int16_t> reference = ToStereo(ReferenceDecode(c.file));
        EXPECT_EQ(FirstDifference(got, reference), -1);
        if (c.frames == 0) {
            EXPECT_EQ(got.size(), reference.size());
            EXPECT_NEAR(seconds, static_cast<double>(kOddFrames) / c.rate, 0.2);
            continue;
        }
        EXPECT_EQ(got.size() / 2, c.frames) << "encoder delay and padding removed";
        EXPECT_DOUBLE_EQ(seconds, static_cast<double>(c.frames) / c.rate)
            << "the reported length is the decodable length";
    }
}

// Sample widths other than 16 bits, written here so the rounding is checked
// against known values: to nearest, ties of floats to even, out of range
// clamped, NaN silent.
TEST(ReaderFormats, WiderAndNarrowerSamplesRoundToNearest) {
    const auto f = [](float v) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return uint64_t{bits};
    };
    const auto neg = [](int64_t v) { return static_cast<uint64_t>(v); };
    const struct {
        const char* name;
        int tag, bits;
        std::vector<uint64_t> stored;
        std::vector<int16_t> expected;
    } widths[] = {
        {"s24",
         1,
         24,
         {0x7FFFFF, neg(-0x800000), 0x80, 0x7F, neg(-0x80), neg(-0x81), 0x17F, 0x180, 0x123456,
          0x123480},
         {32767, -32768, 1, 0, 0, -1, 1, 2, 0x1234, 0x1235}},
        {"s32",
         1,
         32,
         {0x7FFFFFFF, 0x80000000, 0x8000, 0x7FFF, neg(-0x8001)},
         {32767, -32768, 1, 0, -1}},
        {"f32",
         3,
         32,
         {f(1.0f), f(-1.0f), f(2.0f), f(-3.0f), f(0.5f / 32768), f(1.5f / 32768), f(2.5f / 32768),
          f(-1.5f / 32768), f(0.25f), f(std::numeric_limits<float>::quiet_NaN())},
         {32767, -32768, 32767, -32768, 0, 2, 2, -2, 8192, 0}},
        {"u8", 1, 8, {0, 128, 255, 129}, {-32768, 0, 32512, 256}},
    };
    TempDir dir;
    for (const auto& w : widths) {
        SCOPED_TRACE(w.name);
        std::vector<uint8_t> data;
        for (const uint64_t stored : w.stored)
            for (int i = 0; i < w.bits / 8; ++i)
                data.push_back(static_cast<uint8_t>(stored >> (8 * i)));
        WriteWavRaw(dir / "w.wav", w.tag, 8000, 1, w.bits, data);
        EXPECT_TRUE(SameAudio(DecodeAll(dir / "w.wav"), ToStereo({8000, 1, w.expected})));
    }
    EXPECT_EQ(DoubleToPcm16(0.5 / 32768), 0);
    EXPECT_EQ(DoubleToPcm16(-1.0), -32768);
    EXPECT_EQ(DoubleToPcm16(std::nan("")), 0);
}

TEST(ReaderFormats, SurroundIsMixedDownToStereo) {
    // 5.1 in WAV order: FL FR FC LFE BL BR. Frame 0: front left only;
    // frame 1: centre only; frame 2: LFE only.
    std::vector<int16_t> samples(6 * 3, 0);
    samples[0] = 16000;
    samples[6 + 2] = 16000;
    samples[12 + 3] = 16000;
    TempDir dir;
    WriteWav16(dir / "surround.wav", 48000, 6, samples);
    const std::vector<int16_t> stereo = DecodeAll(dir / "surround.wav");
    ASSERT_EQ(stereo.size(), 6u);
    EXPECT_GT(stereo[0], 0);
    EXPECT_LE(stereo[0], 16000) << "the mix is normalised, it cannot amplify";
    EXPECT_EQ(stereo[1], 0) << "front left stays left";
    EXPECT_GT(stereo[2], 0);
    EXPECT_EQ(stereo[2], stereo[3]) << "centre goes equally to both sides";
}

TEST(ReaderFormats, TwoReadersOnTwoThreadsDoNotDisturbEachOther) {
    const auto a = Encoded(SourceWav(44100, 2, kOddFrames), "-c:a libvorbis", "ogg");
    const auto b = SourceWav(48000, 1, kOddFrames, 7);
    const auto read = [](const std::filesystem::path& file) {
        CAudioFileReader reader;
        EXPECT_EQ(reader.Open(file.string()), 0);
        return ReadToEnd(reader);
    };
    const auto soloA = read(a);
    const auto soloB = read(b);
    std::vector<int16_t> gotA, gotB;
    std::thread ta([&] { gotA = read(a); });
    std::thread tb([&] { gotB = read(b); });
    ta.join();
    tb.join();
    EXPECT_EQ(gotA, soloA);
    EXPECT_EQ(gotB, soloB);
}

} // namespace
} // namespace tessel::test
