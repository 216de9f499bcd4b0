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
    fs::path dir(TESSEL_TEST_DATA);
    fs::create_directories(dir);
    return dir;
}

fs::path BinDir() {
    return fs::path(TESSEL_BIN_DIR);
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
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
        cmd.replace(at, 5, "'" + tmp.string() + "'");
    const int status = RunCommand(cmd + " >/dev/null 2>&1");
    if (status != 0 || !fs::exists(tmp)) {
        ADD_FAILURE() << "fixture command failed (" << status << "): " << cmd;
        return target;
    }
    fs::rename(tmp, target);
    return target;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
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
    std::vector<uint8_t> data(interleaved.size() * 2);
    for (size_t i = 0; i < interleaved.size(); ++i) {
        data[2 * i] = static_cast<uint8_t>(interleaved[i]);
        data[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(interleaved[i]) >> 8);
    }
    WriteWavRaw(path, 1, rate, channels, 16, std::move(data));
}

namespace {
uint32_t GetLe(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}
} // namespace

WavData ReadWav16(const fs::path& path) {
    WavData wav;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < 12 || std::string(bytes.begin(), bytes.begin() + 4) != "RIFF")
        return wav;
    size_t pos = 12;
    int bits = 0;
    while (pos + 8 <= bytes.size()) {
        const std::string id(bytes.begin() + static_cast<long>(pos),
                             bytes.begin() + static_cast<long>(pos) + 4);
        const uint32_t size = GetLe(&bytes[pos + 4], 4);
        const size_t body = pos + 8;
        if (id == "fmt " && body + 16 <= bytes.size()) {
            wav.channels = static_cast<int>(GetLe(&bytes[body + 2], 2));
            wav.rate = static_cast<int>(GetLe(&bytes[body + 4], 4));
            bits = static_cast<int>(GetLe(&bytes[body + 14], 2));
        } else if (id == "data") {
            const size_t end = std::min(bytes.size(), body + size);
            if (bits != 16)
                return {};
            for (size_t i = body; i + 1 < end; i += 2)
                wav.samples.push_back(static_cast<int16_t>(GetLe(&bytes[i], 2)));
            return wav;
        }
        pos = body + size + (size & 1);
    }
    return {};
}

std::vector<int16_t> ReadRawS16(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
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

namespace {
void SetOrUnset(const std::string& name, const char* value) {
    if (value)
        setenv(name.c_str(), value, 1);
    else
        unsetenv(name.c_str());
}
} // namespace

ScopedEnv::ScopedEnv(std::string name, const char* value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_hadValue = true;
        m_oldValue = old;
    }
    SetOrUnset(m_name, value);
}

ScopedEnv::~ScopedEnv() {
    SetOrUnset(m_name, m_hadValue ? m_oldValue.c_str() : nullptr);
}

} // namespace tessel::test
