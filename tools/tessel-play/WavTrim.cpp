#include "WavTrim.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tessel {

namespace {
void PutLe32(std::array<char, 4>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
} // namespace

bool TrimWav(const std::string& path, uint64_t dataBytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::array<char, 44> header{};
    if (!file.read(header.data(), header.size()))
        return false;
    if (std::memcmp(header.data(), "RIFF", 4) != 0 ||
        std::memcmp(header.data() + 36, "data", 4) != 0)
        return false;
    const uint64_t existing = std::filesystem::file_size(path) - header.size();
    const uint64_t keep = std::min(existing, dataBytes);
    if (keep > 0xFFFFFFFFull - 36)
        return false;
    std::array<char, 4> field{};
    PutLe32(field, static_cast<uint32_t>(36 + keep));
    file.seekp(4);
    file.write(field.data(), 4);
    PutLe32(field, static_cast<uint32_t>(keep));
    file.seekp(40);
    file.write(field.data(), 4);
    file.close();
    std::filesystem::resize_file(path, header.size() + keep);
    return true;
}

} // namespace tessel
