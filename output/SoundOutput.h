// The sound output: a looping ring of 50 chunk-sized segments with a
// notification at the last byte of each, a byte-exact play cursor, a volume
// in hundredths of a decibel and start/stop ramps. Sound leaves through a
// backend (SDL2 for a real device, a virtual-clock file writer for tests and
// offline rendering).
#pragma once

#include "decode/ChunkFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

class CEvent;
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
    // Run repeatedly while a ramp is waited for (the main thread keeps
    // serving its messages).
    void SetWaitPump(std::function<void()> pump);

    // A null backend or an empty description does nothing. The description's
    // speaker suffix ("(Rear)", "(Front)", ...) picks the speaker pair and is
    // cut from the stored name.
    void OpenDevice(std::unique_ptr<IAudioBackend> backend, const std::string& description);
    void CloseDevice();
    bool HasDevice() const;
    std::string GetDeviceName() const;

    void OpenStream(uint32_t sampleRate);
    int32_t WriteForward(const uint8_t* chunk);
    uint32_t GetForwardWriteOffset() const;
    uint32_t GetForwardPlayCursor() const;
    bool IsPlayingForward() const;
    void PlayForward();
    void StopForward();
    int32_t SetVolume(double volume);

    CSoundDevice* Device() { return m_device.get(); }

  private:
    std::string m_deviceName;
    std::unique_ptr<CSoundDevice> m_device;
    CEvent* m_notifyEvent = nullptr;
    std::function<void()> m_waitPump;
};

} // namespace tessel
