#include "app/StartTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

bool g_tracing = false;
Clock::time_point g_start;

} // namespace

void BeginStartTrace() {
    g_tracing = std::getenv("TESSEL_TRACE_START") != nullptr;
    g_start = Clock::now();
    // The absolute reading lines the trace up with tools that stamp the
    // window system's events on the same clock.
    if (g_tracing)
        std::fprintf(stderr, "%8.1f main() at %.1f ms on the monotonic clock\n", 0.0,
                     std::chrono::duration<double, std::milli>(g_start.time_since_epoch()).count());
}

void TraceStart(const char* step) {
    if (!g_tracing)
        return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - g_start).count();
    std::fprintf(stderr, "%8.1f %s\n", ms, step);
}

} // namespace tessel
