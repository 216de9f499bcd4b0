// The engine's main loop on Qt: timers are QTimers, and a message queued on the channel from any
// thread wakes the GUI thread with a queued call that dispatches it there.
//
// Threads: everything runs on the GUI thread except the waker, which the
// channel calls from whichever thread queued a message.
#pragma once

#include "engine/MainLoop.h"

#include <QObject>

#include <functional>
#include <map>

class QTimer;

namespace tessel {

class CMessageChannel;

class CQtMainLoop : public IMainLoop {
  public:
    CQtMainLoop();
    ~CQtMainLoop() override;
    CQtMainLoop(const CQtMainLoop&) = delete;
    CQtMainLoop& operator=(const CQtMainLoop&) = delete;

    void StartTimer(int id, int periodMs, std::function<void()> onTick) override;
    void StopTimer(int id) override;
    bool IsTimerRunning(int id) const;

    // From now on a message queued on `channel` is dispatched on this thread
    // by Qt's event loop. The channel must outlive the connection: call
    // DisconnectChannel (after the workers are gone) before destroying it.
    void ConnectChannel(CMessageChannel& channel);
    void DisconnectChannel();

  private:
    struct Timer {
        QTimer* timer = nullptr;
        std::function<void()> onTick;
    };

    // Parent of the timers and target of the waker's queued calls; lives as
    // long as the loop, so a late waker call never reaches a dead object.
    QObject m_context;
    std::map<int, Timer> m_timers;
    CMessageChannel* m_channel = nullptr;
};

} // namespace tessel
