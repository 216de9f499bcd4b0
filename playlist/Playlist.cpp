#include "playlist/Playlist.h"

#include "playlist/SearchText.h"

#include <algorithm>
#include <random>

namespace tessel {

void CPlaylist::NotifyRow(int index) {
    if (onRowChanged)
        onRowChanged(index);
}

void CPlaylist::NotifyList() {
    if (onListChanged)
        onListChanged();
}

void CPlaylist::PlayRow(int index) {
    MarkLoaded(index);
    if (onPlayLoadedEntry)
        onPlayLoadedEntry();
}

void CPlaylist::AddTrackRow(const std::string& trackPath, double length,
                            const std::string& id3Tag) {
    m_tracks.AddTrack(id3Tag, length, trackPath, -1);
    NotifyList();
}

int CPlaylist::GetRowCount() const {
    return m_tracks.GetCount();
}

void CPlaylist::MarkLoaded(int index) {
    if (index < 0 || index >= m_tracks.GetCount())
        return;
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (i != index && m_tracks.IsLoaded(i)) {
            m_tracks.ClearLoaded(i);
            NotifyRow(i);
        }
    }
    m_tracks.SetLoaded(index);
    NotifyRow(index);
}

void CPlaylist::PlayEntry(int index) {
    if (index >= 0 && index < m_tracks.GetCount())
        PlayRow(index);
}

void CPlaylist::ClearLoadedRows() {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (m_tracks.IsLoaded(i)) {
            m_tracks.ClearLoaded(i);
            NotifyRow(i);
        }
    }
}

int CPlaylist::GetLoadedIndex() const {
    // The last one, should several ever carry the mark.
    for (int i = m_tracks.GetCount() - 1; i >= 0; --i)
        if (m_tracks.IsLoaded(i))
            return i;
    return -1;
}

std::string CPlaylist::GetLoadedTrackPath() const {
    return m_tracks.GetTrackPath(GetLoadedIndex());
}

void CPlaylist::SetLoadedTrackLength(double seconds) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (!m_tracks.IsLoaded(i))
            continue;
        // The deck reads the same headers the estimate came from; only a
        // count through the file makes such a length exact.
        const LengthOrigin origin = m_tracks.GetLengthOrigin(i);
        if (origin == LengthOrigin::Counted)
            continue;
        m_tracks.SetLength(i, seconds, origin);
        NotifyRow(i);
    }
}

bool CPlaylist::NextTrack() {
    const int loaded = GetLoadedIndex();
    const EntryId next = m_order->PeekNextForUser(loaded >= 0 ? m_tracks.GetId(loaded) : 0);
    const int row = m_tracks.FindRow(next);
    if (row < 0)
        return false;
    PlayRow(row);
    return true;
}

bool CPlaylist::PreviousTrack() {
    const int loaded = GetLoadedIndex();
    if (loaded < 0)
        return false;
    const EntryId previous = m_order->PeekPrevious(m_tracks.GetId(loaded));
    const int row = m_tracks.FindRow(previous);
    if (row < 0)
        return false;
    m_order->StepBack(previous);
    PlayRow(row);
    return true;
}

CPlaylist::CPlaylist() : m_order(std::make_unique<CPlayOrder>(m_tracks, std::random_device{}())) {}

void CPlaylist::ReseedOrder(uint32_t seed) {
    auto order = std::make_unique<CPlayOrder>(m_tracks, seed);
    order->SetRepeat(m_order->Repeat());
    order->SetShuffle(m_order->Shuffle());
    m_order = std::move(order);
}

void CPlaylist::MarkUnreadable(const std::string& trackPath, TrackRange range) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (m_tracks.GetTrackPath(i) == trackPath && !m_tracks.IsUnreadable(i) &&
            (range.IsWholeFile() || m_tracks.GetRange(i) == range)) {
            m_tracks.SetUnreadable(i);
            NotifyRow(i);
        }
    }
}

void CPlaylist::OnTrackLengthLoaded(const std::string& trackPath, const std::string& tag,
                                    double length, LengthOrigin origin) {
    TakeMeasurement(trackPath, tag, nullptr, length, origin);
}

void CPlaylist::OnTrackLengthLoaded(const std::string& trackPath, const TrackTags& tags,
                                    double length, LengthOrigin origin) {
    TakeMeasurement(trackPath, tags.title, &tags, length, origin);
}

void CPlaylist::TakeMeasurement(const std::string& trackPath, const std::string& tag,
                                const TrackTags* tags, double length, LengthOrigin origin) {
    if (length < 0.0) {
        MarkUnreadable(trackPath);
        return;
    }
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        // A measured file is the whole album for its ranged rows, whose
        // lengths and titles are their own.
        if (record.trackPath != trackPath || record.HasRange())
            continue;
        if (!tag.empty())
            m_tracks.SetTag(i, tag);
        if (tags != nullptr)
            m_tracks.SetTags(i, *tags);
        if (record.lengthOrigin != LengthOrigin::Counted || origin == LengthOrigin::Counted)
            m_tracks.SetLength(i, length, origin);
        NotifyRow(i);
    }
}

void CPlaylist::SplitIntoParts(const std::string& trackPath, const std::vector<FilePart>& parts) {
    if (parts.size() < 2)
        return;
    bool split = false;
    // From the end, so the rows still to look at keep their numbers.
    for (int i = m_tracks.GetCount() - 1; i >= 0; --i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        if (record.trackPath != trackPath || record.HasRange() || record.loaded || record.cuedNext)
            continue;
        const TrackTags tags = record.Tags();
        for (size_t k = 0; k < parts.size(); ++k) {
            const FilePart& part = parts[k];
            const int row = i + static_cast<int>(k);
            if (k > 0)
                m_tracks.AddTrack(std::string(), -1.0, trackPath, row);
            m_tracks.SetTag(row, part.title);
            m_tracks.SetTags(row, tags);
            m_tracks.SetLength(row, part.seconds, LengthOrigin::Stated);
            m_tracks.SetRange(row, part.range.start, part.range.end, std::string());
        }
        split = true;
    }
    if (split)
        NotifyList();
}

void CPlaylist::ReportProblems(const PlaylistReadResult& read) const {
    if (!read.problems.empty() && onSheetProblems)
        onSheetProblems(read.problems);
}

int CPlaylist::FindRow(const std::string& text, int from, int end) const {
    const CSearchText wanted(text);
    end = std::min(end, m_tracks.GetCount());
    for (int i = std::max(from, 0); i < end; ++i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        if (wanted.FoundIn(record.id3Tag) || wanted.FoundIn(record.Tags().artist) ||
            wanted.FoundIn(record.Tags().album) || wanted.FoundIn(record.trackPath))
            return i;
    }
    return -1;
}

PlaylistReadResult CPlaylist::LoadPlayList(const std::string& filePath) {
    PlaylistReadResult result = tessel::LoadPlayList(filePath, cueFileProbe);
    ReportProblems(result);
    for (const PlaylistEntry& entry : result.entries)
        AppendEntry(m_tracks, entry);
    if (!result.entries.empty())
        NotifyList();
    return result;
}

PlaylistSaveResult CPlaylist::SavePlayList(const std::string& filePath, PlaylistFormat format) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (!m_tracks.GetTag(i).empty() || m_tracks.GetRecord(i)->HasRange())
            continue;
        if (!m_tracks.ReadId3Tag(i, true).empty())
            NotifyRow(i);
    }
    return SavePlaylistFile(filePath, m_tracks, format, PlaylistTitles::AsStored);
}

} // namespace tessel
