// Moves audio from the chunk store into the output ring and follows what is
// heard: the refill, the end of the data, underruns, whose audio each ring
// segment holds and from which of its frames.
//
// The refill goes by position, not by the number of notifications: one
// device callback may pass several segment ends and they arrive as one
// wake-up, so each look fills until the wanted number of segments lies
// written ahead of the cursor, however far the cursor moved. What the
// listener hears lags the cursor by the device's latency; the deck follows
// what is heard.
//
// What was written ahead can be taken back and written again when what
// follows a seam changes (a list edit after the reader moved on): filling
// then holds until the read worker has started its new job, since the store
// is the worker's until then.
//
// Threads: main thread, but for IsAheadOfOutput (a virtual clock's thread;
// it reads atomics only).
#pragma once

#include "engine/ChunkStore.h"
#include "engine/ReadWorker.h"
#include "equalizer/AnalysisRing.h"
#include "output/SoundOutput.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tessel {

class CRingStreamer {
  public:
    // Segments kept written ahead of the play cursor.
    static constexpr int kFillTarget = 25;
    // The read worker is woken after the output has taken this many chunks.
    static constexpr int kReaderWakeChunks = 27;
    // The display follows every this many segments heard.
    static constexpr int kDisplayEverySegments = 3;

    CRingStreamer(CSoundOutput& output, CChunkStore& store, CAnalysisRing& analysis,
                  CReadWorker& worker);

    // Opens the output's stream at `rate` and writes the read-ahead into it.
    void Open(uint32_t rate);
    // What the stream holds no longer counts (a load, a seek, no file).
    void Close() {
        m_open = false;
        m_held.store(false, std::memory_order_release);
    }
    bool IsOpen() const { return m_open; }
    uint32_t Rate() const { return m_rate; }
    // Before the output plays (again) from where its cursor rests.
    void BeforeStart();

    // What one look at the output found.
    struct Look {
        bool ended = false;    // the output has played the end of the data
        uint64_t heard = 0;    // the stream frame being heard (ended: of the last segment)
        uint64_t serial = 0;   // whose audio that frame is; 0 for silence
        int levelDb = 0;       // of the segment heard
        bool showTime = false; // the display is due to follow
        bool underrun = false; // a silence has ended; the two below tell it
        double underrunAtSeconds = 0.0;
        double starvedSeconds = 0.0;
    };
    // Refills the ring and follows the cursor; while the output plays.
    Look Advance();
    bool ReachedEnd() const { return m_reachedEnd; }
    void ClearEnd() { m_reachedEnd = false; }

    // The frame of track `serial` at stream frame `streamFrame`; false when
    // that frame holds another track's audio or silence.
    bool TrackFrameAt(uint64_t streamFrame, uint64_t serial, int64_t& frame) const;
    // The same for the frame heard now, while the stream is open on a device.
    bool HeardTrackFrame(uint64_t serial, int64_t& frame) const;
    // Bytes of real audio (not padding, not silence) handed to the output
    // since the stream was opened.
    uint64_t AudioBytesWritten() const { return m_audioBytesWritten; }
    // For a virtual clock: true when the next notification's refills will
    // find decoded audio, or the data has ended.
    bool IsAheadOfOutput() const;

    // The segment boundary where the audio of track `serial` begins in the
    // ring (the end of what is written when none of it is there yet), with
    // the track written just before it and that track's frame there. Empty
    // when silence or nothing lies before it. Serial 0 asks for the end of
    // the data: the start of the last track's last chunk when only part of
    // it is audio, so the next track can follow in that chunk.
    struct Seam {
        uint64_t streamFrame = 0;
        uint64_t serialBefore = 0;
        int64_t frameBefore = 0;
    };
    std::optional<Seam> SeamBefore(uint64_t serial) const;
    // Takes back what was written from `streamFrame` on and holds filling
    // until ResumeFilling; false (nothing changes) when the output may be
    // playing there already.
    bool TakeBack(uint64_t streamFrame);
    // The read worker has emptied the store for its new job.
    void ResumeFilling();
    bool IsHeld() const { return m_held.load(std::memory_order_relaxed); }

    // The listener's ReplayGain settings, and whether the list plays
    // shuffled (the auto mode's choice). Each track's gain starts on its
    // first frame; a change applies from the first frame no render is
    // reading yet, to the track heard then and to every one written after.
    void SetReplayGain(const ReplayGainSettings& settings, bool shuffled);

  private:
    bool FillNextSegment();
    float GainOf(const ReplayGainValues& values) const;
    // Where the track of segment `segment` (a stream segment number) starts:
    // inside it when the segment is where one track hands over to the next.
    uint64_t TrackStartIn(uint64_t segment) const;
    void QueueGain(uint64_t frame, float gain, bool glide = false);
    uint64_t HeardFrame(uint64_t played) const;
    void LookForUnderrun(uint64_t played, Look& look);
    void NameLastTrack(uint64_t endSegment, Look& look) const;

    CSoundOutput& m_output;
    CChunkStore& m_store;
    CAnalysisRing& m_analysis;
    CReadWorker& m_worker;

    // Per ring segment: silence after the end of the data; whose audio it
    // holds (0 for silence) and that track's frame at the segment's first
    // frame (negative in the chunk where a track hands over to the next).
    std::array<bool, kRingSegments> m_endMark{};
    std::array<uint64_t, kRingSegments> m_trackSerial{};
    std::array<int64_t, kRingSegments> m_trackFrame{};
    std::array<uint32_t, kRingSegments> m_audioBytes{};
    std::array<ReplayGainValues, kRingSegments> m_replayGain{};
    ReplayGainSettings m_gainSettings;
    bool m_shuffled = false;
    uint64_t m_gainSerial = 0; // the last track written; its gain is queued
    float m_queuedGain = 1.0f; // the last gain queued (a new stream starts at 1)
    uint64_t m_cursorSegment = 0;
    int m_segmentsSinceShown = 0;
    int m_chunksSinceWake = 0;
    StarvationReport m_reportedStarvation;
    uint64_t m_audioBytesWritten = 0;
    uint32_t m_rate = 44100;
    bool m_open = false;
    bool m_reachedEnd = false;
    std::atomic<bool> m_held{false}; // taken back, store not the worker's new job's yet
    std::vector<uint8_t> m_silence;
};

} // namespace tessel
