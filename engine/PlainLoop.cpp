#include "engine/PlainLoop.h"

#include <vector>

namespace tessel {

void CPlainLoop::StartTimer(int id, int periodMs, std::function<void()> onTick) {
    const auto period = std::chrono::milliseconds(periodMs);
    m_timers[id] = Timer{period, std::chrono::steady_clock::now() + period, std::move(onTick)};
}

void CPlainLoop::RunDueTimers() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<int> due;
    for (const auto& [id, timer] : m_timers) {
        if (timer.due <= now)
            due.push_back(id);
    }
    for (int id : due) {
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            continue; // stopped by an earlier tick
        it->second.due = now + it->second.period;
        auto tick = it->second.onTick; // the tick may stop or restart its timer
        tick();
    }
}

bool CPlainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (m_channel) {
            m_channel->WaitForMessage(std::chrono::milliseconds(1));
            m_channel->DispatchAll();
        }
        RunDueTimers();
    }
    return true;
}

void CPlainLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

} // namespace tessel
