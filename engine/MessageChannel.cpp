#include "engine/MessageChannel.h"

#include <algorithm>

namespace tessel {

CMessageChannel::CMessageChannel() = default;

void CMessageChannel::SetHandler(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void CMessageChannel::SetWaker(Waker waker) {
    std::lock_guard lock(m_mutex);
    m_waker = std::move(waker);
}

void CMessageChannel::Post(AppMessage kind, int32_t value) {
    Waker waker;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_queue.push_back({kind, value});
        waker = m_waker;
    }
    m_arrived.notify_all();
    if (waker)
        waker();
}

bool CMessageChannel::DispatchOne() {
    Message message;
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty())
            return false;
        message = m_queue.front();
        m_queue.pop_front();
        handler = m_handler;
    }
    m_deepestDispatch = std::max(m_deepestDispatch, ++m_dispatchDepth);
    if (handler)
        handler(message);
    --m_dispatchDepth;
    return true;
}

void CMessageChannel::DispatchAll() {
    size_t count;
    {
        std::lock_guard lock(m_mutex);
        count = m_queue.size();
    }
    while (count-- > 0 && DispatchOne()) {
    }
}

void CMessageChannel::WaitForMessage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_arrived.wait_for(lock, timeout, [&] { return !m_queue.empty() || m_closed; });
}

bool CMessageChannel::HasPending() const {
    std::lock_guard lock(m_mutex);
    return !m_queue.empty();
}

void CMessageChannel::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_queue.clear();
    }
    m_arrived.notify_all();
}

} // namespace tessel
