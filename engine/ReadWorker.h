// The one read worker: opens, positions and decodes the playback reader into
// the chunk store, and at the end of a track moves on by itself to the entry
// the deck has cued, in the same chunk, so the seam has no gap and needs no
// round trip through the main thread.
//
// The main thread hands it jobs (open a track, read again from a frame, let
// go of the track); a new job replaces whatever the worker was doing at the
// next chunk. What happens is told back as typed reports, each carrying the
// job it belongs to, so the deck can pass over the reports of a job it has
// replaced. The worker never waits for the main thread.
//
// Threads:
//  - main thread: Submit, Wake, SetCue, TakeReports, Quit, and the
//    constructor and destructor.
//  - the worker thread: the reader (every call but the thread-safe queries)
//    and the store's write side while a job runs. The main thread touches
//    the store's read side only while the output plays, and submits jobs
//    only while it does not, so the two never meet in the store.
//  - shared: the job slot, the cue and the reports, each under its mutex;
//    m_ended (release when the job's last chunk is stored).
#pragma once

#include "core/Event.h"
#include "core/ReplayGainValues.h"
#include "core/TrackRange.h"
#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "playlist/TrackList.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessel {

// What the deck needs to know of a track the reader has opened.
struct OpenedTrack {
    EntryId entry = 0;
    std::string path;
    TrackRange range;
    ReplayGainValues sheetGain; // as ReadJob's gain
    std::string title;
    double lengthSeconds = 0.0;
    uint64_t serial = 0; // the reader's open serial: one play of one file
    int32_t sampleRate = 0;
};

struct ReadJob {
    enum class Kind { Open, ReadFrom, Release };
    Kind kind = Kind::Open;
    EntryId entry = 0;
    std::string path;
    TrackRange range;
    ReplayGainValues gain; // a sheet's, which wins over the file's tags; empty for none
    // ReadFrom: the frame to read on from, and the open the deck knows the
    // reader by; another one (the reader moved on, or closed at the end)
    // means the track is opened again first.
    int64_t frame = 0;
    uint64_t serial = 0;
};

struct ReadReport {
    enum class Kind {
        Opened,     // track: the job's track is open (ReadFrom: at its frame)
        OpenFailed, // the job's track would not open
        Primed,     // the read-ahead is in (or the track ended before it)
        HandedOver, // track: the reader moved on to the cued entry
        Unreadable, // track.entry: a cued entry that would not open, passed over
    };
    Kind kind = Kind::Opened;
    uint64_t job = 0;
    OpenedTrack track;
};

// The entries that follow the one being read, in play order.
struct EntryCue {
    struct Entry {
        EntryId id = 0;
        std::string path;
        TrackRange range;
        ReplayGainValues gain; // as ReadJob's
    };
    std::vector<Entry> order; // starts with the entry the deck last knew the reader in
    bool operator==(const EntryCue& other) const;
};

class CReadWorker {
  public:
    // The store's read-ahead that makes a job's track playable.
    static constexpr int kReadAheadChunks = 51;

    // `onReport` runs on the worker thread after a report is queued (the
    // deck posts a message to itself there).
    CReadWorker(CAudioFileReader& reader, CChunkStore& store, std::function<void()> onReport);
    ~CReadWorker();
    CReadWorker(const CReadWorker&) = delete;
    CReadWorker& operator=(const CReadWorker&) = delete;

    // Returns the job's number, which its reports carry.
    uint64_t Submit(ReadJob job);
    // The output took chunks: there is room to read into.
    void Wake();
    void SetCue(EntryCue cue);
    std::vector<ReadReport> TakeReports();
    // True once the current job's track has been read to its end (no further
    // entry to move on to): after the store's last chunk, never before it.
    bool HasEnded() const { return m_ended.load(std::memory_order_acquire); }
    // Ends the worker. It never waits for the main thread, so this returns
    // within one chunk's decoding.
    void Quit();

  private:
    void Run();
    void RunJob(const ReadJob& job, uint64_t number);
    bool OpenOrPosition(const ReadJob& job, uint64_t number);
    void ReadWhileRoom(uint64_t number);
    bool Superseded(uint64_t number) const;
    void MoveOnAtEnd();
    void Report(ReadReport report);
    OpenedTrack Describe(EntryId entry) const;

    CAudioFileReader& m_reader;
    CChunkStore& m_store;
    std::function<void()> m_onReport;
    CEvent m_wake{false, false, "Read Worker Wake"};

    std::mutex m_jobLock;
    ReadJob m_job;
    std::atomic<uint64_t> m_jobNumber{0}; // the latest job submitted
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_ended{false};

    std::mutex m_cueLock;
    EntryCue m_cue;

    std::mutex m_reportLock;
    std::deque<ReadReport> m_reports;

    // Worker thread only.
    uint64_t m_running = 0; // the job being read, 0 for none
    EntryId m_readingEntry = 0;
    bool m_primed = false;
    int m_chunksThisJob = 0;
    uint64_t m_gainSerial = 0; // the open whose values m_gain holds
    ReplayGainValues m_gain;
    ReplayGainValues m_entryGain; // the entry being read's own values, if any

    std::thread m_thread;
};

} // namespace tessel
