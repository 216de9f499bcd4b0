#include "decode/LatestJobThread.h"

namespace tessel {

CLatestJobThread::CLatestJobThread() : m_thread([this] { Run(); }) {}

CLatestJobThread::~CLatestJobThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting = nullptr;
    }
    m_wake.notify_one();
    m_thread.join();
}

uint64_t CLatestJobThread::Post(Job job) {
    uint64_t number = 0;
    {
        std::lock_guard lock(m_mutex);
        number = ++m_latest;
        m_waiting = [job = std::move(job), number] { job(number); };
    }
    m_wake.notify_one();
    return number;
}

bool CLatestJobThread::IsLatest(uint64_t number) const {
    std::lock_guard lock(m_mutex);
    return number == m_latest;
}

void CLatestJobThread::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_waiting; });
        if (m_stopping)
            return;
        std::function<void()> job = std::move(m_waiting);
        m_waiting = nullptr;
        lock.unlock();
        job();
        // The job's own captures (a path, a callback) go outside the lock.
        job = nullptr;
        lock.lock();
    }
}

} // namespace tessel
