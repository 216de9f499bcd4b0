// Measures playlist entries in the background, one file at a time on
// request, with a reader of its own: the length and the title tag.
//
// Threads: Start, Stop, Request, TakeAnswer and IsBusy run on the main
// thread; TrackLengthLoadProcess is the worker.
//  - The busy flag (g_trackLengthBusy) is raised by Request itself, by a
//    compare-and-swap from 0 to 1, before it writes the request slots; while
//    it is 1 the main thread never writes them. The worker reads them after
//    its wake-up event (set with release, waited with acquire).
//  - The worker writes the answer slots, marks the answer pending (release)
//    and posts AppMessage::TrackLengthLoaded; it never waits for the main thread.
//    The handler takes the pending mark (exchange) through TakeAnswer and
//    lowers the busy flag, so it can ask for the next file at once.
//  - The answer slots are rewritten only for the next request, which cannot
//    be made before the answer was taken.
#pragma once

#include "engine/EngineContext.h"
#include "playlist/Playlist.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tessel {

enum class LengthDepth {
    Headers, // what the file's headers say; an estimate from the bitrate when nothing
    Count,   // counted through every packet: for a file whose length was estimated
};

struct TrackLengthAnswer {
    std::string path;     // the file measured
    std::string tag;      // its title tag; empty when it has none or cannot be read
    TrackTags tags;       // all its tags, the title as `tag`; empty when it cannot be read
    double length = -1.0; // seconds; -1.0 when it cannot be read
    bool estimated = false;
    LengthDepth depth = LengthDepth::Headers;
    std::vector<FilePart> chapters; // two or more, else none
};

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
    bool IsRunning() const { return m_thread.joinable(); }
    bool IsBusy() const { return m_engine.g_trackLengthBusy.load(std::memory_order_acquire) != 0; }
    // False, and nothing asked, while the worker is busy or stopped.
    bool Request(const std::string& path, LengthDepth depth = LengthDepth::Headers);

    // In the handler of AppMessage::TrackLengthLoaded: the answer, and the worker
    // free for the next request. Empty path when there is no answer to take.
    TrackLengthAnswer TakeAnswer();

  private:
    void TrackLengthLoadProcess();

    CEngineContext& m_engine;
    std::thread m_thread;
    // Request slots: main thread writes while busy is 0 -> 1, worker reads.
    std::string m_requestPath;
    LengthDepth m_requestDepth = LengthDepth::Headers;
    // Answer slots: worker writes before raising m_answerPending.
    TrackLengthAnswer m_answer;
    std::atomic<bool> m_answerPending{false};
};

} // namespace tessel
