// Damaged input is refused cleanly or played as far as it decodes; never a
// crash, a hang or an allocation the size of what a header claims.
#include "core/Status.h"
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/resource.h>

namespace tessel::test {
namespace {

// Opens the file; when it opens, reads it to the end. Returns the open
// status and the frames read.
std::pair<int32_t, size_t> OpenAndDrain(const std::filesystem::path& file) {
    CAudioFileReader reader;
    const int32_t status = reader.Open(file.string());
    if (status != 0) {
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(ReadOneChunk(reader).status, kReaderRefused);
        return {status, 0};
    }
    EXPECT_EQ(reader.GetBitsPerSample(), 16);
    reader.SeekToFraction(0.5);
    reader.SeekToFraction(0.0);
    const auto audio = ReadToEnd(reader, 100000);
    EXPECT_FALSE(reader.IsOpen()) << "ended within the read limit";
    return {status, audio.size() / 2};
}

TEST(ReaderDamagedInput, EmptyAndRandomFilesAreRefused) {
    TempDir dir;
    for (const char* name : {"empty.mp3", "empty.wav", "empty.ogg"}) {
        WriteBytes(dir / name, std::string());
        const auto [status, frames] = OpenAndDrain(dir / name);
        EXPECT_LT(status, 0) << name << " fails with FFmpeg's (negative) code";
        EXPECT_NE(status, kReaderRefused) << name;
    }
    std::mt19937 rng(99);
    for (const char* name :
         {"noise.mp3", "noise.wav", "noise.ogg", "noise.m4a", "noise.wma", "noise.flac"}) {
        std::vector<uint8_t> bytes(200000);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
        WriteBytes(dir / name, bytes);
        const auto [status, frames] = OpenAndDrain(dir / name);
        EXPECT_NE(status, 0) << name;
    }
    std::filesystem::create_directory(dir / "folder.mp3");
    EXPECT_NE(OpenAndDrain(dir / "folder.mp3").first, 0);
}

TEST(ReaderDamagedInput, TruncatedFilesPlayWhatDecodes) {
    TempDir dir;
    const auto source = SourceWav(44100, 2, 220500, 31);
    const std::pair<std::filesystem::path, std::string> files[] = {
        {Fixture("trunc-src.mp3", "lame --quiet -V4 '" + source.string() + "' {out}"), "mp3"},
        {Encoded(source, "", "flac"), "flac"},
        {Encoded(source, "-c:a libvorbis", "ogg"), "ogg"},
        {Encoded(source, "-c:a libopus", "opus"), "opus"},
        {Encoded(source, "-c:a wmav2", "wma"), "wma"},
        {source, "wav"},
    };
    for (const auto& [file, extension] : files) {
        SCOPED_TRACE(extension);
        auto bytes = ReadBytes(file);
        bytes.resize(bytes.size() / 2);
        const auto cut = dir / ("cut." + extension);
        WriteBytes(cut, bytes);
        const auto [status, frames] = OpenAndDrain(cut);
        ASSERT_EQ(status, 0);
        EXPECT_GT(frames, 220500u / 4);
        EXPECT_LT(frames, 220500u * 3 / 4);
    }
    // An MP4 cut in half loses the index at its end: refused or partial.
    auto bytes = ReadBytes(Encoded(source, "-c:a aac", "m4a"));
    bytes.resize(bytes.size() / 2);
    WriteBytes(dir / "cut.m4a", bytes);
    const auto [status, frames] = OpenAndDrain(dir / "cut.m4a");
    EXPECT_LE(frames, 220500u);
}

TEST(ReaderDamagedInput, AbsurdHeaderValuesAreRefusedOrBounded) {
    TempDir dir;
    const std::vector<uint8_t> audio(40000, 0x11);
    struct Case {
        const char* name;
        std::vector<uint8_t> header;
    } cases[] = {
        {"rate0", WavHeader(1, 2, 0, 4, 16, 40000)},
        {"rate-huge", WavHeader(1, 2, 0xFFFFFFF0u, 4, 16, 40000)},
        {"rate-tiny", WavHeader(1, 2, 3, 4, 16, 40000)},
        {"channels0", WavHeader(1, 0, 44100, 4, 16, 40000)},
        {"channels-huge", WavHeader(1, 0xFFFF, 44100, 0xFFFF, 16, 40000)},
        {"channels-many", WavHeader(1, 200, 44100, 400, 16, 40000)},
        {"bits0", WavHeader(1, 2, 44100, 4, 0, 40000)},
        {"bits-odd", WavHeader(1, 2, 44100, 4, 13, 40000)},
        {"align0", WavHeader(1, 2, 44100, 0, 16, 40000)},
        {"data-claims-4g", WavHeader(1, 2, 44100, 4, 16, 0xFFFFFFF0u)},
        {"format-unknown", WavHeader(0x7777, 2, 44100, 4, 16, 40000)},
        {"float-64bit", WavHeader(3, 2, 44100, 16, 64, 40000)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = c.header;
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        const auto path = dir / (std::string(c.name) + ".wav");
        WriteBytes(path, bytes);
        const auto [status, frames] = OpenAndDrain(path);
        EXPECT_LE(frames, 40000u) << "never more audio than the file holds";
    }
    // Rates outside what any output plays are refused outright.
    for (const char* name : {"rate0.wav", "rate-huge.wav", "rate-tiny.wav"}) {
        CAudioFileReader reader;
        EXPECT_NE(reader.Open((dir / name).string()), 0) << name;
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
