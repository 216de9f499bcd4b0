// A 16-bit PCM WAV file written as it grows; the header's sizes are filled
// in at Close. Data beyond what a WAV header can describe (4 GiB) is not
// written and makes Close report failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tessel {

class CWavFileWriter {
  public:
    CWavFileWriter() = default;
    ~CWavFileWriter();
    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;

    bool Open(const std::filesystem::path& path, uint32_t sampleRate, uint32_t channels);
    bool IsOpen() const { return m_out.is_open(); }
    // `samples` interleaved samples (a whole number of frames).
    bool Append(const int16_t* samples, size_t count);
    // Writes the final sizes; true when every sample reached the file.
    bool Close();

  private:
    void WriteHeader(uint32_t dataBytes);

    std::ofstream m_out;
    uint32_t m_sampleRate = 0;
    uint32_t m_channels = 0;
    uint64_t m_dataBytes = 0;
    bool m_failed = false;
    std::vector<char> m_bytes;
};

} // namespace tessel
