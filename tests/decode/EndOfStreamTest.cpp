// The end of a stream: the last chunk, and the hand-over to the next file
// while the reading thread waits in the end-of-stream handler.
#include "core/Status.h"
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace tessel::test {
namespace {

bool AllZero(const std::vector<uint8_t>& data, size_t from) {
    return std::all_of(data.begin() + static_cast<long>(from), data.end(),
                       [](uint8_t b) { return b == 0; });
}

// Plays the main thread's part of the hand-over: opens `next` into the reader
// on another thread (the file-open worker) while the reading thread waits in
// the handler, then tells the reader whether to continue.
void HandOverTo(CAudioFileReader& reader, const std::string& next, int* calls = nullptr) {
    reader.SetEndOfStreamHandler([&reader, next, calls] {
        if (calls)
            ++*calls;
        std::thread opener([&reader, next] {
            reader.Open(next);
            reader.SetContinueAtEnd(reader.IsOpen());
        });
        opener.join();
    });
}

TEST(ReaderEndOfStream, ClosedOrMissingGivesUnexpected) {
    CAudioFileReader reader;
    const ChunkRead r = ReadOneChunk(reader);
    EXPECT_EQ(r.status, kReaderRefused);
    EXPECT_EQ(r.data[0], 0xAB) << "nothing written";
    EXPECT_EQ(reader.Open(""), kReaderRefused);
    EXPECT_EQ(reader.Open("/nonexistent/x.mp3"), kReaderRefused);
    EXPECT_FALSE(reader.IsOpen());
    reader.SeekToFraction(0.5); // harmless on a closed reader
    EXPECT_EQ(reader.GetPositionSeconds(), 0.0);
}

TEST(ReaderEndOfStream, EmptyStreamGivesZeroChunkAndCloses) {
    TempDir dir;
    WriteWav16(dir / "empty.wav", 44100, 2, {});
    CAudioFileReader reader;
    int calls = 0;
    reader.SetEndOfStreamHandler([&] { ++calls; });
    ASSERT_EQ(reader.Open((dir / "empty.wav").string()), 0);
    const ChunkRead r = ReadOneChunk(reader);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_TRUE(r.end);
    EXPECT_TRUE(AllZero(r.data, 0));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(ReadOneChunk(reader).status, kReaderRefused);
}

// The end is known on the chunk that holds the last sample: with a tail, the
// next file's head fills that chunk; with a whole number of chunks, the next
// file starts in the next one. Either way, no silence and nothing repeated.
TEST(ReaderEndOfStream, AcceptedHandOverRunsOnWithoutAGap) {
    for (const size_t aFrames : {kChunkFrames + 1000, 2 * kChunkFrames}) {
        SCOPED_TRACE(aFrames);
        const auto a = SourceWav(44100, 2, aFrames, 1);
        const int bChannels = aFrames == 2 * kChunkFrames ? 1 : 2; // mono after stereo too
        const auto b = SourceWav(44100, bChannels, 3 * kChunkFrames + 77, 2);
        std::vector<int16_t> sa = ReadWav16(a).samples;
        CAudioFileReader reader;
        ASSERT_EQ(reader.Open(a.string()), 0);
        int calls = 0;
        HandOverTo(reader, b.string(), &calls);
        std::vector<int16_t> got = ReadToEnd(reader, 2);
        EXPECT_EQ(got.size(), 4 * kChunkFrames) << "two whole chunks, not ended";
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(reader.IsOpen());
        EXPECT_EQ(reader.GetFileName(), b.string());
        EXPECT_EQ(reader.GetChannels(), bChannels);
        EXPECT_DOUBLE_EQ(reader.GetPositionSeconds(),
                         static_cast<double>(2 * kChunkFrames - aFrames) / 44100)
            << "the position counts what was taken from the new file";
        reader.SetEndOfStreamHandler(nullptr);
        const auto rest = ReadToEnd(reader);
        got.insert(got.end(), rest.begin(), rest.end());
        for (const int16_t v : ReadWav16(b).samples) { // a mono file comes out on both channels
            sa.push_back(v);
            if (bChannels == 1)
                sa.push_back(v);
        }
        EXPECT_TRUE(SameAudio(got, sa));
    }
}

TEST(ReaderEndOfStream, RefusedHandOverZeroPadsAndCloses) {
    const auto a = SourceWav(44100, 2, 500, 1);
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(a.string()), 0);
    HandOverTo(reader, "/nonexistent/missing.mp3");
    const ChunkRead r = ReadOneChunk(reader);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.bytes, 2000u);
    EXPECT_TRUE(r.end);
    EXPECT_TRUE(AllZero(r.data, 2000));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(ReadOneChunk(reader).status, kReaderRefused);

    // A handler that does nothing also ends the stream.
    ASSERT_EQ(reader.Open(a.string()), 0);
    reader.SetEndOfStreamHandler([] {});
    EXPECT_TRUE(ReadOneChunk(reader).end);
    EXPECT_FALSE(reader.IsOpen());
}

