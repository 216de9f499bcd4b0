#include "engine/EngineContext.h"

#include "engine/ThreadPriority.h"

namespace tessel {

CEngineContext::CEngineContext(IMainLoop& loop) : m_loop(loop) {
    channel.BindToCurrentThread();
}

void CEngineContext::WaitPumping(CEvent& event) {
    for (;;) {
        const bool signalled = event.WaitFor(std::chrono::milliseconds(1));
        m_loop.PumpHostEvents();
        channel.DispatchOne();
        if (signalled)
            return;
    }
}

std::thread StartWorker(int priority, std::function<void()> body) {
    return std::thread([priority, body = std::move(body)] {
        SetCurrentThreadPriority(priority);
        body();
    });
}

} // namespace tessel
