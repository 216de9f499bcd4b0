#include "engine/LoudnessMeasurer.h"

#include "engine/EngineContext.h"
#include "playlist/TrackList.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>
#include <utility>

namespace tessel {

namespace {

// Saving rewrites the whole cache: often enough that a crash loses little,
// seldom enough that a long list does not rewrite it per album.
constexpr auto kSaveEvery = std::chrono::seconds(30);

bool CarriesGain(const ReplayGainValues& values) {
    return values.trackGainDb.has_value() || values.albumGainDb.has_value();
}

} // namespace

void CLoudnessMeasurer::Start() {
    if (m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_lock);
        m_stopping = false;
    }
    m_cancel.store(false, std::memory_order_relaxed);
    m_thread = StartWorker(-2, [this] { Work(); });
}

void CLoudnessMeasurer::Stop() {
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        m_wanted.clear();
    }
    m_cancel.store(true, std::memory_order_relaxed);
    m_wake.notify_one();
    m_thread.join();
}

void CLoudnessMeasurer::Measure(std::vector<LoudnessCandidate> files) {
    if (files.empty())
        return;
    {
        const std::lock_guard lock(m_lock);
        m_wanted.insert(m_wanted.end(), std::make_move_iterator(files.begin()),
                        std::make_move_iterator(files.end()));
    }
    m_wake.notify_one();
}

std::vector<MeasuredGain> CLoudnessMeasurer::TakeResults() {
    const std::lock_guard lock(m_lock);
    return std::exchange(m_results, {});
}

std::vector<LoudnessCandidate> CLoudnessMeasurer::TakeWanted() {
    std::unique_lock lock(m_lock);
    m_wake.wait(lock, [this] { return m_stopping || !m_wanted.empty(); });
    if (m_stopping)
        return {};
    return std::exchange(m_wanted, {});
}

void CLoudnessMeasurer::Work() {
    CLoudnessCache cache(m_cacheFile);
    // A cache that is there but cannot be read is not written over.
    const bool keep = cache.Load();
    std::unordered_set<std::string> lookedAt;
    for (;;) {
        const std::vector<LoudnessCandidate> wanted = TakeWanted();
        if (wanted.empty())
            break;
        std::vector<LoudnessCandidate> untagged;
        for (const LoudnessCandidate& file : wanted) {
            if (m_cancel.load(std::memory_order_relaxed))
                break;
            if (!lookedAt.insert(file.path).second)
                continue;
            const auto tags = ReadFileReplayGain(file.path);
            if (tags && !CarriesGain(*tags))
                untagged.push_back(file);
        }
        MeasureAlbums(untagged, cache, keep);
    }
    if (keep)
        cache.Save();
}

void CLoudnessMeasurer::MeasureAlbums(const std::vector<LoudnessCandidate>& untagged,
                                      CLoudnessCache& cache, bool keep) {
    std::vector<std::string> paths;
    std::vector<std::string> albums;
    for (const LoudnessCandidate& file : untagged) {
        paths.push_back(file.path);
        albums.push_back(file.album);
    }
    auto lastSave = std::chrono::steady_clock::now();
    for (const std::vector<size_t>& album : GroupAlbums(paths, albums)) {
        std::vector<std::string> members;
        for (const size_t i : album)
            members.push_back(paths[i]);
        const AlbumLoudness measured = ScanAlbumLoudnessCached(members, cache, &m_cancel);
        if (m_cancel.load(std::memory_order_relaxed))
            return;
        std::vector<MeasuredGain> gains;
        for (size_t i = 0; i < members.size(); ++i) {
            if (measured.tracks[i])
                gains.push_back(
                    {members[i], ReplayGainFromLoudness(measured.tracks[i], measured.album)});
        }
        if (!gains.empty()) {
            {
                const std::lock_guard lock(m_lock);
                m_results.insert(m_results.end(), gains.begin(), gains.end());
            }
            m_channel.Post(AppMessage::LoudnessMeasured);
        }
        if (keep && std::chrono::steady_clock::now() - lastSave > kSaveEvery) {
            cache.Save();
            lastSave = std::chrono::steady_clock::now();
        }
    }
}

std::vector<LoudnessCandidate> LoudnessCandidates(const CTrackList& tracks, int first, int count) {
    std::vector<LoudnessCandidate> files;
    std::unordered_set<std::string_view> seen;
    const int end = std::min(tracks.GetCount(), first + count);
    for (int row = std::max(0, first); row < end; ++row) {
        const TrackRecord* record = tracks.GetRecord(row);
        // What was measured already is passed over by the worker at once.
        if (record->unreadable || !record->Part().sheetGain.Empty() ||
            !seen.insert(record->trackPath).second)
            continue;
        files.push_back({record->trackPath, record->Tags().album});
    }
    return files;
}

void ApplyMeasuredGains(CTrackList& tracks, const std::vector<MeasuredGain>& gains) {
    for (const MeasuredGain& measured : gains)
        tracks.SetMeasuredGain(measured.path, measured.gain);
}

} // namespace tessel
