// The process-wide engine objects: the events, the workers' run flags and
// the message channel to the main thread. The player owns one; each test
// builds its own.
//
// Threads: the events and flags are shared by every thread (flags are written
// with atomic exchanges).
#pragma once

#include "core/Event.h"
#include "engine/MainLoop.h"
#include "engine/MessageChannel.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace tessel {

struct EngineEvents {
    // With their reset modes and first states.
    CEvent playForwardNotify{true, false, "Play Forward Notify Event"};
    CEvent trackLengthLoad{false, false, "Track Length Load Event"};
};

class CEngineContext {
  public:
    explicit CEngineContext(IMainLoop& loop);

    EngineEvents events;
    CMessageChannel channel;

    std::atomic<int32_t> g_trackLengthRun{0};
    std::atomic<int32_t> g_trackLengthBusy{0};

    IMainLoop& Loop() { return m_loop; }

  private:
    IMainLoop& m_loop;
};

// Starts a worker thread that first sets its priority (-2 .. +2, best effort).
std::thread StartWorker(int priority, std::function<void()> body);

} // namespace tessel
