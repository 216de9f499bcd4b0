#include "engine/EngineContext.h"

#include "engine/ThreadPriority.h"

namespace tessel {

CEngineContext::CEngineContext(IMainLoop& loop) : m_loop(loop) {}

std::thread StartWorker(int priority, std::function<void()> body) {
    return std::thread([priority, body = std::move(body)] {
        SetCurrentThreadPriority(priority);
        body();
    });
}

} // namespace tessel
