// Collects the audio files of a folder and all its subfolders on a worker
// thread, so that a large tree never holds up the window, and hands them
// over sorted by path: the order the playlist's sorted insertion would give.
//
// Threads: Start, Cancel, IsDone, FoundSoFar and TakeFiles run on the owner's
// thread. The worker alone writes m_files and m_failed until it publishes
// them by setting m_done (release); the owner reads them only after it has
// seen m_done (acquire). m_found is a progress count, read without order.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace tessel {

class CFolderScan {
  public:
    CFolderScan() = default;
    ~CFolderScan() { Cancel(); }
    CFolderScan(const CFolderScan&) = delete;
    CFolderScan& operator=(const CFolderScan&) = delete;

    // Starts collecting `folder`; a scan still running is cancelled first.
    void Start(std::string folder);
    // Stops the worker (it finishes the folder entry it is on) and waits.
    void Cancel();

    bool IsDone() const { return m_done.load(std::memory_order_acquire); }
    std::size_t FoundSoFar() const { return m_found.load(std::memory_order_relaxed); }
    // After IsDone: the audio files found, sorted byte-wise by path. Empty
    // when the folder could not be read at all (Failed then tells).
    std::vector<std::string> TakeFiles();
    bool Failed() const { return IsDone() && m_failed; }

  private:
    void ScanProcess();

    std::thread m_thread;
    std::string m_folder;
    std::vector<std::string> m_files;
    bool m_failed = false;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    std::atomic<std::size_t> m_found{0};
};

} // namespace tessel
