#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
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
    const std::string name = source.stem().string() + "." + tag + "." + extension;
    // The temporary output keeps the extension so ffmpeg picks the container.
    return Fixture(name, "f={out}." + extension + " && ffmpeg -v error -y -i '" + source.string() +
                             "' " + args + " \"$f\" && mv \"$f\" {out}");
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
    out.reserve(wav.samples.size() * 2);
    for (int16_t s : wav.samples) {
        out.push_back(s);
        out.push_back(s);
    }
    return out;
}

std::vector<int16_t> ReadToEnd(CAudioFileReader& reader, size_t maxChunks) {
    std::vector<int16_t> all;
    std::vector<uint8_t> chunk(kChunkBytes);
    for (size_t i = 0; i < maxChunks; ++i) {
        uint32_t bytes = 0;
        bool end = false;
        if (reader.ReadChunk(chunk.data(), bytes, end) != 0)
            break;
        const size_t before = all.size();
        all.resize(before + bytes / 2);
        std::memcpy(all.data() + before, chunk.data(), bytes);
        if (end)
            break;
    }
    return all;
}

long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    const auto mismatch = std::mismatch(a.begin(), a.begin() + static_cast<long>(n), b.begin());
    return mismatch.first == a.begin() + static_cast<long>(n) ? -1 : mismatch.first - a.begin();
}

} // namespace tessel::test
