#include "engine/NotifyForwarder.h"

#include "engine/EngineContext.h"

namespace tessel {

CNotifyForwarder::CNotifyForwarder(CEvent& notify, CMessageChannel& channel, AppMessage messageId)
    : m_notify(notify), m_channel(channel), m_messageId(messageId) {
    m_thread = StartWorker(+2, [this] { Run(); });
}

void CNotifyForwarder::Run() {
    for (;;) {
        m_notify.Wait();
        m_notify.Reset();
        if (m_quit.load(std::memory_order_acquire))
            return;
        if (!m_pending.exchange(true, std::memory_order_acq_rel))
            m_channel.Post(m_messageId);
    }
}

void CNotifyForwarder::Stop() {
    m_quit.store(true, std::memory_order_release);
    m_notify.Set();
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tessel
