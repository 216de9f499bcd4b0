#include "playlist/Playlist.h"

#include "playlist/SearchText.h"

#include <algorithm>

namespace tessel {

void CPlaylist::NotifyRow(int index) {
    if (onRowChanged)
        onRowChanged(index);
}

void CPlaylist::NotifyList() {
    if (onListChanged)
        onListChanged();
}

// The first row of the deck from `from` on, walking by `step`; -1 when none.
int CPlaylist::FindDeckRow(int deck, int from, int step) const {
    for (int i = from; i >= 0 && i < m_tracks.GetCount(); i += step)
        if (m_tracks.GetDeck(i) == deck)
            return i;
    return -1;
}

void CPlaylist::PlayRow(int deck, int index) {
    MarkLoaded(index);
    if (onPlayLoadedEntry)
        onPlayLoadedEntry(deck);
}

void CPlaylist::AddTrackRow(int deck, const std::string& trackPath, double length,
                            const std::string& id3Tag) {
    m_tracks.AddTrack(deck, id3Tag, length, trackPath, -1);
    NotifyList();
}

int CPlaylist::GetRowCount() const {
    return m_tracks.GetCount();
}

void CPlaylist::MarkLoaded(int index) {
    if (index < 0 || index >= m_tracks.GetCount())
        return;
    const int deck = m_tracks.GetDeck(index);
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (i != index && m_tracks.IsLoaded(i) && m_tracks.GetDeck(i) == deck) {
            m_tracks.ClearLoaded(i);
            NotifyRow(i);
        }
    }
    m_tracks.SetLoaded(index);
    NotifyRow(index);
}

void CPlaylist::PlayEntry(int index) {
    if (index >= 0 && index < m_tracks.GetCount())
        PlayRow(m_tracks.GetDeck(index), index);
}

void CPlaylist::ClearLoadedForDeckRows(int deck) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (m_tracks.IsLoaded(i) && m_tracks.GetDeck(i) == deck) {
            m_tracks.ClearLoaded(i);
            NotifyRow(i);
        }
    }
}

int CPlaylist::GetLoadedIndex(int deck) const {
    // The last one, should several ever carry the mark.
    for (int i = m_tracks.GetCount() - 1; i >= 0; --i)
        if (m_tracks.IsLoaded(i) && m_tracks.GetDeck(i) == deck)
            return i;
    return -1;
}

std::string CPlaylist::GetLoadedTrackPath(int deck) const {
    return m_tracks.GetTrackPath(GetLoadedIndex(deck));
}

void CPlaylist::SetLoadedTrackLength(int deck, double seconds) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (!m_tracks.IsLoaded(i) || m_tracks.GetDeck(i) != deck)
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

bool CPlaylist::IsLoadedTrackCd(int deck) const {
    return m_tracks.IsCdTrack(GetLoadedIndex(deck));
}

void CPlaylist::NextTrack(int deck, bool& found) {
    found = false;
    const int loaded = GetLoadedIndex(deck);
    const int next = FindDeckRow(deck, loaded + 1, +1);
    if (next < 0)
        return;
    PlayRow(deck, next);
    found = true;
}

void CPlaylist::PreviousTrack(int deck, bool& found) {
    found = false;
    const int loaded = GetLoadedIndex(deck);
    if (loaded <= 0)
        return;
    const int previous = FindDeckRow(deck, loaded - 1, -1);
    if (previous < 0)
        return;
    PlayRow(deck, previous);
    found = true;
}

std::string CPlaylist::CueNextTrack(int deck) {
    return CueNextTrack(deck, GetLoadedIndex(deck));
}

std::string CPlaylist::CueNextTrack(int deck, int afterIndex) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (m_tracks.IsCuedNext(i) && m_tracks.GetDeck(i) == deck) {
            m_tracks.ClearCuedNext(i);
            NotifyRow(i);
        }
    }
    const int next = FindDeckRow(deck, afterIndex < 0 ? 0 : afterIndex + 1, +1);
    if (next < 0)
        return {};
    m_tracks.SetCuedNext(next);
    NotifyRow(next);
    return m_tracks.GetTrackPath(next);
}

int CPlaylist::GetCuedIndex(int deck) const {
    for (int i = 0; i < m_tracks.GetCount(); ++i)
        if (m_tracks.IsCuedNext(i) && m_tracks.GetDeck(i) == deck)
            return i;
    return -1;
}

void CPlaylist::LoadCuedTrack() {
    const int cued = GetCuedIndex(0);
    if (cued >= 0)
        MarkLoaded(cued);
}

void CPlaylist::MarkUnreadable(const std::string& trackPath) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (m_tracks.GetTrackPath(i) == trackPath && !m_tracks.IsUnreadable(i)) {
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

int CPlaylist::FindRow(const std::string& text, int from, int end) const {
    const CSearchText wanted(text);
    end = std::min(end, m_tracks.GetCount());
    for (int i = std::max(from, 0); i < end; ++i) {
        const TrackRecord& record = *m_tracks.GetRecord(i);
        if (wanted.FoundIn(record.id3Tag) || wanted.FoundIn(record.tags.artist) ||
            wanted.FoundIn(record.tags.album) || wanted.FoundIn(record.trackPath))
            return i;
    }
    return -1;
}

PlaylistReadResult CPlaylist::LoadPlayList(const std::string& filePath) {
    PlaylistReadResult result = tessel::LoadPlayList(filePath, cueFileProbe);
    for (const PlaylistEntry& entry : result.entries)
        AppendEntry(m_tracks, entry);
    if (!result.entries.empty())
        NotifyList();
    return result;
}

PlaylistSaveResult CPlaylist::SavePlayList(const std::string& filePath, PlaylistFormat format) {
    for (int i = 0; i < m_tracks.GetCount(); ++i) {
        if (!m_tracks.HasDetails(i))
            continue;
        if (!m_tracks.GetTag(i).empty() || m_tracks.GetRecord(i)->HasRange())
            continue;
        if (!m_tracks.ReadId3Tag(i, true).empty())
            NotifyRow(i);
    }
    return SavePlaylistFile(filePath, m_tracks, format, PlaylistTitles::AsStored);
}

} // namespace tessel
