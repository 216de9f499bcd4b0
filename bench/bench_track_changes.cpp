// Resident memory across track changes: a playlist of one short file listed
// many times is played offline (the lockstep clock) through gapless
// hand-overs; the resident set after 10 changes is compared with the one
// after all of them. A player that leaks per track grows without bound.
//
//   bench_track_changes [changes]    (default 1000; goal: growth under 2 MB)
#include "bench/ToneFile.h"
#include "engine/DeckParts.h"
#include "engine/PlainLoop.h"
#include "output/VirtualClockBackend.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace tessel;
using tessel::bench::WriteTone;

namespace {

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

class CCountingHost : public CBlindDeckHost {
  public:
    void OnTrackChanged(const std::string&, const std::string&, double) override { ++changes; }
    int changes = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int changes = argc > 1 ? std::max(20, std::atoi(argv[1])) : 1000;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tessel-bench-changes-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "short.wav";
    WriteTone(file, 44100, 44100 * 3 / 10, 0.05); // 0.3 s: a few chunks, shorter than a batch

    CPlainLoop loop;
    CDeckParts parts(loop);
    loop.SetChannel(&parts.engine.channel);
    VirtualClockOptions options;
    options.rampsAndVolume = false;
    parts.output.OpenDevice(std::make_unique<CVirtualClockBackend>(options), "Offline");
    CCountingHost host;
    auto deck = parts.MakeDeck(host);
    parts.engine.channel.SetHandler([&](const Message& m) { deck->HandleMessage(m); });
    parts.output.SetPaceGate([&] { return deck->IsAheadOfOutput(); });
    for (int i = 0; i <= changes; ++i)
        parts.playlist.AddTrackRow(file.string(), -1.0, "");

    parts.playlist.MarkLoaded(0);
    deck->PlayLoadedEntry();
    const auto forever = std::chrono::hours(1);
    loop.RunUntil([&] { return !deck->IsBusy(); }, forever);
    if (!deck->IsTrackLoaded()) {
        std::fprintf(stderr, "cannot open %s\n", file.string().c_str());
        return 1;
    }
    loop.RunUntil([&] { return host.changes >= 11 || deck->ReachedEnd(); }, forever);
    const double after10 = ResidentMegabytes();
    loop.RunUntil([&] { return host.changes >= changes + 1 || deck->ReachedEnd(); }, forever);
    const double afterAll = ResidentMegabytes();
    deck->Shutdown();
    parts.output.CloseDevice();
    deck.reset();
    parts.engine.channel.Close();
    std::filesystem::remove_all(dir);

    std::printf("track changes: %d\nresident after 10: %.2f MB\nresident after %d: %.2f MB\n"
                "growth: %.2f MB (goal: under 2 MB)\n",
                host.changes - 1, after10, changes, afterAll, afterAll - after10);
    return host.changes - 1 >= changes && afterAll - after10 < 2.0 ? 0 : 1;
}
