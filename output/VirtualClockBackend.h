// A backend without real time, in one of two modes, recording what was taken
// from the ring (a WAV file and/or memory):
//
// Lockstep (offline rendering): its own thread plays the ring one segment
// per step, in lockstep with the engine. Deterministic: what comes out
// depends only on what was written and when the engine acknowledged its
// notifications.
//
// Device model: it calls the render the way a sound card does, on its own
// clock, never waiting for the engine: periods in frames that need not be
// segments, optionally random, with jitter and late callbacks that take two
// periods at once, at any speed relative to the wall clock. The engine must
// keep up by itself, as with a real device.
//
// Steps end one frame past a notification point, as on a real device whose
// cursor has moved on a little when the notification is handled; so the
// engine never sees the cursor resting exactly on a segment boundary.
// A step after a signalled notification waits for NotificationHandled and
// then for the pace gate; while a start or stop ramp is pending it does not
// wait for either, so the main thread's ramp wait always ends.
//
// Threads: the public members are for the main thread, except that the
// pace gate runs on the stepping thread. m_mutex guards the fields marked
// "guarded" (the sinks among them); m_source, m_channels and m_stepBuffer
// are set by the main thread while no stepping thread runs.
#pragma once

#include "output/AudioBackend.h"
#include "output/WavFileWriter.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace tessel {

struct DeviceModel {
    uint32_t periodFrames = 0; // 0: lockstep with the engine
    bool randomPeriod = false; // each period drawn from 1/4 to 2 periods
    double jitter = 0.0;       // a callback comes up to this fraction of a period early or late
    double lateChance = 0.0;   // chance that a callback is a period late and takes two
    double speed = 1.0;        // audio seconds per wall-clock second
    uint32_t latencyFrames = 0;
    uint32_t seed = 1;
};

struct VirtualClockOptions {
    std::filesystem::path wavPath; // empty: no file
    bool keepInMemory = false;
    // False for offline rendering: no ramps, full volume, the ring's samples
    // exactly.
    bool rampsAndVolume = true;
    // Rendered as an output that takes float would be (RecordedFloat);
    // nothing goes to the file or Recorded then.
    bool floatOutput = false;
    DeviceModel model;
};

class CVirtualClockBackend final : public IAudioBackend {
  public:
    explicit CVirtualClockBackend(VirtualClockOptions options);
    ~CVirtualClockBackend() override;

    Status Prepare(uint32_t channels) override;
    Status Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) override;
    void Start() override;
    void Pause() override;
    void Close() override;
    bool IsRealTime() const override { return false; }
    uint32_t LatencyFrames() const override { return m_options.model.latencyFrames; }
    bool WantsRampsAndVolume() const override { return m_options.rampsAndVolume; }
    void NotificationHandled() override;
    void SetPaceGate(std::function<bool()> gate) override;

    // What has been played so far (interleaved, the stream's channels).
    std::vector<int16_t> Recorded() const;
    std::vector<float> RecordedFloat() const;
    uint64_t StepsTaken() const;
    // False when the WAV file could not be opened or written. The file is
    // complete (header sizes set) after CloseFile or once this backend is
    // destroyed.
    bool FileOk() const;
    // Completes the WAV file now; what is played later is not written.
    // True when every sample played so far is in the file.
    bool CloseFile();

  private:
    void Run();
    void RunDeviceModel();
    bool ReadyToStep() const; // m_mutex held
    // Renders and records one step.
    RenderResult Step(uint32_t frames);
    void Record(const int16_t* samples, size_t count);

    const VirtualClockOptions m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;     // guarded
    bool m_running = false;  // guarded
    bool m_stepping = false; // guarded
    // Notifications signalled up to the last step, and up to the last
    // acknowledgement (the handler ran after they were signalled, so it
    // covers all of them).
    uint64_t m_owed = 0;                // guarded
    uint64_t m_acknowledged = 0;        // guarded
    uint64_t m_steps = 0;               // guarded
    std::function<bool()> m_gate;       // guarded
    std::vector<int16_t> m_recorded;    // guarded
    std::vector<float> m_recordedFloat; // guarded
    bool m_fileFailed = false;          // guarded
    bool m_fileClosed = false;          // guarded
    CWavFileWriter m_wav;               // guarded

    IRenderSource* m_source = nullptr;
    uint32_t m_channels = 2;
    uint32_t m_sampleRate = 44100;
    std::vector<int16_t> m_stepBuffer;
    std::vector<float> m_floatStepBuffer;
    std::thread m_thread;
};

} // namespace tessel
