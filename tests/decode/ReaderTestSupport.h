// Fixtures and read helpers shared by the reader's tests.
#pragma once

#include "decode/AudioFileReader.h"
#include "decode/DecodeStream.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessel::test {

// A 16-bit WAV of MakeSignal, made once per build under TestDataDir().
std::filesystem::path SourceWav(int rate, int channels, size_t frames, uint32_t seed = 1);

// `source` encoded by `ffmpeg -i source <args> out.<extension>`, made once
// under a name that follows the arguments.
std::filesystem::path Encoded(const std::filesystem::path& source, const std::string& args,
                              const std::string& extension);

// A 16 x 16 picture of one colour ("red") as `extension` (png, jpg).
std::filesystem::path Picture(const std::string& colour, const std::string& extension);
// Half a second of sound encoded with `audioArgs` and `picture` attached as
// its cover.
std::filesystem::path WithCover(const std::filesystem::path& picture, const std::string& audioArgs,
                                const std::string& extension);

// FFmpeg's own decode of `file` to 16-bit samples at the file's channel count.
WavData ReferenceDecode(const std::filesystem::path& file);

// Mono duplicated to both sides; stereo as it is.
std::vector<int16_t> ToStereo(const WavData& wav);

// Reads chunks until the reader reports the end (or `maxChunks`), returning
// the real audio (bytesRead of each chunk) as interleaved stereo samples.
std::vector<int16_t> ReadToEnd(CAudioFileReader& reader, size_t maxChunks = 1000000);

// One ReadChunk call: what it returned, and the chunk (0xAB where nothing
// was written).
struct ChunkRead {
    int32_t status = 0;
    uint32_t bytes = 0;
    bool end = false;
    std::vector<uint8_t> data = std::vector<uint8_t>(kChunkBytes, 0xAB);
};
ChunkRead ReadOneChunk(CAudioFileReader& reader);

// Everything the stream delivers, as interleaved stereo samples.
std::vector<int16_t> ReadAll(CDecodeStream& stream);
// The file opened as a decode stream and read to its end.
std::vector<int16_t> DecodeAll(const std::filesystem::path& file, double* seconds = nullptr);

// Index of the first sample where the two differ, or -1 when the shorter is a
// prefix of the longer.
long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
// The same samples, as many of them; a failure names the lengths or the first
// sample that differs rather than printing both.
testing::AssertionResult SameAudio(const std::vector<int16_t>& got,
                                   const std::vector<int16_t>& expected);

} // namespace tessel::test
