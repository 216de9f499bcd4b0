// Turns the output's notification event into messages to the main thread,
// one pending at a time: the deck looks at the play cursor when it handles
// the message, which covers every notification signalled before it.
//
// Threads: the forwarder thread waits on the event and posts. The main
// thread calls Handled when it takes the message, and Stop. m_pending and
// m_quit are handed over with acquire/release.
#pragma once

#include "core/Event.h"
#include "engine/MessageChannel.h"

#include <atomic>
#include <thread>

namespace tessel {

class CNotifyForwarder {
  public:
    CNotifyForwarder(CEvent& notify, CMessageChannel& channel, AppMessage messageId);
    ~CNotifyForwarder() { Stop(); }
    CNotifyForwarder(const CNotifyForwarder&) = delete;
    CNotifyForwarder& operator=(const CNotifyForwarder&) = delete;

    // The main thread took the message: the next notification posts again.
    void Handled() { m_pending.store(false, std::memory_order_release); }
    void Stop();

  private:
    void Run();

    CEvent& m_notify;
    CMessageChannel& m_channel;
    AppMessage m_messageId;
    std::atomic<bool> m_pending{false};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

} // namespace tessel
