// Measures playlist entries in the background, one file at a time on
// request, with a reader of its own: the length and the title tag.
//
// Threads: Start, Stop and Request run on the main thread. The worker owns
// its reader; it reads the request path after it has set the busy flag, and
// the main thread writes a request only while that flag is 0. The answer is
// delivered by a synchronous message, so the main thread reads the answer
// slots (in its handler) before the worker can write them again.
#pragma once

#include "engine/EngineContext.h"

#include <string>
#include <thread>

namespace tessel {

class CTrackLengthLoader {
  public:
    explicit CTrackLengthLoader(CEngineContext& engine) : m_engine(engine) {}
    ~CTrackLengthLoader() { Stop(); }
    CTrackLengthLoader(const CTrackLengthLoader&) = delete;
    CTrackLengthLoader& operator=(const CTrackLengthLoader&) = delete;

    void Start();
    // Ends the worker; a measurement in progress finishes first. The main
    // thread keeps serving messages meanwhile, so the worker's answer to it
    // cannot block the stop.
    void Stop();
    bool IsBusy() const { return m_engine.g_trackLengthBusy.load() != 0; }
    // False (and nothing asked) while the worker is busy.
    bool Request(const std::string& path);

    // The last answer, for the handler of the length-loaded message.
    const std::string& RequestPath() const { return m_requestPath; }
    const std::string& AnswerTag() const { return m_answerTag; }
    double AnswerLength() const { return m_answerLength; }

  private:
    void TrackLengthLoadProcess();

    CEngineContext& m_engine;
    std::thread m_thread;
    std::string m_requestPath;
    std::string m_answerTag;
    double m_answerLength = -1.0;
};

} // namespace tessel
