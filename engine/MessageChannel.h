// The one road from workers (and controls) to the main thread.
//
// Threads: Send/Post may be called from any thread. Dispatch* only on the
// main thread (the one that called BindToCurrentThread). Send from a worker
// blocks until the main thread's handler has returned; Send on the main thread
// calls the handler directly. Post only queues.
#pragma once

#include "core/AppMessages.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessel {

class CMessageChannel {
  public:
    using Handler = std::function<void(const Message&)>;
    using Waker = std::function<void()>;

    CMessageChannel();
    CMessageChannel(const CMessageChannel&) = delete;
    CMessageChannel& operator=(const CMessageChannel&) = delete;

    // Main thread: from now on this thread serves the channel.
    void BindToCurrentThread();
    bool IsMainThread() const;

    void SetHandler(Handler handler);
    // Called after a message is queued, from the queuing thread, so a host
    // whose loop sleeps elsewhere (Qt) can be woken.
    void SetWaker(Waker waker);

    void Send(AppMessage kind, int32_t value = 0);
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

    // Shutdown: pending and future sends return at once unhandled, so no
    // worker stays blocked on a main loop that has ended.
    void Close();

  private:
    struct Entry {
        Message message;
        uint64_t ticket = 0; // non-zero for a send
    };

    // Queues the message; for a send, returns its ticket (0 when closed).
    uint64_t Enqueue(const Message& m, bool isSend);

    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::condition_variable m_handled;
    std::deque<Entry> m_queue;
    uint64_t m_nextTicket = 1;
    // Sends whose handler has returned and whose sender has not yet woken.
    std::vector<uint64_t> m_handledTickets;
    bool m_closed = false;
    int m_dispatchDepth = 0; // main thread only
    int m_deepestDispatch = 0;
    std::thread::id m_mainThread;
    Handler m_handler;
    Waker m_waker;
};

} // namespace tessel
