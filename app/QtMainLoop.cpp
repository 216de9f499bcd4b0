#include "app/QtMainLoop.h"

#include "engine/MessageChannel.h"

#include <QCoreApplication>
#include <QTimer>

namespace tessel {

CQtMainLoop::CQtMainLoop() = default;

CQtMainLoop::~CQtMainLoop() {
    DisconnectChannel();
}

void CQtMainLoop::StartTimer(int id, int periodMs, std::function<void()> onTick) {
    Timer& entry = m_timers[id];
    if (!entry.timer) {
        entry.timer = new QTimer(&m_context);
        // Fast wind ticks at 200 ms; coarse timers would stretch it.
        entry.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(entry.timer, &QTimer::timeout, &m_context, [this, id] {
            auto it = m_timers.find(id);
            if (it == m_timers.end() || !it->second.timer->isActive())
                return;
            // A copy: the tick may restart this timer with a new callback.
            const std::function<void()> tick = it->second.onTick;
            if (tick)
                tick();
        });
    }
    entry.onTick = std::move(onTick);
    entry.timer->start(periodMs);
}

void CQtMainLoop::StopTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second.timer->stop();
}

bool CQtMainLoop::IsTimerRunning(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second.timer->isActive();
}

void CQtMainLoop::ConnectChannel(CMessageChannel& channel) {
    m_channel = &channel;
    // The queued call belongs to m_context: Qt drops it if the loop is gone
    // before it runs, so capturing `this` is safe.
    channel.SetWaker([this] {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                if (m_channel)
                    m_channel->DispatchAll();
            },
            Qt::QueuedConnection);
    });
}

void CQtMainLoop::DisconnectChannel() {
    if (m_channel)
        m_channel->SetWaker(nullptr);
    m_channel = nullptr;
}

} // namespace tessel
