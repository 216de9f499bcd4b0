// The output device behind CSoundOutput: the 50-segment looping ring, its
// write offset and byte-exact play cursor, the playing flag, the volume,
// the start/stop ramps and the per-track gain. Render() is what the
// backend's thread plays: equalizer, gains and limiter run in float and the
// result is rounded to 16 bits once (dithered when anything shaped it);
// untouched samples come out bit for bit.
//
// Threads: the main thread calls everything except the IRenderSource members,
// which the backend's thread calls between the backend's Open and Close.
// - Main thread only: m_backend, m_streamOpen, m_sampleRate (fixed while a
//   stream runs), m_streamSerial, m_rampTicket, m_eqBands.
// - Render thread only (reset by the main thread while no stream runs): the
//   m_r* fields, m_scratch, m_mix, m_limiter and m_rounding.
// - Shared, atomic: the ring cells (relaxed; the main thread writes only
//   frames the render has played, the render reads only frames written
//   before its acquire of m_framesWritten), m_framesWritten (release after
//   each chunk write), m_framesPlayed, m_playing and the starvation counters
//   (written by the render while a stream runs), m_attenuation, the ramp
//   request and done tickets, m_notifyEvent, m_signalled and the track
//   gain queue (see CTrackGainQueue).
//
// Frames written and played are counted from the stream's opening and never
// wrap, so the distance between them is always the audio still to be played.
// The render never plays past the last frame written: when the writer falls
// behind, the device gets silence and the cursor waits (an underrun) instead
// of playing the ring's stale audio again, and nothing written is lost.
#pragma once

#include "equalizer/EqualizerDesign.h"
#include "output/AudioBackend.h"
#include "output/EqualizerStage.h"
#include "output/OutputRounding.h"
#include "output/PeakLimiter.h"
#include "output/SoundOutput.h"
#include "output/SpeakerSuffix.h"
#include "output/TrackGainQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace tessel {

class CEvent;

constexpr uint32_t kRingFrames = kRingBytes / kBytesPerFrame; // 147000
constexpr uint32_t kSegmentFrames = kChunkFrames;             // 2940
constexpr uint32_t kMinStreamRate = 1000;
constexpr uint32_t kMaxStreamRate = 768000;

class CSoundDevice final : public IRenderSource {
  public:
    CSoundDevice(std::unique_ptr<IAudioBackend> backend, SpeakerPair pair);
    ~CSoundDevice();
    CSoundDevice(const CSoundDevice&) = delete;
    CSoundDevice& operator=(const CSoundDevice&) = delete;

    Status Prepare();
    IAudioBackend& Backend() { return *m_backend; }
    SpeakerPair GetSpeakerPair() const { return m_pair; }
    uint32_t GetChannels() const { return m_channels; }

    Status OpenStream(uint32_t sampleRate);
    void CloseStream();
    bool HasStream() const { return m_streamOpen; }
    // Changes each time a stream is opened or closed.
    uint64_t StreamSerial() const { return m_streamSerial; }
    uint32_t GetSampleRate() const { return m_sampleRate; }

    // Refused with DISP_E_ARRAYISLOCKED when the ring holds no played
    // segment to overwrite.
    Status WriteForward(const uint8_t* chunk);
    uint32_t GetForwardWriteOffset() const;
    uint32_t GetForwardPlayCursor() const;
    bool IsPlayingForward() const;
    uint64_t FramesWritten() const;
    // Takes back what was written from stream frame `frame` on, to write it
    // again (what follows a seam changed). `frame` lies on a segment
    // boundary within what is written (else E_UNEXPECTED) and far enough past
    // the play cursor that no render can be reading there: a device buffer
    // and a segment (else DISP_E_ARRAYISLOCKED).
    Status TakeBackFrom(uint64_t frame);
    uint64_t FramesPlayed() const;
    // Silence the device got because nothing written was left to play.
    StarvationReport Starvation() const;

    // Start and stop. Each returns a ticket to wait for with RampPlayed, or 0
    // when there is nothing to wait for (no stream, already in that state, or
    // a backend without ramps, where the change is immediate).
    uint64_t BeginPlay();
    uint64_t BeginStop();
    bool RampPlayed(uint64_t ticket) const;
    // After the stop ramp (or after giving up on it): silence and pause.
    void FinishStop();

    Status SetVolume(double volume);
    int32_t GetVolume() const;

