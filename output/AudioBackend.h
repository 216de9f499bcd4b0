// The seam between the sound device and whatever takes its sound away: a real
// device (SDL) or a virtual clock that records. A backend owns a thread (its
// own or the platform's) that pulls frames from the device's Render.
//
// Threads: every IAudioBackend member is called on the main thread. Between
// Open and Close the backend's thread calls IRenderSource members; Close
// returns only after that thread has stopped calling them.
#pragma once

#include "core/Status.h"

#include "core/ChunkFormat.h"

#include <cstdint>
#include <functional>

namespace tessel {

struct RenderResult {
    // Frames taken from the ring; they come first in the buffer, the rest
    // is silence (stopped, or nothing written was left to play).
    uint32_t framesPlayed = 0;
    uint32_t notifications = 0; // notification points signalled on the event
};

// Underruns of one stream so far: episodes where the device got silence
// because nothing written was left, and how much silence in all.
struct StarvationReport {
    uint64_t underruns = 0;
    uint64_t starvedFrames = 0;
    uint64_t lastBeganAt = 0; // frames played when the latest one began
};

class IRenderSource {
  public:
    // Fills `frames` frames in the channel layout the stream was opened with.
    // Never blocks, allocates or does I/O.
    virtual RenderResult Render(int16_t* out, uint32_t frames) = 0;
    // The same in 32-bit float (full scale 1.0) for an output that takes
    // float: nothing is rounded, and an untouched sample is its 16-bit value
    // over 32768, so a server that converts back at that scale gets it
    // exactly.
    virtual RenderResult RenderFloat(float* out, uint32_t frames) = 0;
    // The play cursor in frames (0 ... ring frames - 1).
    virtual uint32_t PlayFrame() const = 0;
    // A start or stop ramp has been asked for and is not played yet.
    virtual bool RampInProgress() const = 0;
    // Notifications signalled so far; counted before the event is set, so
    // whoever handles a notification sees it counted.
    virtual uint64_t SignalledCount() const = 0;

  protected:
    ~IRenderSource() = default;
};

class IAudioBackend {
  public:
    virtual ~IAudioBackend() = default;

    // At device open: can sound go out at all with `channels` (2 or 4)?
    // 0 or a failure status.
    virtual Status Prepare(uint32_t channels) = 0;
    // Opens the output at `sampleRate`, stopped. `source` is rendered from
    // the backend's thread while started.
    virtual Status Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) = 0;
    virtual void Start() = 0;
    // Returns once no render is in progress and none will start until Start.
    virtual void Pause() = 0;
    virtual void Close() = 0;

    // False when the backend renders faster or slower than the wall clock.
    virtual bool IsRealTime() const = 0;
    // Frames between the end of what a render produced and what is heard at
    // that moment (the device's own buffer); what the listener hears lags the
    // play cursor by this much.
    virtual uint32_t LatencyFrames() const { return 0; }
    // True when a new stream at the rate already open may go on in the open
    // output, paused between the two: a sound server opens one slowly.
    virtual bool ReusableAcrossStreams() const { return false; }
    // False for offline rendering: no ramps, full volume, sample-exact.
    virtual bool WantsRampsAndVolume() const { return true; }

    // The engine has finished handling a notification. A backend that runs in
    // lockstep with the engine waits for this before playing on.
    virtual void NotificationHandled() {}
    // Checked before each step by a backend without real time; false holds
    // the step back (the engine waits for its decoder). Called on the
    // backend's thread.
    virtual void SetPaceGate(std::function<bool()> gate) { (void)gate; }
};

} // namespace tessel
