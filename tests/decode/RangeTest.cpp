// A part of a file played as if it were the whole file: a CUE sheet's track
// or a chapter. Consecutive parts must join to the whole without a sample
// lost or repeated, and a seek into each lands on its sample in every format.
#include "decode/DecodeStream.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessel::test {
namespace {

constexpr int64_t kFrames = 120011;

std::vector<int16_t> Slice(const std::vector<int16_t>& all, size_t from, size_t to) {
    to = std::min(to, all.size() / 2);
    return {all.begin() + static_cast<std::ptrdiff_t>(2 * from),
            all.begin() + static_cast<std::ptrdiff_t>(2 * to)};
}

// `tolerance`: Opus decodes in floating point, and a part opened with a seek
// may round a sample one step away from the continuous decode.
void ExpectPartsJoinToTheWhole(const std::filesystem::path& file, int tolerance = 0) {
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
    ASSERT_EQ(joined.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_LE(std::abs(joined[i] - all[i]), tolerance) << "sample " << i;

    // A seek to the end leaves only what lies past the length the file states.
    ASSERT_EQ(CDecodeStream::Open(file.string(), 0, whole), 0);
    ASSERT_EQ(whole->SeekToDeliveredFrame(whole->LengthFrames()), whole->LengthFrames());
    EXPECT_EQ(ReadAll(*whole).size() / 2, frames - static_cast<size_t>(whole->LengthFrames()));
}

TEST(DecodeRange, PartsOfAFileJoinToTheWholeInEveryFormat) {
    const auto source = SourceWav(44100, 2, kFrames, 21);
    const auto source48 = SourceWav(48000, 2, kFrames, 22);
    ExpectPartsJoinToTheWhole(source);
    ExpectPartsJoinToTheWhole(
        Fixture("range.mp3", "lame --quiet -V2 '" + source.string() + "' {out}"));
    // Without noise substitution, whose noise differs after a seek.
    ExpectPartsJoinToTheWhole(Encoded(source, "-c:a aac -aac_pns 0 -b:a 128k", "m4a"));
    ExpectPartsJoinToTheWhole(Encoded(source48, "-c:a libopus -b:a 96k", "opus"), 1);
    ExpectPartsJoinToTheWhole(Encoded(source, "-c:a libvorbis", "ogg"));
    ExpectPartsJoinToTheWhole(Encoded(source48, "-c:a flac", "mka"));
}

TEST(DecodeRange, ARangeOutsideTheFileIsRefused) {
    const auto source = SourceWav(44100, 2, kFrames, 21);
    const std::pair<int64_t, int64_t> outside[] = {
        {-1, 100}, {100, 100}, {200, 100}, {kFrames, -1}, {int64_t{1} << 62, -1}};
    for (const auto& [start, end] : outside) {
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
