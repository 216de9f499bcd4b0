// A backend without real time: its own thread plays the ring one segment per
// step, in lockstep with the engine, and records what was played (a WAV file
// and/or memory). Deterministic: what comes out depends only on what was
// written and when the engine acknowledged its notifications.
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

struct VirtualClockOptions {
    std::filesystem::path wavPath; // empty: no file
    bool keepInMemory = false;
    // False for offline rendering: no ramps, full volume, the ring's samples
    // exactly.
    bool rampsAndVolume = true;
};

class CVirtualClockBackend final : public IAudioBackend {
  public:
    explicit CVirtualClockBackend(VirtualClockOptions options);
    ~CVirtualClockBackend() override;

    int32_t Prepare(uint32_t channels) override;
    int32_t Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) override;
    void Start() override;
    void Pause() override;
    void Close() override;
    bool IsRealTime() const override { return false; }
    bool WantsRampsAndVolume() const override { return m_options.rampsAndVolume; }
    void NotificationHandled() override;
    void SetPaceGate(std::function<bool()> gate) override;

    // What has been played so far (interleaved, the stream's channels).
    std::vector<int16_t> Recorded() const;
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
    bool ReadyToStep() const; // m_mutex held
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
    uint64_t m_owed = 0;             // guarded
    uint64_t m_acknowledged = 0;     // guarded
    uint64_t m_steps = 0;            // guarded
    std::function<bool()> m_gate;    // guarded
    std::vector<int16_t> m_recorded; // guarded
    bool m_fileFailed = false;       // guarded
    bool m_fileClosed = false;       // guarded
    CWavFileWriter m_wav;            // guarded

    IRenderSource* m_source = nullptr;
    uint32_t m_channels = 2;
    std::vector<int16_t> m_stepBuffer;
    std::thread m_thread;
};

} // namespace tessel
