// The end of a stream: the last chunk, and the hand-over to the next file
// while the reading thread waits in the end-of-stream handler.
#include "core/Status.h"
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tessel::test {
namespace {

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

TEST(ReaderEndOfStream, ClosedMissingOrUnreadableIsRefused) {
    CAudioFileReader reader;
    const ChunkRead r = ReadOneChunk(reader);
    EXPECT_EQ(r.status, kReaderRefused);
    EXPECT_EQ(r.data[0], 0xAB) << "nothing written";
    TempDir dir;
    for (const std::string& path :
         {std::string(), std::string("/nonexistent/x.mp3"), dir.Path().string()})
        EXPECT_NE(reader.Open(path), 0) << path;
    EXPECT_FALSE(reader.IsOpen());
    reader.SeekToFrame(1000); // harmless on a closed reader
    EXPECT_EQ(reader.GetPositionSeconds(), 0.0);
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
        const std::vector<int16_t> sb = ToStereo(ReadWav16(b)); // mono comes out on both sides
        sa.insert(sa.end(), sb.begin(), sb.end());
        EXPECT_TRUE(SameAudio(got, sa));
    }
}

// The last chunk holds what is left, zeros after it, and ends the stream
// when no next file opens (here, none at all or one that is refused).
TEST(ReaderEndOfStream, TheLastChunkIsZeroPaddedAndClosesTheReader) {
    TempDir dir;
    WriteWav16(dir / "empty.wav", 44100, 2, {});
    for (const auto& [file, bytes] :
         {std::pair{dir / "empty.wav", 0u}, {SourceWav(44100, 2, 500, 1), 2000u}}) {
        SCOPED_TRACE(file);
        CAudioFileReader reader;
        ASSERT_EQ(reader.Open(file.string()), 0);
        HandOverTo(reader, "/nonexistent/missing.mp3");
        const ChunkRead r = ReadOneChunk(reader);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.bytes, bytes);
        EXPECT_TRUE(r.end);
        EXPECT_THAT(std::vector<uint8_t>(r.data.begin() + bytes, r.data.end()), testing::Each(0));
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(ReadOneChunk(reader).status, kReaderRefused);
    }
}

// The main thread asks for the position, format and file name while the read
// worker reads and the file-open worker reopens the reader, here at another
// rate: the new file is read at the rate the output was opened with, to its
// last sample (the resampler's tail included).
TEST(ReaderEndOfStream, QueriesFromAnotherThreadDuringReadsAndHandOvers) {
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
    EXPECT_EQ(reader.GetSampleRate(), 44100);
    // Opened on its own, outside a hand-over, the file keeps its own rate.
    ASSERT_EQ(reader.Open(b.string()), 0);
    EXPECT_EQ(reader.GetSampleRate(), 48000);
}

} // namespace
} // namespace tessel::test
