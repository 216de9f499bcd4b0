// Reads an audio file chunk by chunk through the reader and prints the CPU
// time it took: the decoder's cost, for comparison with FFmpeg's own decode
// (see reader_vs_ffmpeg.sh).
//
//   bench_reader FILE [REPEATS]
#include "decode/AudioFileReader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [REPEATS]\n", argv[0]);
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<uint8_t> chunk(tessel::kChunkBytes);
    std::vector<double> cpuSeconds;
    uint64_t bytes = 0;
    int rate = 0;
    for (int r = 0; r < repeats; ++r) {
        tessel::CAudioFileReader reader;
        const std::clock_t start = std::clock();
        if (reader.Open(argv[1]) != 0) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        rate = reader.GetSampleRate();
        bytes = 0;
        for (;;) {
            uint32_t got = 0;
            bool end = false;
            if (reader.ReadChunk(chunk.data(), got, end) != 0)
                break;
            bytes += got;
            if (end)
                break;
        }
        cpuSeconds.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::sort(cpuSeconds.begin(), cpuSeconds.end());
    const double audioSeconds = static_cast<double>(bytes) / tessel::kBytesPerFrame / rate;
    std::printf("file=%s audio_s=%.3f cpu_s_median=%.4f cpu_s_min=%.4f cpu_per_audio_s=%.6f\n",
                argv[1], audioSeconds, cpuSeconds[cpuSeconds.size() / 2], cpuSeconds.front(),
                cpuSeconds[cpuSeconds.size() / 2] / audioSeconds);
    return 0;
}
