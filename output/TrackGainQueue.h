// Per-track gains waiting for their first frame: the main thread queues a
// gain with the stream frame it starts at, the render takes each one when
// its play cursor reaches that frame. A fixed ring, no allocation, no
// locks: one writer, one reader.
//
// Threads:
// - Main thread: Push, DropFrom (only for frames beyond what a render may
//   be reading), Clear (only while no render runs) and m_tail's writes.
// - Render thread: NextFrame, TakeDue and m_head's writes.
// - Shared, atomic: the entries (relaxed; released by the store of m_tail
//   that publishes them, and given back by the store of m_head), m_head and
//   m_tail.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>

namespace tessel {

class CTrackGainQueue {
  public:
    static constexpr uint32_t kCapacity = 8;
    static constexpr uint64_t kNone = std::numeric_limits<uint64_t>::max();

    // False when the ring is full or `frame` lies before the last queued
    // gain's frame (the gains take effect in stream order).
    // `glide`: the render moves to the gain over a few milliseconds rather
    // than at once (a change of settings, not a seam).
    bool Push(uint64_t frame, float gain, bool glide = false);
    void Clear();
    // Drops the gains waiting for `frame` or later. Only for frames the
    // render cannot be taking yet (beyond what it may be reading).
    void DropFrom(uint64_t frame);
    bool Full() const;

    // The frame of the next waiting gain, kNone when none waits.
    uint64_t NextFrame() const;
    // Takes every gain due at or before `frame`; the latest one's value goes
    // to `gain`, and whether it glides to `glide`. False when none was due.
    bool TakeDue(uint64_t frame, float& gain, bool& glide);

  private:
    struct Entry {
        std::atomic<uint64_t> frame{0};
        std::atomic<float> gain{1.0f};
        std::atomic<bool> glide{false};
    };
    std::array<Entry, kCapacity> m_entries;
    std::atomic<uint32_t> m_head{0}; // next to take; written by the render
    std::atomic<uint32_t> m_tail{0}; // next free; written by the main thread
    uint64_t m_lastFrame = 0;        // main thread
};

} // namespace tessel
