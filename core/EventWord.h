// Sleeping on an event's 32-bit word until another thread changes it.
//
// libstdc++'s std::atomic::wait spins first and calls sched_yield four
// times before it sleeps; on a busy machine each yield is a context switch,
// four for every wake-up of a worker that waits on an event. Where the
// kernel offers a wait on an address (Linux's futex) these go straight to
// it; elsewhere they are std::atomic's wait and notify.
//
// Threads: any thread may wait or wake. Wake never locks or allocates, so
// the audio callback may call it.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessel {

// Sleeps while `word` holds `value`; may return early (callers re-check).
void SleepWhileEqual(std::atomic<uint32_t>& word, uint32_t value);
// Wakes every thread sleeping on `word`.
void WakeAllOn(std::atomic<uint32_t>& word);

} // namespace tessel
