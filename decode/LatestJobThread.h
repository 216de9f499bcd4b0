// A worker thread for reads whose answer only matters while it is the latest
// one asked for: the cover of the track now loaded, the facts of the row the
// user looks at. A job posted while an older one still waits replaces it, so
// a quick run of track changes reads one file, not each; a job already
// running asks IsLatest before it hands on what it found.
//
// Threads: Post and IsLatest from any thread. Jobs run one at a time on the
// worker's own thread. The destructor drops a waiting job, waits for the
// running one, and joins.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tessel {

class CLatestJobThread {
  public:
    // The job's number, to ask IsLatest with.
    using Job = std::function<void(uint64_t number)>;

    CLatestJobThread();
    ~CLatestJobThread();
    CLatestJobThread(const CLatestJobThread&) = delete;
    CLatestJobThread& operator=(const CLatestJobThread&) = delete;

    // Numbers start at 1 and rise with each post.
    uint64_t Post(Job job);
    // No job was posted after this one.
    bool IsLatest(uint64_t number) const;

  private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_waiting; // guarded by m_mutex; the number bound in
    uint64_t m_latest = 0;           // guarded by m_mutex
    bool m_stopping = false;         // guarded by m_mutex
    std::thread m_thread;            // last: starts once the rest is built
};

} // namespace tessel
