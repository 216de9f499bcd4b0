#include "decode/Mp3EncoderTag.h"

#include "decode/Utf8Path.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace tessel {

namespace {

constexpr size_t kSearchBytes = 64 * 1024;
constexpr int kMaxId3Tags = 4;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Bytes taken by the ID3v2 tags at the start of the file (0 when none).
uint64_t SkipId3v2(std::ifstream& in) {
    uint64_t offset = 0;
    for (int i = 0; i < kMaxId3Tags; ++i) {
        std::array<uint8_t, 10> header{};
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(reinterpret_cast<char*>(header.data()), header.size()))
            break;
        if (std::memcmp(header.data(), "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF ||
            ((header[6] | header[7] | header[8] | header[9]) & 0x80) != 0)
            break;
        const uint64_t size = (uint64_t{header[6]} << 21) | (uint64_t{header[7]} << 14) |
                              (uint64_t{header[8]} << 7) | header[9];
        const bool hasFooter = (header[5] & 0x10) != 0;
        offset += 10 + size + (hasFooter ? 10 : 0);
    }
    in.clear();
    return offset;
}

bool IsLayer3Header(const uint8_t* p) {
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const int bitrate = p[2] >> 4;
    const int rate = (p[2] >> 2) & 3;
    return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && version != 1 && layer == 1 && bitrate != 15 &&
           bitrate != 0 && rate != 3;
}

} // namespace

std::optional<Mp3EncoderPadding> ReadMp3EncoderPadding(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(static_cast<std::streamoff>(SkipId3v2(in)));
    std::vector<uint8_t> bytes(kSearchBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));

    for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
        if (!IsLayer3Header(&bytes[at]))
            continue;
        const uint8_t* frame = &bytes[at];
        const bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
        const bool mono = (frame[3] >> 6) == 3;
        const size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        size_t p = at + 4 + sideInfo;
        if (p + 8 > bytes.size() ||
            (std::memcmp(&bytes[p], "Xing", 4) != 0 && std::memcmp(&bytes[p], "Info", 4) != 0))
            return std::nullopt;
        const uint32_t flags = BigEndian32(&bytes[p + 4]);
        p += 8;
        p += (flags & 1) ? 4 : 0;   // frame count
        p += (flags & 2) ? 4 : 0;   // byte count
        p += (flags & 4) ? 100 : 0; // seek table
        p += (flags & 8) ? 4 : 0;   // quality
        if (p + 24 > bytes.size())
            return std::nullopt;
        const uint8_t* tag = &bytes[p];
        if (std::memcmp(tag, "LAME", 4) != 0 && std::memcmp(tag, "Lavf", 4) != 0 &&
            std::memcmp(tag, "Lavc", 4) != 0)
            return std::nullopt;
        Mp3EncoderPadding result;
        result.delay = (tag[21] << 4) | (tag[22] >> 4);
        result.padding = ((tag[22] & 0x0F) << 8) | tag[23];
        return result;
    }
    return std::nullopt;
}

} // namespace tessel
