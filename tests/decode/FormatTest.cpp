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

struct Decoded {
    int32_t status = 0;
    std::vector<int16_t> stereo;
    double duration = 0.0;
    int rate = 0;
    int channels = 0;
};

Decoded DecodeFile(const std::filesystem::path& file) {
    CAudioFileReader reader;
    Decoded out;
    out.status = reader.Open(file.string());
    if (out.status != 0)
        return out;
    out.duration = reader.GetDurationSeconds();
    out.rate = reader.GetSampleRate();
    out.channels = reader.GetChannels();
    EXPECT_EQ(reader.GetBitsPerSample(), 16);
    out.stereo = ReadToEnd(reader);
    EXPECT_FALSE(reader.IsOpen()) << "the reader closes itself at the end";
    return out;
}

TEST(ReaderFormats, LosslessFormatsDecodeExactly) {
    const auto stereo = SourceWav(44100, 2, kOddFrames);
    const auto mono = SourceWav(44100, 1, kOddFrames);
    const WavData source = ReadWav16(stereo);
    const WavData sourceMono = ReadWav16(mono);
    struct Case {
        std::filesystem::path file;
        const WavData* expected;
    } cases[] = {
        {stereo, &source},
        {mono, &sourceMono},
        {Encoded(stereo, "", "flac"), &source},
        {Encoded(mono, "", "flac"), &sourceMono},
        {Encoded(stereo, "", "aiff"), &source},
        {Encoded(stereo, "-c:a alac", "m4a"), &source},
        {Encoded(stereo, "-c:a wavpack", "wv"), &source},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const Decoded d = DecodeFile(c.file);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.channels, c.expected->channels);
        EXPECT_EQ(d.rate, 44100);
        EXPECT_TRUE(SameAudio(d.stereo, ToStereo(*c.expected)));
        EXPECT_DOUBLE_EQ(d.duration, static_cast<double>(kOddFrames) / 44100);
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
        const Decoded d = DecodeFile(dir / "w.wav");
        ASSERT_EQ(d.status, 0);
        EXPECT_TRUE(SameAudio(d.stereo, ToStereo({8000, 1, w.expected})));
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
    const Decoded d = DecodeFile(dir / "surround.wav");
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.channels, 2);
    ASSERT_EQ(d.stereo.size(), 6u);
    EXPECT_GT(d.stereo[0], 0);
    EXPECT_LE(d.stereo[0], 16000) << "the mix is normalised, it cannot amplify";
    EXPECT_EQ(d.stereo[1], 0) << "front left stays left";
    EXPECT_GT(d.stereo[2], 0);
    EXPECT_EQ(d.stereo[2], d.stereo[3]) << "centre goes equally to both sides";
}

TEST(ReaderFormats, LossyFormatsHaveTheSourceLengthAndFfmpegsContent) {
    const auto source = SourceWav(44100, 2, kOddFrames);
    const auto source48 = SourceWav(48000, 2, kOddFrames);
    const auto monoSource = SourceWav(44100, 1, kOddFrames);
    struct Case {
        std::filesystem::path file;
        bool trimmed; // WMA and raw AAC do not tell the encoder's delay and padding
    } cases[] = {
        {Fixture("lame-vbr.mp3", "lame --quiet -V4 '" + source.string() + "' {out}"), true},
        {Fixture("lame-cbr-mono.mp3", "lame --quiet -b 96 '" + monoSource.string() + "' {out}"),
         true},
        {Encoded(source, "-c:a libmp3lame -b:a 160k", "mp3"), true},
        {Encoded(source, "-c:a libvorbis", "ogg"), true},
        {Encoded(source48, "-c:a libopus -b:a 96k", "opus"), true},
        {Encoded(source, "-c:a wmav2 -b:a 128k", "wma"), false},
        {Encoded(source, "-c:a aac -b:a 128k", "aac"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const Decoded d = DecodeFile(c.file);
        ASSERT_EQ(d.status, 0);
        EXPECT_TRUE(SameAudio(d.stereo, ToStereo(ReferenceDecode(c.file))));
        if (c.trimmed) {
            EXPECT_EQ(d.stereo.size() / 2, kOddFrames) << "encoder delay and padding removed";
            EXPECT_DOUBLE_EQ(d.duration, static_cast<double>(kOddFrames) / d.rate)
                << "the reported length is the decodable length";
        } else {
            EXPECT_NEAR(d.duration, static_cast<double>(kOddFrames) / 44100, 0.2);
        }
    }
}

TEST(ReaderFormats, AacInMp4StopsWhereTheFileSaysTheAudioEnds) {
    // FFmpeg's own decode keeps the encoder's end padding; the edit list
    // (here exact, the length being whole milliseconds) bounds the audio.
    const auto source = SourceWav(44100, 2, kMsFrames);
    const auto file = Encoded(source, "-c:a aac -b:a 128k", "m4a");
    const Decoded d = DecodeFile(file);
    ASSERT_EQ(d.status, 0);
    EXPECT_EQ(d.stereo.size() / 2, kMsFrames);
    EXPECT_DOUBLE_EQ(d.duration, static_cast<double>(kMsFrames) / 44100);
    const auto reference = ToStereo(ReferenceDecode(file));
    EXPECT_GT(reference.size(), d.stereo.size()) << "ffmpeg itself keeps the padding";
    EXPECT_EQ(FirstDifference(d.stereo, reference), -1);

    // iTunes' gapless tag, where present, gives the count to the sample.
    const auto tagged =
        Fixture("itunsmpb.m4a", "f={out}.m4a && ffmpeg -v error -y -i '" + source.string() +
                                    "' -c:a aac -metadata iTunSMPB=' 00000000 00000400 "
                                    "00000000 000000000001AEA1' -movflags "
                                    "use_metadata_tags \"$f\" && mv \"$f\" {out}");
    const Decoded t = DecodeFile(tagged);
    ASSERT_EQ(t.status, 0);
    EXPECT_EQ(t.stereo.size() / 2, 0x1AEA1u);
}

TEST(ReaderFormats, TwoReadersOnTwoThreadsDoNotDisturbEachOther) {
    const auto a = Encoded(SourceWav(44100, 2, kOddFrames), "-c:a libvorbis", "ogg");
    const auto b = SourceWav(48000, 1, kOddFrames, 7);
    const auto soloA = DecodeFile(a).stereo;
    const auto soloB = DecodeFile(b).stereo;
    std::vector<int16_t> gotA, gotB;
    std::thread ta([&] { gotA = DecodeFile(a).stereo; });
    std::thread tb([&] { gotB = DecodeFile(b).stereo; });
    ta.join();
    tb.join();
    EXPECT_EQ(gotA, soloA);
    EXPECT_EQ(gotB, soloB);
}

} // namespace
} // namespace tessel::test
