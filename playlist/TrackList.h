// The playlist's data model: an ordered list of entries addressed by
// zero-based index. Every by-index operation answers a fixed fallback for an
// index outside 0..count-1 (getters) or does nothing (setters), so callers
// holding a stale row number never fail.
//
// Threads: main thread only; there is no lock.
#pragma once

#include "core/ReplayGainValues.h"
#include "core/TrackRange.h"
#include "core/TrackTags.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessel {

// An entry's identity for as long as the list lives: it survives inserts,
// deletes, moves and sorting, where a row number does not. 0 is no entry.
using EntryId = uint64_t;

// Where a known length came from, which decides what may replace it.
enum class LengthOrigin : unsigned char {
    Stated,    // a header, a playlist file or the deck said so
    Estimated, // worked out from the bitrate: shown as such, counted when played
    Counted,   // counted through the whole file: nothing replaces it
};

// What only some entries have: a part of the file (a CUE sheet's track, a
// chapter), in sample frames at the file's own rate, and a sheet's gains.
struct TrackPart {
    int64_t rangeStart = -1;    // -1: the whole file
    int64_t rangeEnd = -1;      // -1: to the end of the file
    std::string sheetPath;      // the sheet the range came from; empty for a chapter
    ReplayGainValues sheetGain; // the sheet's REM values, which win over the file's tags
};

// One playlist entry. Text is UTF-8. Tags and parts are held apart and only
// where there are any, so a long list of plain files stays small.
struct TrackRecord {
    std::string id3Tag;  // title; empty when unknown
    bool loaded = false; // the entry is the one loaded in the deck
    bool cuedNext = false;
    bool selected = false;
    bool unreadable = false;
    double length = -1.0; // seconds; -1.0 = not known yet
    LengthOrigin lengthOrigin = LengthOrigin::Stated;
    std::string trackPath;
    EntryId id = 0;
    // The file's other tags; their title is left empty, id3Tag holds it.
    std::unique_ptr<TrackTags> tags;
    std::unique_ptr<TrackPart> part;

    const TrackTags& Tags() const { return tags ? *tags : kNoTags; }
    const TrackPart& Part() const { return part ? *part : kWholeFile; }
    bool HasRange() const { return Part().rangeStart >= 0; }

    static const TrackTags kNoTags;
    static const TrackPart kWholeFile;
};

class CTrackList {
  public:
    CTrackList() = default;
    CTrackList(const CTrackList&) = delete;
    CTrackList& operator=(const CTrackList&) = delete;

    int GetCount() const { return static_cast<int>(m_records.size()); }
    // Changes whenever entries are added, removed or moved.
    uint64_t Version() const { return m_version; }
    EntryId GetId(int index) const; // [0]
    int FindRow(EntryId id) const;  // -1 when no entry has it

    // Inserts before the record at insertAt; -1 (or any index outside
    // 0..count) appends, so an entry is never dropped.
    void AddTrack(const std::string& id3Tag, double length, const std::string& trackPath,
                  int insertAt = -1);
    // Where a path goes among the records from startIndex on: before the
    // first whose path sorts higher (byte-wise, case-sensitive), else at the
    // end. Records before startIndex keep their places whatever their paths.
    int SortedPosition(const std::string& trackPath, int startIndex) const;
    void RemoveTrack(int index);
    void RemoveAll();
    // MoveUp(0) and MoveDown(count - 1) leave the list as it is.
    void MoveUp(int index);
    void MoveDown(int index);

    double GetLength(int index) const;         // [-1.0]
    std::string GetTrackPath(int index) const; // [""]
    TrackRange GetRange(int index) const;      // [the whole file]
    // [""] file name without folder and extension; for a part of its file
    // (a sheet's track, a chapter) followed by " – " and its title.
    std::string GetTrackName(int index) const;
    std::string GetTag(int index) const;       // [""]
    const TrackTags& GetTags(int index) const; // [empty tags]
    // The row text of the tag view: "Artist – Title" when both are known,
    // else the title. [""]
    std::string GetTagLine(int index) const;
    // With readFile, first takes the title from the file's ID3v1 block when
    // it has one; then answers the tag. [""]
    std::string ReadId3Tag(int index, bool readFile);
    // [""] "m:ss", "~m:ss" for an estimate.
    std::string GetLengthText(int index) const;
    LengthOrigin GetLengthOrigin(int index) const; // [Stated]
    bool IsLoaded(int index) const;                // [false]
    bool IsCuedNext(int index) const;              // [false]
    bool IsSelected(int index) const;              // [false]
    bool IsUnreadable(int index) const;            // [true]

    void SetTag(int index, const std::string& id3Tag);
    // Every tag but the title, which stays with SetTag.
    void SetTags(int index, const TrackTags& tags);
    void SetLength(int index, double seconds, LengthOrigin origin = LengthOrigin::Stated);
    void SetLoaded(int index);
    void ClearLoaded(int index);
    void SetCuedNext(int index);
    void ClearCuedNext(int index);
    void SetSelected(int index);
    void ClearSelected(int index);
    void SetUnreadable(int index);
    void ClearCued();
    // Makes the entry a part of its file (see TrackRecord); a start below 0
    // makes it the whole file again.
    void SetRange(int index, int64_t start, int64_t end, const std::string& sheetPath);
    void SetSheetGain(int index, const ReplayGainValues& gain);
    const ReplayGainValues& GetSheetGain(int index) const; // [none]
    // Values a loudness scan measured for a file without gain tags; they
    // count for every entry of the file that has no sheet values of its own.
    // Kept by path for as long as the list lives, not stored with it.
    void SetMeasuredGain(const std::string& trackPath, const ReplayGainValues& gain);
    void ClearMeasuredGains() { m_measuredGains.clear(); }
    // What the entry plays with in place of its file's tags: the sheet's
    // values, else the measured ones, else none (the tags then count). [none]
    ReplayGainValues GetEntryGain(int index) const;

    // Read access to a whole record; nullptr for a bad index.
    const TrackRecord* GetRecord(int index) const;

  private:
    TrackRecord* At(int index);
    const TrackRecord* At(int index) const;

    // unique_ptr keeps records at stable addresses while the vector gives
    // constant-time index access for long lists.
    std::vector<std::unique_ptr<TrackRecord>> m_records;
    std::unordered_map<std::string, ReplayGainValues> m_measuredGains;
    EntryId m_lastId = 0;
    uint64_t m_version = 0;
};

} // namespace tessel
