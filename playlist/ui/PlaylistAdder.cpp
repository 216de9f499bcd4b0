#include "playlist/ui/PlaylistAdder.h"

#include "playlist/PlaylistFiles.h"

#include <filesystem>

namespace tessel {

namespace {

// While the worker collects there is nothing to insert: looking now and then
// is enough. While inserting, every turn of the event loop takes a batch.
constexpr int kCollectPollMs = 10;

std::string ExtensionOf(const std::string& path) {
    const std::filesystem::path name = std::filesystem::path(path).filename();
    return name.extension().string();
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace

CPlaylistAdder::CPlaylistAdder(CPlaylistModel& model, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(&m_tick, &QTimer::timeout, this, [this] { OnTick(); });
}

void CPlaylistAdder::AddFiles(const std::vector<std::string>& paths) {
    Enqueue({Job::Files, paths, nullptr});
}

void CPlaylistAdder::AddFolder(const std::string& folder) {
    Enqueue({Job::Folder, {folder}, nullptr});
}

void CPlaylistAdder::AddPaths(const std::vector<std::string>& paths) {
    // Consecutive files travel together; each folder is a job of its own.
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (!IsFolder(path)) {
            files.push_back(path);
            continue;
        }
        if (!files.empty())
            AddFiles(std::exchange(files, {}));
        AddFolder(path);
    }
    if (!files.empty())
        AddFiles(files);
}

void CPlaylistAdder::WhenDone(std::function<void()> then) {
    Enqueue({Job::Then, {}, std::move(then)});
}

void CPlaylistAdder::Cancel() {
    m_jobs.clear();
    m_tick.stop();
    m_scan.Cancel();
    m_folderActive = false;
    m_folderFiles.clear();
    SetBusy(false);
}

void CPlaylistAdder::Enqueue(Job job) {
    m_jobs.push_back(std::move(job));
    RunJobs();
}

void CPlaylistAdder::RunJobs() {
    // A `then` may ask for more; it is queued and run by this same loop.
    if (m_running)
        return;
    m_running = true;
    while (!m_folderActive && !m_jobs.empty()) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        switch (job.kind) {
        case Job::Files:
            AddFilesNow(job.paths);
            break;
        case Job::Then:
            if (job.then)
                job.then();
            break;
        case Job::Folder:
            m_folderActive = true;
            m_collected = false;
            m_folderFiles.clear();
            m_next = 0;
            m_insertAt = m_model.Tracks().GetCount();
            m_scan.Start(job.paths.front());
            SetBusy(true);
            emit progress(0, 0);
            m_tick.start(kCollectPollMs);
            break;
        }
    }
    m_running = false;
    if (!m_folderActive)
        SetBusy(false);
}

void CPlaylistAdder::AddFilesNow(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (IsPlaylistFile(ExtensionOf(path))) {
            // Read here rather than through the list, so the rows are
            // announced as they are added.
            const PlaylistReadResult read = LoadPlayList(path, m_model.Playlist().cueFileProbe);
            m_model.Playlist().ReportProblems(read);
            m_model.AppendEntries(read.entries);
        } else {
            m_model.AppendTrack(path, -1.0, std::string());
        }
    }
}

void CPlaylistAdder::OnTick() {
    if (!m_folderActive) {
        m_tick.stop();
        return;
    }
    if (!m_collected) {
        if (!m_scan.IsDone()) {
            emit progress(static_cast<int>(m_scan.FoundSoFar()), 0);
            return;
        }
        m_folderFiles = m_scan.TakeFiles();
        m_collected = true;
        m_tick.start(0);
    }
    const auto until = std::chrono::steady_clock::now() + m_budget;
    m_model.InsertSorted(m_folderFiles, m_next, m_insertAt, until);
    emit progress(static_cast<int>(m_next), static_cast<int>(m_folderFiles.size()));
    if (m_next < m_folderFiles.size())
        return;
    m_tick.stop();
    m_folderActive = false;
    m_folderFiles.clear();
    RunJobs();
}

void CPlaylistAdder::SetBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}

} // namespace tessel
