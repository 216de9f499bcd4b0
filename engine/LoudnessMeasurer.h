// Measures, in the background, the loudness of files whose tags carry no
// ReplayGain gain, album by album (the files that share a folder and an
// album tag), and gives back the ReplayGain values the figures make. The
// loudness cache keeps every figure between runs, so a file is decoded once
// for as long as it stays unchanged.
//
// Threads: the main thread calls every member; the worker (lowest priority)
// runs Work.
//  - m_lock guards m_wanted, m_results and m_stopping; the worker holds it
//    only to take files or to hand results over, never while it reads one.
//  - m_cancel is raised by Stop and polled by the scan between packets, so
//    stopping never waits for a long album to finish.
//  - The worker posts AppMessage::LoudnessMeasured after adding results and
//    never waits for the main thread; the cache is the worker's alone while
//    it runs.
#pragma once

#include "core/ReplayGainValues.h"
#include "decode/LoudnessCache.h"
#include "engine/MessageChannel.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessel {

class CTrackList;

struct LoudnessCandidate {
    std::string path;
    std::string album; // the album tag; "" groups by the folder alone
};

struct MeasuredGain {
    std::string path;
    ReplayGainValues gain;
};

class CLoudnessMeasurer {
  public:
    CLoudnessMeasurer(CMessageChannel& channel, std::filesystem::path cacheFile)
        : m_channel(channel), m_cacheFile(std::move(cacheFile)) {}
    ~CLoudnessMeasurer() { Stop(); }
    CLoudnessMeasurer(const CLoudnessMeasurer&) = delete;
    CLoudnessMeasurer& operator=(const CLoudnessMeasurer&) = delete;

    void Start();
    // Ends the scan in progress without keeping any part of it, saves what
    // was measured, and joins the worker. Files not yet measured are dropped.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // Files to look at, after those already waiting. A file looked at since
    // Start is passed over at once, so the whole list may be handed again
    // after every change. Tagged and unreadable files give no result.
    void Measure(std::vector<LoudnessCandidate> files);
    // In the handler of AppMessage::LoudnessMeasured.
    std::vector<MeasuredGain> TakeResults();

  private:
    void Work();
    std::vector<LoudnessCandidate> TakeWanted();
    void MeasureAlbums(const std::vector<LoudnessCandidate>& untagged, CLoudnessCache& cache,
                       bool keep);

    CMessageChannel& m_channel;
    const std::filesystem::path m_cacheFile;
    std::thread m_thread;
    ScanCancel m_cancel{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::vector<LoudnessCandidate> m_wanted;
    std::vector<MeasuredGain> m_results;
};

// The files of rows first .. first + count - 1 worth looking at: readable,
// without sheet values of their own, each path once. A long list is handed
// over in slices, so the main thread is never held for long.
std::vector<LoudnessCandidate> LoudnessCandidates(const CTrackList& tracks, int first, int count);
// Puts measured values where the list's entries find them.
void ApplyMeasuredGains(CTrackList& tracks, const std::vector<MeasuredGain>& gains);

} // namespace tessel
