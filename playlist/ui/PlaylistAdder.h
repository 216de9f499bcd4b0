// Adds files, playlist files and folders to the playlist, strictly in the
// order they were asked for. Plain files and playlist files go in at once;
// a folder's audio files are collected on a worker thread (CFolderScan) and
// then inserted in path order among the rows that came with it, in batches
// of a few milliseconds per event-loop turn, so the window keeps answering
// however large the folder. Anything asked for while a folder is under way
// waits its turn, so a later file never lands among a folder's files.
//
// Threads: GUI thread only; the collection is handed over by CFolderScan.
#pragma once

#include "playlist/FolderScan.h"
#include "playlist/ui/PlaylistModel.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tessel {

class CPlaylistAdder : public QObject {
    Q_OBJECT

  public:
    // Event-loop time one batch of insertions may take.
    static constexpr std::chrono::milliseconds kBatchBudget{8};

    explicit CPlaylistAdder(CPlaylistModel& model, QObject* parent = nullptr);

    // As "+ File" takes them: a playlist file (.m3u, .m3u8, .pls) is read as
    // a playlist, other recognised playlist types add nothing, anything else
    // is listed as a track unopened.
    void AddFiles(const std::vector<std::string>& paths);
    // As "+ Folder" takes it: every audio file below the folder, sorted.
    void AddFolder(const std::string& folder);
    // A drop or the command line: folders as "+ Folder", the rest as "+ File".
    void AddPaths(const std::vector<std::string>& paths);
    // Runs `then` once everything asked for before it is in the list.
    void WhenDone(std::function<void()> then);

    // Event-loop time each batch may take (tests make batches small).
    void SetBatchBudget(std::chrono::milliseconds budget) { m_budget = budget; }

    // A folder is being added (or waits): the window hides its buttons.
    bool IsBusy() const { return m_busy; }
    // Drops what has not been added yet.
    void Cancel();

  signals:
    void busyChanged(bool busy);
    // Files of the current folder inserted so far, of `total`; while they
    // are still being collected, total is 0 and `inserted` counts those found.
    void progress(int inserted, int total);

  private:
    struct Job {
        enum Kind { Files, Folder, Then } kind = Files;
        std::vector<std::string> paths;
        std::function<void()> then;
    };

    void Enqueue(Job job);
    void RunJobs();
    void AddFilesNow(const std::vector<std::string>& paths);
    void OnTick();
    void SetBusy(bool busy);

    CPlaylistModel& m_model;
    std::deque<Job> m_jobs;
    QTimer m_tick;
    std::chrono::milliseconds m_budget = kBatchBudget;
    bool m_busy = false;
    bool m_running = false;
    // The folder under way.
    bool m_folderActive = false;
    CFolderScan m_scan;
    bool m_collected = false;
    std::vector<std::string> m_folderFiles;
    size_t m_next = 0;
    int m_insertAt = 0;
};

} // namespace tessel
