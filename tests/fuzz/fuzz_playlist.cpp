// Feeds arbitrary bytes to both playlist readers and writes what they found
// back out, checking that a written list reads back to the same entries; and
// to the CUE sheet reader, checking that every row it makes is a real range.
#include "playlist/CueSheet.h"
#include "playlist/PlaylistFiles.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tessel;

namespace {

void CheckCueRows(std::string_view bytes) {
    const CueSheet sheet = ParseCueSheet(bytes);
    if (sheet.files.size() > kMaxCueFiles || sheet.tracks.size() > kMaxCueTracks ||
        sheet.problems.size() > kMaxCueProblems)
        std::abort();
    const std::vector<std::string> paths(sheet.files.size(), "/a.flac");
    for (int rate : {44100, 48000}) {
        const std::vector<CueFileFacts> facts(sheet.files.size(),
                                              CueFileFacts{true, rate, 1 << 30});
        const CueRows rows = MakeCueRows(sheet, paths, facts);
        for (const CueRow& row : rows.rows)
            if (row.startFrame < 0 || row.startFrame >= (1 << 30) ||
                (row.endFrame != -1 && row.endFrame <= row.startFrame))
                std::abort();
    }
}

// The kept playlist's range lines: whatever they hold, a range that is
// taken is a real one.
void CheckRangeLines(std::string_view bytes) {
    const PlaylistReadResult read =
        ParsePlaylist(bytes, PlaylistFormat::M3u8, "/lists", PlaylistLines::WithRanges);
    for (const PlaylistEntry& entry : read.entries)
        if (entry.rangeStart < -1 ||
            (entry.rangeStart >= 0 && entry.rangeEnd != -1 && entry.rangeEnd <= entry.rangeStart) ||
            (entry.rangeStart < 0 && !entry.sheetPath.empty()))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckCueRows(bytes);
    CheckRangeLines(bytes);
    for (PlaylistFormat format : {PlaylistFormat::M3u, PlaylistFormat::Pls}) {
        const PlaylistReadResult first = ParsePlaylist(bytes, format, "/lists");
        if (first.entries.size() > kMaxPlaylistEntries)
            std::abort();
        int skipped = 0;
        const std::string text = FormatPlaylist(first.entries, format, &skipped);
        const PlaylistReadResult second = ParsePlaylist(text, format, "/lists");
        if (second.entries.size() + static_cast<size_t>(skipped) != first.entries.size())
            std::abort();
        for (size_t i = 0, j = 0; i < first.entries.size() && j < second.entries.size(); ++i) {
            const PlaylistEntry& a = first.entries[i];
            const bool local = a.path.front() == '/'; // written as a URL when need be
            if (!local && a.path.find_first_of("\r\n") != std::string::npos)
                continue; // never written
            const bool edgeSpace = std::isspace(static_cast<unsigned char>(a.path.front())) ||
                                   std::isspace(static_cast<unsigned char>(a.path.back()));
            if (!local && edgeSpace) { // the reader trims entry text by design
                ++j;
                continue;
            }
            if (a.path != second.entries[j].path)
                std::abort();
            ++j;
        }
    }
    return 0;
}
