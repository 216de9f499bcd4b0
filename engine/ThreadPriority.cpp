#include "engine/ThreadPriority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tessel {

void SetCurrentThreadPriority(int priority) {
#if defined(__linux__)
    // Linux keeps a nice value per thread; map the scale onto it.
    const int nice = priority >= 2    ? -10
                     : priority == 1  ? -5
                     : priority == 0  ? 0
                     : priority == -1 ? 5
                                      : 10;
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, nice);
#else
    (void)priority;
#endif
}

} // namespace tessel
