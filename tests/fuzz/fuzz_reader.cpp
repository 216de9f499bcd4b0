// Feeds arbitrary bytes through the reader as a file: open, read, seek, read.
// The first byte picks the file's extension (some formats are probed by it).
#include "core/Status.h"
#include "decode/AudioFileReader.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kExtensions[] = {".mp3",  ".ogg", ".wav",  ".wma", ".flac",
                                   ".opus", ".m4a", ".aiff", ".aac", ".wv"};

std::string TempPath(const char* extension) {
    const std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("tessel-fuzz-" + std::to_string(getpid()) + extension)).string();
}

// FFmpeg itself is not instrumented, so the fuzzer would see only the
// reader's few branches. Each distinct outcome (format, status, layout, how
// far it read) gets a branch of its own here, so that inputs reaching new
// outcomes are kept and mutated further.
volatile unsigned g_sink = 0;
template <int Group, int N> void Mark(int value) {
    if constexpr (N >= 0) {
        if (value == N) {
            g_sink = g_sink + static_cast<unsigned>(Group * 1000 + N);
            return;
        }
        Mark<Group, N - 1>(value);
    }
}

int StatusClass(int32_t status) {
    switch (status) {
    case 0:
        return 0;
    case tessel::kReaderRefused:
        return 1;
    case AVERROR_INVALIDDATA:
        return 2;
    case AVERROR_STREAM_NOT_FOUND:
        return 3;
    case AVERROR_DECODER_NOT_FOUND:
        return 4;
    case AVERROR_EOF:
        return 5;
    default:
        return 6;
    }
}

int Log2(uint64_t v) {
    int n = 0;
    while (v > 1 && n < 15) {
        v >>= 1;
        ++n;
    }
    return n;
}

int Log2(double v) {
    return v >= 1.0 && v < 1e15 ? Log2(static_cast<uint64_t>(v)) : 0;
}

int ReadSome(tessel::CAudioFileReader& reader, int chunks) {
    std::vector<uint8_t> chunk(tessel::kChunkBytes);
    for (int i = 0; i < chunks; ++i) {
        uint32_t bytes = 0;
        bool end = false;
        if (reader.ReadChunk(chunk.data(), bytes, end) != 0 || end)
            return i;
        if (bytes > tessel::kChunkBytes)
            __builtin_trap();
    }
    return chunks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const char* extension = kExtensions[data[0] % (sizeof(kExtensions) / sizeof(kExtensions[0]))];
    const std::string path = TempPath(extension);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    } else {
        return 0;
    }
    const int extensionIndex =
        data[0] % static_cast<int>(sizeof(kExtensions) / sizeof(kExtensions[0]));
    tessel::CAudioFileReader reader;
    const int32_t status = reader.Open(path);
    Mark<1, 79>(extensionIndex * 8 + StatusClass(status));
    if (status == 0) {
        Mark<2, 1>(reader.GetTitle().empty() ? 0 : 1);
        Mark<3, 63>(reader.GetChannels() * 16 +
                    Log2(static_cast<uint64_t>(reader.GetSampleRate())) % 16);
        Mark<4, 15>(Log2(reader.GetDurationSeconds() * 1000.0 + 1.0));
        Mark<5, 15>(Log2(static_cast<uint64_t>(ReadSome(reader, 64)) + 1));
        if (reader.IsOpen()) {
            reader.SeekToFraction(0.5);
            Mark<6, 15>(Log2(reader.GetPositionSeconds() * 1000.0 + 1.0));
            Mark<7, 15>(ReadSome(reader, 8));
        }
        if (reader.IsOpen()) {
            reader.SeekToFraction(0.0);
            ReadSome(reader, 8);
        }
    }
    reader.Close();
    std::remove(path.c_str());
    return 0;
}
