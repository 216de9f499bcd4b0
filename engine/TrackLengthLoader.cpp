#include "engine/TrackLengthLoader.h"

#include "decode/AudioFileReader.h"

namespace tessel {

void CTrackLengthLoader::Start() {
    if (m_thread.joinable())
        return;
    m_engine.events.trackLengthLoadThreadIsDone.Reset();
    m_engine.g_trackLengthRun.exchange(1);
    m_thread = StartWorker(-1, [this] { TrackLengthLoadProcess(); });
}

void CTrackLengthLoader::Stop() {
    if (!m_thread.joinable())
        return;
    m_engine.g_trackLengthRun.exchange(0);
    m_engine.events.trackLengthLoad.Set();
    m_engine.WaitPumping(m_engine.events.trackLengthLoadThreadIsDone);
    m_thread.join();
}

bool CTrackLengthLoader::Request(const std::string& path) {
    if (!m_thread.joinable() || IsBusy())
        return false;
    m_requestPath = path;
    m_engine.events.trackLengthLoad.Set();
    return true;
}

void CTrackLengthLoader::TrackLengthLoadProcess() {
    while (m_engine.g_trackLengthRun.load() != 0) {
        m_engine.events.trackLengthLoad.Wait();
        m_engine.g_trackLengthBusy.exchange(1);
        if (m_engine.g_trackLengthRun.load() == 0)
            break;
        {
            CAudioFileReader reader;
            if (reader.Open(m_requestPath) == 0) {
                m_answerTag = reader.GetTitle();
                m_answerLength = reader.GetDurationSeconds();
                reader.Close();
            } else {
                m_answerLength = -1.0;
            }
        }
        m_engine.channel.Send(kMsgTrackLengthLoaded);
        m_engine.g_trackLengthBusy.exchange(0);
    }
    m_engine.g_trackLengthBusy.exchange(0);
    m_engine.events.trackLengthLoadThreadIsDone.Set();
}

} // namespace tessel
