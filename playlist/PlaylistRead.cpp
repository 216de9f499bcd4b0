#include "playlist/EntryPath.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistText.h"
#include "playlist/TrackText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "playlist/TrackList.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>

namespace tessel {

namespace {

std::string LowerExtension(const std::string& path);

// A line the reader will not look at: too long to be a real entry, or
// holding a NUL, which no path can contain and which would cut the path
// short when it reaches the system.
bool IsUnusableLine(std::string_view line, PlaylistReadResult& result) {
    if (line.size() > kMaxPlaylistLineBytes || line.find('\0') != std::string_view::npos) {
        ++result.skippedLines;
        return true;
    }
    return false;
}

bool AddEntry(PlaylistReadResult& result, PlaylistEntry entry) {
    if (result.entries.size() >= kMaxPlaylistEntries) {
        result.truncated = true;
        return false;
    }
    result.entries.push_back(std::move(entry));
    return true;
}

// "#EXTINF:<seconds>[ attributes],<title>". Attribute values in quotes may
// hold commas (as IPTV lists write them), so the title starts at the first
// comma outside quotes.
void ParseExtInf(std::string_view info, double& seconds, std::string& title) {
    bool quoted = false;
    size_t comma = std::string_view::npos;
    for (size_t i = 0; i < info.size(); ++i) {
        if (info[i] == '"')
            quoted = !quoted;
        else if (info[i] == ',' && !quoted) {
            comma = i;
            break;
        }
    }
    if (comma == std::string_view::npos) {
        // A quote left open: the first comma is the best guess.
        comma = info.find(',');
    }
    seconds = ParseSeconds(info.substr(0, comma));
    title = comma == std::string_view::npos ? std::string()
                                            : std::string(TrimSpace(info.substr(comma + 1)));
}

// "<start>,<end>" in sample frames; end -1 runs to the file's end.
bool ParseRange(std::string_view text, int64_t& start, int64_t& end) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return false;
    const std::string_view first = TrimSpace(text.substr(0, comma));
    const std::string_view second = TrimSpace(text.substr(comma + 1));
    const auto a = std::from_chars(first.data(), first.data() + first.size(), start);
    const auto b = std::from_chars(second.data(), second.data() + second.size(), end);
    return a.ec == std::errc() && a.ptr == first.data() + first.size() && b.ec == std::errc() &&
           b.ptr == second.data() + second.size() && start >= 0 && (end == -1 || end > start);
}

// Four comma-separated fields, each a number or empty; false (nothing
// taken) when one does not read.
bool ParseGains(std::string_view text, ReplayGainValues& gain) {
    std::optional<double>* fields[] = {&gain.trackGainDb, &gain.trackPeak, &gain.albumGainDb,
                                       &gain.albumPeak};
    ReplayGainValues read;
    std::optional<double>* into[] = {&read.trackGainDb, &read.trackPeak, &read.albumGainDb,
                                     &read.albumPeak};
    for (size_t i = 0; i < std::size(into); ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i + 1 == std::size(into)))
            return false;
        const std::string_view field = TrimSpace(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (field.empty())
            continue;
        double value = 0.0;
        const auto parsed = std::from_chars(field.data(), field.data() + field.size(), value);
        if (parsed.ec != std::errc() || parsed.ptr != field.data() + field.size() ||
            !std::isfinite(value))
            return false;
        *into[i] = value;
    }
    for (size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = *into[i];
    return true;
}

void ParseM3u(std::string_view text, const std::string& folder, PlaylistLines kind,
              PlaylistReadResult& result) {
    LineReader lines(text);
    std::string_view line;
    PlaylistEntry entry;
    while (lines.Next(line)) {
        if (IsUnusableLine(line, result))
            continue;
        const std::string_view trimmed = TrimSpace(line);
        if (trimmed.empty())
            continue;
        if (trimmed.front() == '#') {
            // Other directives (#EXTM3U, #EXTGRP, #EXTVLCOPT ...) and plain
            // comments may stand between an #EXTINF line and its path.
            if (StartsWithNoCase(trimmed, "#EXTINF:")) {
                ParseExtInf(trimmed.substr(8), entry.length, entry.title);
            } else if (kind == PlaylistLines::WithRanges && trimmed.starts_with(kRangeLineKey)) {
                // A range that does not read would play the whole file in
                // its place: the line counts as damage.
                if (!ParseRange(trimmed.substr(kRangeLineKey.size()), entry.rangeStart,
                                entry.rangeEnd)) {
                    entry.rangeStart = entry.rangeEnd = -1;
                    ++result.skippedLines;
                }
            } else if (kind == PlaylistLines::WithRanges && trimmed.starts_with(kSheetLineKey)) {
                entry.sheetPath = ResolveEntryPath(trimmed.substr(kSheetLineKey.size()), folder);
            } else if (kind == PlaylistLines::WithRanges && trimmed.starts_with(kGainLineKey)) {
                // A gain that does not read plays at the file's own tags.
                ParseGains(trimmed.substr(kGainLineKey.size()), entry.gain);
            }
            continue;
        }
        entry.path = ResolveEntryPath(trimmed, folder);
        if (entry.rangeStart < 0)
            entry.sheetPath.clear();
        if (!AddEntry(result, std::move(entry)))
            return;
        entry = PlaylistEntry();
    }
}

// "<key><number>" with the key in any case; the number is at most nine digits.
bool ParseNumberedKey(std::string_view key, std::string_view name, uint32_t& number) {
    if (!StartsWithNoCase(key, name))
        return false;
    const std::string_view digits = key.substr(name.size());
    if (digits.empty() || digits.size() > 9)
        return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size();
}

void ParsePls(std::string_view text, const std::string& folder, PlaylistReadResult& result) {
    LineReader lines(text);
    std::string_view line;
    bool header = false;
    while (!header && lines.Next(line)) {
        const std::string_view trimmed = TrimSpace(line);
        if (trimmed.empty())
            continue;
        header = trimmed.size() == 10 && StartsWithNoCase(trimmed, "[playlist]");
        if (!header) {
            result.status = PlaylistReadStatus::NoHeader;
            return;
        }
    }
    if (!header) {
        result.status = PlaylistReadStatus::NoHeader;
        return;
    }

    // Entries follow the File lines in file order; a Title or Length line
    // belongs to the File line of the same number wherever it stands.
    struct FileLine {
        uint32_t number;
        std::string path;
    };
    std::vector<FileLine> files;
    std::unordered_map<uint32_t, std::string> titles;
    std::unordered_map<uint32_t, double> lengths;
    while (lines.Next(line)) {
        if (IsUnusableLine(line, result))
            continue;
        const std::string_view trimmed = TrimSpace(line);
        const size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = TrimSpace(trimmed.substr(0, equals));
        const std::string_view value = TrimSpace(trimmed.substr(equals + 1));
        uint32_t number = 0;
        if (ParseNumberedKey(key, "file", number)) {
            if (files.size() >= kMaxPlaylistEntries) {
                result.truncated = true;
                continue;
            }
            std::string path = ResolveEntryPath(value, folder);
            if (!path.empty())
                files.push_back({number, std::move(path)});
        } else if (ParseNumberedKey(key, "title", number)) {
            // Bounded like the entries, so distinct numbers cannot pile up.
            if (titles.size() < kMaxPlaylistEntries || titles.count(number))
                titles[number] = std::string(value);
        } else if (ParseNumberedKey(key, "length", number)) {
            if (lengths.size() < kMaxPlaylistEntries || lengths.count(number))
                lengths[number] = ParseSeconds(value);
        }
    }

    result.entries.reserve(files.size());
    for (FileLine& file : files) {
        PlaylistEntry entry;
        entry.path = std::move(file.path);
        if (auto t = titles.find(file.number); t != titles.end())
            entry.title = t->second;
        if (auto l = lengths.find(file.number); l != lengths.end())
            entry.length = l->second;
        result.entries.push_back(std::move(entry));
    }
}

void AddSheetRows(std::string_view bytes, const std::string& sheetPath, const CueFileProbe& probe,
                  PlaylistReadResult& result) {
    const CueRows rows = CueSheetRows(bytes, sheetPath, probe);
    const std::string name = std::filesystem::path(sheetPath).filename().string();
    for (const std::string& problem : rows.problems)
        result.problems.push_back(name + ": " + problem);
    if (rows.problemsLeftOut > 0)
        result.problems.push_back(name + ": " + std::to_string(rows.problemsLeftOut) +
                                  " more problems");
    for (const CueRow& row : rows.rows) {
        PlaylistEntry entry;
        entry.title = row.title;
        entry.length = row.seconds;
        entry.path = row.path;
        entry.rangeStart = row.startFrame;
        entry.rangeEnd = row.endFrame;
        entry.sheetPath = sheetPath;
        entry.unreadable = row.unreadable;
        entry.gain = {row.remarks.trackGain, row.remarks.trackPeak, row.remarks.albumGain,
                      row.remarks.albumPeak};
        // The image's own tags are the album's, not the track's: the sheet
        // is what tells the rows apart.
        entry.tags.artist = row.performer;
        entry.tags.albumArtist = row.albumArtist;
        entry.tags.album = row.album;
        entry.tags.trackNumber = row.number;
        entry.tags.genre = row.remarks.genre;
        entry.tags.date = row.remarks.date;
        entry.tags.discNumber = std::max(0, std::atoi(row.remarks.discNumber.c_str()));
        if (!AddEntry(result, std::move(entry)))
            return;
    }
}

// Replaces every ".cue" entry of a playlist by the rows of its sheet; a
// sheet that cannot be read stays an entry, which shows as unreadable.
void ExpandSheetEntries(const CueFileProbe& probe, PlaylistReadResult& result) {
    // A list naming one album many times probes its audio file once.
    std::map<std::string, CueFileFacts> known;
    const CueFileProbe remembered = [&](const std::string& path) {
        auto it = known.find(path);
        if (it == known.end())
            it = known.emplace(path, probe(path)).first;
        return it->second;
    };
    std::vector<PlaylistEntry> read = std::move(result.entries);
    result.entries.clear();
    for (PlaylistEntry& entry : read) {
        std::string bytes;
        if (entry.rangeStart < 0 && LowerExtension(entry.path) == ".cue" &&
            ReadPlaylistBytes(entry.path, bytes) == PlaylistReadStatus::Ok) {
            AddSheetRows(bytes, entry.path, remembered, result);
            if (result.truncated)
                return;
            continue;
        }
        if (!AddEntry(result, std::move(entry)))
            return;
    }
}

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

} // namespace

