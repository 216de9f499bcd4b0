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
    struct Case {
        fs::path file;
        const char* codec; // a part of the codec's long name
        int rate;
        int bits;
        int channels;
        bool bitRateKnown;
    };
    const fs::path mono8k = SourceWav(8000, 1, 8000, 5);
    const fs::path stereo = SourceWav(44100, 2, 44100, 6);
    const fs::path hiRes = SourceWav(96000, 2, 96000, 7);
    const Case cases[] = {
        {mono8k, "PCM signed 16-bit", 8000, 16, 1, true},
        {Encoded(hiRes, "-c:a flac -sample_fmt s32", "flac"), "FLAC", 96000, 24, 2, true},
        {Encoded(stereo, "-c:a libmp3lame -b:a 128k", "mp3"), "MP3", 44100, 0, 2, true},
        {Encoded(stereo, "-c:a libopus -b:a 96k", "opus"), "Opus", 48000, 0, 2, true},
        {Encoded(stereo, "-c:a aac -b:a 96k", "m4a"), "AAC", 44100, 0, 2, true},
        {Encoded(stereo, "-c:a pcm_s24be", "aiff"), "PCM signed 24-bit big-endian", 44100, 24, 2,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        const StreamDetails d = ReadStreamDetails(c.file.string());
        ASSERT_TRUE(d.readable);
        EXPECT_FALSE(d.container.empty());
        EXPECT_NE(d.codec.find(c.codec), std::string::npos) << d.codec;
        EXPECT_EQ(d.sampleRate, c.rate);
        EXPECT_EQ(d.bitsPerSample, c.bits);
        EXPECT_EQ(d.channels, c.channels);
        EXPECT_EQ(d.bitRate > 0, c.bitRateKnown) << d.bitRate;
        EXPECT_NEAR(d.seconds, 1.0, 0.1);
    }

    const fs::path tagged = Encoded(stereo,
                                    "-c:a flac -metadata title=T -metadata artist=A "
                                    "-metadata REPLAYGAIN_TRACK_GAIN=-3.5 "
                                    "-metadata REPLAYGAIN_ALBUM_PEAK=0.75",
                                    "flac");
    const StreamDetails d = ReadStreamDetails(tagged.string());
    EXPECT_EQ(d.title, "T");
    EXPECT_EQ(d.tags.artist, "A");
    EXPECT_EQ(d.replayGain.trackGainDb, -3.5);
    EXPECT_EQ(d.replayGain.albumPeak, 0.75);
    EXPECT_FALSE(d.replayGain.trackPeak.has_value());
}

TEST(StreamDetails, WhatIsNoAudioFileIsNotReadable) {
    TempDir dir;
    WriteBytes(dir / "text.mp3", std::string("just some words, not a frame of audio\n"));
    WriteBytes(dir / "empty.flac", std::string());
    fs::create_directory(dir / "folder.wav");
    for (const fs::path& path : {dir / "text.mp3", dir / "empty.flac", dir / "folder.wav",
                                 dir / "missing.ogg", fs::path()}) {
        const StreamDetails d = ReadStreamDetails(path.string());
        EXPECT_FALSE(d.readable) << path;
        EXPECT_TRUE(d.codec.empty()) << path;
    }
}

} // namespace
} // namespace tessel::test
