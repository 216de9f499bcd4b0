#include "playlist/FolderScan.h"

#include "playlist/AudioTypes.h"
#include "playlist/CueSheet.h"
#include "playlist/PlaylistFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

namespace tessel {

namespace fs = std::filesystem;

void CFolderScan::Start(std::string folder) {
    Cancel();
    m_folder = std::move(folder);
    m_files.clear();
    m_failed = false;
    m_cancel.store(false, std::memory_order_relaxed);
    m_done.store(false, std::memory_order_relaxed);
    m_found.store(0, std::memory_order_relaxed);
    m_thread = std::thread([this] { ScanProcess(); });
}

void CFolderScan::Cancel() {
    if (!m_thread.joinable())
        return;
    m_cancel.store(true, std::memory_order_relaxed);
    m_thread.join();
}

std::vector<std::string> CFolderScan::TakeFiles() {
    if (!IsDone())
        return {};
    return std::move(m_files);
}

void CFolderScan::ScanProcess() {
    // A folder is known by its device and inode, so a link that leads back
    // up the tree is entered once and the walk always ends.
    std::set<std::pair<dev_t, ino_t>> visited;
    const auto firstVisit = [&visited](const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0)
            return false;
        return visited.emplace(info.st_dev, info.st_ino).second;
    };

    std::error_code error;
    // Entries keep the folder's spelling: a relative one would stop meaning
    // the same file when the working folder changes.
    fs::path root = fs::absolute(m_folder, error).lexically_normal();
    if (!root.has_filename() && root != root.root_path())
        root = root.parent_path();
    if (error || !fs::is_directory(root, error) || !firstVisit(root)) {
        m_failed = true;
        m_done.store(true, std::memory_order_release);
        return;
    }
    // Depth first, the same order a recursive search takes; the order found
    // does not matter anyway, the result is sorted.
    std::vector<fs::path> pending{root};
    std::vector<std::string> sheets;
    while (!pending.empty() && !m_cancel.load(std::memory_order_relaxed)) {
        const fs::path folder = std::move(pending.back());
        pending.pop_back();
        // An unreadable subfolder is passed over; the rest of the tree still counts.
        fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            if (m_cancel.load(std::memory_order_relaxed))
                break;
            const fs::directory_entry& entry = *it;
            std::error_code typeError;
            if (entry.is_directory(typeError)) {
                if (firstVisit(entry.path()))
                    pending.push_back(entry.path());
            } else if (entry.is_regular_file(typeError) &&
                       IsCueSheetName(entry.path().filename().native())) {
                if (sheets.size() < kMaxPlaylistEntries)
                    sheets.push_back(entry.path().native());
            } else if (entry.is_regular_file(typeError) &&
                       IsAudioFileName(entry.path().filename().native())) {
                if (m_files.size() >= kMaxPlaylistEntries)
                    break;
                m_files.push_back(entry.path().native());
                m_found.store(m_files.size(), std::memory_order_relaxed);
            }
        }
        error.clear();
    }
    m_files = PreferSheetsToTheirFiles(std::move(m_files), sheets);
    m_done.store(true, std::memory_order_release);
}

} // namespace tessel