PlaylistReadStatus ReadPlaylistBytes(const std::string& path, std::string& bytes) {
    // O_NONBLOCK: a FIFO must not leave the reader waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return PlaylistReadStatus::CannotOpen;
    PlaylistReadStatus status = PlaylistReadStatus::Ok;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        status = PlaylistReadStatus::CannotOpen;
    } else if (static_cast<std::uintmax_t>(info.st_size) > kMaxPlaylistFileBytes) {
        status = PlaylistReadStatus::TooLarge;
    } else {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        // A file growing while it is read is cut at the size first seen.
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                status = PlaylistReadStatus::CannotOpen;
                break;
            }
            if (got == 0)
                break;
            done += static_cast<size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return status;
}

bool IsPlaylistFile(std::string_view extension) {
    for (std::string_view known : {".m3u", ".m3u8", ".pls", ".cue", ".wbq"})
        if (extension.size() == known.size() && StartsWithNoCase(extension, known))
            return true;
    return false;
}

PlaylistReadResult ParsePlaylist(std::string_view bytes, PlaylistFormat format,
                                 const std::string& playlistFolder, PlaylistLines lines) {
    PlaylistReadResult result;
    const std::string text = DecodePlaylistText(bytes);
    if (format == PlaylistFormat::Pls)
        ParsePls(text, playlistFolder, result);
    else
        ParseM3u(text, playlistFolder, lines, result);
    return result;
}

