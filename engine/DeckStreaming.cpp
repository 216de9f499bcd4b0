// Moving audio from the chunk store into the output ring and following it:
// the refill, the end of the data, underruns, track changes, the level meter.
//
// The refill goes by position, not by the number of notifications: one
// device callback may pass several segment ends and they arrive as one
// wake-up, so each look fills until the wanted number of segments lies
// written ahead of the cursor, however far the cursor moved. What the
// listener hears lags the cursor by the device's latency; the track change,
// the level meter and the elapsed time follow what is heard.
#include "core/Status.h"
#include "engine/Deck.h"

#include <algorithm>

namespace tessel {

namespace {
// Segments the deck keeps readable behind the cursor for what is still
// being heard; the latency it follows is capped so that the refill never
// reaches them.
constexpr uint64_t kMaxLatencySegments = kRingSegments - CDeck::kFillTarget - 2;
} // namespace

void CDeck::AudioOutputOpen() {
    m_streamRate = static_cast<uint32_t>(m_reader.GetSampleRate());
    if (m_streamRate == 0)
        m_streamRate = 44100;
    m_output.OpenStream(m_streamRate);
    m_streamOpen = true;
    ApplyVolume();
    m_store.m_readIndex = 0;
    m_audioBytesWritten = 0;
    m_reachedEnd = false;
    m_cursorSegment = 0;
    m_reportedStarvation = {};
    for (int i = 0; i < kFillTarget && FillNextSegment(); ++i) {
    }
}

void CDeck::ApplyVolume() {
    m_output.SetVolume(1.0 - m_volumeLevel / 1000.0);
}

bool CDeck::ReaderHasEnded() const {
    return m_worker->HasEnded();
}

bool CDeck::IsAheadOfOutput() const {
    // Two chunks: a notification may take two.
    return m_store.BytesInUse() >= 2 * kChunkBytes || ReaderHasEnded();
}

bool CDeck::FillNextSegment() {
    const uint64_t writtenFrames = m_output.GetFramesWritten();
    const auto seg = static_cast<size_t>(writtenFrames / kChunkFrames % kRingSegments);
    // Asked before the slot: the read worker stores its last chunk before it
    // says it has ended, so "ended and empty" really is the end.
    const bool readerEnded = ReaderHasEnded();
    const int slot = m_store.m_readIndex;
    if (!m_store.IsInUse(slot)) {
        if (!readerEnded) {
            // Decoding fell behind: hurry it, and let the device wait for it
            // rather than write silence that would delay the audio after it.
            m_worker->Wake();
            return false;
        }
        if (m_output.WriteForward(m_silence.data()) != S_OK_STATUS)
            return false;
        m_segmentEndMark[seg] = true;
        m_segmentTrackSerial[seg] = 0;
        return true;
    }
    const auto s = static_cast<size_t>(slot);
    const uint8_t* chunk = m_store.SlotData(slot);
    const uint32_t offset = m_output.GetForwardWriteOffset();
    if (m_output.WriteForward(chunk) != S_OK_STATUS)
        return false;
    m_analysis.StoreChunk(0, reinterpret_cast<const int16_t*>(chunk), static_cast<int>(offset));
    m_segmentEndMark[seg] = false;
    m_segmentTrackSerial[seg] = m_store.m_trackSerial[s];
    m_segmentTrackFrame[seg] =
        m_store.m_trackFrameEnd[s] - static_cast<int64_t>(BytesToFrames(m_store.m_validBytes[s]));
    m_audioBytesWritten += m_store.m_validBytes[s];
    m_store.Release();
    if (++m_chunksSinceWake >= kReaderWakeChunks) {
        m_worker->Wake();
        m_chunksSinceWake = 0;
    }
    return true;
}

void CDeck::OnPlayForwardNotify() {
    m_notifyPending.store(false, std::memory_order_release);
    if (m_state == State::Stopping && m_output.StopRampPlayed(m_stopTicket)) {
        FinishStopping();
        return;
    }
    const bool running = m_state == State::Playing || m_state == State::Stopping;
    if (!running || m_reachedEnd || !m_output.IsPlayingForward())
        return;
    const uint64_t played = m_output.GetFramesPlayed();
    const uint64_t writtenSegments = m_output.GetFramesWritten() / kChunkFrames;
    const uint64_t cursorSegment = played / kChunkFrames;

    // The segments the cursor has entered since the last look; only written
    // ones carry marks of this stream.
    bool endReached = played == m_output.GetFramesWritten() && ReaderHasEnded() &&
                      !m_store.IsInUse(m_store.m_readIndex);
    for (uint64_t i = m_cursorSegment; i <= cursorSegment && i < writtenSegments; ++i)
        endReached = endReached || m_segmentEndMark[static_cast<size_t>(i % kRingSegments)];
    if (endReached) {
        m_reachedEnd = true;
        m_output.StopForward();
        m_host.ShowLevel(0);
        if (m_state == State::Stopping)
            FinishStopping();
        return;
    }
    m_notifyCount += static_cast<int>(std::min<uint64_t>(cursorSegment - m_cursorSegment, 1000));
    m_cursorSegment = cursorSegment;

    while (m_output.GetFramesWritten() / kChunkFrames < cursorSegment + 1 + kFillTarget &&
           FillNextSegment()) {
    }
    ReportUnderruns(played);
    FollowHeardPosition(played);
    // Edits to the list reach the reader within a segment.
    PublishCue();
}

void CDeck::ReportUnderruns(uint64_t played) {
    const StarvationReport now = m_output.GetStarvation();
    // Told once the device plays again, when the silence is complete.
    if (now.underruns == m_reportedStarvation.underruns || played <= now.lastBeganAt)
        return;
    const double rate = m_streamRate;
    m_host.OnUnderrun(static_cast<double>(now.lastBeganAt) / rate,
                      static_cast<double>(now.starvedFrames - m_reportedStarvation.starvedFrames) /
                          rate);
    m_reportedStarvation = now;
}

uint64_t CDeck::HeardFrame(uint64_t played) const {
    const uint64_t latency =
        std::min<uint64_t>(m_output.GetLatencyFrames(), kMaxLatencySegments * kChunkFrames);
    return played > latency ? played - latency : 0;
}

void CDeck::FollowHeardPosition(uint64_t played) {
    const uint64_t heard = HeardFrame(played);
    const auto s = static_cast<size_t>(heard / kChunkFrames % kRingSegments);
    const uint64_t serial = m_segmentTrackSerial[s];
    // The first chunk of a handed-over track is being heard now.
    if (IsLoaded(m_state) && serial != 0 && serial != m_track.serial)
        OnHandedOverTrackHeard(serial);
    m_host.ShowLevel(static_cast<int>(m_analysis.GetLevelDb(0, static_cast<int>(s))));
    if (m_notifyCount >= kDisplayEverySegments) {
        UpdateTimeDisplay(heard);
        UpdatePositionSlider();
        m_notifyCount = 0;
    }
}

} // namespace tessel
