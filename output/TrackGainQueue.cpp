#include "output/TrackGainQueue.h"

namespace tessel {

bool CTrackGainQueue::Push(uint64_t frame, float gain) {
    const uint32_t tail = m_tail.load(std::memory_order_relaxed);
    // Acquire: the render is done with the entries it has given back.
    const uint32_t head = m_head.load(std::memory_order_acquire);
    if (tail - head >= kCapacity)
        return false;
    if (tail != head && frame < m_lastFrame)
        return false;
    Entry& entry = m_entries[tail % kCapacity];
    entry.frame.store(frame, std::memory_order_relaxed);
    entry.gain.store(gain, std::memory_order_relaxed);
    m_lastFrame = frame;
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

bool CTrackGainQueue::Full() const {
    return m_tail.load(std::memory_order_relaxed) - m_head.load(std::memory_order_acquire) >=
           kCapacity;
}

void CTrackGainQueue::Clear() {
    m_head.store(0, std::memory_order_relaxed);
    m_tail.store(0, std::memory_order_release);
    m_lastFrame = 0;
}

uint64_t CTrackGainQueue::NextFrame() const {
    const uint32_t head = m_head.load(std::memory_order_relaxed);
    if (head == m_tail.load(std::memory_order_acquire))
        return kNone;
    return m_entries[head % kCapacity].frame.load(std::memory_order_relaxed);
}

bool CTrackGainQueue::TakeDue(uint64_t frame, float& gain) {
    uint32_t head = m_head.load(std::memory_order_relaxed);
    const uint32_t tail = m_tail.load(std::memory_order_acquire);
    bool taken = false;
    while (head != tail) {
        const Entry& entry = m_entries[head % kCapacity];
        if (entry.frame.load(std::memory_order_relaxed) > frame)
            break;
        gain = entry.gain.load(std::memory_order_relaxed);
        taken = true;
        ++head;
    }
    if (taken)
        m_head.store(head, std::memory_order_release);
    return taken;
}

} // namespace tessel
