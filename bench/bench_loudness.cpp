// The loudness scan's speed: the files given, scanned as one album (each
// track and the album), timed as the scan's wall and CPU time. One line per
// file (its integrated loudness and true peak), then the totals:
//
//   bench_loudness FILE...
//   file<TAB>LUFS<TAB>true peak dBTP<TAB>seconds of audio<TAB>path
//   album<TAB>LUFS ...
//   total<TAB>files N<TAB>audio_s A<TAB>wall_s W<TAB>cpu_s C
#include "decode/LoudnessScan.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace tessel;

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double AudioSeconds(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return 0.0;
    avformat_find_stream_info(format, nullptr);
    const double seconds = format->duration > 0 ? format->duration / double(AV_TIME_BASE) : 0.0;
    avformat_close_input(&format);
    return seconds;
}

double Dbtp(double peak) {
    return peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_loudness FILE...\n");
        return 2;
    }
    const std::vector<std::string> paths(argv + 1, argv + argc);
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    const AlbumLoudness album = ScanAlbumLoudness(paths);
    const double cpu = CpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    double audio = 0.0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const double seconds = AudioSeconds(paths[i]);
        audio += seconds;
        if (album.tracks[i])
            std::printf("file\t%.2f\t%.2f\t%.1f\t%s\n", album.tracks[i]->integratedLufs,
                        Dbtp(album.tracks[i]->truePeak), seconds, paths[i].c_str());
        else
            std::printf("file\tunreadable\t\t\t%s\n", paths[i].c_str());
    }
    if (album.album)
        std::printf("album\t%.2f\t%.2f\n", album.album->integratedLufs,
                    Dbtp(album.album->truePeak));
    std::printf("total\tfiles %zu\taudio_s %.1f\twall_s %.3f\tcpu_s %.3f\n", paths.size(), audio,
                wall, cpu);
    return 0;
}
