// What the engine needs from the host's main loop: a way to serve the host's
// own events for a moment while the main thread waits for a worker, and
// timers that call back on the main thread. The player plugs in Qt's event
// loop; tests and tools use CPlainLoop.
#pragma once

#include <functional>

namespace tessel {

class IMainLoop {
  public:
    virtual ~IMainLoop() = default;
    // Serves the host's pending events once, without blocking.
    virtual void PumpHostEvents() = 0;
    // Periodic timer `id`; `onTick` runs on the main thread. Starting a running
    // timer restarts it with the new period.
    virtual void StartTimer(int id, int periodMs, std::function<void()> onTick) = 0;
    virtual void StopTimer(int id) = 0;
};

} // namespace tessel
