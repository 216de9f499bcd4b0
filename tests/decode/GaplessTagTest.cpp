// iTunes' gapless tag where the container gives FFmpeg nothing to trim by.
#include "decode/DecodeStream.h"
#include "decode/ITunesGaplessTag.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tessel::test {
namespace {

constexpr size_t kFrames = 100001;
// LAME's encoder delay plus the MP3 decoder's: what comes before the audio.
constexpr int64_t kMp3Lead = 576 + 529;

std::string TagText(int64_t delay, int64_t padding, int64_t count) {
    char text[128];
    std::snprintf(text, sizeof text, " 00000000 %08llX %08llX %016llX 00000000 00000000",
                  static_cast<unsigned long long>(delay), static_cast<unsigned long long>(padding),
                  static_cast<unsigned long long>(count));
    return text;
}

// An ID3v2.3 tag holding one comment frame described "iTunSMPB", put before
// the MP3's first frame.
void AddCommentTag(const std::filesystem::path& from, const std::filesystem::path& to,
                   const std::string& value) {
    const std::string body = std::string(1, '\0') + "eng" + "iTunSMPB" + '\0' + value;
    const std::string frame =
        "COMM" + BigEndian32(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
    std::string tag("ID3\3\0\0", 6);
    for (int shift : {21, 14, 7, 0}) // the tag's size, seven bits a byte
        tag += static_cast<char>((frame.size() >> shift) & 0x7F);
    WriteBytes(to, tag + frame + ReadText(from));
}

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
    const size_t untrimmed = ReferenceDecode(bare).Frames();
    ASSERT_GT(untrimmed, kFrames + kMp3Lead) << "and without it, nothing";
    const int64_t padding = static_cast<int64_t>(untrimmed - kFrames) - kMp3Lead;
    const std::string tag = TagText(kMp3Lead, padding, kFrames);

    const auto asText = Fixture("gapless-txxx-" + std::to_string(padding) + ".mp3",
                                "f={out}.mp3 && ffmpeg -v error -y -i '" + bare.string() +
                                    "' -c copy -write_xing 0 -metadata iTunSMPB='" + tag +
                                    "' \"$f\" && mv \"$f\" {out}");
    TempDir dir; // files made here are private to this test process
    const auto asComment = dir / "gapless-comm.mp3";
    AddCommentTag(bare, asComment, tag);
    for (const auto& file : {asText, asComment}) {
        SCOPED_TRACE(file.filename().string());
        double seconds = 0;
        const std::vector<int16_t> trimmed = DecodeAll(file, &seconds);
        EXPECT_EQ(trimmed.size() / 2, kFrames) << "the tag's sample count";
        EXPECT_DOUBLE_EQ(seconds, static_cast<double>(kFrames) / 44100);
        EXPECT_EQ(FirstDifference(trimmed, exact), -1) << "the same audio as the header gives";
    }

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

TEST(ITunesGapless, AnM4aFreeformTagGivesTheLengthWithoutAnEditList) {
    const auto source = SourceWav(44100, 2, kFrames);
    const auto bare = Encoded(source, "-c:a aac -b:a 128k -use_editlist 0", "m4a");
    const size_t untrimmed = ReferenceDecode(bare).Frames();
    ASSERT_GT(untrimmed, kFrames + 1024) << "no edit list: FFmpeg trims nothing";
    TempDir dir;
    const auto tagged = dir / "gapless-freeform.m4a";
    AddITunesFreeformAtom(bare, tagged, "iTunSMPB",
                          TagText(1024, static_cast<int64_t>(untrimmed - kFrames) - 1024, kFrames));
    double seconds = 0;
    const std::vector<int16_t> trimmed = DecodeAll(tagged, &seconds);
    EXPECT_EQ(trimmed.size() / 2, kFrames);
    EXPECT_DOUBLE_EQ(seconds, static_cast<double>(kFrames) / 44100);
    // The audio is FFmpeg's own decode with the priming dropped.
    const std::vector<int16_t> all = ToStereo(ReferenceDecode(bare));
    EXPECT_EQ(FirstDifference(trimmed, std::vector<int16_t>(all.begin() + 2048, all.end())), -1);
}

} // namespace
} // namespace tessel::test
