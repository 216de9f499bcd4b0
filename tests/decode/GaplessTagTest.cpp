// iTunes' gapless tag where the container gives FFmpeg nothing to trim by.
#include "decode/DecodeStream.h"
#include "decode/ITunesGaplessTag.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessel::test {
namespace {

constexpr size_t kFrames = 100001; // 0x186A1
// LAME's encoder delay plus the MP3 decoder's (0x451): what comes before the
// audio. The padding after it the reader does not need.
constexpr size_t kMp3Lead = 576 + 529;

TEST(ITunesGapless, TagText) {
    const auto tag = ParseITunesGapless(" 00000000 00000840 000001C4 0000000000ABCDEF 00000000");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->delay, 0x840);
    EXPECT_EQ(tag->padding, 0x1C4);
    EXPECT_EQ(tag->sampleCount, 0xABCDEF);
    EXPECT_EQ(ParseITunesGapless("0\t210\t0\t1AEA1")->sampleCount, 0x1AEA1) << "short fields, tabs";
    for (const char* bad :
         {"", " 00000000 00000840 000001C4", " 0 840 1C4 0", " 0 840 1C4 -5", " 0 840 1C4 xyz",
          " 0 7FFFFFFF 0 100", " 0 0 0 FFFFFFFFFFFFFFFFFF", " 0 0 0 FFFFFFFFFFFF"})
        EXPECT_FALSE(ParseITunesGapless(bad)) << bad;
}

TEST(ITunesGapless, AnMp3WithoutItsLameHeaderIsTrimmedByTheTag) {
    const auto source = SourceWav(44100, 2, kFrames);
    const auto withHeader =
        Fixture("gapless-lame.mp3", "lame --quiet -b 128 '" + source.string() + "' {out}");
    const auto bare =
        Fixture("gapless-bare.mp3", "lame --quiet -b 128 -t '" + source.string() + "' {out}");
    const std::vector<int16_t> exact = DecodeAll(withHeader);
    ASSERT_EQ(exact.size() / 2, kFrames) << "FFmpeg trims by the LAME header";
    ASSERT_GT(ReferenceDecode(bare).Frames(), kFrames + kMp3Lead) << "and without it, nothing";
    // FFmpeg names a comment frame described iTunSMPB (as iTunes writes
    // them) as it names this user text frame.
    const auto asText = Fixture(
        "gapless-txxx.mp3", "f={out}.mp3 && ffmpeg -v error -y -i " + Quote(bare) +
                                " -c copy -write_xing 0 -metadata iTunSMPB=' 00000000 "
                                "00000451 00000000 00000000000186A1' \"$f\" && mv \"$f\" {out}");
    double seconds = 0;
    const std::vector<int16_t> trimmed = DecodeAll(asText, &seconds);
    EXPECT_EQ(trimmed.size() / 2, kFrames) << "the tag's sample count";
    EXPECT_DOUBLE_EQ(seconds, static_cast<double>(kFrames) / 44100);
    EXPECT_EQ(FirstDifference(trimmed, exact), -1) << "the same audio as the header gives";

    // Seeking counts from the first sample after the delay.
    std::unique_ptr<CDecodeStream> stream;
    ASSERT_EQ(CDecodeStream::Open(asText.string(), 0, stream), 0);
    ASSERT_EQ(stream->SeekToDeliveredFrame(50000), 50000);
    std::vector<int16_t> after(2 * 1000);
    ASSERT_EQ(stream->Read(reinterpret_cast<uint8_t*>(after.data()), 1000), 1000u);
    EXPECT_EQ(FirstDifference(after,
                              std::vector<int16_t>(exact.begin() + 100000, exact.begin() + 102000)),
              -1);

    // A LAME header wins over a tag that disagrees with it.
    const auto both =
        Fixture("gapless-both.mp3", "f={out}.mp3 && ffmpeg -v error -y -i '" + withHeader.string() +
                                        "' -c copy -metadata iTunSMPB=' 0 0 0 100' "
                                        "\"$f\" && mv \"$f\" {out}");
    EXPECT_EQ(DecodeAll(both).size() / 2, kFrames);
}

} // namespace
} // namespace tessel::test
