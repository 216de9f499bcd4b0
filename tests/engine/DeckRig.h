// A deck on a virtual clock with a host that records what a window would
// show: the engine end to end, faster than real time. In lockstep the clock
// waits for the deck and the run is deterministic; as a device model it
// calls back on its own clock like a sound card and the deck must keep up.
#pragma once

#include "engine/Deck.h"
#include "engine/DeckParts.h"
#include "engine/PlainLoop.h"
#include "output/VirtualClockBackend.h"
#include "tests/support/CounterSignal.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessel::test {

// The displays a test looks at; the rest shows nothing.
class CRecordingHost : public CBlindDeckHost {
  public:
    void ShowCurrentTrack(const std::string& fileName) override { tracks.push_back(fileName); }
    void ShowNoFileLoaded() override { tracks.push_back("No File Loaded"); }
    void OnStateChanged(DeckState state) override {
        if (!states.empty() && states.back() == state)
            ++repeatedStates;
        states.push_back(state);
    }
    void ShowPosition(double seconds, double) override { position = seconds; }
    void OnTrackChanged(const std::string&, const std::string&, double) override {
        if (onTrackChanged)
            onTrackChanged();
    }
    void OnUnderrun(double, double starvedSeconds) override { starved += starvedSeconds; }
    void OnOutputDeviceChanged(const std::string& description, bool opened) override {
        deviceChanges.push_back(description + (opened ? " opened" : " failed"));
    }

    std::function<void()> onTrackChanged;
    double starved = 0.0;
    std::vector<std::string> tracks;
    std::vector<DeckState> states;
    int repeatedStates = 0;
    std::vector<std::string> deviceChanges;
    double position = -1.0;
};

// Audio seconds per wall-clock second of the device models. Sanitizer builds
// are several times slower; the devices are slowed with them so that the
// deck usually keeps up, though it need not.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSpeed = 3.0;
#else
constexpr double kSpeed = 6.0;
#endif

// A device that calls back every `periodFrames` on its own clock, at `speed`
// audio seconds per wall-clock second; an irregular one draws each period
// at random, calls back early or late, and sometimes takes two at once.
inline DeviceModel Device(uint32_t periodFrames, double speed, bool irregular = false,
                          uint32_t seed = 7, uint32_t latencyFrames = 0) {
    DeviceModel model;
    model.periodFrames = periodFrames;
    model.randomPeriod = irregular;
    model.jitter = irregular ? 0.3 : 0.0;
    model.lateChance = irregular ? 0.1 : 0.0;
    model.speed = speed;
    model.latencyFrames = latencyFrames;
    model.seed = seed;
    return model;
}

// A stereo WAV of `frames` frames; returns its samples.
inline std::vector<int16_t> MakeWav(const std::filesystem::path& path, size_t frames, uint32_t seed,
                                    int rate = 44100) {
    auto signal = MakeSignal(rate, 2, frames, seed);
    WriteWav16(path, rate, 2, signal);
    return signal;
}

// Counter tracks of these lengths played whole, in this order, as
// DeckRig::Heard() tells it (track k counts from k * 1000000).
inline std::string WholeCounterTracks(const std::vector<size_t>& frames,
                                      const std::vector<size_t>& order) {
    std::vector<CounterRun> runs;
    for (const size_t k : order)
        runs.push_back({long(k) * 1000000, long(k) * 1000000 + long(frames[k]) - 1});
    return Describe(runs);
}

struct DeckRig {
    explicit DeckRig(bool rampsAndVolume = false, DeviceModel model = {},
                     std::unique_ptr<CAudioFileReader> readerToUse = nullptr)
        : parts(loop, std::move(readerToUse)) {
        loop.SetChannel(&engine.channel);
        VirtualClockOptions options;
        options.keepInMemory = true;
        options.rampsAndVolume = rampsAndVolume;
        options.model = model;
        auto backend = std::make_unique<CVirtualClockBackend>(options);
        clock = backend.get();
        output.OpenDevice(std::move(backend), "Test output");
        deck = parts.MakeDeck(host);
        engine.channel.SetHandler([this](const Message& m) { deck->HandleMessage(m); });
        if (model.periodFrames == 0)
            output.SetPaceGate([this] { return deck->IsAheadOfOutput(); });
    }
    ~DeckRig() {
        EXPECT_EQ(deck->RefusedTransitions(), 0);
        EXPECT_LE(engine.channel.DeepestDispatch(), 1) << "a handler re-entered the loop";
        EXPECT_EQ(host.repeatedStates, 0) << "a state change told twice";
        EXPECT_EQ(host.states.empty() ? CDeck::State::NoFile : host.states.back(), deck->GetState())
            << "the host was not told the state the deck is in";
        // The clock's thread asks the deck (through the pace gate) until the
        // device is closed, so the deck goes only after it.
        deck->Shutdown();
        output.CloseDevice();
        deck.reset();
        // As at the player's end: what is pending when the channel closes,
        // and what a late worker posts after, is dropped.
        engine.channel.SetHandler([](const Message&) { ADD_FAILURE() << "handled after Close"; });
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.Close();
        engine.channel.Post(AppMessage::ReadReport);
        engine.channel.DispatchAll();
    }

