#include "engine/PlainLoop.h"

#include <algorithm>
#include <thread>
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

std::chrono::milliseconds CPlainLoop::UntilNextTimer(std::chrono::milliseconds limit) const {
    const auto now = std::chrono::steady_clock::now();
    for (const auto& [id, timer] : m_timers) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer.due - now);
        limit = std::min(limit, std::max(left, std::chrono::milliseconds(0)));
    }
    return limit;
}

bool CPlainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                          std::chrono::milliseconds poll) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // Sleep until a message arrives or a timer is due, so an idle loop
        // costs nothing while sound plays.
        const auto wait = UntilNextTimer(poll);
        if (m_channel) {
            m_channel->WaitForMessage(wait);
            m_channel->DispatchAll();
        } else {
            std::this_thread::sleep_for(wait);
        }
        RunDueTimers();
    }
    return true;
}

void CPlainLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

} // namespace tessel
