// The process-wide engine objects: the eight events, the workers' run flags,
// the message channel to the main thread, and the pumping wait. The player
// owns one; each test builds its own.
//
// Threads: the events and flags are shared by every thread (flags are written
// with atomic exchanges). WaitPumping runs on the main thread only.
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
    // In the order they are created, with their reset modes and first states.
    CEvent deckReadyToPlay{true, false, "Deck Ready To Play Event"};
    CEvent discReadForward{true, false, "Disc Read Forward Event"};
    CEvent fileOpenIsDone{true, false, "File Open Is Done Event"};
    CEvent playForwardNotify{true, false, "Play Forward Notify Event"};
    CEvent threadFileReadForwardIsDone{true, true, "Thread File Read Forward Is Done Event"};
    CEvent threadPlayForwardIsDone{true, true, "Thread Play Forward Is Done Event"};
    CEvent trackLengthLoad{false, false, "Track Length Load Event"};
    CEvent trackLengthLoadThreadIsDone{true, false, "Track Length Load Thread Is Done Event"};
};

class CEngineContext {
  public:
    explicit CEngineContext(IMainLoop& loop);

    EngineEvents events;
    CMessageChannel channel;

    std::atomic<int32_t> g_readRun{0};
    std::atomic<int32_t> g_playForwardRun{0};
    std::atomic<int32_t> g_trackLengthRun{0};
    std::atomic<int32_t> g_trackLengthBusy{0};

    IMainLoop& Loop() { return m_loop; }

    // Main thread: waits for `event` in 1 ms slices; after each slice serves
    // the host's events and at most one queued message, so a worker that sends
    // while we wait is answered. Stops after the first slice whose wait
    // did not time out.
    void WaitPumping(CEvent& event);

  private:
    IMainLoop& m_loop;
};

// Starts a worker thread that first sets its priority (-2 .. +2, best effort).
std::thread StartWorker(int priority, std::function<void()> body);

} // namespace tessel
