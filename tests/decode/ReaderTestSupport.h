// Fixtures and read helpers shared by the reader's tests.
#pragma once

#include "decode/AudioFileReader.h"
#include "decode/DecodeStream.h"
#include "tests/support/TestData.h"

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

// FFmpeg's own decode of `file` to 16-bit samples at the file's channel count.
WavData ReferenceDecode(const std::filesystem::path& file);

// Mono duplicated to both sides; stereo as it is.
std::vector<int16_t> ToStereo(const WavData& wav);

// Reads chunks until the reader reports the end (or `maxChunks`), returning
// the real audio (bytesRead of each chunk) as interleaved stereo samples.
std::vector<int16_t> ReadToEnd(CAudioFileReader& reader, size_t maxChunks = 1000000);

// Everything the stream delivers, as interleaved stereo samples.
std::vector<int16_t> ReadAll(CDecodeStream& stream);
// The file opened as a decode stream and read to its end.
std::vector<int16_t> DecodeAll(const std::filesystem::path& file, double* seconds = nullptr);

// `from` with an iTunes freeform atom (----, mean com.apple.iTunes) added to
// moov/udta/meta/ilst, as iTunes writes them and the ffmpeg muxer does not.
// The moov ffmpeg writes follows the audio, so no chunk offset moves.
void AddITunesFreeformAtom(const std::filesystem::path& from, const std::filesystem::path& to,
                           const std::string& name, const std::string& value);

// Index of the first sample where the two differ, or -1 when the shorter is a
// prefix of the longer.
long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

} // namespace tessel::test