    // Adds a row for each length: a stereo WAV named by its row (a.wav for
    // row 0, ...) from seed firstSeed + n, or for a length of 0 a file that
    // does not exist. Returns each one's samples and all of them joined.
    std::vector<std::vector<int16_t>> AddTracks(const std::vector<size_t>& frames,
                                                uint32_t firstSeed = 1, int rate = 44100) {
        std::vector<std::vector<int16_t>> samples;
        for (size_t n = 0; n < frames.size(); ++n) {
            const int row = playlist.Tracks().GetCount();
            const std::string path = PathOf(std::string(1, static_cast<char>('a' + row)) + ".wav");
            samples.push_back(frames[n] == 0 ? std::vector<int16_t>{}
                                             : MakeWav(path, frames[n],
                                                       firstSeed + static_cast<uint32_t>(n), rate));
            all.insert(all.end(), samples.back().begin(), samples.back().end());
            playlist.AddTrackRow(path, -1.0, "");
        }
        return samples;
    }
    // Rows t0.wav, t1.wav, ... of counter signals: track k counts from
    // k * kTrackBase, so what was heard tells which track and which frame.
    static constexpr long kTrackBase = 1000000;
    void AddCounterTracks(const std::vector<size_t>& frames, size_t rows = SIZE_MAX) {
        counterFrames = frames;
        for (size_t k = 0; k < frames.size(); ++k) {
            WriteWav16(PathOf("t" + std::to_string(k) + ".wav"), 44100, 2,
                       MakeCounterSignal(frames[k], static_cast<uint32_t>(k * kTrackBase)));
            if (k < rows)
                playlist.AddTrackRow(PathOf("t" + std::to_string(k) + ".wav"), -1.0, "");
        }
    }
    std::string Whole(const std::vector<size_t>& order) const {
        return WholeCounterTracks(counterFrames, order);
    }
    // The stretches of counter tracks the device received, once it is shut.
    std::string Heard() {
        deck->Shutdown();
        return Describe(CounterRuns(clock->Recorded()));
    }
    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        return loop.RunUntil(done, timeout);
    }
    // Loads row `row` as the window does for a double click, without playing.
    bool LoadRow(int row) {
        playlist.MarkLoaded(row);
        return LoadFile(playlist.GetLoadedTrackPath(), playlist.Tracks().GetId(row));
    }
    // Loads a file (of playlist entry `entry`, if any); true once it is loaded.
    bool LoadFile(const std::string& path, EntryId entry = 0) {
        deck->LoadTrack(path, entry);
        return RunUntil([this] { return !deck->IsBusy(); }) && deck->IsTrackLoaded();
    }
    bool PlayFromRow(int row) { return LoadRow(row) && PlayToEnd(); }
    bool PlayToEnd() {
        deck->TogglePause();
        return UntilEnd();
    }
    bool UntilEnd() {
        return RunUntil([this] { return deck->ReachedEnd(); }, std::chrono::minutes(2));
    }
    // Interleaved stereo that has been played, trimmed to real audio.
    std::vector<int16_t> Played() const {
        auto recorded = clock->Recorded();
        const size_t audio = static_cast<size_t>(deck->AudioBytesWritten() / 2);
        if (deck->ReachedEnd() && recorded.size() > audio)
            recorded.resize(audio);
        return recorded;
    }

    std::vector<int16_t> all; // every track of AddTracks, joined
    std::vector<size_t> counterFrames;
    TempDir dir; // the files of AddTracks; goes after everything that reads them
    CPlainLoop loop;
    CDeckParts parts;
    CEngineContext& engine = parts.engine;
    CAudioFileReader& reader = parts.reader;
    CSoundOutput& output = parts.output;
    CPlaylist& playlist = parts.playlist;
    CRecordingHost host;
    CVirtualClockBackend* clock = nullptr;
    std::unique_ptr<CDeck> deck;
};

// Empty when `got` holds exactly `want`; else where and how they differ.
inline std::string FrameDifference(const std::vector<int16_t>& got,
                                   const std::vector<int16_t>& want) {
    const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
    if (got == want)
        return {};
    return "first difference at frame " + std::to_string((at - got.begin()) / 2) + " of " +
           std::to_string(want.size() / 2) + " expected (" + std::to_string(got.size() / 2) +
           " played)";
}

// Frame index where `needle` (interleaved stereo) starts in `hay`, or -1.
inline long FindFrames(const std::vector<int16_t>& hay, const std::vector<int16_t>& needle) {
    const auto at = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return needle.empty() || at == hay.end() ? -1 : (at - hay.begin()) / 2;
}

inline std::vector<int16_t> Frames(const std::vector<int16_t>& s, size_t from, size_t count) {
    from = std::min(from, s.size() / 2);
    count = std::min(count, s.size() / 2 - from);
    return {s.begin() + static_cast<long>(from * 2),
            s.begin() + static_cast<long>((from + count) * 2)};
}

} // namespace tessel::test
