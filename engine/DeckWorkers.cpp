// The deck's workers: file open, forward read, play-forward notification;
// starting, stopping and waiting for them.
#include "engine/Deck.h"

#include "engine/FormatTime.h"
#include "engine/ThreadPriority.h"

namespace tessel {

CDeck::CDeck(CEngineContext& engine, CAudioFileReader& reader, CSoundOutput& output,
             CChunkStore& store, CAnalysisRing& analysis, CPlaylist& playlist, IDeckHost& host)
    : m_engine(engine), m_reader(reader), m_output(output), m_store(store), m_analysis(analysis),
      m_playlist(playlist), m_host(host), m_silence(kChunkBytes, 0) {
    m_reader.SetEndOfStreamHandler([this] { m_engine.channel.Send(kMsgReaderEndOfStream); });
    m_output.SetNotifyEvent(&m_engine.events.playForwardNotify);
    // A ramp wait is a wait of the deck: commands arriving in it are queued.
    m_output.SetWaitPump([this] {
        ++m_waitDepth;
        m_engine.Loop().PumpHostEvents();
        m_engine.channel.DispatchOne();
        --m_waitDepth;
    });
    m_playlist.onPlayLoadedEntry = [this](int /*deck*/) { PlayLoadedEntry(); };
    m_timeText = FormatTime(0);
}

CDeck::~CDeck() {
    Shutdown();
    m_reader.SetEndOfStreamHandler(nullptr);
    m_output.SetWaitPump(nullptr);
    m_playlist.onPlayLoadedEntry = nullptr;
}

void CDeck::WaitPumping(CEvent& event) {
    ++m_waitDepth;
    m_engine.WaitPumping(event);
    --m_waitDepth;
}

void CDeck::OpenOnFileOpenWorker(const std::string& path) {
    m_engine.events.fileOpenIsDone.Reset();
    std::thread worker = StartWorker(0, [this, path] {
        m_reader.Open(path);
        m_engine.events.fileOpenIsDone.Set();
    });
    WaitPumping(m_engine.events.fileOpenIsDone);
    worker.join();
}

void CDeck::ThreadReadFileStart() {
    if (m_readThread.joinable()) {
        // The previous run ended by itself at the end of its stream.
        m_engine.g_readRun.exchange(0);
        m_engine.events.discReadForward.Set();
        WaitPumping(m_engine.events.threadFileReadForwardIsDone);
        m_readThread.join();
    }
    // Published before the thread runs, so a stop that comes at once finds
    // the worker running and waits for it.
    m_engine.events.threadFileReadForwardIsDone.Reset();
    m_readEnded.store(false, std::memory_order_release);
    const uint64_t generation = m_readGeneration.fetch_add(1) + 1;
    m_engine.g_readRun.exchange(1);
    m_lowerReadPriority.store(false);
    m_readThread = StartWorker(+1, [this, generation] { FileReadForwardProcess(generation); });
}

void CDeck::ThreadReadFileStop() {
    if (m_engine.g_readRun.load() == 0)
        return;
    m_engine.events.deckReadyToPlay.Reset();
    // Whatever the stopping worker still sends is stale from here on.
    m_readGeneration.fetch_add(1);
    m_engine.g_readRun.exchange(0);
    m_engine.events.discReadForward.Set();
    WaitPumping(m_engine.events.threadFileReadForwardIsDone);
    if (m_readThread.joinable())
        m_readThread.join();
    m_host.SetTransportEnabled(false);
}

void CDeck::FileReadForwardProcess(uint64_t generation) {
    auto& events = m_engine.events;
    m_store.Reset();
    bool firstBatchDone = false;
    events.discReadForward.Set();
    bool ended = false;
    while (!ended && m_engine.g_readRun.load() != 0) {
        events.discReadForward.Wait();
        // Taken now rather than after each chunk: a wake-up that comes while
        // the batch is read starts another batch. Dropping it would leave a
        // worker asleep beside a store the output is emptying, whenever
        // decoding is slower than playing (a slow disk, or offline rendering).
        events.discReadForward.Reset();
        if (m_engine.g_readRun.load() == 0)
            break;
        int freeSlots = 0;
        for (int i = 0; i < CChunkStore::kSlots; ++i)
            freeSlots += m_store.IsInUse(i) ? 0 : 1;
        for (int j = 0; j < freeSlots; ++j) {
            if (m_engine.g_readRun.load() == 0) {
                ended = true;
                break;
            }
            uint32_t bytes = 0;
            bool endOfStream = false;
            const int32_t status =
                m_reader.ReadChunk(m_store.SlotData(m_store.m_writeIndex), bytes, endOfStream);
            if (status != 0) {
                // A reader that is closed will never deliver again: that is
                // the end of this run's data, not a passing failure.
                if (!m_reader.IsOpen()) {
                    ended = true;
                    break;
                }
                continue;
            }
            m_store.Publish(m_reader.GetFileName(), m_reader.GetOpenSerial(),
                            m_reader.GetPositionFrames(), bytes);
            if (endOfStream) {
                ended = true;
                break;
            }
            if (!firstBatchDone && j == kReadAheadChunks - 1) {
                m_engine.channel.Send(kMsgReadAheadReady, generation);
                firstBatchDone = true;
                if (m_lowerReadPriority.load())
                    SetCurrentThreadPriority(-1);
            }
            m_store.AdvanceWrite();
        }
    }
    // Before the message below: the output side, priming from a short
    // stream, must see that no more chunks will come, so that it marks the
    // end after them instead of waiting for more.
    m_readEnded.store(true, std::memory_order_release);
    // A stream that ends before the read-ahead point must still become
    // playable.
    if (!firstBatchDone && m_engine.g_readRun.load() != 0)
        m_engine.channel.Send(kMsgReadAheadReady, generation);
    events.threadFileReadForwardIsDone.Set();
}

void CDeck::OnReadAheadReady(uint64_t generation) {
    if (generation != m_readGeneration.load())
        return; // from a worker that has been stopped since
    m_segmentEndMark.fill(false);
    m_segmentTrackSerial.fill(0);
    m_segmentTrackFrame.fill(0);
    AudioOutputOpen();
    m_host.SetTransportEnabled(true);
    m_lowerReadPriority.store(true);
    m_engine.events.deckReadyToPlay.Set();
}

bool CDeck::Play() {
    m_chunksSinceWake = 0;
    m_notifyCount = 0;
    auto& events = m_engine.events;
    if (!events.deckReadyToPlay.IsSet() && m_engine.g_readRun.load() == 0)
        return false; // no read worker runs, so nothing will make the deck ready
    WaitPumping(events.deckReadyToPlay);
    // Where the cursor rests now: 0 in a stream the wait has just opened, the
    // paused position when resuming.
    m_cursorSegment = m_output.GetFramesPlayed() / kChunkFrames;
    if (m_engine.g_playForwardRun.load() != 0)
        return true;
    JoinExitedPlayWorkers(false);
    const uint64_t generation = m_playGeneration.fetch_add(1) + 1;
    events.threadPlayForwardIsDone.Reset();
    events.playForwardNotify.Reset();
    m_engine.g_playForwardRun.exchange(1);
    auto exited = std::make_shared<std::atomic<bool>>(false);
    m_playWorkers.push_back(
        {StartWorker(+2,
                     [this, generation, exited] { PlayForwardNotifyProcess(generation, exited); }),
         exited});
    m_reachedEnd = false;
    // Notifications signalled before this start (a pause stopped their
    // worker) will never be handled; a lockstep clock must not wait for them.
    m_output.NotificationHandled();
    m_output.PlayForward();
    return true;
}

void CDeck::PlayForwardNotifyProcess(uint64_t generation,
                                     std::shared_ptr<std::atomic<bool>> exited) {
    auto& events = m_engine.events;
    // A worker replaced by a restart leaves quietly: the done event belongs
    // to its successor.
    auto current = [&] { return m_playGeneration.load() == generation; };
    while (m_engine.g_playForwardRun.load() != 0 && current()) {
        events.playForwardNotify.Wait();
        if (m_engine.g_playForwardRun.load() == 0 || !current())
            break;
        m_engine.channel.Send(kMsgPlayForwardNotify);
    }
    if (current())
        events.threadPlayForwardIsDone.Set();
    exited->store(true);
}

void CDeck::Stop() {
    m_output.StopForward();
    m_engine.g_playForwardRun.exchange(0);
    m_engine.events.playForwardNotify.Set();
    m_host.ShowLevel(0);
}

void CDeck::StopWait() {
    WaitPumping(m_engine.events.threadPlayForwardIsDone);
    JoinExitedPlayWorkers(false);
}

void CDeck::JoinExitedPlayWorkers(bool waitForAll) {
    for (auto it = m_playWorkers.begin(); it != m_playWorkers.end();) {
        if (waitForAll) {
            // A worker may be inside a send: keep serving the channel.
            while (!it->exited->load()) {
                m_engine.channel.WaitForMessage(std::chrono::milliseconds(1));
                m_engine.channel.DispatchAll();
            }
        }
        if (it->exited->load()) {
            it->thread.join();
            it = m_playWorkers.erase(it);
        } else {
            ++it;
        }
    }
}

void CDeck::Shutdown() {
    if (m_state == State::ShutDown)
        return;
    const bool playing = m_state == State::Playing;
    // First: whatever arrives during the waits below is dropped.
    EnterState(State::ShutDown);
    m_queue.clear();
    for (int timer :
         {kTimerFastForward, kTimerStart, kTimerRewind, kTimerLengthDisplay, kTimerCommands})
        m_engine.Loop().StopTimer(timer);
    if (playing) {
        Stop();
        StopWait();
    }
    ThreadReadFileStop();
    if (m_readThread.joinable()) {
        // Ended by itself at the end of its stream.
        WaitPumping(m_engine.events.threadFileReadForwardIsDone);
        m_readThread.join();
    }
    m_engine.g_playForwardRun.exchange(0);
    m_engine.events.playForwardNotify.Set();
    JoinExitedPlayWorkers(true);
}

} // namespace tessel
