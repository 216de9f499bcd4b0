// Turns SIGINT and SIGTERM into a call on the GUI thread, so an interrupted
// player shuts down as if its window were closed (workers end, the volume is
// stored). The signal handler only writes one byte into a pipe; everything
// else runs from Qt's event loop.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tessel {

class CTerminationSignals {
  public:
    // Installs the handlers; `onSignal` runs on the GUI thread once per
    // signal received. One instance per process.
    explicit CTerminationSignals(std::function<void()> onSignal);
    ~CTerminationSignals();
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

  private:
    std::function<void()> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tessel
