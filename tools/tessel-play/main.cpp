// tessel-play: plays files and playlists through the player's engine, in
// real time through the sound device, or offline into a WAV file.
//
//     tessel-play [-o OUT.wav] FILE|PLAYLIST...
//
// Exit status: 0 all played, 1 some inputs could not be opened, 2 usage,
// 3 no audio output device.
#include "ConsoleHost.h"
#include "WavTrim.h"

#include "engine/Deck.h"
#include "engine/DeckParts.h"
#include "engine/PlainLoop.h"
#include "output/SdlAudioBackend.h"
#include "output/VirtualClockBackend.h"
#include "playlist/PlaylistFiles.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace tessel;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tessel-play [-o OUT.wav] FILE|PLAYLIST...\n");
    return 2;
}

void NotRecognized(const std::string& path) {
    std::fprintf(stderr, "File Not Recognized: %s\n", path.c_str());
}

bool IsPlaylistPath(const std::string& path) {
    return IsPlaylistFile(std::filesystem::path(path).extension().string());
}

} // namespace

int main(int argc, char** argv) {
    std::string outPath;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o") {
            if (i + 1 >= argc || !outPath.empty())
                return Usage();
            outPath = argv[++i];
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                inputs.emplace_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else {
            inputs.push_back(arg);
        }
    }
    if (inputs.empty())
        return Usage();

    CPlainLoop loop;
    CDeckParts parts(loop);
    CEngineContext& engine = parts.engine;
    loop.SetChannel(&engine.channel);
    CSoundOutput& output = parts.output;
    CPlaylist& playlist = parts.playlist;
    CConsoleHost host;

    bool someFailed = false;
    for (const auto& input : inputs) {
        if (!IsPlaylistPath(input)) {
            playlist.AddTrackRow(0, input, -1.0, "");
            continue;
        }
        const PlaylistReadResult read = playlist.LoadPlayList(input);
        if (read.status != PlaylistReadStatus::Ok) {
            NotRecognized(input);
            someFailed = true;
        }
    }

    CVirtualClockBackend* virtualClock = nullptr;
    if (!outPath.empty()) {
        VirtualClockOptions options;
        options.wavPath = outPath;
        options.rampsAndVolume = false;
        auto backend = std::make_unique<CVirtualClockBackend>(options);
        virtualClock = backend.get();
        output.OpenDevice(std::move(backend), "Offline rendering");
    } else {
        output.OpenDevice(std::make_unique<CSdlAudioBackend>(), "System audio output device");
    }
    if (!output.HasDevice()) {
        std::fprintf(stderr, "No audio output device\n");
        return 3;
    }

    const std::unique_ptr<CDeck> deckOwner = parts.MakeDeck(host);
    CDeck& deck = *deckOwner;
    engine.channel.SetHandler([&deck](const Message& m) { deck.HandleMessage(m); });
    output.SetPaceGate([&deck] { return deck.IsAheadOfOutput(); });

    // The first entry that opens starts playback; the deck passes over later
    // ones that do not.
    bool loaded = false;
    for (int row = 0; row < playlist.GetRowCount() && !loaded; ++row) {
        playlist.MarkLoaded(row);
        deck.LoadTrack(playlist.GetLoadedTrackPath(0), loaded);
        if (!loaded)
            playlist.MarkUnreadable(playlist.Tracks().GetTrackPath(row));
    }
    if (loaded) {
        playlist.SetLoadedTrackLength(0, deck.TrackLength());
        deck.TogglePlayPause();
        // Only the main thread changes what ends the loop: no need to poll.
        loop.RunUntil([&] { return deck.ReachedEnd() || !deck.IsTrackLoaded(); },
                      std::chrono::hours(24 * 365), std::chrono::seconds(1));
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

    for (int row = 0; row < playlist.GetRowCount(); ++row) {
        if (playlist.Tracks().IsUnreadable(row)) {
            NotRecognized(playlist.Tracks().GetTrackPath(row));
            someFailed = true;
        }
    }
    return someFailed ? 1 : 0;
}
