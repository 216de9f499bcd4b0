#include "engine/MessageChannel.h"

#include <algorithm>

namespace tessel {

CMessageChannel::CMessageChannel() : m_mainThread(std::this_thread::get_id()) {}

void CMessageChannel::BindToCurrentThread() {
    std::lock_guard lock(m_mutex);
    m_mainThread = std::this_thread::get_id();
}

bool CMessageChannel::IsMainThread() const {
    std::lock_guard lock(m_mutex);
    return m_mainThread == std::this_thread::get_id();
}

void CMessageChannel::SetHandler(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void CMessageChannel::SetWaker(Waker waker) {
    std::lock_guard lock(m_mutex);
    m_waker = std::move(waker);
}

uint64_t CMessageChannel::Enqueue(const Message& m, bool isSend) {
    Waker waker;
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return 0;
        if (isSend)
            ticket = m_nextTicket++;
        m_queue.push_back({m, ticket});
        waker = m_waker;
    }
    m_arrived.notify_all();
    if (waker)
        waker();
    return ticket;
}

void CMessageChannel::Send(AppMessage kind, int32_t value) {
    const Message m{kind, value};
    if (IsMainThread()) {
        Handler handler;
        {
            std::lock_guard lock(m_mutex);
            handler = m_handler;
        }
        if (handler)
            handler(m);
        return;
    }
    const uint64_t ticket = Enqueue(m, true);
    if (ticket == 0)
        return;
    std::unique_lock lock(m_mutex);
    auto done = [&] {
        for (auto it = m_handledTickets.begin(); it != m_handledTickets.end(); ++it) {
            if (*it == ticket) {
                m_handledTickets.erase(it);
                return true;
            }
        }
        return m_closed;
    };
    m_handled.wait(lock, done);
}

void CMessageChannel::Post(AppMessage kind, int32_t value) {
    Enqueue({kind, value}, false);
}

bool CMessageChannel::DispatchOne() {
    Entry entry;
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty())
            return false;
        entry = m_queue.front();
        m_queue.pop_front();
        handler = m_handler;
    }
    m_deepestDispatch = std::max(m_deepestDispatch, ++m_dispatchDepth);
    if (handler)
        handler(entry.message);
    --m_dispatchDepth;
    if (entry.ticket != 0) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_closed)
                m_handledTickets.push_back(entry.ticket);
        }
        m_handled.notify_all();
    }
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
        m_handledTickets.clear();
    }
    m_handled.notify_all();
    m_arrived.notify_all();
}

} // namespace tessel
