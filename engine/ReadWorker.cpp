#include "engine/ReadWorker.h"

#include "engine/EngineContext.h"
#include "engine/ThreadPriority.h"

#include <algorithm>

namespace tessel {

bool EntryCue::operator==(const EntryCue& other) const {
    return std::equal(order.begin(), order.end(), other.order.begin(), other.order.end(),
                      [](const Entry& a, const Entry& b) {
                          return a.id == b.id && a.path == b.path && a.range == b.range &&
                                 a.gain == b.gain;
                      });
}

CReadWorker::CReadWorker(CAudioFileReader& reader, CChunkStore& store,
                         std::function<void()> onReport)
    : m_reader(reader), m_store(store), m_onReport(std::move(onReport)) {
    m_reader.SetEndOfStreamHandler([this] { MoveOnAtEnd(); });
    m_thread = StartWorker(+1, [this] { Run(); });
}

CReadWorker::~CReadWorker() {
    Quit();
    m_reader.SetEndOfStreamHandler(nullptr);
}

uint64_t CReadWorker::Submit(ReadJob job) {
    uint64_t number = 0;
    {
        std::lock_guard<std::mutex> lock(m_jobLock);
        m_job = std::move(job);
        number = m_jobNumber.load(std::memory_order_relaxed) + 1;
        // Under the lock, so the worker never pairs a number with another job.
        m_jobNumber.store(number, std::memory_order_release);
    }
    m_wake.Set();
    return number;
}

void CReadWorker::Wake() {
    m_wake.Set();
}

void CReadWorker::SetCue(EntryCue cue) {
    std::lock_guard<std::mutex> lock(m_cueLock);
    m_cue = std::move(cue);
}

std::vector<ReadReport> CReadWorker::TakeReports() {
    std::lock_guard<std::mutex> lock(m_reportLock);
    std::vector<ReadReport> taken(std::make_move_iterator(m_reports.begin()),
                                  std::make_move_iterator(m_reports.end()));
    m_reports.clear();
    return taken;
}

void CReadWorker::Quit() {
    if (!m_thread.joinable())
        return;
    m_quit.store(true, std::memory_order_release);
    m_wake.Set();
    m_thread.join();
}

void CReadWorker::Report(ReadReport report) {
    {
        std::lock_guard<std::mutex> lock(m_reportLock);
        m_reports.push_back(std::move(report));
    }
    if (m_onReport)
        m_onReport();
}

bool CReadWorker::Superseded(uint64_t number) const {
    return m_quit.load(std::memory_order_acquire) ||
           m_jobNumber.load(std::memory_order_acquire) != number;
}

OpenedTrack CReadWorker::Describe(EntryId entry) const {
    OpenedTrack track;
    track.entry = entry;
    track.path = m_reader.GetFileName();
    track.range = m_reader.GetRange();
    track.sheetGain = m_entryGain;
    track.title = m_reader.GetTitle();
    track.lengthSeconds = m_reader.GetDurationSeconds();
    track.serial = m_reader.GetOpenSerial();
    track.sampleRate = m_reader.GetSampleRate();
    return track;
}

void CReadWorker::Run() {
    uint64_t seen = 0;
    while (!m_quit.load(std::memory_order_acquire)) {
        m_wake.Wait();
        if (m_quit.load(std::memory_order_acquire))
            break;
        const uint64_t number = m_jobNumber.load(std::memory_order_acquire);
        if (number != seen) {
            seen = number;
            ReadJob job;
            {
                std::lock_guard<std::mutex> lock(m_jobLock);
                job = m_job;
            }
            RunJob(job, number);
        }
        if (m_running != 0)
            ReadWhileRoom(m_running);
    }
}

void CReadWorker::RunJob(const ReadJob& job, uint64_t number) {
    m_running = 0;
    m_primed = false;
    m_chunksThisJob = 0;
    m_ended.store(false, std::memory_order_release);
    m_store.Reset();
    SetCurrentThreadPriority(+1);
    if (job.kind == ReadJob::Kind::Release) {
        m_reader.Close();
        return;
    }
    m_entryGain = job.gain;
    if (!OpenOrPosition(job, number)) {
        // Nothing more will come of this job: the data ends here.
        m_ended.store(true, std::memory_order_release);
        return;
    }
    m_running = number;
    m_readingEntry = job.entry;
}

bool CReadWorker::OpenOrPosition(const ReadJob& job, uint64_t number) {
    const bool reopen = job.kind == ReadJob::Kind::Open || !m_reader.IsOpen() ||
                        m_reader.GetOpenSerial() != job.serial;
    if (reopen && m_reader.Open(job.path, job.range) != 0) {
        ReadReport failed{ReadReport::Kind::OpenFailed, number, {}};
        failed.track.entry = job.entry;
        failed.track.path = job.path;
        failed.track.range = job.range;
        Report(std::move(failed));
        return false;
    }
    if (job.kind == ReadJob::Kind::ReadFrom)
        m_reader.SeekToFrame(job.frame);
    Report({ReadReport::Kind::Opened, number, Describe(job.entry)});
    return true;
}

void CReadWorker::ReadWhileRoom(uint64_t number) {
    for (;;) {
        if (Superseded(number))
            return;
        const int slot = m_store.m_writeIndex;
        if (m_store.IsInUse(slot))
            return; // full: the output wakes us when it has taken some
        uint32_t bytes = 0;
        bool endOfStream = false;
        if (m_reader.ReadChunk(m_store.SlotData(slot), bytes, endOfStream) != 0) {
            // A closed reader will never deliver again: that is the end of
            // this job's data, not a passing failure.
            endOfStream = true;
            bytes = 0;
        }
        if (bytes > 0) {
            const uint64_t serial = m_reader.GetOpenSerial();
            if (serial != m_gainSerial) {
                m_gainSerial = serial;
                m_gain = m_entryGain.Empty() ? m_reader.GetReplayGain() : m_entryGain;
            }
            m_store.Publish(m_reader.GetFileName(), serial, m_reader.GetPositionFrames(), bytes,
                            m_gain);
            m_store.AdvanceWrite();
        }
        ++m_chunksThisJob;
        if (endOfStream) {
            // After the last chunk is stored: the output, seeing the end,
            // then marks it after that chunk rather than waiting for more.
            m_ended.store(true, std::memory_order_release);
            m_running = 0;
        }
        if (!m_primed && (endOfStream || m_chunksThisJob >= kReadAheadChunks)) {
            m_primed = true;
            Report({ReadReport::Kind::Primed, number, {}});
            // The read-ahead is in; the rest only has to keep pace.
            SetCurrentThreadPriority(-1);
        }
        if (endOfStream)
            return;
    }
}

void CReadWorker::MoveOnAtEnd() {
    // Runs inside ReadChunk on this thread. A replaced job moves on to
    // nothing: its track's end is not where playback goes on.
    const uint64_t number = m_jobNumber.load(std::memory_order_acquire);
    if (m_running == 0 || Superseded(m_running) || number != m_running)
        return;
    EntryCue cue;
    {
        std::lock_guard<std::mutex> lock(m_cueLock);
        cue = m_cue;
    }
    auto at = std::find_if(cue.order.begin(), cue.order.end(),
                           [this](const EntryCue::Entry& e) { return e.id == m_readingEntry; });
    if (at == cue.order.end())
        return;
    for (++at; at != cue.order.end(); ++at) {
        m_readingEntry = at->id;
        m_entryGain = at->gain;
        if (m_reader.Open(at->path, at->range) == 0) {
            m_reader.SetContinueAtEnd(true);
            Report({ReadReport::Kind::HandedOver, number, Describe(at->id)});
            return;
        }
        ReadReport unreadable{ReadReport::Kind::Unreadable, number, {}};
        unreadable.track.entry = at->id;
        unreadable.track.path = at->path;
        unreadable.track.range = at->range;
        Report(std::move(unreadable));
    }
}

} // namespace tessel
