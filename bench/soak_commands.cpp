// A soak of the deck on the device model: random loads, seeks, next and
// previous, pauses and volume changes for as long as asked, while the device
// calls back on its own irregular clock. A watchdog fails the run when a
// command stays queued, or playback stops moving while the deck says it
// plays. Build it in the ThreadSanitizer preset for the race check.
//
//   soak_commands [seconds] [speed]    (default 3600 s at 1x)
#include "bench/ToneFile.h"
#include "engine/DeckParts.h"
#include "engine/PlainLoop.h"
#include "output/VirtualClockBackend.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <vector>

using namespace tessel;
using tessel::bench::WriteTone;
using Clock = std::chrono::steady_clock;

namespace {

class CQuietHost : public CBlindDeckHost {
  public:
    void OnUnderrun(double, double) override { ++underruns; }
    int underruns = 0;
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3600.0;
    const double speed = argc > 2 ? std::atof(argv[2]) : 1.0;
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessel-soak-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::string> files;
    const uint32_t rates[] = {44100, 48000, 44100, 96000, 22050};
    for (int i = 0; i < 5; ++i) {
        const auto path = dir / ("t" + std::to_string(i) + ".wav");
        WriteTone(path, rates[i], rates[i] * (2 + 4 * i) + 77 * i, 0.01 + 0.01 * i);
        files.push_back(path.string());
    }

    CPlainLoop loop;
    CDeckParts parts(loop);
    loop.SetChannel(&parts.engine.channel);
    VirtualClockOptions options;
    options.model.periodFrames = 4096;
    options.model.randomPeriod = true;
    options.model.jitter = 0.3;
    options.model.lateChance = 0.05;
    options.model.speed = speed;
    options.model.latencyFrames = 4096;
    parts.output.OpenDevice(std::make_unique<CVirtualClockBackend>(options), "Soak device");
    CQuietHost host;
    auto deck = parts.MakeDeck(host);
    parts.engine.channel.SetHandler([&](const Message& m) { deck->HandleMessage(m); });
    for (const auto& f : files)
        parts.playlist.AddTrackRow(f, -1.0, "");

    std::mt19937 random(2024);
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_int_distribution<int> gap(50, 600);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    long commands = 0;
    bool stuck = false;
    auto lastProgress = Clock::now();
    uint64_t lastPlayed = 0;
    while (Clock::now() < end && !stuck) {
        const int p = pick(random);
        using K = DeckCommandKind;
        if (p < 20)
            deck->Submit(DeckCommand::Of(K::PlayPause));
        else if (p < 35)
            deck->Submit(DeckCommand::Of(K::SeekTo, pick(random) * 655));
        else if (p < 50)
            deck->Submit(DeckCommand::Of(K::Next));
        else if (p < 60)
            deck->Submit(DeckCommand::Of(K::Previous));
        else if (p < 75)
            deck->SetVolume(pick(random) / 99.0);
        else if (p < 85)
            deck->Submit(DeckCommand::WithPaths(
                K::Load, {files[static_cast<size_t>(pick(random)) % files.size()]}));
        else if (p < 88)
            deck->Submit(DeckCommand::Of(K::Close));
        else
            deck->Submit(DeckCommand::Of(K::PlayLoadedEntry));
        ++commands;
        // Commands also come while the deck waits: half of them without
        // letting the queue drain first.
        const auto wait = std::chrono::milliseconds(gap(random));
        if (!loop.RunUntil([&] { return deck->QueuedCommands() == 0; }, std::chrono::seconds(10))) {
            std::fprintf(stderr, "stuck: a command stayed queued for 10 s\n");
            stuck = true;
        }
        loop.RunFor(wait);
        const uint64_t played = parts.output.GetFramesPlayed();
        const bool shouldMove = deck->IsPlaying() && !deck->ReachedEnd();
        if (!shouldMove || played != lastPlayed)
            lastProgress = Clock::now();
        lastPlayed = played;
        if (Clock::now() - lastProgress > std::chrono::seconds(15)) {
            std::fprintf(stderr, "stuck: playing, but the device has not moved for 15 s\n");
            stuck = true;
        }
    }
    deck->Shutdown();
    parts.output.CloseDevice();
    deck.reset();
    parts.engine.channel.Close();
    std::filesystem::remove_all(dir);
    std::printf("commands: %ld in %.0f s at %.1fx; underruns reported: %d; %s\n", commands, seconds,
                speed, host.underruns, stuck ? "STUCK" : "no stuck state");
    return stuck ? 1 : 0;
}
