#include "output/WavFileWriter.h"

#include <algorithm>
#include <array>

namespace tessel {

namespace {

constexpr uint32_t kHeaderBytes = 44;
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8);

void PutLe(char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

CWavFileWriter::~CWavFileWriter() {
    Close();
}

bool CWavFileWriter::Open(const std::filesystem::path& path, uint32_t sampleRate,
                          uint32_t channels) {
    Close();
    m_failed = true; // until the header is out
    if (sampleRate == 0 || channels == 0 || channels > 8)
        return false;
    m_out.open(path, std::ios::binary | std::ios::trunc);
    if (!m_out)
        return false;
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_dataBytes = 0;
    m_failed = false;
    WriteHeader(0);
    return static_cast<bool>(m_out);
}

void CWavFileWriter::WriteHeader(uint32_t dataBytes) {
    std::array<char, kHeaderBytes> h{};
    const uint32_t blockAlign = m_channels * 2;
    std::copy_n("RIFF", 4, h.data());
    PutLe(&h[4], dataBytes + kHeaderBytes - 8, 4);
    std::copy_n("WAVEfmt ", 8, &h[8]);
    PutLe(&h[16], 16, 4);
    PutLe(&h[20], 1, 2); // PCM
    PutLe(&h[22], m_channels, 2);
    PutLe(&h[24], m_sampleRate, 4);
    PutLe(&h[28], m_sampleRate * blockAlign, 4);
    PutLe(&h[32], blockAlign, 2);
    PutLe(&h[34], 16, 2);
    std::copy_n("data", 4, &h[36]);
    PutLe(&h[40], dataBytes, 4);
    m_out.seekp(0);
    m_out.write(h.data(), h.size());
}

bool CWavFileWriter::Append(const int16_t* samples, size_t count) {
    if (!m_out.is_open() || m_failed)
        return false;
    const uint64_t bytes = static_cast<uint64_t>(count) * 2;
    if (m_dataBytes + bytes > kMaxDataBytes) {
        m_failed = true;
        return false;
    }
    m_bytes.resize(bytes);
    for (size_t i = 0; i < count; ++i)
        PutLe(&m_bytes[2 * i], static_cast<uint16_t>(samples[i]), 2);
    m_out.write(m_bytes.data(), static_cast<std::streamsize>(bytes));
    if (!m_out) {
        m_failed = true;
        return false;
    }
    m_dataBytes += bytes;
    return true;
}

bool CWavFileWriter::Close() {
    if (!m_out.is_open())
        return !m_failed;
    WriteHeader(static_cast<uint32_t>(m_dataBytes));
    m_out.seekp(0, std::ios::end);
    const bool ok = static_cast<bool>(m_out);
    m_out.close();
    m_failed = m_failed || !ok;
    return !m_failed;
}

} // namespace tessel
