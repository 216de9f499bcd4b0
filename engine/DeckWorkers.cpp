// The deck's parts and workers, the messages that come back from them, and
// the shutdown.
#include "engine/Deck.h"

namespace tessel {

CDeck::CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
             CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host)
    : m_engine(engine), m_reader(reader), m_output(output), m_playlist(playlist), m_host(host),
      m_worker(std::make_unique<CReadWorker>(
          reader, store, [this] { m_engine.channel.Post(AppMessage::ReadReport); })),
      m_streamer(output, store, analysis, *m_worker), m_handOver(playlist, *m_worker) {
    m_output.SetNotifyEvent(&m_engine.events.playForwardNotify);
    m_playlist.onPlayLoadedEntry = [this] { PlayLoadedEntry(); };
    m_forwarder = std::make_unique<CNotifyForwarder>(
        m_engine.events.playForwardNotify, m_engine.channel, AppMessage::PlayForwardNotify);
}

CDeck::~CDeck() {
    Shutdown();
    m_playlist.onPlayLoadedEntry = nullptr;
}

bool CDeck::HandleMessage(const Message& message) {
    switch (message.kind) {
    case AppMessage::ReadReport:
        OnReadReports();
        return true;
    case AppMessage::PlayForwardNotify:
        m_forwarder->Handled();
        OnPlayForwardNotify();
        m_output.NotificationHandled();
        RunQueue();
        return true;
    default:
        return false;
    }
}

void CDeck::Shutdown() {
    if (m_state.Get() == State::ShutDown)
        return;
    // First: whatever arrives from here on is dropped.
    EnterState(State::ShutDown);
    m_commands.Clear();
    for (int timer : {kTimerFastForward, kTimerStopRamp, kTimerRewind, kTimerIdleRelease})
        m_engine.Loop().StopTimer(timer);
    m_output.StopForward();
    m_host.ShowLevel(0);
    // Neither worker ever waits for this thread, so both end within a chunk.
    m_worker->Quit();
    m_forwarder->Stop();
    m_reader.Close();
}

} // namespace tessel
