// Loudness scan results kept between runs, per file as it was scanned (its
// path, size and modification time: a file changed since is scanned again)
// and per album (the same for every member, so any change to the album
// rescans it). One text file, read whole and replaced atomically:
//
//   tessel-loudness 1
//   T <TAB> size <TAB> mtime-ns <TAB> LUFS <TAB> true peak <TAB> path
//   A <TAB> members' hash (16 hex digits) <TAB> LUFS <TAB> true peak
//
// Damaged lines are passed over. Paths holding a line break are not kept.
//
// Threads: one at a time (no locking inside).
#pragma once

#include "decode/LoudnessScan.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessel {

struct FileIdentity {
    std::string path;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    bool operator<(const FileIdentity& o) const;
    bool operator==(const FileIdentity&) const = default;
};

// Empty when the file cannot be looked at.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

class CLoudnessCache {
  public:
    // $XDG_CACHE_HOME (an absolute path), else ~/.cache; then
    // "Tessel Programs/Tessel Audio Player/loudness.tsv".
    static std::filesystem::path DefaultPath();

    explicit CLoudnessCache(std::filesystem::path file) : m_file(std::move(file)) {}

    // A missing file is an empty cache. False only when it exists but
    // cannot be read.
    bool Load();
    // Writes beside the file and renames it into place. False (the old file
    // kept) when that fails.
    bool Save() const;

    std::optional<Loudness> FindTrack(const FileIdentity& file) const;
    void PutTrack(const FileIdentity& file, const Loudness& loudness);
    std::optional<Loudness> FindAlbum(const std::vector<FileIdentity>& members) const;
    void PutAlbum(const std::vector<FileIdentity>& members, const Loudness& loudness);

  private:
    static uint64_t AlbumHash(const std::vector<FileIdentity>& members);

    std::filesystem::path m_file;
    std::map<FileIdentity, Loudness> m_tracks;
    std::map<uint64_t, Loudness> m_albums;
};

// ScanAlbumLoudness through the cache: nothing is decoded when every track
// and the album are known; otherwise the whole album is scanned (the album
// figure needs every track's measurement) and the cache updated (not
// saved). A cancelled scan keeps nothing.
AlbumLoudness ScanAlbumLoudnessCached(const std::vector<std::string>& paths, CLoudnessCache& cache,
                                      const ScanCancel* cancel = nullptr);

// The albums among `paths`: the files that share a folder and an album tag
// (`albumTags` parallel to `paths`; an empty tag groups by the folder
// alone). Indices into `paths`, albums in order of their first file.
std::vector<std::vector<size_t>> GroupAlbums(const std::vector<std::string>& paths,
                                             const std::vector<std::string>& albumTags);

} // namespace tessel
