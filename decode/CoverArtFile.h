// The current track's cover as a file other programs can show: desktop
// media widgets take a picture by file:// URL only.
//
// Each picture goes to a new name (widgets keep what they loaded under a URL),
// written whole before it appears; the picture before it is removed, and the
// last one when the owner goes. Files that a player which ended without
// tidying up left behind are removed when the next owner is made.
//
// Threads: one owner; not for use from two threads at once. Writing is a
// small file write, fit for a worker or the main thread.
#pragma once

#include "decode/CoverArt.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tessel {

// $XDG_RUNTIME_DIR, else $XDG_CACHE_HOME, else ~/.cache (an unset or relative
// variable counts as none), with the player's own folder below it.
std::filesystem::path DefaultCoverFolder();

class CCoverArtFile {
  public:
    explicit CCoverArtFile(std::filesystem::path folder = DefaultCoverFolder());
    ~CCoverArtFile();
    CCoverArtFile(const CCoverArtFile&) = delete;
    CCoverArtFile& operator=(const CCoverArtFile&) = delete;

    // Writes the picture and answers its file:// URL, removing the previous
    // one. An empty picture, or one that cannot be written, removes the
    // previous one and answers "".
    std::string Publish(const CoverPicture& picture);
    // Removes the current picture, if any.
    void Clear();

    // The file now published; empty when none.
    const std::filesystem::path& CurrentFile() const { return m_current; }

  private:
    void RemoveLeftovers() const;

    std::filesystem::path m_folder;
    std::filesystem::path m_current;
    uint64_t m_serial = 0;
};

// A local path as a file:// URL, every byte outside the unreserved set
// percent-encoded.
std::string FileUrl(const std::filesystem::path& path);

} // namespace tessel
