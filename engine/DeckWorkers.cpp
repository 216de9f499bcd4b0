// The deck's two workers, the messages that come back from them, and the
// shutdown.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

namespace tessel {

CDeck::CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
             CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host)
    : m_engine(engine), m_reader(reader), m_output(output), m_store(store), m_analysis(analysis),
      m_playlist(playlist), m_host(host), m_silence(kChunkBytes, 0) {
    m_output.SetNotifyEvent(&m_engine.events.playForwardNotify);
    m_playlist.onPlayLoadedEntry = [this](int /*deck*/) { PlayLoadedEntry(); };
    m_timeText = FormatTime(0);
    m_worker = std::make_unique<CReadWorker>(m_reader, m_store,
                                             [this] { m_engine.channel.Post(kMsgReadReport); });
    m_forwarder = StartWorker(+2, [this] { ForwardNotifications(); });
}

CDeck::~CDeck() {
    Shutdown();
    m_playlist.onPlayLoadedEntry = nullptr;
}

void CDeck::ForwardNotifications() {
    CEvent& notify = m_engine.events.playForwardNotify;
    for (;;) {
        notify.Wait();
        notify.Reset();
        if (m_quitForwarder.load(std::memory_order_acquire))
            return;
        // One message at a time: the deck looks at the cursor when it handles
        // it, which covers every notification signalled before.
        if (!m_notifyPending.exchange(true, std::memory_order_acq_rel))
            m_engine.channel.Post(kMsgPlayForwardNotify);
    }
}

bool CDeck::HandleMessage(const Message& message) {
    switch (message.id) {
    case kMsgReadReport:
        OnReadReports();
        return true;
    case kMsgPlayForwardNotify:
        OnPlayForwardNotify();
        m_output.NotificationHandled();
        RunQueue();
        return true;
    case kMsgPlayLoadedEntry:
        PlayLoadedEntry();
        return true;
    case kMsgFfwdPressed:
        OnFastForwardPressed();
        return true;
    case kMsgFfwdReleased:
        OnFastForwardReleased();
        return true;
    case kMsgRwndPressed:
        OnRewindPressed();
        return true;
    case kMsgRwndReleased:
        OnRewindReleased();
        return true;
    case kMsgPositionSliderGrabbed:
        OnPositionSliderGrabbed();
        return true;
    default:
        return false;
    }
}

void CDeck::Shutdown() {
    if (m_state == State::ShutDown)
        return;
    // First: whatever arrives from here on is dropped.
    EnterState(State::ShutDown);
    m_queue.clear();
    m_raisedByCommand.clear();
    for (int timer : {kTimerFastForward, kTimerStopRamp, kTimerRewind, kTimerLengthDisplay})
        m_engine.Loop().StopTimer(timer);
    m_output.StopForward();
    m_host.ShowLevel(0);
    // Neither worker ever waits for this thread, so both end within a chunk.
    m_worker->Quit();
    m_quitForwarder.store(true, std::memory_order_release);
    m_engine.events.playForwardNotify.Set();
    if (m_forwarder.joinable())
        m_forwarder.join();
    m_reader.Close();
}

} // namespace tessel
