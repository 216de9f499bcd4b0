#include "playlist/AudioTypes.h"
#include "playlist/CueSheet.h"
#include "playlist/EntryPath.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistText.h"
#include "playlist/TrackText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

namespace tessel {

namespace {

constexpr int kCdSampleRate = 44100;
// Rates above this are no audio file's, and would overflow the offsets.
constexpr int kMaxSampleRate = 1'000'000;
// A folder with more names than this is not searched for a stand-in file.
constexpr std::size_t kMaxFolderNames = 100'000;

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::string_view BaseName(std::string_view leaf) {
    const size_t dot = leaf.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? leaf : leaf.substr(0, dot);
}

std::string TimeText(int64_t cdFrames) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                  static_cast<long long>(cdFrames / kCueFramesPerSecond / 60),
                  static_cast<long long>(cdFrames / kCueFramesPerSecond % 60),
                  static_cast<long long>(cdFrames % kCueFramesPerSecond));
    return text;
}

std::string TrackLabel(const CueTrack& track) {
    char text[32];
    std::snprintf(text, sizeof text, "TRACK %02d", track.number);
    return text;
}

void Report(CueRows& rows, std::string what) {
    if (rows.problems.size() >= kMaxCueProblems)
        ++rows.problemsLeftOut;
    else
        rows.problems.push_back(std::move(what));
}

// The only look at the file system: the names in one folder, sorted so the
// choice among several stand-ins never depends on the directory's order.
std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (names.size() >= kMaxFolderNames)
            return {};
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

CueRemarks MergedRemarks(const CueRemarks& track, const CueRemarks& album) {
    CueRemarks merged = track;
    for (auto [mine, theirs] :
         {std::pair{&merged.genre, &album.genre}, std::pair{&merged.date, &album.date},
          std::pair{&merged.discNumber, &album.discNumber},
          std::pair{&merged.comment, &album.comment}})
        if (mine->empty())
            *mine = *theirs;
    if (!merged.albumGain)
        merged.albumGain = album.albumGain;
    if (!merged.albumPeak)
        merged.albumPeak = album.albumPeak;
    return merged;
}

} // namespace

std::optional<std::string> MatchCueFileName(std::string_view named,
                                            const std::vector<std::string>& folderNames) {
    for (const std::string& name : folderNames)
        if (SameNoCase(name, named))
            return name;
    const std::string_view base = BaseName(named);
    for (const std::string& name : folderNames)
        if (IsAudioFileName(name) && SameNoCase(BaseName(name), base))
            return name;
    return std::nullopt;
}

std::vector<std::string> ResolveCueFiles(const CueSheet& sheet, const std::string& sheetFolder) {
    std::vector<std::string> paths;
    paths.reserve(sheet.files.size());
    std::map<std::string, std::vector<std::string>> listings;
    // The file in `folder` standing for `leaf`, or nothing.
    const auto lookIn = [&](const std::filesystem::path& folder,
                            const std::string& leaf) -> std::optional<std::string> {
        auto listing = listings.find(folder.string());
        if (listing == listings.end())
            listing = listings.emplace(folder.string(), FolderNames(folder)).first;
        const auto match = MatchCueFileName(leaf, listing->second);
        return match ? std::optional((folder / *match).string()) : std::nullopt;
    };
    for (const std::string& named : sheet.files) {
        const std::string path = ResolveEntryPath(named, sheetFolder);
        std::error_code error;
        if (path.empty() || std::filesystem::is_regular_file(path, error)) {
            paths.push_back(path);
            continue;
        }
        const std::filesystem::path wanted(path);
        std::optional<std::string> found = lookIn(wanted.parent_path(), wanted.filename().string());
        // A sheet moved with its audio, or written on another system
        // ("C:\Rips\album.wav"): the file by its leaf name next to the sheet.
        const size_t cut = named.find_last_of("/\\");
        if (!found && cut != std::string::npos && cut + 1 < named.size())
            found = lookIn(sheetFolder, named.substr(cut + 1));
        // Unmatched, the path as named: the row shows what the sheet wanted.
        paths.push_back(found ? *found : path);
    }
    return paths;
}

bool IsCueSheetName(std::string_view name) {
    return name.size() > 4 && SameNoCase(name.substr(name.size() - 4), ".cue");
}

std::vector<std::string> PreferSheetsToTheirFiles(std::vector<std::string> audioFiles,
                                                  const std::vector<std::string>& sheets) {
    std::sort(audioFiles.begin(), audioFiles.end());
    std::vector<bool> named(audioFiles.size(), false);
    std::vector<std::string> kept;
    for (const std::string& sheetPath : sheets) {
        std::string bytes;
        if (ReadPlaylistBytes(sheetPath, bytes) != PlaylistReadStatus::Ok)
            continue;
        bool namesOne = false;
        for (const std::string& file :
             ResolveCueFiles(ParseCueSheet(bytes), PlaylistFolderOf(sheetPath))) {
            const std::string normal = std::filesystem::path(file).lexically_normal().string();
            const auto at = std::lower_bound(audioFiles.begin(), audioFiles.end(), normal);
            if (at != audioFiles.end() && *at == normal) {
                named[static_cast<size_t>(at - audioFiles.begin())] = true;
                namesOne = true;
            }
        }
        if (namesOne)
            kept.push_back(sheetPath);
    }
    for (size_t i = 0; i < audioFiles.size(); ++i)
        if (!named[i])
            kept.push_back(std::move(audioFiles[i]));
    std::sort(kept.begin(), kept.end());
    return kept;
}

