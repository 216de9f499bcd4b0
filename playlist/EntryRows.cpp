#include "playlist/EntryRows.h"

#include <algorithm>

namespace tessel {

int CEntryRows::RowOf(EntryId id) const {
    if (id == 0)
        return -1;
    if (m_version != m_tracks.Version()) {
        m_version = m_tracks.Version();
        m_rowOfId.clear();
        m_rowOfId.reserve(static_cast<size_t>(m_tracks.GetCount()));
        for (int i = 0; i < m_tracks.GetCount(); ++i)
            m_rowOfId.emplace_back(m_tracks.GetId(i), i);
        // Ids mostly rise down the list, which the sort is quick with.
        std::sort(m_rowOfId.begin(), m_rowOfId.end());
    }
    const auto at = std::lower_bound(m_rowOfId.begin(), m_rowOfId.end(), std::pair{id, -1});
    return at != m_rowOfId.end() && at->first == id ? at->second : -1;
}

bool CEntryRows::IsPlayable(EntryId id) const {
    const TrackRecord* record = m_tracks.GetRecord(RowOf(id));
    return record != nullptr && !record->unreadable;
}

} // namespace tessel
