#include "core/EventWord.h"

#if defined(__linux__)
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tessel {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) &&
                  std::atomic<uint32_t>::is_always_lock_free,
              "the kernel waits on the word itself");

#if defined(__linux__)

void SleepWhileEqual(std::atomic<uint32_t>& word, uint32_t value) {
    // A change between the caller's check and this call makes the kernel
    // return at once: it compares the word before it sleeps.
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, value, nullptr,
            nullptr, 0);
}

void WakeAllOn(std::atomic<uint32_t>& word) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
            nullptr, 0);
}

#else

void SleepWhileEqual(std::atomic<uint32_t>& word, uint32_t value) {
    word.wait(value, std::memory_order_acquire);
}

void WakeAllOn(std::atomic<uint32_t>& word) {
    word.notify_all();
}

#endif

} // namespace tessel
