// Fixture helpers shared by the test executables: WAV files written in code,
// files made once per build with ffmpeg/lame, private temporary folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessel::test {

// The build's shared fixture folder (created on first use).
std::filesystem::path TestDataDir();
// Folder that holds the built executables and the button pictures.
std::filesystem::path BinDir();

// Runs a shell command; returns its exit status.
int RunCommand(const std::string& command);
// A path as one shell word (paths with a single quote are not supported).
inline std::string Quote(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// `folder`/`name`.flac: a stereo sine with an embedded cover of one colour
// and the ffmpeg options `tags` (e.g. "-metadata title=Halo"); its path.
std::string TaggedFlac(const std::filesystem::path& folder, const std::string& name, double seconds,
                       int rate, const char* colour, const std::string& tags);

// Makes fixture `name` in TestDataDir() once per build by running `command`
// with every "{out}" replaced by a temporary output path, then renaming it
// into place (so parallel test processes never see a half-written file).
// Fails the current test when the command fails.
std::filesystem::path Fixture(const std::string& name, const std::string& command);

struct WavData {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
    size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path); // the bytes as they are
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// The 128-byte ID3v1 block that ends a tagged MP3: "TAG", the title and
// zeros (a title longer than its 30 bytes runs on into the artist).
std::string Id3v1Block(const std::string& title);
// The 44 bytes of a WAV header, any values, however absurd.
std::vector<uint8_t> WavHeader(uint16_t format, uint16_t channels, uint32_t rate,
                               uint16_t blockAlign, uint16_t bits, uint32_t dataBytes);
// A WAV of any format tag and sample width, `data` as it is stored.
void WriteWavRaw(const std::filesystem::path& path, int formatTag, int rate, int channels,
                 int bitsPerSample, std::vector<uint8_t> data);
void WriteWav16(const std::filesystem::path& path, int rate, int channels,
                const std::vector<int16_t>& interleaved);
// Reads a 16-bit PCM WAV (any chunk order); empty result on failure.
WavData ReadWav16(const std::filesystem::path& path);

// Reads headerless S16LE samples (SDL's disk driver, parec).
std::vector<int16_t> ReadRawS16(const std::filesystem::path& path);

// A deterministic test signal: a sum of two sines per channel, distinct
// between channels, at about -6 dBFS.
std::vector<int16_t> MakeSignal(int rate, int channels, size_t frames, uint32_t seed = 1);

// Sets (or, with a null value, removes) an environment variable for the
// object's lifetime and restores the previous state after.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_oldValue;
};

// A fresh private folder, removed with its contents when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

} // namespace tessel::test
