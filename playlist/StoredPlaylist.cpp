#include "playlist/StoredPlaylist.h"

#include "core/TextEncoding.h"
#include "playlist/AtomicFile.h"
#include "playlist/EntryPath.h"
#include "playlist/PlaylistText.h"
#include "playlist/TrackList.h"
#include "playlist/TrackText.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tessel {

namespace {

// Each value written so that it reads back to the same double; a missing
// one is left empty.
std::string GainsText(const ReplayGainValues& gain) {
    std::string text;
    for (const std::optional<double>& value :
         {gain.trackGainDb, gain.trackPeak, gain.albumGainDb, gain.albumPeak}) {
        char digits[32];
        const char* end =
            value ? std::to_chars(digits, digits + sizeof digits, *value).ptr : digits;
        text.append(digits, static_cast<size_t>(end - digits)).append(",");
    }
    text.pop_back();
    return text;
}

constexpr std::string_view kHeader = "#EXTM3U";
constexpr std::string_view kEntriesKey = "#X-TESSEL-ENTRIES:";
constexpr std::string_view kLoadedKey = "#X-TESSEL-LOADED:";

// The stored lengths keep their fractions, so a length is the same after a
// restart and not rounded to the second as playlist files have it.
std::string LengthText(double seconds) {
    if (!(seconds >= 0.0))
        return "-1";
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", std::min(seconds, 2147483647.0));
    return text;
}

bool ReadCount(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

} // namespace

std::vector<StoredRow> SnapshotStoredRows(const CTrackList& tracks) {
    std::vector<StoredRow> rows(static_cast<size_t>(tracks.GetCount()));
    for (int i = 0; i < tracks.GetCount(); ++i) {
        const TrackRecord& record = *tracks.GetRecord(i);
        StoredRow& row = rows[static_cast<size_t>(i)];
        row.title = record.id3Tag;
        row.path = record.trackPath;
        row.length = record.length;
        row.loaded = record.loaded;
        if (record.HasRange())
            row.part = record.Part();
    }
    return rows;
}

std::string FormatStoredPlaylist(const CTrackList& tracks) {
    return FormatStoredPlaylist(SnapshotStoredRows(tracks));
}

std::string FormatStoredPlaylist(const std::vector<StoredRow>& rows) {
    std::string body;
    int written = 0;
    int loaded = -1;
    for (const StoredRow& record : rows) {
        const std::optional<std::string> path = EntryPathLine(record.path);
        if (!path)
            continue;
        if (record.loaded)
            loaded = written;
        if (record.part) {
            const TrackPart& part = *record.part;
            body.append(kRangeLineKey).append(std::to_string(part.rangeStart)).append(",");
            body.append(std::to_string(part.rangeEnd)).append("\r\n");
            if (const auto sheet = EntryPathLine(part.sheetPath))
                body.append(kSheetLineKey).append(*sheet).append("\r\n");
            if (!part.sheetGain.Empty())
                body.append(kGainLineKey).append(GainsText(part.sheetGain)).append("\r\n");
        }
        body.append("#EXTINF:").append(LengthText(record.length)).append(",");
        body.append(OneLine(record.title)).append("\r\n");
        body.append(*path).append("\r\n");
        ++written;
    }
    std::string out;
    out.reserve(body.size() + 64);
    out.append(kHeader).append("\r\n");
    out.append(kEntriesKey).append(std::to_string(written)).append("\r\n");
    if (loaded >= 0)
        out.append(kLoadedKey).append(std::to_string(loaded)).append("\r\n");
    out.append(body);
    return out;
}

StoredPlaylistRead ReadStoredPlaylist(const std::string& path) {
    StoredPlaylistRead result;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        result.status = StoredPlaylistStatus::Missing;
        return result;
    }
    result.status = StoredPlaylistStatus::Damaged;
    std::string bytes;
    switch (ReadPlaylistBytes(path, bytes)) {
    case PlaylistReadStatus::Ok:
        break;
    case PlaylistReadStatus::TooLarge:
        result.reason = "too large";
        return result;
    default:
        result.reason = "cannot be read";
        return result;
    }

    LineReader lines(bytes);
    std::string_view line;
    if (!lines.Next(line) || TrimSpace(line) != kHeader) {
        result.reason = "no #EXTM3U header";
        return result;
    }
    int expected = -1;
    if (lines.Next(line) && line.starts_with(kEntriesKey))
        ReadCount(TrimSpace(line.substr(kEntriesKey.size())), expected);
    if (expected < 0) {
        result.reason = "no entry count";
        return result;
    }
    int loaded = -1;
    if (lines.Next(line) && line.starts_with(kLoadedKey) &&
        !ReadCount(TrimSpace(line.substr(kLoadedKey.size())), loaded))
        loaded = -1;

    const std::string folder = std::filesystem::path(path).parent_path().string();
    PlaylistReadResult parsed =
        ParsePlaylist(bytes, PlaylistFormat::M3u8, folder, PlaylistLines::WithRanges);
    if (parsed.skippedLines > 0 || parsed.truncated ||
        parsed.entries.size() != static_cast<size_t>(expected)) {
        result.reason = "holds " + std::to_string(parsed.entries.size()) + " of " +
                        std::to_string(expected) + " entries";
        return result;
    }
    result.status = StoredPlaylistStatus::Ok;
    result.playlist.entries = std::move(parsed.entries);
    result.playlist.loadedIndex = loaded < expected ? loaded : -1;
    return result;
}

bool WriteStoredPlaylist(const std::string& path, const CTrackList& tracks, std::string& error) {
    return WriteStoredPlaylist(path, SnapshotStoredRows(tracks), error);
}

bool WriteStoredPlaylist(const std::string& path, const std::vector<StoredRow>& rows,
                         std::string& error) {
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
    if (made) {
        error = made.message();
        return false;
    }
    return WriteFileAtomically(path, FormatStoredPlaylist(rows), error) == AtomicWriteStatus::Ok;
}

bool SetStoredPlaylistAside(const std::string& path, std::string& error) {
    std::error_code failed;
    std::filesystem::rename(path, path + ".bad", failed);
    if (failed)
        error = failed.message();
    return !failed;
}

} // namespace tessel
