#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessel::test {

fs::path SourceWav(int rate, int channels, size_t frames, uint32_t seed) {
    const std::string name = "src-" + std::to_string(rate) + "-" + std::to_string(channels) + "-" +
                             std::to_string(frames) + "-" + std::to_string(seed) + ".wav";
    const fs::path target = TestDataDir() / name;
    if (fs::exists(target))
        return target;
    const fs::path tmp = TestDataDir() / (".tmp-" + std::to_string(getpid()) + "-" + name);
    WriteWav16(tmp, rate, channels, MakeSignal(rate, channels, frames, seed));
    fs::rename(tmp, target);
    return target;
}

fs::path Encoded(const fs::path& source, const std::string& args, const std::string& extension) {
    std::string tag = args;
    std::replace_if(
        tag.begin(), tag.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
        '_');
    // Long argument lists would pass the file system's name limit.
    if (tag.size() > 100)
        tag = tag.substr(0, 60) + "_" + std::to_string(std::hash<std::string>{}(args));
    const std::string name = source.stem().string() + "." + tag + "." + extension;
    // The temporary output keeps the extension so ffmpeg picks the container.
    return Fixture(name, "f={out}." + extension + " && ffmpeg -v error -y -i '" + source.string() +
                             "' " + args + " \"$f\" && mv \"$f\" {out}");
}

fs::path Picture(const std::string& colour, const std::string& extension) {
    return Fixture("cover-" + colour + "." + extension,
                   "f={out}." + extension + " && ffmpeg -v error -y -f lavfi -i color=c=" + colour +
                       ":s=16x16 -frames:v 1 \"$f\" && mv \"$f\" {out}");
}

fs::path WithCover(const fs::path& picture, const std::string& audioArgs,
                   const std::string& extension) {
    return Encoded(SourceWav(44100, 2, 22050, 41),
                   "-i " + Quote(picture) + " -map 0:a -map 1:v " + audioArgs +
                       " -c:v copy -disposition:v attached_pic",
                   extension);
}

WavData ReferenceDecode(const fs::path& file) {
    const fs::path ref =
        Fixture(file.filename().string() + ".ref.wav",
                "ffmpeg -v error -y -i '" + file.string() + "' -c:a pcm_s16le -f wav {out}");
    return ReadWav16(ref);
}

std::vector<int16_t> ToStereo(const WavData& wav) {
    if (wav.channels == 2)
        return wav.samples;
    std::vector<int16_t> out;
    for (const int16_t s : wav.samples)
        out.insert(out.end(), {s, s});
    return out;
}

ChunkRead ReadOneChunk(CAudioFileReader& reader) {
    ChunkRead r;
    r.status = reader.ReadChunk(r.data.data(), r.bytes, r.end);
    return r;
}

std::vector<int16_t> ReadToEnd(CAudioFileReader& reader, size_t maxChunks) {
    std::vector<int16_t> all;
    for (size_t i = 0; i < maxChunks; ++i) {
        const ChunkRead r = ReadOneChunk(reader);
        if (r.status != 0)
            break;
        const auto* samples = reinterpret_cast<const int16_t*>(r.data.data());
        all.insert(all.end(), samples, samples + r.bytes / 2);
        if (r.end)
            break;
    }
    return all;
}

std::vector<int16_t> ReadAll(CDecodeStream& stream) {
    std::vector<int16_t> all;
    std::vector<int16_t> block(2 * 4096);
    while (const size_t got = stream.Read(reinterpret_cast<uint8_t*>(block.data()), 4096))
        all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * got));
    return all;
}

std::vector<int16_t> DecodeAll(const fs::path& file, double* seconds) {
    std::unique_ptr<CDecodeStream> stream;
    EXPECT_EQ(CDecodeStream::Open(file.string(), 0, stream), 0) << file;
    if (!stream)
        return {};
    if (seconds)
        *seconds = stream->DurationSeconds();
    return ReadAll(*stream);
}

long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    const auto mismatch = std::mismatch(a.begin(), a.begin() + static_cast<long>(n), b.begin());
    return mismatch.first == a.begin() + static_cast<long>(n) ? -1 : mismatch.first - a.begin();
}

testing::AssertionResult SameAudio(const std::vector<int16_t>& got,
                                   const std::vector<int16_t>& expected) {
    if (got.size() != expected.size())
        return testing::AssertionFailure()
               << got.size() << " samples where " << expected.size() << " were expected";
    if (const long at = FirstDifference(got, expected); at >= 0)
        return testing::AssertionFailure()
               << "sample " << at << " is " << got[at] << ", not " << expected[at];
    return testing::AssertionSuccess();
}

} // namespace tessel::test
