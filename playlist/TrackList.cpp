#include "playlist/TrackList.h"

#include "playlist/Id3v1.h"
#include "playlist/TrackText.h"

#include <algorithm>
#include <utility>

namespace tessel {

namespace {

std::unique_ptr<TrackRecord> MakeRecord(const std::string& id3Tag, double length,
                                        const std::string& trackPath) {
    auto record = std::make_unique<TrackRecord>();
    record->id3Tag = id3Tag;
    record->length = length;
    record->trackPath = trackPath;
    return record;
}

} // namespace

const TrackTags TrackRecord::kNoTags;
const TrackPart TrackRecord::kWholeFile;

namespace {

TrackPart& PartOf(TrackRecord& record) {
    if (!record.part)
        record.part = std::make_unique<TrackPart>();
    return *record.part;
}

} // namespace

TrackRecord* CTrackList::At(int index) {
    return index >= 0 && index < GetCount() ? m_records[static_cast<size_t>(index)].get() : nullptr;
}

const TrackRecord* CTrackList::At(int index) const {
    return index >= 0 && index < GetCount() ? m_records[static_cast<size_t>(index)].get() : nullptr;
}

const TrackRecord* CTrackList::GetRecord(int index) const {
    return At(index);
}

void CTrackList::AddTrack(const std::string& id3Tag, double length, const std::string& trackPath,
                          int insertAt) {
    auto record = MakeRecord(id3Tag, length, trackPath);
    record->id = ++m_lastId;
    ++m_version;
    if (insertAt >= 0 && insertAt < GetCount())
        m_records.insert(m_records.begin() + insertAt, std::move(record));
    else
        m_records.push_back(std::move(record));
}

int CTrackList::SortedPosition(const std::string& trackPath, int startIndex) const {
    for (int i = std::max(startIndex, 0); i < GetCount(); ++i) {
        // std::string compares bytes as unsigned char: UTF-8 code point order.
        if (trackPath < m_records[static_cast<size_t>(i)]->trackPath)
            return i;
    }
    return GetCount();
}

void CTrackList::RemoveTrack(int index) {
    if (At(index)) {
        m_records.erase(m_records.begin() + index);
        ++m_version;
    }
}

void CTrackList::RemoveAll() {
    m_records.clear();
    ++m_version;
}

void CTrackList::MoveUp(int index) {
    if (index >= 1 && index < GetCount()) {
        std::swap(m_records[static_cast<size_t>(index)], m_records[static_cast<size_t>(index - 1)]);
        ++m_version;
    }
}

void CTrackList::MoveDown(int index) {
    if (index >= 0 && index < GetCount() - 1) {
        std::swap(m_records[static_cast<size_t>(index)], m_records[static_cast<size_t>(index + 1)]);
        ++m_version;
    }
}

EntryId CTrackList::GetId(int index) const {
    const TrackRecord* r = At(index);
    return r ? r->id : 0;
}

int CTrackList::FindRow(EntryId id) const {
    if (id == 0)
        return -1;
    for (int i = 0; i < GetCount(); ++i)
        if (m_records[static_cast<size_t>(i)]->id == id)
            return i;
    return -1;
}

double CTrackList::GetLength(int index) const {
    const TrackRecord* r = At(index);
    return r ? r->length : -1.0;
}

std::string CTrackList::GetTrackPath(int index) const {
    const TrackRecord* r = At(index);
    return r ? r->trackPath : std::string();
}

TrackRange CTrackList::GetRange(int index) const {
    const TrackRecord* r = At(index);
    return r && r->HasRange() ? TrackRange{r->Part().rangeStart, r->Part().rangeEnd} : TrackRange{};
}

std::string CTrackList::GetTrackName(int index) const {
    const TrackRecord* r = At(index);
    if (!r)
        return {};
    // The parts of one file (a sheet's tracks, chapters) are told apart by
    // their titles.
    std::string name = TrackNameFromPath(r->trackPath);
    if (r->HasRange() && !r->id3Tag.empty())
        name += " \u2013 " + r->id3Tag;
    return name;
}

std::string CTrackList::GetTag(int index) const {
    const TrackRecord* r = At(index);
    return r ? r->id3Tag : std::string();
}

const TrackTags& CTrackList::GetTags(int index) const {
    static const TrackTags kNone;
    const TrackRecord* r = At(index);
    return r ? r->Tags() : kNone;
}

std::string CTrackList::GetTagLine(int index) const {
    const TrackRecord* r = At(index);
    if (!r)
        return {};
    if (r->id3Tag.empty() || r->Tags().artist.empty())
        return r->id3Tag;
    return r->Tags().artist + " \u2013 " + r->id3Tag;
}

std::string CTrackList::ReadId3Tag(int index, bool readFile) {
    TrackRecord* r = At(index);
    if (!r)
        return {};
    if (readFile) {
        // An empty ID3v1 title keeps the title already known (from the
        // playlist file or the length loader) rather than erasing it.
        if (auto title = ReadId3v1Title(r->trackPath))
            r->id3Tag = std::move(*title);
    }
    return r->id3Tag;
}

std::string CTrackList::GetLengthText(int index) const {
    const TrackRecord* r = At(index);
    if (!r)
        return {};
    std::string text = FormatLengthText(r->length);
    if (r->lengthOrigin == LengthOrigin::Estimated && !text.empty())
        text = "~" + text;
    return text;
}

LengthOrigin CTrackList::GetLengthOrigin(int index) const {
    const TrackRecord* r = At(index);
    return r ? r->lengthOrigin : LengthOrigin::Stated;
}

bool CTrackList::IsLoaded(int index) const {
    const TrackRecord* r = At(index);
    return r && r->loaded;
}

bool CTrackList::IsCuedNext(int index) const {
    const TrackRecord* r = At(index);
    return r && r->cuedNext;
}

bool CTrackList::IsSelected(int index) const {
    const TrackRecord* r = At(index);
    return r && r->selected;
}

bool CTrackList::IsUnreadable(int index) const {
    const TrackRecord* r = At(index);
    return !r || r->unreadable;
}

void CTrackList::SetRange(int index, int64_t start, int64_t end, const std::string& sheetPath) {
    TrackRecord* r = At(index);
    if (!r)
        return;
    const bool valid = start >= 0 && (end < 0 || end > start);
    if (!valid && !r->part)
        return;
    TrackPart& part = PartOf(*r);
    part.rangeStart = valid ? start : -1;
    part.rangeEnd = valid && end > start ? end : -1;
    part.sheetPath = valid ? sheetPath : std::string();
}

void CTrackList::SetSheetGain(int index, const ReplayGainValues& gain) {
    TrackRecord* r = At(index);
    if (r && (r->part || !gain.Empty()))
        PartOf(*r).sheetGain = gain;
}

const ReplayGainValues& CTrackList::GetSheetGain(int index) const {
    static const ReplayGainValues kNone;
    const TrackRecord* r = At(index);
    return r ? r->Part().sheetGain : kNone;
}

void CTrackList::SetMeasuredGain(const std::string& trackPath, const ReplayGainValues& gain) {
    m_measuredGains[trackPath] = gain;
}

ReplayGainValues CTrackList::GetEntryGain(int index) const {
    const TrackRecord* r = At(index);
    if (!r)
        return {};
    if (!r->Part().sheetGain.Empty())
        return r->Part().sheetGain;
    const auto measured = m_measuredGains.find(r->trackPath);
    return measured != m_measuredGains.end() ? measured->second : ReplayGainValues{};
}

void CTrackList::SetTag(int index, const std::string& id3Tag) {
    if (TrackRecord* r = At(index))
        r->id3Tag = id3Tag;
}

void CTrackList::SetTags(int index, const TrackTags& tags) {
    TrackRecord* r = At(index);
    if (!r)
        return;
    TrackTags kept = tags;
    kept.title.clear();
    if (kept == TrackTags{})
        r->tags.reset();
    else if (r->tags)
        *r->tags = std::move(kept);
    else
        r->tags = std::make_unique<TrackTags>(std::move(kept));
}

void CTrackList::SetLength(int index, double seconds, LengthOrigin origin) {
    if (TrackRecord* r = At(index)) {
        r->length = seconds;
        r->lengthOrigin = origin;
    }
}

void CTrackList::SetLoaded(int index) {
    if (TrackRecord* r = At(index))
        r->loaded = true;
}

void CTrackList::ClearLoaded(int index) {
    if (TrackRecord* r = At(index))
        r->loaded = false;
}

void CTrackList::SetCuedNext(int index) {
    if (TrackRecord* r = At(index))
        r->cuedNext = true;
}

void CTrackList::ClearCuedNext(int index) {
    if (TrackRecord* r = At(index))
        r->cuedNext = false;
}

void CTrackList::SetSelected(int index) {
    if (TrackRecord* r = At(index))
        r->selected = true;
}

void CTrackList::ClearSelected(int index) {
    if (TrackRecord* r = At(index))
        r->selected = false;
}

void CTrackList::SetUnreadable(int index) {
    if (TrackRecord* r = At(index))
        r->unreadable = true;
}

void CTrackList::ClearCued() {
    for (auto& r : m_records)
        r->cuedNext = false;
}

} // namespace tessel
