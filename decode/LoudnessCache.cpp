#include "decode/LoudnessCache.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <tuple>

namespace tessel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "tessel-loudness 1";

std::vector<std::string_view> SplitTabs(std::string_view line, size_t most) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < most) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            break;
        fields.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    fields.push_back(line);
    return fields;
}

template <typename T> std::optional<T> Number(std::string_view text, int base = 10) {
    T value{};
    const char* end = text.data() + text.size();
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::from_chars(text.data(), end, value);
    else
        r = std::from_chars(text.data(), end, value, base);
    if (text.empty() || r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    return value;
}

std::optional<Loudness> ParseLoudness(std::string_view lufs, std::string_view peak) {
    // "-inf" is silence, written and read as such.
    std::optional<double> l =
        lufs == "-inf" ? std::optional<double>(-HUGE_VAL) : Number<double>(lufs);
    const auto p = Number<double>(peak);
    if (!l || !p || std::isnan(*l) || *l > 100.0 || !std::isfinite(*p) || *p < 0.0)
        return std::nullopt;
    return Loudness{*l, *p};
}

std::string Format(double v) {
    if (std::isinf(v) && v < 0)
        return "-inf";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

} // namespace

bool FileIdentity::operator<(const FileIdentity& o) const {
    return std::tie(path, size, modifiedNs) < std::tie(o.path, o.size, o.modifiedNs);
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    std::error_code error;
    const auto status = fs::status(path, error);
    if (error || !fs::is_regular_file(status))
        return std::nullopt;
    const auto size = fs::file_size(path, error);
    if (error)
        return std::nullopt;
    const auto modified = fs::last_write_time(path, error);
    if (error)
        return std::nullopt;
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
    return FileIdentity{path, static_cast<uint64_t>(size), static_cast<int64_t>(ns)};
}

fs::path CLoudnessCache::DefaultPath() {
    fs::path base;
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr ? home : "/tmp") / ".cache";
    }
    return base / "Tessel Programs" / "Tessel Audio Player" / "loudness.tsv";
}

bool CLoudnessCache::Load() {
    m_tracks.clear();
    m_albums.clear();
    std::error_code error;
    if (!fs::exists(m_file, error))
        return !error;
    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return true; // another format: start afresh
    while (std::getline(in, line)) {
        const auto fields = SplitTabs(line, 6);
        if (fields.size() == 6 && fields[0] == "T") {
            const auto size = Number<uint64_t>(fields[1]);
            const auto modified = Number<int64_t>(fields[2]);
            const auto loudness = ParseLoudness(fields[3], fields[4]);
            if (size && modified && loudness && !fields[5].empty())
                m_tracks[FileIdentity{std::string(fields[5]), *size, *modified}] = *loudness;
        } else if (fields.size() == 4 && fields[0] == "A") {
            const auto hash = Number<uint64_t>(fields[1], 16);
            const auto loudness = ParseLoudness(fields[2], fields[3]);
            if (hash && loudness && fields[1].size() == 16)
                m_albums[*hash] = *loudness;
        }
    }
    return true;
}

bool CLoudnessCache::Save() const {
    std::error_code error;
    fs::create_directories(m_file.parent_path(), error);
    if (error)
        return false;
    std::ostringstream text;
    text << kHeader << '\n';
    for (const auto& [file, l] : m_tracks)
        text << "T\t" << file.size << '\t' << file.modifiedNs << '\t' << Format(l.integratedLufs)
             << '\t' << Format(l.truePeak) << '\t' << file.path << '\n';
    for (const auto& [hash, l] : m_albums) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        text << "A\t" << hex << '\t' << Format(l.integratedLufs) << '\t' << Format(l.truePeak)
             << '\n';
    }
    fs::path temporary = m_file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out)
            return false;
    }
    fs::rename(temporary, m_file, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

std::optional<Loudness> CLoudnessCache::FindTrack(const FileIdentity& file) const {
    const auto found = m_tracks.find(file);
    return found != m_tracks.end() ? std::optional<Loudness>(found->second) : std::nullopt;
}

void CLoudnessCache::PutTrack(const FileIdentity& file, const Loudness& loudness) {
    if (file.path.find('\n') != std::string::npos || file.path.find('\r') != std::string::npos ||
        file.path.empty())
        return;
    m_tracks[file] = loudness;
}

uint64_t CLoudnessCache::AlbumHash(const std::vector<FileIdentity>& members) {
    // FNV-1a over every member's identity, in order.
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&](std::string_view bytes) {
        for (unsigned char c : bytes) {
            hash ^= c;
            hash *= 0x100000001b3ull;
        }
    };
    for (const FileIdentity& m : members) {
        mix(m.path);
        mix(std::string_view("\0", 1));
        mix(std::to_string(m.size) + ":" + std::to_string(m.modifiedNs) + "\n");
    }
    return hash;
}

std::optional<Loudness> CLoudnessCache::FindAlbum(const std::vector<FileIdentity>& members) const {
    const auto found = m_albums.find(AlbumHash(members));
    return found != m_albums.end() ? std::optional<Loudness>(found->second) : std::nullopt;
}

void CLoudnessCache::PutAlbum(const std::vector<FileIdentity>& members, const Loudness& loudness) {
    m_albums[AlbumHash(members)] = loudness;
}

AlbumLoudness ScanAlbumLoudnessCached(const std::vector<std::string>& paths, CLoudnessCache& cache,
                                      const ScanCancel* cancel) {
    std::vector<FileIdentity> members;
    AlbumLoudness known;
    bool complete = true;
    for (const std::string& path : paths) {
        const auto identity = IdentifyFile(path);
        if (!identity) {
            known.tracks.emplace_back(); // unreadable, as a scan would find
            continue;
        }
        members.push_back(*identity);
        known.tracks.push_back(cache.FindTrack(*identity));
        complete = complete && known.tracks.back().has_value();
    }
    if (complete && !members.empty()) {
        known.album = cache.FindAlbum(members);
        if (known.album)
            return known;
    }
    AlbumLoudness scanned = ScanAlbumLoudness(paths, cancel);
    if (cancel && cancel->load(std::memory_order_relaxed))
        return scanned;
    std::vector<FileIdentity> readable;
    for (size_t i = 0; i < paths.size(); ++i) {
        const auto identity = IdentifyFile(paths[i]);
        if (identity && scanned.tracks[i]) {
            cache.PutTrack(*identity, *scanned.tracks[i]);
            readable.push_back(*identity);
        }
    }
    if (scanned.album && readable.size() == members.size())
        cache.PutAlbum(members, *scanned.album);
    return scanned;
}

std::vector<std::vector<size_t>> GroupAlbums(const std::vector<std::string>& paths,
                                             const std::vector<std::string>& albumTags) {
    std::vector<std::vector<size_t>> albums;
    std::map<std::pair<std::string, std::string>, size_t> index;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string folder = fs::path(paths[i]).parent_path().string();
        const std::string tag = i < albumTags.size() ? albumTags[i] : std::string();
        const auto [at, added] = index.try_emplace({folder, tag}, albums.size());
        if (added)
            albums.emplace_back();
        albums[at->second].push_back(i);
    }
    return albums;
}

} // namespace tessel
