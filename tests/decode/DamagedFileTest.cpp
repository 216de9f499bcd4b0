// Damaged input is refused cleanly or played as far as it decodes; never a
// crash, a hang or an allocation the size of what a header claims. Garbage
// bytes of every kind go through the fuzz corpora; these are files that are
// whole but say too little or nonsense.
#include "core/Status.h"
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace tessel::test {
namespace {

// Opens the file; when it opens, reads it to the end. Returns the open
// status and the frames read.
std::pair<int32_t, size_t> OpenAndDrain(const std::filesystem::path& file) {
    CAudioFileReader reader;
    const int32_t status = reader.Open(file.string());
    if (status != 0)
        return {status, 0};
    reader.SeekToFraction(0.5);
    reader.SeekToFraction(0.0);
    const auto audio = ReadToEnd(reader, 100000);
    EXPECT_FALSE(reader.IsOpen()) << "ended within the read limit";
    return {status, audio.size() / 2};
}

// An MP3 whose header promises more than the file holds plays what is there.
TEST(ReaderDamagedInput, ATruncatedFilePlaysWhatDecodes) {
    TempDir dir;
    const auto source = SourceWav(44100, 2, 220500, 31);
    auto bytes =
        ReadBytes(Fixture("trunc-src.mp3", "lame --quiet -V4 " + Quote(source) + " {out}"));
    bytes.resize(bytes.size() / 2);
    WriteBytes(dir / "cut.mp3", bytes);
    const auto [status, frames] = OpenAndDrain(dir / "cut.mp3");
    ASSERT_EQ(status, 0);
    EXPECT_GT(frames, 220500u / 4);
    EXPECT_LT(frames, 220500u * 3 / 4);
}

TEST(ReaderDamagedInput, AbsurdHeaderValuesAreRefusedOrBounded) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> header;
        bool refused; // a rate no output plays
    } cases[] = {
        {"rate-tiny", WavHeader(1, 2, 3, 4, 16, 40000), true},
        {"rate-huge", WavHeader(1, 2, 0xFFFFFFF0u, 4, 16, 40000), true},
        {"channels-many", WavHeader(1, 200, 44100, 400, 16, 40000), false},
        {"data-claims-4g", WavHeader(1, 2, 44100, 4, 16, 0xFFFFFFF0u), false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = c.header;
        bytes.resize(bytes.size() + 40000, 0x11);
        const auto path = dir / (std::string(c.name) + ".wav");
        WriteBytes(path, bytes);
        const auto [status, frames] = OpenAndDrain(path);
        EXPECT_EQ(status != 0, c.refused) << status;
        EXPECT_LE(frames, 40000u) << "never more audio than the file holds";
    }
}

// Peak resident memory of this process so far, in MB.
long PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(ReaderDamagedInput, TagChunkClaimingGigabytesIsNotAllocated) {
    TempDir dir;
    std::vector<uint8_t> bytes = WavHeader(1, 2, 44100, 4, 16, 4000);
    bytes.resize(bytes.size() - 8); // the data chunk follows the tags
    const auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    bytes.insert(bytes.end(), {'L', 'I', 'S', 'T'});
    put(0xF0000000u);
    bytes.insert(bytes.end(), {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T'});
    put(0x60000000u); // a 1.5 GB software name, in a 100-byte file
    bytes.insert(bytes.end(), {'a', 'b', 'c', 0, 'd', 'a', 't', 'a'});
    put(4000);
    bytes.resize(bytes.size() + 4000, 0x11);
    WriteBytes(dir / "tag.wav", bytes);

    const long before = PeakResidentMb();
    OpenAndDrain(dir / "tag.wav");
    EXPECT_LT(PeakResidentMb() - before, 300);
}

} // namespace
} // namespace tessel::test
