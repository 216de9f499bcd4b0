// The sound output: a looping ring of 50 chunk-sized segments with a
// notification at the last byte of each, a byte-exact play cursor, a volume
// in hundredths of a decibel and start/stop ramps. Sound leaves through a
// backend (SDL2 for a real device, a virtual-clock file writer for tests and
// offline rendering).
//
// Threads: every member is for the main thread. The backend's thread only
// renders (see CSoundDevice). Nothing here waits for the render: a stop is
// begun, and finished once the notification after its ramp has come.
#pragma once

#include "core/ChunkFormat.h"
#include "equalizer/EqualizerDesign.h"
#include "output/AudioBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

class CEvent;
class CFilterBank;
class CSoundDevice;
class IAudioBackend;

constexpr uint32_t kRingSegments = 50;
constexpr uint32_t kRingBytes = kRingSegments * kChunkBytes; // 588000

class CSoundOutput {
  public:
    CSoundOutput();
    ~CSoundOutput();
    CSoundOutput(const CSoundOutput&) = delete;
    CSoundOutput& operator=(const CSoundOutput&) = delete;

    // The event set each time the play cursor passes a segment's last byte.
    void SetNotifyEvent(CEvent* event);

    // A null backend or an empty description does nothing (returns
    // E_UNEXPECTED). The description's speaker suffix ("(Rear)", "(Front)",
    // ...) picks the speaker pair and is cut from the stored name. When the
    // backend cannot put out sound at all, no device is left open and its
    // failure status is returned.
    Status OpenDevice(std::unique_ptr<IAudioBackend> backend, const std::string& description);
    void CloseDevice();
    bool HasDevice() const;
    std::string GetDeviceName() const;

    // Recreates the stream: silent ring, write offset and cursor 0, stopped,
    // full volume. Without a device CO_E_NOTINITIALIZED; a rate outside
    // 1000 ... 768000 Hz E_UNEXPECTED; a backend failure its status. After
    // a failure there is no stream.
    Status OpenStream(uint32_t sampleRate);
    // Lets go of the stream (the device stays chosen): a sound server can
    // then suspend the sink. The next OpenStream opens it anew.
    void CloseStream();
    bool HasStream() const;
    Status WriteForward(const uint8_t* chunk);
    uint32_t GetForwardWriteOffset() const;
    uint32_t GetForwardPlayCursor() const;
    // Frames written and played since the stream was opened (they never
    // wrap); the difference is what is still to be played.
    uint64_t GetFramesWritten() const;
    uint64_t GetFramesPlayed() const;
    // See CSoundDevice::TakeBackFrom.
    Status TakeBackFrom(uint64_t frame);
    // What the listener hears lags the play cursor by this many frames.
    uint32_t GetLatencyFrames() const;
    StarvationReport GetStarvation() const;
    bool IsPlayingForward() const;
    // Starts playing with the rising ramp; returns at once.
    void PlayForward();
    // Begins the falling ramp and returns its ticket; 0 when there is
    // nothing to wait for (already stopped, or a backend without ramps,
    // which has stopped at once). The render signals a notification when
    // the ramp has played.
    uint64_t BeginStopForward();
    bool StopRampPlayed(uint64_t ticket) const;
    // Silence and pause: after the ramp (or after giving up on it), or at
    // once, without one.
    void StopForward();
    // 0.0 ... 1.0; NaN or above 1.0 is refused with E_UNEXPECTED.
    Status SetVolume(double volume);
    // The attenuation in hundredths of a dB (0 without a stream).
    int32_t GetVolume() const;
    // A track's own gain (ReplayGain), linear, from frame `frame` of the
    // stream on (counted like GetFramesWritten: the frames written before
    // the track's first sample). It changes exactly there, so set it when
    // the track's first chunk is written; a frame already played takes
    // effect at once. A new stream starts at 1. See
    // CSoundDevice::SetTrackGainAt for the refusals.
    Status SetTrackGainAt(uint64_t frame, float gain, bool glide = false);
    // See CSoundDevice; 0 and CO_E_NOTINITIALIZED without a device.
    uint64_t FirstUnreadFrame() const;
    Status DropTrackGainsFrom(uint64_t frame);

    // The engine calls this at the end of each notification's handling; a
    // virtual-clock backend plays its next segment only after it.
    void NotificationHandled();
    // Checked before each virtual-clock step (false holds the step back);
    // called on the backend's thread. Kept for devices opened later.
    void SetPaceGate(std::function<bool()> gate);

    // The equalizer: one peaking filter per band of `bank`, before the
    // volume. The output keeps the switch and the band settings, so they
    // hold for every stream and device opened later, at each one's rate.
    // A change fades in over 10 ms while playing.
    // - ApplyEqualizer switches it on with the bank's layout and gains.
    //   Without a device CO_E_NOTINITIALIZED (it still comes on with the
    //   next); while the device addresses a speaker pair E_UNEXPECTED: the
    //   sound stays unequalized as long as that device is used.
    // - UpdateEqualizerBand takes the band's gain from the bank anew: a band
    //   outside the applied layout E_UNEXPECTED, the equalizer off
    //   CO_E_NOTINITIALIZED.
    Status ApplyEqualizer(const CFilterBank& bank);
    void RemoveEqualizer();
    Status UpdateEqualizerBand(const CFilterBank& bank, int32_t band);
    bool IsEqualizerOn() const { return m_eqOn; }

    CSoundDevice* Device() { return m_device.get(); }

  private:
    // Hands the equalizer's bands (none when off) to the device.
    Status PassEqualizerToDevice();

    std::string m_deviceName;
    std::unique_ptr<CSoundDevice> m_device;
    uint64_t m_deviceSerial = 0; // changes whenever m_device does
    CEvent* m_notifyEvent = nullptr;
    std::function<bool()> m_paceGate;
    bool m_eqOn = false;
    EqualizerBands m_eqBands;
};

} // namespace tessel
