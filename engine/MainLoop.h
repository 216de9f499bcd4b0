// What the engine needs from the host's main loop: timers that call back on
// the main thread. The engine never waits, so it never needs to serve the
// loop itself. The player plugs in Qt's event loop; tests and tools use
// CPlainLoop.
#pragma once

#include <functional>

namespace tessel {

class IMainLoop {
  public:
    virtual ~IMainLoop() = default;
    // Periodic timer `id`; `onTick` runs on the main thread. Starting a running
    // timer restarts it with the new period.
    virtual void StartTimer(int id, int periodMs, std::function<void()> onTick) = 0;
    virtual void StopTimer(int id) = 0;
};

} // namespace tessel