    // The linear gain of the samples from stream frame `frame` on (counted
    // like FramesWritten), until the next one: a track's ReplayGain, set for
    // the first frame of the track so that it changes exactly at a gapless
    // seam. A frame already played takes effect at once. Each stream starts
    // at 1. Up to CTrackGainQueue::kCapacity wait at a time, in frame order.
    // Refused with E_UNEXPECTED for a gain that is not finite or lies
    // outside 0 ... kMaxTrackGain, or a frame before one still waiting;
    // DISP_E_ARRAYISLOCKED when the queue is full; without a stream
    // CO_E_NOTINITIALIZED.
    static constexpr float kMaxTrackGain = 1000.0f; // +60 dB
    // `glide`: moves there over kTrackGainGlideFrames rather than at once.
    static constexpr uint32_t kTrackGainGlideFrames = 512;
    Status SetTrackGainAt(uint64_t frame, float gain, bool glide = false);
    // The first frame no render can be reading yet: a gain set for it or
    // later still changes what is heard, to the frame.
    uint64_t FirstUnreadFrame() const;
    // Drops the gains waiting for `frame` or later (a change of settings
    // sets them again); DISP_E_ARRAYISLOCKED before FirstUnreadFrame.
    Status DropTrackGainsFrom(uint64_t frame);

    void SetNotifyEvent(CEvent* event);

    // The equalizer's bands (count 0: off), for this stream and the streams
    // opened later. Refused (E_UNEXPECTED, nothing changes) while a speaker
    // pair is addressed.
    Status SetEqualizer(const EqualizerBands& bands);

    // IRenderSource, on the backend's thread.
    RenderResult Render(int16_t* out, uint32_t frames) override;
    RenderResult RenderFloat(float* out, uint32_t frames) override;
    uint32_t PlayFrame() const override;
    bool RampInProgress() const override;
    uint64_t SignalledCount() const override;

  private:
    enum class RampKind : int32_t { Rising, Falling };
    static constexpr uint32_t kBlockFrames = 512;

    uint64_t RequestRamp(RampKind kind);
    // A new stream on the open backend: paused, and the old stream is void.
    void StopStreamForReuse();
    void ResetRenderState();

    // Render-thread stages.
    void TakeRampRequest();
    void TakeTrackGains(uint64_t played);
    // Each returns whether it changed the samples.
    bool ApplyVolume(float* frames, uint32_t count);
    bool ApplyTrackGain(float* frames, uint32_t count);
    void EndRampBlock(uint32_t count);
    template <class Sample> RenderResult RenderAs(Sample* out, uint32_t frames);
    template <class Sample> void Spread(const Sample* stereo, Sample* out, uint32_t count) const;
    void CountStarvation(uint32_t silentFrames, uint64_t played);
    uint32_t Signal(uint32_t points);

    std::unique_ptr<IAudioBackend> m_backend;
    const SpeakerPair m_pair;
    const uint32_t m_channels;
    bool m_rampsAndVolume = true;

    bool m_streamOpen = false;
    uint64_t m_streamSerial = 0;
    uint32_t m_sampleRate = 44100;
    uint64_t m_rampTicket = 0;

    // One cell per stereo frame, the two samples as they lie in memory.
    std::unique_ptr<std::atomic<uint32_t>[]> m_ring;
    std::atomic<uint64_t> m_framesWritten{0};
    std::atomic<uint64_t> m_framesPlayed{0};
    std::atomic<uint64_t> m_starvedFrames{0};
    std::atomic<uint64_t> m_underruns{0};
    std::atomic<uint64_t> m_lastUnderrunAt{0}; // frames played when it began
    std::atomic<bool> m_playing{false};
    std::atomic<int32_t> m_attenuation{0};
    std::atomic<int32_t> m_rampKind{0};
    std::atomic<int32_t> m_rampRange{0};
    std::atomic<uint64_t> m_rampRequest{0};
    std::atomic<uint64_t> m_rampDone{0};
    std::atomic<CEvent*> m_notifyEvent{nullptr};
    std::atomic<uint64_t> m_signalled{0};

    EqualizerBands m_eqBands;
    CEqualizerStage m_equalizer;
    CTrackGainQueue m_trackGains;

    // Render thread.
    uint64_t m_rSeenRamp = 0;
    bool m_rStarving = false;
    bool m_rRampActive = false;
    bool m_rRampEnded = false; // in this render: told by a notification
    RampKind m_rRampKind = RampKind::Rising;
    int32_t m_rRampRange = 0;
    uint32_t m_rRampElapsed = 0;
    uint32_t m_rRampFrames = 0;
    int32_t m_rCachedStep = -1;
    float m_rCachedStepGain = 0.0f;
    int32_t m_rCachedAttenuation = 0;
    float m_rCachedVolumeGain = 1.0f;
    float m_rTrackGain = 1.0f;
    float m_rGlideFrom = 1.0f; // the gain a glide started from
    uint32_t m_rGlideLeft = 0; // frames of the glide to m_rTrackGain still to go
    std::array<int16_t, kBlockFrames * 2> m_scratch{};
    std::array<float, kBlockFrames * 2> m_mix{};
    CPeakLimiter m_limiter;
    COutputRounding m_rounding;
};

} // namespace tessel