int64_t CueFramesToSamples(int64_t cdFrames, int sampleRate) {
    // Nearest sample: (frames * rate / 75) + 1/2, in integers.
    return (cdFrames * sampleRate * 2 + kCueFramesPerSecond) / (2 * kCueFramesPerSecond);
}

CueRows MakeCueRows(const CueSheet& sheet, const std::vector<std::string>& paths,
                    const std::vector<CueFileFacts>& facts) {
    CueRows result;
    for (const std::string& problem : sheet.problems)
        Report(result, problem);
    result.problemsLeftOut += sheet.problemsLeftOut;

    const size_t fileCount = std::min({sheet.files.size(), paths.size(), facts.size()});
    std::vector<int64_t> lastStart(fileCount, -1); // CD frames of the file's last row
    std::vector<int> lastRow(fileCount, -1);
    std::vector<bool> unreadableReported(fileCount, false);
    std::vector<const CueFileFacts*> rowFacts; // parallel to the rows
    for (const CueTrack& track : sheet.tracks) {
        const std::string label = TrackLabel(track) + " (line " + std::to_string(track.line) + ")";
        if (!track.audio) {
            Report(result, label + " is not audio; left out");
            continue;
        }
        const int file = track.start.file;
        if (track.start.frames < 0 || file < 0 || static_cast<size_t>(file) >= fileCount) {
            Report(result, label + " has no INDEX 01; left out");
            continue;
        }
        const CueFileFacts& fileFacts = facts[static_cast<size_t>(file)];
        const std::string& path = paths[static_cast<size_t>(file)];
        const bool readable = fileFacts.readable && fileFacts.sampleRate > 0 &&
                              fileFacts.sampleRate <= kMaxSampleRate && !path.empty();
        if (!readable && !unreadableReported[static_cast<size_t>(file)]) {
            unreadableReported[static_cast<size_t>(file)] = true;
            Report(result, "FILE \"" + sheet.files[static_cast<size_t>(file)] +
                               "\" is missing or cannot be played; its tracks are unreadable");
        }
        if (track.start.frames <= lastStart[static_cast<size_t>(file)]) {
            Report(result, label + " starts at " + TimeText(track.start.frames) +
                               ", not after the track before it; left out");
            continue;
        }
        const int rate = readable ? fileFacts.sampleRate : kCdSampleRate;
        const int64_t start = CueFramesToSamples(track.start.frames, rate);
        if (readable && fileFacts.totalFrames >= 0 && start >= fileFacts.totalFrames) {
            Report(result, label + " starts at " + TimeText(track.start.frames) +
                               ", beyond the end of its file; left out");
            continue;
        }
        if (track.pregap.frames >= 0 && track.pregap.file == file &&
            track.pregap.frames > track.start.frames)
            Report(result, label + " has its INDEX 00 after its INDEX 01");

        if (lastRow[static_cast<size_t>(file)] >= 0)
            result.rows[static_cast<size_t>(lastRow[static_cast<size_t>(file)])].endFrame = start;
        lastStart[static_cast<size_t>(file)] = track.start.frames;
        lastRow[static_cast<size_t>(file)] = static_cast<int>(result.rows.size());

        CueRow row;
        row.path = path;
        row.startFrame = start;
        row.title = track.title.empty() ? fileFacts.title : track.title;
        row.performer = track.performer.empty() ? sheet.performer : track.performer;
        row.album = sheet.title;
        row.albumArtist = sheet.performer;
        row.number = track.number;
        row.unreadable = !readable;
        row.remarks = MergedRemarks(track.remarks, sheet.remarks);
        result.rows.push_back(std::move(row));
        rowFacts.push_back(&fileFacts);
    }
    for (size_t i = 0; i < result.rows.size(); ++i) {
        CueRow& row = result.rows[i];
        const int64_t end = row.endFrame >= 0 ? row.endFrame : rowFacts[i]->totalFrames;
        if (!row.unreadable && end > row.startFrame)
            row.seconds = static_cast<double>(end - row.startFrame) / rowFacts[i]->sampleRate;
    }
    return result;
}

CueRows CueSheetRows(std::string_view bytes, const std::string& sheetPath,
                     const CueFileProbe& probe) {
    const CueSheet sheet = ParseCueSheet(bytes);
    const std::vector<std::string> paths = ResolveCueFiles(sheet, PlaylistFolderOf(sheetPath));
    std::vector<CueFileFacts> facts;
    facts.reserve(paths.size());
    std::map<std::string, CueFileFacts> known; // a file named twice is probed once
    for (const std::string& path : paths) {
        auto it = known.find(path);
        if (it == known.end())
            it = known.emplace(path, path.empty() || !probe ? CueFileFacts{} : probe(path)).first;
        facts.push_back(it->second);
    }
    return MakeCueRows(sheet, paths, facts);
}

} // namespace tessel
