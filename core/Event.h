// An event in the manner of a kernel event object: manual-reset events stay
// set until reset; auto-reset events release one waiter and clear themselves.
//
// Threads: every member may be called from any thread. Set() does no locking
// and no allocation (an atomic store, and a futex wake when someone sleeps),
// so the audio callback may signal an event.
#pragma once

#include "core/EventWord.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace tessel {

class CEvent {
  public:
    CEvent(bool manualReset, bool initiallySet, std::string name = {})
        : m_manual(manualReset), m_state(initiallySet ? 1u : 0u), m_name(std::move(name)) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set() {
        // Sequentially consistent with Wait's pair: either the setter sees
        // the sleeper or the sleeper sees the set.
        m_state.store(1, std::memory_order_seq_cst);
        if (m_sleepers.load(std::memory_order_seq_cst) != 0)
            WakeAllOn(m_state);
    }
    void Reset() { m_state.store(0, std::memory_order_release); }

    // True when the event is set now; an auto-reset event is consumed.
    bool TryWait() {
        if (m_manual)
            return m_state.load(std::memory_order_acquire) == 1;
        uint32_t expected = 1;
        return m_state.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
    }

    void Wait() {
        while (!TryWait()) {
            m_sleepers.fetch_add(1, std::memory_order_seq_cst);
            if (m_state.load(std::memory_order_seq_cst) == 0)
                SleepWhileEqual(m_state, 0);
            m_sleepers.fetch_sub(1, std::memory_order_seq_cst);
        }
    }

    // Waits at most `timeout`; true when the event was (and for auto-reset:
    // has been taken as) set. Polls finely because std::atomic has no timed
    // wait; callers use it only for the short slices of a pumping wait.
    bool WaitFor(std::chrono::microseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (TryWait())
                return true;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return false;
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                deadline - now, std::chrono::microseconds(100)));
        }
    }

    bool IsSet() const { return m_state.load(std::memory_order_acquire) == 1; }
    bool IsManualReset() const { return m_manual; }
    const std::string& Name() const { return m_name; }

  private:
    const bool m_manual;
    std::atomic<uint32_t> m_state;
    std::atomic<uint32_t> m_sleepers{0};
    const std::string m_name;
};

} // namespace tessel
