#include "ListRows.h"

#include "decode/AudioFileReader.h"
#include "engine/FileParts.h"
#include "playlist/Playlist.h"

#include <filesystem>
#include <set>

namespace tessel {

namespace {

std::string RangeText(const TrackRange& range) {
    if (range.IsWholeFile())
        return {};
    return "\t" + std::to_string(range.start) + "-" +
           (range.end < 0 ? std::string("end") : std::to_string(range.end));
}

} // namespace

int ListRows(const std::vector<std::string>& inputs, std::FILE* out) {
    CPlaylist playlist;
    playlist.cueFileProbe = ProbeSheetFile;
    bool someFailed = false;
    for (const std::string& path : inputs) {
        if (!IsPlaylistFile(std::filesystem::path(path).extension().string())) {
            playlist.AddTrackRow(path, -1.0, std::string());
            continue;
        }
        const PlaylistReadResult read = playlist.LoadPlayList(path);
        if (read.status != PlaylistReadStatus::Ok) {
            std::fprintf(stderr, "File Not Recognized: %s\n", path.c_str());
            someFailed = true;
        }
        // A damaged sheet's tracks that were left out, and why.
        for (const std::string& problem : read.problems)
            std::fprintf(stderr, "%s\n", problem.c_str());
    }
    // A file with chapters lists as its chapters, as the player shows it
    // once it has measured the file.
    std::set<std::string> wholeFiles;
    for (int row = 0; row < playlist.Tracks().GetCount(); ++row)
        if (playlist.Tracks().GetRange(row).IsWholeFile())
            wholeFiles.insert(playlist.Tracks().GetTrackPath(row));
    for (const std::string& path : wholeFiles)
        playlist.SplitIntoParts(path, ChapterParts(ReadChapters(path)));
    // Each row is opened as the deck opens it, so the length is the one it
    // plays, to the sample.
    CAudioFileReader reader;
    const CTrackList& tracks = playlist.Tracks();
    for (int row = 0; row < tracks.GetCount(); ++row) {
        const std::string path = tracks.GetTrackPath(row);
        const TrackRange range = tracks.GetRange(row);
        const bool opens = !tracks.IsUnreadable(row) && reader.Open(path, range) == 0;
        std::string title = tracks.GetTag(row);
        if (title.empty() && opens)
            title = reader.GetTitle();
        if (opens)
            std::fprintf(out, "%d\t%.3f\t%s\t%s%s\n", row + 1, reader.GetDurationSeconds(),
                         title.c_str(), path.c_str(), RangeText(range).c_str());
        else
            std::fprintf(out, "%d\t-\tFile Not Recognized\t%s%s\n", row + 1, path.c_str(),
                         RangeText(range).c_str());
        someFailed = someFailed || !opens;
        reader.Close();
    }
    return someFailed ? 1 : 0;
}

} // namespace tessel
