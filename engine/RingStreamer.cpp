#include "engine/RingStreamer.h"

#include "core/Status.h"

#include <algorithm>
#include <limits>

namespace tessel {

namespace {
// Segments kept readable behind the cursor for what is still being heard;
// the latency followed is capped so that the refill never reaches them.
constexpr uint64_t kMaxLatencySegments = kRingSegments - CRingStreamer::kFillTarget - 2;
} // namespace

CRingStreamer::CRingStreamer(CSoundOutput& output, CChunkStore& store, CAnalysisRing& analysis,
                             CReadWorker& worker)
    : m_output(output), m_store(store), m_analysis(analysis), m_worker(worker),
      m_silence(kChunkBytes, 0) {}

void CRingStreamer::Open(uint32_t rate) {
    m_rate = rate == 0 ? 44100 : rate;
    m_endMark.fill(false);
    m_trackSerial.fill(0);
    m_trackFrame.fill(0);
    m_output.OpenStream(m_rate);
    m_gainSerial = 0;
    m_queuedGain = 1.0f;
    m_open = true;
    m_held.store(false, std::memory_order_release);
    m_store.m_readIndex = 0;
    m_audioBytesWritten = 0;
    m_reachedEnd = false;
    m_cursorSegment = 0;
    m_reportedStarvation = {};
    for (int i = 0; i < kFillTarget && FillNextSegment(); ++i) {
    }
}

void CRingStreamer::BeforeStart() {
    m_chunksSinceWake = 0;
    m_segmentsSinceShown = 0;
    // 0 in a stream just opened, the paused position when resuming.
    m_cursorSegment = m_output.GetFramesPlayed() / kChunkFrames;
    m_reachedEnd = false;
}

bool CRingStreamer::IsAheadOfOutput() const {
    // Two chunks: a notification may take two.
    return !m_held.load(std::memory_order_acquire) &&
           (m_store.BytesInUse() >= 2 * kChunkBytes || m_worker.HasEnded());
}

bool CRingStreamer::FillNextSegment() {
    if (m_held.load(std::memory_order_relaxed))
        return false;
    const uint64_t writtenFrames = m_output.GetFramesWritten();
    const auto seg = static_cast<size_t>(writtenFrames / kChunkFrames % kRingSegments);
    // Asked before the slot: the read worker stores its last chunk before it
    // says it has ended, so "ended and empty" really is the end.
    const bool readerEnded = m_worker.HasEnded();
    const int slot = m_store.m_readIndex;
    if (!m_store.IsInUse(slot)) {
        if (!readerEnded) {
            // Decoding fell behind: hurry it, and let the device wait for it
            // rather than write silence that would delay the audio after it.
            m_worker.Wake();
            return false;
        }
        if (m_output.WriteForward(m_silence.data()) != Status::Ok)
            return false;
        m_endMark[seg] = true;
        m_trackSerial[seg] = 0;
        m_audioBytes[seg] = 0;
        return true;
    }
    const auto s = static_cast<size_t>(slot);
    const uint8_t* chunk = m_store.SlotData(slot);
    const uint32_t offset = m_output.GetForwardWriteOffset();
    if (m_output.WriteForward(chunk) != Status::Ok)
        return false;
    m_analysis.StoreChunk(0, reinterpret_cast<const int16_t*>(chunk), static_cast<int>(offset));
    m_endMark[seg] = false;
    m_trackSerial[seg] = m_store.m_trackSerial[s];
    m_trackFrame[seg] =
        m_store.m_trackFrameEnd[s] - static_cast<int64_t>(BytesToFrames(m_store.m_validBytes[s]));
    m_audioBytes[seg] = m_store.m_validBytes[s];
    m_audioBytesWritten += m_store.m_validBytes[s];
    m_replayGain[seg] = m_store.m_replayGain[s];
    if (m_trackSerial[seg] != m_gainSerial) {
        m_gainSerial = m_trackSerial[seg];
        QueueGain(TrackStartIn(writtenFrames / kChunkFrames), GainOf(m_replayGain[seg]));
    }
    m_store.Release();
    if (++m_chunksSinceWake >= kReaderWakeChunks) {
        m_worker.Wake();
        m_chunksSinceWake = 0;
    }
    return true;
}

CRingStreamer::Look CRingStreamer::Advance() {
    Look look;
    const uint64_t played = m_output.GetFramesPlayed();
    const uint64_t writtenSegments = m_output.GetFramesWritten() / kChunkFrames;
    const uint64_t cursorSegment = played / kChunkFrames;

    // The segments the cursor has entered since the last look; only written
    // ones carry marks of this stream.
    // While held, the worker's end is the old job's, not the data's.
    const bool allPlayed = played == m_output.GetFramesWritten() &&
                           !m_held.load(std::memory_order_relaxed) && m_worker.HasEnded() &&
                           !m_store.IsInUse(m_store.m_readIndex);
    std::optional<uint64_t> endSegment;
    for (uint64_t i = m_cursorSegment; i <= cursorSegment && i < writtenSegments; ++i) {
        if (m_endMark[static_cast<size_t>(i % kRingSegments)]) {
            endSegment = i;
            break;
        }
    }
    if (endSegment || allPlayed) {
        m_reachedEnd = true;
        look.ended = true;
        if (endSegment || writtenSegments > 0)
            NameLastTrack(endSegment.value_or(writtenSegments - 1), look);
        return look;
    }
    m_segmentsSinceShown +=
        static_cast<int>(std::min<uint64_t>(cursorSegment - m_cursorSegment, 1000));
    m_cursorSegment = cursorSegment;
    while (m_output.GetFramesWritten() / kChunkFrames < cursorSegment + 1 + kFillTarget &&
           FillNextSegment()) {
    }
    LookForUnderrun(played, look);

    look.heard = HeardFrame(played);
    const auto s = static_cast<size_t>(look.heard / kChunkFrames % kRingSegments);
    look.serial = m_trackSerial[s];
    look.levelDb = static_cast<int>(m_analysis.GetLevelDb(0, static_cast<int>(s)));
    if (m_segmentsSinceShown >= kDisplayEverySegments) {
        look.showTime = true;
        m_segmentsSinceShown = 0;
    }
    return look;
}

// A look that comes late (a busy main thread) may find the end past tracks
// it never saw start: it names whose audio ended the data, in the last
// segment with audio up to `endSegment` (the end mark may stand in a segment
// of its own).
void CRingStreamer::NameLastTrack(uint64_t endSegment, Look& look) const {
    for (uint64_t back = 0; back < kRingSegments && back <= endSegment; ++back) {
        const uint64_t segment = endSegment - back;
        look.serial = m_trackSerial[static_cast<size_t>(segment % kRingSegments)];
        if (look.serial != 0) {
            look.heard = segment * kChunkFrames;
            return;
        }
    }
}

std::optional<CRingStreamer::Seam> CRingStreamer::SeamBefore(uint64_t serial) const {
    const uint64_t first = m_output.GetFramesPlayed() / kChunkFrames;
    const uint64_t written = m_output.GetFramesWritten() / kChunkFrames;
    uint64_t at = first;
    while (at < written && m_trackSerial[at % kRingSegments] != serial)
        ++at;
    if (at == first)
        return std::nullopt; // being played, or nothing written
    const auto before = static_cast<size_t>((at - 1) % kRingSegments);
    if (m_endMark[before] || m_trackSerial[before] == 0)
        return std::nullopt;
    Seam seam;
    seam.streamFrame = at * kChunkFrames;
    seam.serialBefore = m_trackSerial[before];
    seam.frameBefore = m_trackFrame[before] + static_cast<int64_t>(kChunkFrames);
    if (serial == 0 && m_audioBytes[before] < kChunkBytes) {
        if (at - 1 == first || m_trackFrame[before] < 0)
            return std::nullopt;
        seam.streamFrame -= kChunkFrames;
        seam.frameBefore -= static_cast<int64_t>(kChunkFrames);
    }
    return seam;
}

bool CRingStreamer::TakeBack(uint64_t streamFrame) {
    const uint64_t written = m_output.GetFramesWritten();
    if (!m_open || m_output.TakeBackFrom(streamFrame) != Status::Ok)
        return false;
    for (uint64_t seg = streamFrame / kChunkFrames; seg < written / kChunkFrames; ++seg)
        m_audioBytesWritten -= m_audioBytes[seg % kRingSegments];
    // The device dropped the gains from there on; what is written again
    // queues its own, counted from the track written last before it.
    const auto before =
        static_cast<size_t>((streamFrame / kChunkFrames + kRingSegments - 1) % kRingSegments);
    m_gainSerial = m_trackSerial[before];
    m_queuedGain = GainOf(m_replayGain[before]);
    m_held.store(true, std::memory_order_release);
    return true;
}

float CRingStreamer::GainOf(const ReplayGainValues& values) const {
    return static_cast<float>(ReplayGainFactor(m_gainSettings, values, m_shuffled));
}

uint64_t CRingStreamer::TrackStartIn(uint64_t segment) const {
    const int64_t frame = m_trackFrame[segment % kRingSegments];
    return segment * kChunkFrames + static_cast<uint64_t>(frame < 0 ? -frame : 0);
}

void CRingStreamer::QueueGain(uint64_t frame, float gain, bool glide) {
    if (gain == m_queuedGain)
        return;
    // A full queue (a run of tracks shorter than a segment each) keeps the
    // gain before; nothing else refuses an increasing frame.
    if (m_output.SetTrackGainAt(frame, gain, glide) == Status::Ok)
        m_queuedGain = gain;
}

void CRingStreamer::SetReplayGain(const ReplayGainSettings& settings, bool shuffled) {
    m_gainSettings = settings;
    m_shuffled = shuffled;
    if (!m_open)
        return;
    const uint64_t from = m_output.FirstUnreadFrame();
    if (m_output.DropTrackGainsFrom(from) != Status::Ok)
        return;
    const uint64_t written = m_output.GetFramesWritten() / kChunkFrames;
    // The track heard at `from`: the last one written that starts by then.
    uint64_t heard = std::min(from / kChunkFrames, written == 0 ? 0 : written - 1);
    const uint64_t oldest = written > kRingSegments ? written - kRingSegments + 1 : 0;
    while (heard > oldest &&
           (m_trackSerial[heard % kRingSegments] == 0 || TrackStartIn(heard) > from))
        --heard;
    m_queuedGain = std::numeric_limits<float>::quiet_NaN(); // set again whatever it was
    QueueGain(from, GainOf(m_replayGain[heard % kRingSegments]), true);
    uint64_t serial = m_trackSerial[heard % kRingSegments];
    for (uint64_t seg = heard + 1; seg < written; ++seg) {
        const auto s = static_cast<size_t>(seg % kRingSegments);
        if (m_trackSerial[s] == 0 || m_trackSerial[s] == serial)
            continue;
        serial = m_trackSerial[s];
        QueueGain(std::max(from, TrackStartIn(seg)), GainOf(m_replayGain[s]));
    }
}

void CRingStreamer::ResumeFilling() {
    if (!m_held.load(std::memory_order_relaxed))
        return;
    m_held.store(false, std::memory_order_release);
    m_store.m_readIndex = 0;
    const uint64_t cursorSegment = m_output.GetFramesPlayed() / kChunkFrames;
    while (m_output.GetFramesWritten() / kChunkFrames < cursorSegment + 1 + kFillTarget &&
           FillNextSegment()) {
    }
}

void CRingStreamer::LookForUnderrun(uint64_t played, Look& look) {
    const StarvationReport now = m_output.GetStarvation();
    // Told once the device plays again, when the silence is complete.
    if (now.underruns == m_reportedStarvation.underruns || played <= now.lastBeganAt)
        return;
    look.underrun = true;
    look.underrunAtSeconds = static_cast<double>(now.lastBeganAt) / m_rate;
    look.starvedSeconds =
        static_cast<double>(now.starvedFrames - m_reportedStarvation.starvedFrames) / m_rate;
    m_reportedStarvation = now;
}

uint64_t CRingStreamer::HeardFrame(uint64_t played) const {
    const uint64_t latency =
        std::min<uint64_t>(m_output.GetLatencyFrames(), kMaxLatencySegments * kChunkFrames);
    return played > latency ? played - latency : 0;
}

bool CRingStreamer::TrackFrameAt(uint64_t streamFrame, uint64_t serial, int64_t& frame) const {
    // Each segment knows the frame of its track it starts with, so this is
    // exact whatever is buffered behind it.
    const auto s = static_cast<size_t>(streamFrame / kChunkFrames % kRingSegments);
    if (serial == 0 || m_trackSerial[s] != serial)
        return false;
    frame =
        std::max<int64_t>(0, m_trackFrame[s] + static_cast<int64_t>(streamFrame % kChunkFrames));
    return true;
}

bool CRingStreamer::HeardTrackFrame(uint64_t serial, int64_t& frame) const {
    if (!m_output.HasDevice() || !m_open || m_reachedEnd)
        return false;
    return TrackFrameAt(HeardFrame(m_output.GetFramesPlayed()), serial, frame);
}

} // namespace tessel
