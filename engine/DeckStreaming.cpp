// Moving audio from the chunk store into the output ring, one segment per
// notification, and following it: end of data, underruns, track changes,
// the level meter.
#include "engine/Deck.h"

namespace tessel {

void CDeck::AudioOutputOpen() {
    m_streamRate = static_cast<uint32_t>(m_reader.GetSampleRate());
    if (m_streamRate == 0)
        m_streamRate = 44100;
    m_output.OpenStream(m_streamRate);
    ApplyVolume();
    m_store.m_readIndex = 0;
    m_audioBytesWritten = 0;
    m_reachedEnd = false;
    for (int i = 0; i < kFillTarget; ++i) {
        bool wrote = false;
        FillNextSegment(wrote);
    }
}

void CDeck::ApplyVolume() {
    m_output.SetVolume(1.0 - m_host.GetVolumeSlider() / 1000.0);
}

int CDeck::CountSegmentsWithData() const {
    int count = 0;
    for (bool hasData : m_segmentHasData)
        count += hasData ? 1 : 0;
    return count;
}

bool CDeck::IsAheadOfOutput() const {
    // Two chunks: a notification may take two.
    return m_store.BytesInUse() >= 2 * kChunkBytes ||
           m_engine.events.threadFileReadForwardIsDone.IsSet();
}

void CDeck::FillNextSegment(bool& wroteData) {
    const uint32_t offset = m_output.GetForwardWriteOffset();
    const auto seg = static_cast<size_t>(offset / kChunkBytes) % kRingSegments;
    // Asked before the slot: the read worker stores its last chunk before it
    // signals that it is done, so "done and empty" really is the end.
    const bool readerDone = m_engine.events.threadFileReadForwardIsDone.IsSet();
    const int slot = m_store.m_readIndex;
    if (!m_store.IsInUse(slot)) {
        // Silence. Only when the read worker has finished is this the end of
        // the data; otherwise decoding fell behind, and the cursor's arrival
        // here restarts the output once audio is there again.
        m_segmentEndMark[seg] = readerDone;
        if (!readerDone)
            m_engine.events.discReadForward.Set(); // decoding fell behind: hurry it
        m_segmentHasData[seg] = false;
        m_segmentTrack[seg].clear();
        m_segmentAudioBytes[seg] = 0;
        m_output.WriteForward(m_silence.data());
        wroteData = false;
        return;
    }
    const uint8_t* chunk = m_store.SlotData(slot);
    m_analysis.StoreChunk(0, reinterpret_cast<const int16_t*>(chunk), static_cast<int>(offset));
    m_segmentHasData[seg] = true;
    m_segmentEndMark[seg] = false;
    m_segmentTrack[seg] = m_store.m_trackName[static_cast<size_t>(slot)];
    m_segmentAudioBytes[seg] = m_store.m_validBytes[static_cast<size_t>(slot)];
    m_output.WriteForward(chunk);
    m_audioBytesWritten += m_store.m_validBytes[static_cast<size_t>(slot)];
    m_store.Release();
    if (++m_chunksSinceWake >= 27) {
        m_engine.events.discReadForward.Set();
        m_chunksSinceWake = 0;
    }
    wroteData = true;
}

void CDeck::OnPlayForwardNotify() {
    m_engine.events.playForwardNotify.Reset();
    if (!m_isPlaying || !m_output.IsPlayingForward())
        return;
    const uint32_t cursor = m_output.GetForwardPlayCursor();
    const int seg = static_cast<int>(cursor / kChunkBytes) % static_cast<int>(kRingSegments);
    const int prev = m_lastSegment == 0 ? static_cast<int>(kRingSegments) - 1 : m_lastSegment - 1;
    if (seg == m_lastSegment || cursor == 0 || seg == prev)
        return; // a duplicate or early signal
    const auto s = static_cast<size_t>(seg);
    if (m_segmentEndMark[s]) {
        m_reachedEnd = true;
        Stop();
        return;
    }
    const int ahead = CountSegmentsWithData();
    bool wrote = true;
    if (ahead == m_fillTarget) {
        FillNextSegment(wrote);
    } else if (ahead < m_fillTarget) {
        FillNextSegment(wrote);
        FillNextSegment(wrote);
    }
    bool restart = false;
    if (!m_segmentHasData[s]) {
        restart = true;
        Stop();
    }
    while (wrote && !m_segmentHasData[s])
        FillNextSegment(wrote);
    if (restart) {
        for (int i = 0; i < m_fillTarget; ++i)
            FillNextSegment(wrote);
        Play();
    }
    for (int i = m_lastSegment; i != seg; i = (i + 1) % static_cast<int>(kRingSegments))
        m_segmentHasData[static_cast<size_t>(i)] = false;
    m_segmentHasData[s] = false;
    m_lastSegment = seg;

    // The first chunk of a handed-over track is sounding now.
    const std::string& heard = m_segmentTrack[s];
    if (m_trackState == kTrackLoaded && !heard.empty() && heard != m_trackPath) {
        int row = -1;
        for (const auto& t : m_handedOverTracks) {
            if (t.path == heard) {
                row = t.row;
                break;
            }
        }
        SetCurrentTrack(heard);
        if (row >= 0)
            m_playlist.MarkLoaded(row);
        else
            m_playlist.LoadCuedTrack();
    }

    m_host.ShowLevel(static_cast<int>(m_analysis.GetLevelDb(0, seg)));

    if (++m_notifyCount >= 3) {
        // After a hand-over only the current track's segments are still to
        // be heard of it.
        int ringSegments = ahead;
        if (m_handedOver) {
            ringSegments = 0;
            for (size_t i = 0; i < kRingSegments; ++i)
                ringSegments += m_segmentHasData[i] && m_segmentTrack[i] == m_trackPath ? 1 : 0;
        }
        UpdateTimeDisplay(static_cast<uint32_t>(ringSegments) * kChunkBytes);
        UpdatePositionSlider();
        m_notifyCount = 0;
    }
}

} // namespace tessel
