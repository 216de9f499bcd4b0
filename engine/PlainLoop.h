// A main loop without a windowing system, for tests and the console player:
// it serves the message channel and runs timers on the calling thread.
#pragma once

#include "engine/MainLoop.h"
#include "engine/MessageChannel.h"

#include <chrono>
#include <functional>
#include <map>

namespace tessel {

class CPlainLoop : public IMainLoop {
  public:
    explicit CPlainLoop(CMessageChannel* channel = nullptr) : m_channel(channel) {}
    void SetChannel(CMessageChannel* channel) { m_channel = channel; }

    void StartTimer(int id, int periodMs, std::function<void()> onTick) override;
    void StopTimer(int id) override { m_timers.erase(id); }
    bool IsTimerRunning(int id) const { return m_timers.count(id) != 0; }

    // Serves messages and timers until `done` answers true or `timeout` passes;
    // true when `done` was reached. `done` is asked after every message and
    // timer, and at least every `poll` (for conditions other threads change).
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                  std::chrono::milliseconds poll = std::chrono::milliseconds(1));
    // Serves messages and timers for `duration`.
    void RunFor(std::chrono::milliseconds duration);

  private:
    struct Timer {
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
        std::function<void()> onTick;
    };
    void RunDueTimers();
    // Time until the next timer is due, at most `limit`.
    std::chrono::milliseconds UntilNextTimer(std::chrono::milliseconds limit) const;

    CMessageChannel* m_channel;
    std::map<int, Timer> m_timers;
};

} // namespace tessel
