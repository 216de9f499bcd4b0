#include "engine/TrackLengthLoader.h"

#include "decode/TrackProbe.h"
#include "engine/FileParts.h"

namespace tessel {

void CTrackLengthLoader::Start() {
    if (m_thread.joinable())
        return;
    m_engine.g_trackLengthBusy.store(0, std::memory_order_release);
    m_answerPending.store(false, std::memory_order_relaxed);
    m_engine.g_trackLengthRun.exchange(1);
    m_thread = StartWorker(-1, [this] { TrackLengthLoadProcess(); });
}

void CTrackLengthLoader::Stop() {
    if (!m_thread.joinable())
        return;
    m_engine.g_trackLengthRun.exchange(0);
    m_engine.events.trackLengthLoad.Set();
    // The worker only posts: it ends after the file it is reading, if any.
    m_thread.join();
    m_engine.g_trackLengthBusy.store(0, std::memory_order_release);
}

bool CTrackLengthLoader::Request(const std::string& path, LengthDepth depth) {
    if (!m_thread.joinable())
        return false;
    int32_t idle = 0;
    if (!m_engine.g_trackLengthBusy.compare_exchange_strong(idle, 1, std::memory_order_acq_rel))
        return false;
    m_requestPath = path;
    m_requestDepth = depth;
    m_engine.events.trackLengthLoad.Set();
    return true;
}

TrackLengthAnswer CTrackLengthLoader::TakeAnswer() {
    if (!m_answerPending.exchange(false, std::memory_order_acq_rel))
        return {};
    TrackLengthAnswer answer = std::move(m_answer);
    m_engine.g_trackLengthBusy.store(0, std::memory_order_release);
    return answer;
}

void CTrackLengthLoader::TrackLengthLoadProcess() {
    for (;;) {
        m_engine.events.trackLengthLoad.Wait();
        if (m_engine.g_trackLengthRun.load() == 0)
            break;
        // A wake-up without a request (a stop that was taken back) measures nothing.
        if (m_engine.g_trackLengthBusy.load(std::memory_order_acquire) == 0)
            continue;
        TrackLengthAnswer answer;
        answer.path = m_requestPath;
        answer.depth = m_requestDepth;
        const TrackFacts facts =
            ProbeTrack(answer.path, answer.depth == LengthDepth::Count ? ProbeDepth::Packets
                                                                       : ProbeDepth::Headers);
        if (facts.readable) {
            answer.tag = facts.title;
            answer.tags = facts.tags;
            answer.tags.title = facts.title;
            answer.length = facts.seconds;
            answer.estimated = facts.estimated;
            answer.chapters = ChapterParts(facts.chapters);
        }
        m_answer = std::move(answer);
        m_answerPending.store(true, std::memory_order_release);
        m_engine.channel.Post(AppMessage::TrackLengthLoaded);
    }
}

} // namespace tessel
