// A sound output (on the virtual clock, mostly), driven by hand the way the
// engine drives it: wait for a notification, look, acknowledge.
#pragma once

#include "core/Event.h"
#include "output/SoundDevice.h"
#include "output/SoundOutput.h"
#include "output/VirtualClockBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <complex>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

namespace tessel::test {

using Chunk = std::vector<uint8_t>;
using Signal = std::function<int16_t(uint32_t frame)>;

// Chunk `n` of `signal` on both channels, or (left, right) in every frame.
inline Chunk SignalChunk(const Signal& signal, uint32_t n) {
    std::vector<int16_t> frames;
    for (uint32_t i = n * kChunkFrames; i < (n + 1) * kChunkFrames; ++i)
        frames.insert(frames.end(), {signal(i), signal(i)});
    const auto* bytes = reinterpret_cast<const uint8_t*>(frames.data());
    return Chunk(bytes, bytes + kChunkBytes);
}

inline Chunk ConstantChunk(int16_t left, int16_t right) {
    const int16_t frame[2] = {left, right};
    Chunk chunk(kChunkBytes);
    for (uint32_t i = 0; i < kChunkFrames; ++i)
        std::memcpy(&chunk[i * kBytesPerFrame], frame, sizeof frame);
    return chunk;
}

// An output with its notification event.
struct OutputRig {
    CEvent notify{true, false, "Play Forward Notify Event"};
    CSoundOutput output;

    OutputRig() { output.SetNotifyEvent(&notify); }

    // Waits for the next notification and returns the cursor segment seen at
    // it; the notification is left unacknowledged. The bound only keeps a
    // broken build from hanging; it is no speed requirement.
    uint32_t NextNotification() {
        EXPECT_TRUE(notify.WaitFor(std::chrono::seconds(20)));
        notify.Reset();
        return output.GetForwardPlayCursor() / kChunkBytes;
    }

    void Ack() { output.NotificationHandled(); }

    // Lets `count` notifications pass, acknowledging all but the last, so
    // the clock stands still after the count-th step (a stop then ends the
    // recording at a known place).
    void Advance(int count) {
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                Ack();
            NextNotification();
        }
    }
};

struct VirtualRig : OutputRig {
    CVirtualClockBackend* clock = nullptr; // owned by the output's device

    explicit VirtualRig(bool rampsAndVolume, const std::string& description = "Virtual",
                        std::filesystem::path wav = {}, bool floatOutput = false) {
        OpenClock(rampsAndVolume, description, std::move(wav), floatOutput);
    }

    // No wait pump: the clock plays ramps without acknowledgements, so after
    // PlayForward it stands exactly after its first step.
    void OpenClock(bool rampsAndVolume, const std::string& description,
                   std::filesystem::path wav = {}, bool floatOutput = false) {
        VirtualClockOptions options;
        options.keepInMemory = true;
        options.rampsAndVolume = rampsAndVolume;
        options.wavPath = std::move(wav);
        options.floatOutput = floatOutput;
        auto backend = std::make_unique<CVirtualClockBackend>(options);
        clock = backend.get();
        EXPECT_EQ(output.OpenDevice(std::move(backend), description), Status::Ok);
    }

    // Read it once the output is stopped: a notification is signalled before
    // its step has been recorded.
    std::vector<int16_t> Recorded() const { return clock->Recorded(); }
};

// Called with the segment whose notification has just arrived, before it is
// acknowledged: the place for a change in the middle of a stream.
using AtNotification = std::function<void(int segment)>;

// Stops as the deck does: the falling ramp, told by a notification, then
// the stop.
template <class Rig> void StopAfterRamp(Rig& rig) {
    const uint64_t ticket = rig.output.BeginStopForward();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ticket != 0 && !rig.output.StopRampPlayed(ticket) &&
           std::chrono::steady_clock::now() < limit) {
        if (rig.notify.IsSet()) {
            rig.notify.Reset();
            rig.output.NotificationHandled();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    rig.output.StopForward();
}

// Plays `segments` segments of `signal` (the same on both channels) from a
// freshly opened stream, `beforePlay` run just before it starts, and returns
// the left channel as played.
inline std::vector<int16_t> PlaySignal(VirtualRig& rig, uint32_t rate, const Signal& signal,
                                       int segments, const AtNotification& at = {},
                                       double volume = 1.0,
                                       const std::function<void()>& beforePlay = {}) {
    EXPECT_EQ(rig.output.OpenStream(rate), Status::Ok);
    for (uint32_t n = 0; n < kRingSegments; ++n)
        rig.output.WriteForward(SignalChunk(signal, n).data());
    EXPECT_EQ(rig.output.SetVolume(volume), Status::Ok);
    if (beforePlay)
        beforePlay();
    const size_t before = rig.Recorded().size();
    rig.output.PlayForward();
    for (int s = 0; s < segments; ++s) {
        rig.NextNotification();
        if (at)
            at(s);
        if (s + 1 < segments)
            rig.Ack();
    }
    StopAfterRamp(rig);
    const std::vector<int16_t> both = rig.Recorded();
    std::vector<int16_t> left;
    for (size_t i = before; i + 1 < both.size(); i += 2) {
        EXPECT_EQ(both[i], both[i + 1]) << "the channels differ at frame " << i / 2;
        left.push_back(both[i]);
    }
    return left;
}

// Amplitude of the `hz` component of x[from, from + frames), a whole number
// of its periods.
template <class Sample>
double Amplitude(const std::vector<Sample>& x, size_t from, size_t frames, double hz,
                 uint32_t rate) {
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < frames; ++n)
        sum += static_cast<double>(x.at(from + n)) *
               std::polar(1.0, -2.0 * std::numbers::pi * hz * static_cast<double>(from + n) / rate);
    return 2.0 * std::abs(sum) / static_cast<double>(frames);
}

} // namespace tessel::test
