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

std::vector<uint8_t> WavHeader(uint16_t format, uint16_t channels, uint32_t rate,
                               uint16_t blockAlign, uint16_t bits, uint32_t dataBytes) {
    std::vector<uint8_t> h;
    auto put = [&](const char* tag, uint32_t v, int n) {
        h.insert(h.end(), tag, tag + std::strlen(tag));
        for (int i = 0; i < n; ++i)
            h.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put("RIFF", 36 + dataBytes, 4);
    put("WAVEfmt ", 16, 4);
    put("", format, 2);
    put("", channels, 2);
    put("", rate, 4);
    put("", rate * blockAlign, 4);
    put("", blockAlign, 2);
    put("", bits, 2);
    put("data", dataBytes, 4);
    return h;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void WriteWavRaw(const fs::path& path, int formatTag, int rate, int channels, int bitsPerSample,
                 std::vector<uint8_t> data) {
    const auto blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    auto bytes =
        WavHeader(static_cast<uint16_t>(formatTag), static_cast<uint16_t>(channels),
                  static_cast<uint32_t>(rate), blockAlign, static_cast<uint16_t>(bitsPerSample),
                  static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    WriteBytes(path, bytes);
}

long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    const auto mismatch = std::mismatch(a.begin(), a.begin() + static_cast<long>(n), b.begin());
    return mismatch.first == a.begin() + static_cast<long>(n) ? -1 : mismatch.first - a.begin();
}

} // namespace tessel::test
