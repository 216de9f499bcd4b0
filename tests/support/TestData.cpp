#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessel::test {

fs::path TestDataDir() {
    fs::create_directories(TESSEL_TEST_DATA);
    return TESSEL_TEST_DATA;
}

fs::path BinDir() {
    return fs::path(TESSEL_BIN_DIR);
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return status == -1 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string TaggedFlac(const fs::path& folder, const std::string& name, double seconds, int rate,
                       const char* colour, const std::string& tags) {
    const fs::path cover = folder / (name + ".png");
    const fs::path out = folder / (name + ".flac");
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i color=c=" + std::string(colour) + ":s=32x32 -frames:v 1 " +
        Quote(cover) + " && ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=" +
        std::to_string(rate) + ":duration=" + std::to_string(seconds) + " -i " + Quote(cover) +
        " -map 0:a -map 1:v -ac 2 -c:a flac -c:v copy -disposition:v attached_pic " + tags + " " +
        Quote(out);
    EXPECT_EQ(RunCommand(command), 0) << command;
    return out.string();
}

fs::path Fixture(const std::string& name, const std::string& command) {
    const fs::path target = TestDataDir() / name;
    if (fs::exists(target))
        return target;
    const fs::path tmp = TestDataDir() / (".tmp-" + std::to_string(getpid()) + "-" + name);
    std::string cmd = command;
    for (size_t at = cmd.find("{out}"); at != std::string::npos; at = cmd.find("{out}", at))
        cmd.replace(at, 5, Quote(tmp));
    const int status = RunCommand(cmd + " >/dev/null 2>&1");
    if (status == 0 && fs::exists(tmp))
        fs::rename(tmp, target);
    else
        ADD_FAILURE() << "fixture command failed (" << status << "): " << cmd;
    return target;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return {text.begin(), text.end()};
}

std::string Id3v1Block(const std::string& title) {
    std::string block = "TAG" + title;
    block.resize(128, '\0');
    return block;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> WavHeader(uint16_t format, uint16_t channels, uint32_t rate,
                               uint16_t blockAlign, uint16_t bits, uint32_t dataBytes) {
    std::string h = "RIFF----WAVEfmt --------------------data----";
    // Little-endian, as the file stores them, on every machine the tests run on.
    const uint32_t fields[][3] = {{4, 36 + dataBytes, 4}, {16, 16, 4},   {20, format, 2},
                                  {22, channels, 2},      {24, rate, 4}, {28, rate * blockAlign, 4},
                                  {32, blockAlign, 2},    {34, bits, 2}, {40, dataBytes, 4}};
    for (const auto& [at, value, size] : fields)
        std::memcpy(&h[at], &value, size);
    return {h.begin(), h.end()};
}

void WriteWavRaw(const fs::path& path, int formatTag, int rate, int channels, int bitsPerSample,
                 std::vector<uint8_t> data) {
    auto bytes =
        WavHeader(static_cast<uint16_t>(formatTag), static_cast<uint16_t>(channels),
                  static_cast<uint32_t>(rate), static_cast<uint16_t>(channels * bitsPerSample / 8),
                  static_cast<uint16_t>(bitsPerSample), static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    WriteBytes(path, bytes);
}

void WriteWav16(const fs::path& path, int rate, int channels,
                const std::vector<int16_t>& interleaved) {
    // The samples' own bytes: little-endian, as the file stores them, on
    // every machine the tests run on.
    const auto* bytes = reinterpret_cast<const uint8_t*>(interleaved.data());
    WriteWavRaw(path, 1, rate, channels, 16, {bytes, bytes + 2 * interleaved.size()});
}

WavData ReadWav16(const fs::path& path) {
    const std::string bytes = ReadText(path);
    const auto le = [&bytes](size_t at, size_t n) {
        uint32_t v = 0;
        std::memcpy(&v, &bytes[at], n);
        return v;
    };
    WavData wav;
    int bits = 0;
    for (size_t pos = 12; bytes.compare(0, 4, "RIFF") == 0 && pos + 8 <= bytes.size();) {
        const uint32_t size = le(pos + 4, 4);
        const size_t body = pos + 8;
        if (bytes.compare(pos, 4, "fmt ") == 0 && body + 16 <= bytes.size()) {
            wav.channels = static_cast<int>(le(body + 2, 2));
            wav.rate = static_cast<int>(le(body + 4, 4));
            bits = static_cast<int>(le(body + 14, 2));
        } else if (bytes.compare(pos, 4, "data") == 0 && bits == 16) {
            wav.samples.resize((std::min(bytes.size(), body + size) - body) / 2);
            std::memcpy(wav.samples.data(), &bytes[body], wav.samples.size() * 2);
            return wav;
        }
        pos = body + size + (size & 1);
    }
    return {};
}

std::vector<int16_t> ReadRawS16(const fs::path& path) {
    const std::string bytes = ReadText(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<int16_t> MakeSignal(int rate, int channels, size_t frames, uint32_t seed) {
    std::vector<int16_t> out(frames * static_cast<size_t>(channels));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> freq(110.0, 3000.0);
    for (int c = 0; c < channels; ++c) {
        const double f1 = freq(rng), f2 = freq(rng);
        for (size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double v = 0.3 * std::sin(2 * M_PI * f1 * t) + 0.2 * std::sin(2 * M_PI * f2 * t);
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(std::lround(v * 32767.0));
        }
    }
    return out;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tessel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : m_name(std::move(name)) {
    const char* old = std::getenv(m_name.c_str());
    m_hadValue = old != nullptr;
    m_oldValue = old ? old : "";
    value ? setenv(m_name.c_str(), value, 1) : unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv() {
    m_hadValue ? setenv(m_name.c_str(), m_oldValue.c_str(), 1) : unsetenv(m_name.c_str());
}

} // namespace tessel::test