TEST(ReaderEndOfStream, QueriesFromAnotherThreadDuringReadsAndHandOvers) {
    // The main thread asks for the position, format and file name while the
    // read worker reads and the file-open worker reopens the reader.
    const auto a = SourceWav(44100, 2, 5000, 1);
    const auto b = SourceWav(48000, 1, 7000, 2);
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(a.string()), 0);
    HandOverTo(reader, b.string());
    std::atomic<bool> done{false};
    std::thread asker([&] {
        while (!done.load()) {
            (void)(reader.GetPositionSeconds() + reader.GetDurationSeconds() +
                   reader.GetChannels() + reader.GetSampleRate() + reader.GetBitsPerSample() +
                   (reader.IsOpen() ? 1 : 0) + static_cast<double>(reader.GetTitle().size()));
            const std::string name = reader.GetFileName();
            ASSERT_TRUE(name.empty() || name == a.string() || name == b.string()) << name;
        }
    });
    std::thread readerThread([&] {
        const auto all = ReadToEnd(reader, 3);
        reader.SetEndOfStreamHandler(nullptr);
        const auto rest = ReadToEnd(reader);
        EXPECT_NEAR(static_cast<double>(all.size() + rest.size()) / 2,
                    5000 + 7000 * 44100.0 / 48000, 3);
    });
    readerThread.join();
    done = true;
    asker.join();
}

// Counts rising zero crossings of the left channel: the tone's frequency.
double ToneFrequency(const std::vector<int16_t>& stereo, size_t from, size_t frames, int rate) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + frames; ++i)
        if (stereo[2 * (i - 1)] < 0 && stereo[2 * i] >= 0)
            ++crossings;
    return crossings * static_cast<double>(rate) / static_cast<double>(frames);
}

TEST(ReaderEndOfStream, HandOverAcrossRateChangeKeepsSpeedAndLength) {
    TempDir dir;
    auto tone = [&](const std::string& name, int rate, size_t frames) {
        std::vector<int16_t> s(2 * frames);
        for (size_t i = 0; i < frames; ++i)
            s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(
                std::lround(8000 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / rate)));
        WriteWav16(dir / name, rate, 2, s);
        return dir / name;
    };
    const auto a = tone("a44.wav", 44100, 10000);
    const auto b = tone("b48.wav", 48000, 96000); // 2 s
    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(a.string()), 0);
    HandOverTo(reader, b.string());
    std::vector<int16_t> all = ReadToEnd(reader, 4); // the fourth holds the join
    EXPECT_EQ(reader.GetSampleRate(), 44100) << "the rate the output was opened with";
    EXPECT_EQ(reader.GetChannels(), 2);
    reader.SetEndOfStreamHandler(nullptr);
    const auto rest = ReadToEnd(reader);
    all.insert(all.end(), rest.begin(), rest.end());
    const double fromB = static_cast<double>(all.size() / 2 - 10000);
    EXPECT_NEAR(fromB, 88200, 3) << "two seconds of the new file at the old rate";
    EXPECT_NEAR(ToneFrequency(all, 20000, 44100, 44100), 1000.0, 2.0) << "plays at the right speed";
    EXPECT_NEAR(reader.GetDurationSeconds(), 0.0, 1e-9) << "closed at the end";

    // Opened on its own, outside a hand-over, the file keeps its own rate.
    ASSERT_EQ(reader.Open(b.string()), 0);
    EXPECT_EQ(reader.GetSampleRate(), 48000);
    EXPECT_DOUBLE_EQ(reader.GetDurationSeconds(), 2.0);
}

} // namespace
} // namespace tessel::test
