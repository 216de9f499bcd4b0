// The one road from workers (and controls) to the main thread. Nobody waits
// on it: a post only queues, and the main thread handles the messages in
// order when its loop comes round.
//
// Threads: Post may be called from any thread; Dispatch* only on the main
// thread (the one the engine context was made on).
#pragma once

#include "core/AppMessages.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tessel {

class CMessageChannel {
  public:
    using Handler = std::function<void(const Message&)>;
    using Waker = std::function<void()>;

    CMessageChannel();
    CMessageChannel(const CMessageChannel&) = delete;
    CMessageChannel& operator=(const CMessageChannel&) = delete;

    void SetHandler(Handler handler);
    // Called after a message is queued, from the queuing thread, so a host
    // whose loop sleeps elsewhere (Qt) can be woken.
    void SetWaker(Waker waker);

    void Post(AppMessage kind, int32_t value = 0);

    // Main thread: handles at most one queued message; true if one was.
    bool DispatchOne();
    // Main thread: handles every message queued now.
    void DispatchAll();
    // Main thread: sleeps until a message is queued or the timeout passes.
    void WaitForMessage(std::chrono::milliseconds timeout);
    bool HasPending() const;
    // How deep dispatches have nested: 1 when no handler ever re-entered the
    // loop (the engine never does; a test fails on more).
    int DeepestDispatch() const { return m_deepestDispatch; }

    // Shutdown: pending and later messages are dropped.
    void Close();

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<Message> m_queue;
    bool m_closed = false;
    int m_dispatchDepth = 0; // main thread only
    int m_deepestDispatch = 0;
    Handler m_handler;
    Waker m_waker;
};

} // namespace tessel
