// Loading and saving a generated 100,000-entry M3U, the ID3v1 title refresh
// that saving does, Find's Next over the whole list, and the list of files
// handed to the loudness worker (the main thread's share of measuring
// untagged files), timed with the steady clock.
//
//   bench_playlist [entries]
#include "engine/LoudnessMeasurer.h"
#include "playlist/Playlist.h"
#include "playlist/PlaylistFiles.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tessel;
using Clock = std::chrono::steady_clock;

namespace {

// Wall time and this process's CPU time, since on a shared machine the wall
// time also counts the waits for other processes.
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
    std::string Text() const {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f s wall, %.3f s cpu",
                      std::chrono::duration<double>(Clock::now() - wall).count(),
                      static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
        return text;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("tessel-bench-playlist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "music");

    // Relative entries, so loading resolves every path against the folder.
    {
        std::ofstream out(dir / "big.m3u", std::ios::binary);
        out << "#EXTM3U\r\n";
        for (int i = 0; i < entries; ++i)
            out << "#EXTINF:" << (120 + i % 300) << ",Artist " << i % 97 << " - Title " << i
                << "\r\nmusic\\Artist " << i % 97 << "\\Album\\" << i << " Track Ünïcode.mp3\r\n";
    }
    // A share of the entries exist, with an ID3v1 block, so the title refresh
    // opens real files as well as missing ones.
    const int real = std::min(entries, 10000);
    for (int i = 0; i < real; ++i) {
        const auto folder = dir / "music" / ("Artist " + std::to_string(i % 97)) / "Album";
        std::filesystem::create_directories(folder);
        std::string block = "TAGTitle from tag " + std::to_string(i);
        block.resize(128, '\0');
        std::ofstream(folder / (std::to_string(i) + " Track Ünïcode.mp3"), std::ios::binary)
            << std::string(256, 'x') << block;
    }

    Stopwatch watch;
    CPlaylist playlist;
    const PlaylistReadResult read = playlist.LoadPlayList((dir / "big.m3u").string());
    const std::string load = watch.Text();

    // Next from the first row to a match only in the last, and to no match:
    // the longest a Next can take, each over title, artist, album and path.
    for (int i = 0; i < playlist.Tracks().GetCount(); ++i) {
        TrackTags tags;
        tags.artist = "Artist Ünïcode " + std::to_string(i % 97);
        tags.album = "Album Élan " + std::to_string(i % 1013);
        playlist.Tracks().SetTags(i, tags);
    }
    const int rows = playlist.GetRowCount();
    const std::string lastTitle = "title " + std::to_string(rows - 1);
    constexpr int kNexts = 20;
    watch = Stopwatch();
    int lastFound = -1;
    for (int n = 0; n < kNexts; ++n)
        lastFound = playlist.FindRow(lastTitle, 0, rows);
    const std::string findLast = watch.Text();
    watch = Stopwatch();
    for (int n = 0; n < kNexts; ++n)
        lastFound += playlist.FindRow("elan unicode absent", 0, rows) == -1 ? 0 : 1;
    const std::string findNone = watch.Text();

    watch = Stopwatch();
    // As the player hands it over: one slice per turn of its loop.
    constexpr int kSlice = 4000;
    size_t candidates = 0;
    for (int first = 0; first < rows; first += kSlice)
        candidates += LoudnessCandidates(playlist.Tracks(), first, kSlice).size();
    const std::string handOver = watch.Text();

    watch = Stopwatch();
    const PlaylistSaveResult asStored =
        SavePlaylistFile((dir / "stored.m3u").string(), playlist.Tracks(), PlaylistFormat::M3u,
                         PlaylistTitles::AsStored);
    const std::string saveStored = watch.Text();

    watch = Stopwatch();
    const PlaylistSaveResult refreshed =
        playlist.SavePlayList((dir / "out.m3u").string(), PlaylistFormat::M3u);
    const std::string saveRefresh = watch.Text();

    std::printf("entries read          %zu (status %d)\n", read.entries.size(),
                static_cast<int>(read.status));
    std::printf("load M3U              %s\n", load.c_str());
    std::printf("find Next x%d, last row %s (found row %d)\n", kNexts, findLast.c_str(), lastFound);
    std::printf("find Next x%d, no row  %s\n", kNexts, findNone.c_str());
    std::printf("loudness hand-over    %s (%zu files, %d slices)\n", handOver.c_str(), candidates,
                (rows + kSlice - 1) / kSlice);
    std::printf("save M3U, tags stored %s (%d written%s)\n", saveStored.c_str(),
                asStored.entriesWritten, asStored ? "" : ", FAILED");
    std::printf("save M3U, ID3v1 read  %s (%d written, %d files exist%s)\n", saveRefresh.c_str(),
                refreshed.entriesWritten, real, refreshed ? "" : ", FAILED");
    std::filesystem::remove_all(dir);
    return read.entries.size() == static_cast<size_t>(entries) && asStored && refreshed ? 0 : 1;
}
