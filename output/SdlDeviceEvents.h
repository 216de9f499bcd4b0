// SDL's hot-plug news about playback devices: a device appeared, or the one
// that is open went away. SDL queues them from its own threads; they are
// taken here on the main thread by polling, leaving any other event queued.
//
// Threads: main thread only.
#pragma once

#include <cstdint>
#include <memory>

namespace tessel {

struct DeviceEventsSeen {
    bool added = false;
    bool openDeviceRemoved = false;
};

class CSdlDeviceEvents {
  public:
    CSdlDeviceEvents();
    ~CSdlDeviceEvents();
    CSdlDeviceEvents(const CSdlDeviceEvents&) = delete;
    CSdlDeviceEvents& operator=(const CSdlDeviceEvents&) = delete;

    bool Ok() const { return m_ok; }
    // Takes the queued device events. `openId` is SDL's id of the device in
    // use (0 when unknown: then any playback removal counts, since SDL
    // reports removals only for open devices).
    DeviceEventsSeen Poll(uint32_t openId);

  private:
    bool m_ok = false;
};

} // namespace tessel
