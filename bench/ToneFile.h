// A stereo 16-bit WAV of a sine, for benchmarks that need a file to play.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace tessel::bench {

inline void WriteTone(const std::filesystem::path& path, uint32_t rate, uint32_t frames,
                      double step) {
    std::ofstream out(path, std::ios::binary);
    auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + frames * 4);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(rate);
    put32(rate * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(frames * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(6000 * std::sin(i * step)));
        put16(v);
        put16(v);
    }
}

} // namespace tessel::bench
