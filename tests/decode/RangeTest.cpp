// A part of a file played as if it were the whole file: a CUE sheet's track
// or a chapter. Consecutive parts must join to the whole without a sample
// lost or repeated.
#include "decode/DecodeStream.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessel::test {
namespace {

constexpr size_t kFrames = 120011;

std::vector<int16_t> Slice(const std::vector<int16_t>& all, size_t from, size_t to) {
    to = std::min(to, all.size() / 2);
    return {all.begin() + static_cast<std::ptrdiff_t>(2 * from),
            all.begin() + static_cast<std::ptrdiff_t>(2 * to)};
}

void ExpectPartsJoinToTheWhole(const std::filesystem::path& file) {
    SCOPED_TRACE(file.filename().string());
    std::unique_ptr<CDecodeStream> whole;
    ASSERT_EQ(CDecodeStream::Open(file.string(), 0, whole), 0);
    const std::vector<int16_t> all = ReadAll(*whole);
    const size_t frames = all.size() / 2;
    ASSERT_GT(frames, 100000u);
    const int64_t bounds[] = {0, 33333, 33334, 71429, -1};
    std::vector<int16_t> joined;
    for (size_t i = 0; i + 1 < std::size(bounds); ++i) {
        const int64_t start = bounds[i];
        const int64_t end = bounds[i + 1];
        SCOPED_TRACE(start);
        std::unique_ptr<CDecodeStream> part;
        ASSERT_EQ(CDecodeStream::Open(file.string(), 0, part), 0);
        ASSERT_EQ(part->SelectRange(start, end), 0);
        const size_t expected =
            (end < 0 ? frames : static_cast<size_t>(end)) - static_cast<size_t>(start);
        // Matroska states its length to the millisecond only: the last part's
        // length is what the file says less the start.
        EXPECT_EQ(part->LengthFrames(),
                  end < 0 ? whole->LengthFrames() - start : static_cast<int64_t>(expected));
        const std::vector<int16_t> got = ReadAll(*part);
        EXPECT_EQ(got.size() / 2, expected);
        joined.insert(joined.end(), got.begin(), got.end());

        // Seeks count from the part's start.
        const int64_t into = static_cast<int64_t>(expected / 2);
        ASSERT_EQ(part->SeekToDeliveredFrame(into), into);
        std::vector<int16_t> after(2 * 500);
        const size_t read = part->Read(reinterpret_cast<uint8_t*>(after.data()), 500);
        after.resize(2 * read);
        EXPECT_EQ(FirstDifference(after, Slice(all, static_cast<size_t>(start + into),
                                               static_cast<size_t>(start + into) + read)),
                  -1);
    }
    EXPECT_TRUE(SameAudio(joined, all));
}

TEST(DecodeRange, PartsOfAFileJoinToTheWholeInEveryFormat) {
    const auto source = SourceWav(44100, 2, kFrames, 21);
    const auto source48 = SourceWav(48000, 2, kFrames, 22);
    ExpectPartsJoinToTheWhole(source);
    ExpectPartsJoinToTheWhole(Encoded(source48, "", "flac"));
    ExpectPartsJoinToTheWhole(
        Fixture("range.mp3", "lame --quiet -V2 '" + source.string() + "' {out}"));
    ExpectPartsJoinToTheWhole(Encoded(source, "-c:a aac -aac_pns 0 -b:a 128k", "m4a"));
    ExpectPartsJoinToTheWhole(Encoded(source, "-c:a libvorbis", "ogg"));
    ExpectPartsJoinToTheWhole(Encoded(source48, "-c:a flac", "mka"));
}

TEST(DecodeRange, ARangeOutsideTheFileIsRefused) {
    const auto source = SourceWav(44100, 2, kFrames, 21);
    for (auto [start, end] : {std::pair<int64_t, int64_t>{-1, 100},
                              {100, 100},
                              {200, 100},
                              {static_cast<int64_t>(kFrames), -1},
                              {int64_t{1} << 62, -1}}) {
        std::unique_ptr<CDecodeStream> stream;
        ASSERT_EQ(CDecodeStream::Open(source.string(), 0, stream), 0);
        EXPECT_NE(stream->SelectRange(start, end), 0) << start << " " << end;
    }
    // An end beyond the file's runs to its end.
    std::unique_ptr<CDecodeStream> stream;
    ASSERT_EQ(CDecodeStream::Open(source.string(), 0, stream), 0);
    ASSERT_EQ(stream->SelectRange(120000, 999999), 0);
    EXPECT_EQ(ReadAll(*stream).size() / 2, 11u);
}

} // namespace
} // namespace tessel::test
