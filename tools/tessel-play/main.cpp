// tessel-play: plays files and playlists through the player's engine, in
// real time through the sound device, or offline into a WAV file.
//
//     tessel-play [-o OUT.wav | --device NAME] [--eq G1,G2[,G3[,G4,G5]]]
//                 [--shuffle [--seed N]] [--repeat track|all]
//                 [--replaygain off|track|album|auto [--preamp DB]] FILE|PLAYLIST...
//     tessel-play --list-devices
//     tessel-play --list FILE|PLAYLIST|SHEET...
//
// --replaygain plays each track at the gain its tags give (off by default,
// so a render is the files' samples); --preamp (-15 ... +15 dB) is added for
// tagged files.
//
// --list prints the rows the inputs make (see ListRows.h) and plays nothing.
//
// --shuffle plays every entry once in a random order, the same one for the
// same --seed. --repeat plays on for ever, so it is refused with -o.
//
// Without --device the sound goes to the system default and follows it when
// it changes. When the device in use goes away, playback goes on through the
// system default, and back on the named device when it returns.
//
// Exit status: 0 all played, 1 some inputs could not be opened, 2 usage,
// 3 no audio output device, or no device of the name given.
#include "ConsoleHost.h"
#include "EqOption.h"
#include "ListRows.h"
#include "WavTrim.h"

#include "engine/Deck.h"
#include "engine/DeckParts.h"
#include "engine/OutputDevices.h"
#include "engine/PlainLoop.h"
#include "equalizer/FilterBank.h"
#include "output/SdlAudioBackend.h"
#include "output/VirtualClockBackend.h"
#include "playlist/PlayOrderModes.h"
#include "playlist/PlaylistFiles.h"

#include <charconv>
#include <chrono>
#include <cmath>
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
                 "usage: tessel-play [-o OUT.wav | --device NAME] [--eq G1,G2[,G3[,G4,G5]]]\n"
                 "                   [--shuffle [--seed N]] [--repeat track|all]\n"
                 "                   [--replaygain off|track|album|auto [--preamp DB]] "
                 "FILE|PLAYLIST...\n"
                 "       tessel-play --list-devices\n"
                 "       tessel-play --list FILE|PLAYLIST|SHEET...\n"
                 "  --eq: 2, 3 or 5 band gains in dB, each from -15 to +15\n"
                 "  --seed: 0 ... 4294967295, the same seed plays the same order\n"
                 "  --preamp: -15 ... +15 dB for files with ReplayGain tags\n");
    return 2;
}

std::optional<uint32_t> ParseSeed(const std::string& text) {
    uint32_t seed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seed);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return seed;
}

std::optional<ReplayGainMode> ParseReplayGainMode(const std::string& text) {
    if (text == "off")
        return ReplayGainMode::Off;
    if (text == "track")
        return ReplayGainMode::Track;
    if (text == "album")
        return ReplayGainMode::Album;
    if (text == "auto")
        return ReplayGainMode::Auto;
    return std::nullopt;
}

std::optional<double> ParsePreamp(const std::string& text) {
    double db = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, db);
    if (text.empty() || error != std::errc() || stop != end ||
        !(std::abs(db) <= kReplayGainMaxPreampDb))
        return std::nullopt;
    return db;
}

// Only the modes that end: "off" is no choice here.
std::optional<RepeatMode> ParseRepeatOption(const std::string& text) {
    if (text == "track")
        return RepeatMode::Track;
    if (text == "all")
        return RepeatMode::All;
    return std::nullopt;
}

// The rows go in as Append adds them, but nothing starts: with shuffle the
// first to play is the order's first, not the first row.
std::vector<std::string> AddInputs(CPlaylist& playlist, const std::vector<std::string>& inputs) {
    std::vector<std::string> unread;
    for (const std::string& path : inputs) {
        if (!IsPlaylistFile(std::filesystem::path(path).extension().string()))
            playlist.AddTrackRow(path, -1.0, std::string());
        else if (playlist.LoadPlayList(path).status != PlaylistReadStatus::Ok)
            unread.push_back(path);
    }
    return unread;
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
    bool shuffle = false;
    std::optional<uint32_t> seed;
    std::optional<RepeatMode> repeat;
    std::vector<std::string> inputs;
    bool listOnly = false;
    std::optional<ReplayGainMode> replayGainMode;
    std::optional<double> preamp;
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
        } else if (arg == "--replaygain") {
            if (i + 1 >= argc || replayGainMode)
                return Usage();
            replayGainMode = ParseReplayGainMode(argv[++i]);
            if (!replayGainMode) {
                std::fprintf(stderr,
                             "tessel-play: --replaygain %s: not off, track, album or auto\n",
                             argv[i]);
                return Usage();
            }
        } else if (arg == "--preamp") {
            if (i + 1 >= argc || preamp)
                return Usage();
            preamp = ParsePreamp(argv[++i]);
            if (!preamp) {
                std::fprintf(stderr, "tessel-play: --preamp %s: not a gain from -15 to +15 dB\n",
                             argv[i]);
                return Usage();
            }
        } else if (arg == "--list") {
            if (listOnly)
                return Usage();
            listOnly = true;
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
        } else if (arg == "--shuffle") {
            if (shuffle)
                return Usage();
            shuffle = true;
        } else if (arg == "--seed") {
            if (i + 1 >= argc || seed)
                return Usage();
            seed = ParseSeed(argv[++i]);
            if (!seed) {
                std::fprintf(stderr, "tessel-play: --seed %s: not a number from 0 to 4294967295\n",
                             argv[i]);
                return Usage();
            }
        } else if (arg == "--repeat") {
            if (i + 1 >= argc || repeat)
                return Usage();
            repeat = ParseRepeatOption(argv[++i]);
            if (!repeat) {
                std::fprintf(stderr, "tessel-play: --repeat %s: not track or all\n", argv[i]);
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
    if (inputs.empty() || (deviceGiven && !outPath.empty()) || (seed && !shuffle) ||
        (preamp && !replayGainMode))
        return Usage();
    if (listOnly) {
        if (deviceGiven || !outPath.empty() || eqGains || shuffle || repeat || replayGainMode)
            return Usage();
        return ListRows(inputs, stdout);
    }
    if (repeat && !outPath.empty()) {
        std::fprintf(stderr, "tessel-play: --repeat with -o would never end\n");
        return 2;
    }
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
    if (replayGainMode) {
        ReplayGainSettings gain;
        gain.mode = *replayGainMode;
        gain.preampDb = preamp.value_or(0.0);
        deck.SetReplayGain(gain);
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
    std::vector<std::string> unreadLists;
    if (!shuffle && !repeat) {
        unreadLists = deck.Append(inputs);
    } else {
        unreadLists = AddInputs(parts.playlist, inputs);
        if (seed)
            parts.playlist.ReseedOrder(*seed);
        if (shuffle)
            deck.SetShuffle(ShuffleMode::Tracks);
        if (repeat)
            deck.SetRepeat(*repeat);
        if (const EntryId first = parts.playlist.Order().PeekNextForEndOfTrack(0)) {
            // Counted as heard before the deck cues what follows it: the cue
            // is asked for while the entry still opens, and an unheard entry
            // would come round a second time in the shuffle.
            parts.playlist.Order().Advance(first);
            deck.PlayEntry(first);
        }
    }
    for (const std::string& unread : unreadLists) {
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
            // holds about 90 ms, a sound server may hold as much again).
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
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
