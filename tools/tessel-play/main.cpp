// tessel-play: plays files and playlists through the player's engine, in
// real time through the sound device, or offline into a WAV file.
//
//     tessel-play [-o OUT.wav | --device NAME] [--eq G1,G2[,G3[,G4,G5]]] FILE|PLAYLIST...
//     tessel-play --list-devices
//
// Without --device the sound goes to the system default and follows it when
// it changes. When the device in use goes away, playback goes on through the
// system default, and back on the named device when it returns.
//
// Exit status: 0 all played, 1 some inputs could not be opened, 2 usage,
// 3 no audio output device, or no device of the name given.
#include "ConsoleHost.h"
#include "EqOption.h"
#include "WavTrim.h"

#include "engine/Deck.h"
#include "engine/DeckParts.h"
#include "engine/OutputDevices.h"
#include "engine/PlainLoop.h"
#include "equalizer/FilterBank.h"
#include "output/SdlAudioBackend.h"
#include "output/VirtualClockBackend.h"
#include "playlist/PlaylistFiles.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace tessel;

namespace {

// A player left without any device gives up after this long rather than
// wait for one for ever.
constexpr auto kNoDeviceLimit = std::chrono::seconds(10);
constexpr int kTimerDevicePoll = 100;

int Usage() {
    std::fprintf(stderr,
                 "usage: tessel-play [-o OUT.wav | --device NAME] [--eq G1,G2[,G3[,G4,G5]]] "
                 "FILE|PLAYLIST...\n"
                 "       tessel-play --list-devices\n"
                 "  --eq: 2, 3 or 5 band gains in dB, each from -15 to +15\n");
    return 2;
}

void NotRecognized(const std::string& path) {
    std::fprintf(stderr, "File Not Recognized: %s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    std::string outPath;
    std::string deviceName;
    bool deviceGiven = false;
    std::optional<std::vector<double>> eqGains;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o") {
            if (i + 1 >= argc || !outPath.empty())
                return Usage();
            outPath = argv[++i];
        } else if (arg == "--device") {
            if (i + 1 >= argc || deviceGiven || std::string(argv[i + 1]).empty())
                return Usage();
            deviceName = argv[++i];
            deviceGiven = true;
        } else if (arg == "--list-devices") {
            if (argc != 2)
                return Usage();
            for (const std::string& name : CSdlAudioBackend::ListPlaybackDevices())
                std::printf("%s\n", name.c_str());
            return 0;
        } else if (arg == "--eq") {
            if (i + 1 >= argc || eqGains)
                return Usage();
            eqGains = ParseEqGains(argv[++i]);
            if (!eqGains) {
                std::fprintf(stderr,
                             "tessel-play: --eq %s: not 2, 3 or 5 gains in dB from -15 to +15\n",
                             argv[i]);
                return Usage();
            }
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                inputs.emplace_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else {
            inputs.push_back(arg);
        }
    }
    if (inputs.empty() || (deviceGiven && !outPath.empty()))
        return Usage();
    if (deviceGiven && !COutputDevices::IsPresent(deviceName)) {
        std::fprintf(stderr, "No audio output device named \"%s\"\n", deviceName.c_str());
        return 3;
    }

    CPlainLoop loop;
    CDeckParts parts(loop);
    CEngineContext& engine = parts.engine;
    loop.SetChannel(&engine.channel);
    CSoundOutput& output = parts.output;
    CConsoleHost host;

    CVirtualClockBackend* virtualClock = nullptr;
    if (!outPath.empty()) {
        VirtualClockOptions options;
        options.wavPath = outPath;
        options.rampsAndVolume = false;
        auto backend = std::make_unique<CVirtualClockBackend>(options);
        virtualClock = backend.get();
        output.OpenDevice(std::move(backend), "Offline rendering");
    }
    // 280 kB of fixed tables: not for the stack.
    auto equalizerBank = std::make_unique<CFilterBank>();
    const std::unique_ptr<CDeck> deckOwner = parts.MakeDeck(host);
    CDeck& deck = *deckOwner;
    if (eqGains) {
        equalizerBank->SetNumBands(static_cast<int32_t>(eqGains->size()));
        for (size_t b = 0; b < eqGains->size(); ++b)
            equalizerBank->SetBandGain(static_cast<int32_t>(b), BandGainForDb((*eqGains)[b]));
        deck.SetEqualizer(equalizerBank.get());
    }
    engine.channel.SetHandler([&deck](const Message& m) { deck.HandleMessage(m); });
    output.SetPaceGate([&deck] { return deck.IsAheadOfOutput(); });
    std::unique_ptr<COutputDevices> devices;
    auto lastHadDevice = std::chrono::steady_clock::now();
    if (!virtualClock) {
        devices = std::make_unique<COutputDevices>(deck, output);
        devices->Choose(deviceName);
        loop.StartTimer(kTimerDevicePoll, 250, [&] {
            devices->Poll();
            if (output.HasDevice())
                lastHadDevice = std::chrono::steady_clock::now();
        });
    }
    if (!output.HasDevice()) {
        std::fprintf(stderr, "No audio output device\n");
        return 3;
    }

    // The first entry that opens starts playback; the deck passes over the
    // entries that do not open.
    bool someFailed = false;
    for (const std::string& unread : deck.Append(inputs)) {
        NotRecognized(unread);
        someFailed = true;
    }
    loop.RunUntil([&] { return !deck.IsBusy(); }, std::chrono::hours(1));
    const bool loaded = deck.IsTrackLoaded();
    if (loaded) {
        // Asked at least once a second: the device watch counts time.
        const auto deviceLost = [&] {
            return std::chrono::steady_clock::now() - lastHadDevice > kNoDeviceLimit;
        };
        loop.RunUntil([&] { return deck.ReachedEnd() || !deck.IsTrackLoaded() || deviceLost(); },
                      std::chrono::hours(24 * 365), std::chrono::seconds(1));
        loop.StopTimer(kTimerDevicePoll);
        if (deviceLost()) {
            std::fprintf(stderr, "No audio output device\n");
            deck.Shutdown();
            engine.channel.Close();
            return 3;
        }
        if (!virtualClock) {
            // Let the device play out what it has already taken (its buffer
            // holds about 180 ms, a sound server may hold as much again).
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
    deck.Shutdown();
    const uint64_t audioBytes = deck.AudioBytesWritten();
    engine.channel.Close();
    output.CloseDevice();
    if (loaded && !outPath.empty() && !TrimWav(outPath, audioBytes)) {
        std::fprintf(stderr, "Cannot write %s\n", outPath.c_str());
        return 1;
    }

    const CTrackList& tracks = parts.playlist.Tracks();
    for (int row = 0; row < tracks.GetCount(); ++row) {
        if (tracks.IsUnreadable(row)) {
            NotRecognized(tracks.GetTrackPath(row));
            someFailed = true;
        }
    }
    return someFailed ? 1 : 0;
}
