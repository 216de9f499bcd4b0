#include "output/TrackGainQueue.h"

namespace tessel {

bool CTrackGainQueue::Push(uint64_t frame, float gain, bool glide) {
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
    entry.glide.store(glide, std::memory_order_relaxed);
    m_lastFrame = frame;
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

void CTrackGainQueue::DropFrom(uint64_t frame) {
    uint32_t tail = m_tail.load(std::memory_order_relaxed);
    const uint32_t head = m_head.load(std::memory_order_acquire);
    // The render stops at the first entry not yet due, so it never takes
    // the ones dropped here.
    while (tail != head &&
           m_entries[(tail - 1) % kCapacity].frame.load(std::memory_order_relaxed) >= frame)
        --tail;
    m_lastFrame =
        tail != head ? m_entries[(tail - 1) % kCapacity].frame.load(std::memory_order_relaxed) : 0;
    m_tail.store(tail, std::memory_order_release);
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

bool CTrackGainQueue::TakeDue(uint64_t frame, float& gain, bool& glide) {
    uint32_t head = m_head.load(std::memory_order_relaxed);
    const uint32_t tail = m_tail.load(std::memory_order_acquire);
    bool taken = false;
    while (head != tail) {
        const Entry& entry = m_entries[head % kCapacity];
        if (entry.frame.load(std::memory_order_relaxed) > frame)
            break;
        gain = entry.gain.load(std::memory_order_relaxed);
        glide = entry.glide.load(std::memory_order_relaxed);
        taken = true;
        ++head;
    }
    if (taken)
        m_head.store(head, std::memory_order_release);
    return taken;
}

} // namespace tessel