PlaylistReadResult LoadPlayList(const std::string& filePath, const CueFileProbe& probe) {
    PlaylistReadResult result;
    const std::string ext = LowerExtension(filePath);
    if (ext == ".cue" && probe) {
        std::string bytes;
        result.status = ReadPlaylistBytes(filePath, bytes);
        if (result.status == PlaylistReadStatus::Ok)
            AddSheetRows(bytes, filePath, probe, result);
        return result;
    }
    PlaylistFormat format;
    if (ext == ".m3u" || ext == ".m3u8") {
        format = PlaylistFormat::M3u;
    } else if (ext == ".pls") {
        format = PlaylistFormat::Pls;
    } else {
        result.status = PlaylistReadStatus::NotSupported;
        return result;
    }
    std::string bytes;
    result.status = ReadPlaylistBytes(filePath, bytes);
    if (result.status != PlaylistReadStatus::Ok)
        return result;
    result = ParsePlaylist(bytes, format, PlaylistFolderOf(filePath));
    if (probe)
        ExpandSheetEntries(probe, result);
    return result;
}

void AppendEntry(CTrackList& tracks, const PlaylistEntry& entry, int insertAt) {
    const int at = insertAt >= 0 && insertAt < tracks.GetCount() ? insertAt : tracks.GetCount();
    tracks.AddTrack(entry.title, entry.length, entry.path, at);
    tracks.SetRange(at, entry.rangeStart, entry.rangeEnd, entry.sheetPath);
    tracks.SetSheetGain(at, entry.gain);
    tracks.SetTags(at, entry.tags);
    if (entry.unreadable)
        tracks.SetUnreadable(at);
}

} // namespace tessel
