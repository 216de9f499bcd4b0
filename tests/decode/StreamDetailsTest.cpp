// What the Track Info dialog reads of a file: container, codec, rate, depth,
// channels, bitrate and length from the headers, with the tags and gains of
// the same opening; a file that is not audio is no details at all.
#include "decode/StreamDetails.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace tessel::test {
namespace {

TEST(StreamDetails, EachContainersFactsFromItsHeaders) {
    const fs::path stereo = SourceWav(44100, 2, 44100, 6);
    const struct {
        fs::path file;
        const char* codec; // a part of the codec's long name
        int rate, bits, channels;
    } cases[] = {
        {SourceWav(8000, 1, 8000, 5), "PCM signed 16-bit", 8000, 16, 1},
        {Encoded(SourceWav(96000, 2, 96000, 7),
                 "-c:a flac -sample_fmt s32 -metadata title=T -metadata artist=A "
                 "-metadata REPLAYGAIN_TRACK_GAIN=-3.5",
                 "flac"),
         "FLAC", 96000, 24, 2},
        // A lossy codec tells no depth; Opus's bit rate is the container's.
        {Encoded(stereo, "-c:a libopus -b:a 96k", "opus"), "Opus", 48000, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        const StreamDetails d = ReadStreamDetails(c.file.string());
        ASSERT_TRUE(d.readable);
        EXPECT_FALSE(d.container.empty());
        EXPECT_NE(d.codec.find(c.codec), std::string::npos) << d.codec;
        EXPECT_EQ(d.sampleRate, c.rate);
        EXPECT_EQ(d.bitsPerSample, c.bits);
        EXPECT_EQ(d.channels, c.channels);
        EXPECT_GT(d.bitRate, 0);
        EXPECT_NEAR(d.seconds, 1.0, 0.1);
    }
    const StreamDetails tagged = ReadStreamDetails(cases[1].file.string());
    EXPECT_EQ(tagged.title, "T");
    EXPECT_EQ(tagged.tags.artist, "A");
    EXPECT_EQ(tagged.replayGain.trackGainDb, -3.5);

    TempDir dir;
    WriteBytes(dir / "text.mp3", std::string("just some words, not a frame of audio\n"));
    for (const fs::path& path : {dir / "text.mp3", dir.Path(), fs::path()})
        EXPECT_FALSE(ReadStreamDetails(path.string()).readable) << path;
}

} // namespace
} // namespace tessel::test
