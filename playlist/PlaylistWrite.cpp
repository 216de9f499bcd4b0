#include "playlist/AtomicFile.h"
#include "playlist/EntryPath.h"
#include "playlist/Id3v1.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistText.h"
#include "playlist/TrackList.h"
#include "playlist/TrackText.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <unordered_set>

namespace tessel {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Whole seconds, truncated toward zero; -1 for an unknown length.
std::string SecondsText(double length) {
    if (!(length >= 0.0))
        return "-1";
    return std::to_string(static_cast<long long>(std::min(length, 2147483647.0)));
}

// Whether `next` continues the run `run` as other players should see it:
// rows of one sheet in the sheet's order (a file the run has left is not
// returned to), or ranges of one file without a sheet in the file's order.
bool ContinuesRun(const PlaylistEntry& last, const PlaylistEntry& entry,
                  const std::unordered_set<std::string_view>& runFiles) {
    if (last.rangeStart < 0 || entry.rangeStart < 0 || last.sheetPath != entry.sheetPath)
        return false;
    if (entry.path == last.path)
        return entry.rangeStart > last.rangeStart;
    return !entry.sheetPath.empty() && !runFiles.contains(entry.path);
}

// Ranged rows as other players read them: a run of a sheet's rows becomes
// the sheet, a run of one file's chapters the file.
std::vector<PlaylistEntry> WholeFilesAndSheets(std::vector<PlaylistEntry> rows) {
    std::vector<PlaylistEntry> out;
    out.reserve(rows.size());
    for (size_t i = 0; i < rows.size();) {
        size_t end = i + 1;
        std::unordered_set<std::string_view> runFiles{rows[i].path};
        while (end < rows.size() && ContinuesRun(rows[end - 1], rows[end], runFiles))
            runFiles.insert(rows[end++].path);
        if (rows[i].rangeStart < 0) {
            out.push_back(std::move(rows[i]));
            i = end;
            continue;
        }
        PlaylistEntry whole;
        whole.path = rows[i].sheetPath.empty() ? rows[i].path : rows[i].sheetPath;
        whole.length = 0.0;
        for (size_t k = i; k < end; ++k)
            whole.length =
                rows[k].length >= 0.0 && whole.length >= 0.0 ? whole.length + rows[k].length : -1.0;
        if (end - i == 1 && rows[i].sheetPath.empty()) // one chapter: keep its title
            whole.title = rows[i].title;
        out.push_back(std::move(whole));
        i = end;
    }
    return out;
}

} // namespace

std::string FormatPlaylist(const std::vector<PlaylistEntry>& entries, PlaylistFormat format,
                           int* skipped) {
    std::string out;
    out.reserve(64 + entries.size() * 96);
    int written = 0;
    int left = 0;
    out += format == PlaylistFormat::Pls ? "[playlist]" : "#EXTM3U";
    out += kLineEnd;
    for (const PlaylistEntry& entry : entries) {
        const std::optional<std::string> path = EntryPathLine(entry.path);
        if (!path) {
            ++left;
            continue;
        }
        ++written;
        const std::string seconds = SecondsText(entry.length);
        const std::string title = OneLine(entry.title);
        if (format == PlaylistFormat::Pls) {
            const std::string n = std::to_string(written);
            out.append("File").append(n).append("=").append(*path).append(kLineEnd);
            out.append("Title").append(n).append("=").append(title).append(kLineEnd);
            out.append("Length").append(n).append("=").append(seconds).append(kLineEnd);
        } else {
            out.append("#EXTINF:").append(seconds).append(",").append(title).append(kLineEnd);
            out.append(*path).append(kLineEnd);
        }
    }
    if (format == PlaylistFormat::Pls) {
        out.append("NumberOfEntries=").append(std::to_string(written)).append(kLineEnd);
        out.append("Version=2").append(kLineEnd);
    }
    if (skipped)
        *skipped = left;
    return out;
}

PlaylistSaveResult SavePlaylistFile(const std::string& filePath, const CTrackList& tracks,
                                    PlaylistFormat format, PlaylistTitles titles) {
    std::vector<PlaylistEntry> entries;
    entries.reserve(static_cast<size_t>(tracks.GetCount()));
    for (int i = 0; i < tracks.GetCount(); ++i) {
        const TrackRecord& record = *tracks.GetRecord(i);
        PlaylistEntry entry{record.id3Tag, record.length, record.trackPath};
        entry.rangeStart = record.Part().rangeStart;
        entry.rangeEnd = record.Part().rangeEnd;
        entry.sheetPath = record.Part().sheetPath;
        // A ranged row's file holds the whole album: its title is not the row's.
        if (titles == PlaylistTitles::RefreshFromFiles && entry.title.empty() &&
            !record.HasRange()) {
            if (auto title = ReadId3v1Title(record.trackPath))
                entry.title = std::move(*title);
        }
        entries.push_back(std::move(entry));
    }

    entries = WholeFilesAndSheets(std::move(entries));
    PlaylistSaveResult result;
    const std::string text = FormatPlaylist(entries, format, &result.entriesSkipped);
    result.entriesWritten = static_cast<int>(entries.size()) - result.entriesSkipped;
    switch (WriteFileAtomically(filePath, text, result.error)) {
    case AtomicWriteStatus::Ok:
        break;
    case AtomicWriteStatus::CannotCreate:
        result.status = PlaylistSaveStatus::CannotCreate;
        result.entriesWritten = 0;
        break;
    case AtomicWriteStatus::WriteFailed:
        result.status = PlaylistSaveStatus::WriteFailed;
        result.entriesWritten = 0;
        break;
    }
    return result;
}

std::optional<PlaylistSaveTarget> ChooseSaveTarget(const std::string& chosenPath,
                                                   std::optional<PlaylistFormat> filterFormat) {
    if (TrimSpace(chosenPath).empty() || chosenPath.back() == '/')
        return std::nullopt;
    PlaylistSaveTarget target;
    target.path = chosenPath;
    const size_t slash = chosenPath.rfind('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(chosenPath)
                                      : std::string_view(chosenPath).substr(slash + 1);
    const size_t dot = name.rfind('.');
    const std::string_view ext =
        dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
    const auto is = [&](std::string_view known) {
        return ext.size() == known.size() && StartsWithNoCase(ext, known);
    };
    if (is(".m3u")) {
        target.format = PlaylistFormat::M3u;
    } else if (is(".m3u8")) {
        target.format = PlaylistFormat::M3u8;
    } else if (is(".pls")) {
        target.format = PlaylistFormat::Pls;
    } else {
        target.format = filterFormat.value_or(PlaylistFormat::M3u);
        target.path += target.format == PlaylistFormat::Pls    ? ".pls"
                       : target.format == PlaylistFormat::M3u8 ? ".m3u8"
                                                               : ".m3u";
    }
    std::error_code error;
    target.exists = std::filesystem::exists(target.path, error);
    return target;
}

} // namespace tessel
