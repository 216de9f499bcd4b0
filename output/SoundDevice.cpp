// Main-thread side of the sound device: the stream's life, chunk writes,
// start/stop requests and the volume.
#include "output/SoundDevice.h"

#include "core/Status.h"
#include "output/VolumeCurve.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessel {

CSoundDevice::CSoundDevice(std::unique_ptr<IAudioBackend> backend, SpeakerPair pair)
    : m_backend(std::move(backend)), m_pair(pair), m_channels(pair == SpeakerPair::None ? 2 : 4),
      m_ring(new std::atomic<uint32_t>[kRingFrames]()) {
    m_rampsAndVolume = m_backend->WantsRampsAndVolume();
}

CSoundDevice::~CSoundDevice() {
    CloseStream();
}

Status CSoundDevice::Prepare() {
    return m_backend->Prepare(m_channels);
}

void CSoundDevice::CloseStream() {
    if (!m_streamOpen)
        return;
    m_backend->Close();
    m_streamOpen = false;
    ++m_streamSerial;
    m_playing.store(false, std::memory_order_release);
    // Whoever still waits for a ramp of this stream must not wait for ever.
    m_rampDone.store(m_rampRequest.load(std::memory_order_relaxed), std::memory_order_release);
}

void CSoundDevice::StopStreamForReuse() {
    // After this no render runs until the next Start, so the ring and the
    // render state may be reset from this thread.
    m_backend->Pause();
    ++m_streamSerial;
    m_playing.store(false, std::memory_order_release);
    m_rampDone.store(m_rampRequest.load(std::memory_order_relaxed), std::memory_order_release);
}

void CSoundDevice::ResetRenderState() {
    m_rSeenRamp = m_rampRequest.load(std::memory_order_relaxed);
    m_rStarving = false;
    m_rRampActive = false;
    m_rRampElapsed = 0;
    m_rRampFrames = RampFrames(m_sampleRate);
    m_rCachedStep = -1;
    m_rCachedAttenuation = 0;
    m_rCachedVolumeGain = 1.0f;
    m_rTrackGain = 1.0f;
    m_rGlideLeft = 0;
    m_trackGains.Clear();
    m_limiter.Reset(m_sampleRate);
    m_rounding.Reset();
}

Status CSoundDevice::OpenStream(uint32_t sampleRate) {
    // The same rate again (another track, a seek): the backend stays open,
    // paused, so the next start is heard at once rather than after the
    // device has been opened anew, which takes a sound server up to a second.
    const bool reuse =
        m_streamOpen && sampleRate == m_sampleRate && m_backend->ReusableAcrossStreams();
    if (reuse)
        StopStreamForReuse();
    else
        CloseStream();
    if (sampleRate < kMinStreamRate || sampleRate > kMaxStreamRate)
        return Status::Unexpected;
    m_sampleRate = sampleRate;

    // No render runs now: the backend is closed or paused.
    for (uint32_t i = 0; i < kRingFrames; ++i)
        m_ring[i].store(0, std::memory_order_relaxed);
    m_framesPlayed.store(0, std::memory_order_relaxed);
    m_starvedFrames.store(0, std::memory_order_relaxed);
    m_underruns.store(0, std::memory_order_relaxed);
    m_lastUnderrunAt.store(0, std::memory_order_relaxed);
    m_attenuation.store(0, std::memory_order_relaxed);
    m_framesWritten.store(0, std::memory_order_release);
    ResetRenderState();
    // The rate may differ from the last stream's: the coefficients follow.
    m_equalizer.Install(DesignEqualizer(m_eqBands, sampleRate), sampleRate);

    if (reuse)
        return Status::Ok;
    const Status status = m_backend->Open(sampleRate, m_channels, *this);
    if (status != Status::Ok)
        return status;
    m_streamOpen = true;
    ++m_streamSerial;
    return Status::Ok;
}

Status CSoundDevice::WriteForward(const uint8_t* chunk) {
    if (!m_streamOpen)
        return Status::NotInitialized;
    if (chunk == nullptr)
        return Status::Unexpected;
    const uint64_t written = m_framesWritten.load(std::memory_order_relaxed);
    // Acquire: the render has finished reading whatever it counts as played.
    const uint64_t played = m_framesPlayed.load(std::memory_order_acquire);
    if (written + kSegmentFrames - played > kRingFrames)
        return Status::Locked; // would overwrite audio not yet played
    const auto firstFrame = static_cast<uint32_t>(written % kRingFrames);
    for (uint32_t i = 0; i < kSegmentFrames; ++i) {
        uint32_t cell;
        std::memcpy(&cell, chunk + i * kBytesPerFrame, sizeof cell);
        m_ring[firstFrame + i].store(cell, std::memory_order_relaxed);
    }
    m_framesWritten.store(written + kSegmentFrames, std::memory_order_release);
    return Status::Ok;
}

Status CSoundDevice::TakeBackFrom(uint64_t frame) {
    if (!m_streamOpen)
        return Status::NotInitialized;
    const uint64_t written = m_framesWritten.load(std::memory_order_relaxed);
    if (frame % kSegmentFrames != 0 || frame > written)
        return Status::Unexpected;
    if (frame < FirstUnreadFrame())
        return Status::Locked;
    m_framesWritten.store(frame, std::memory_order_release);
    // What is written there again brings its own gains.
    m_trackGains.DropFrom(frame);
    return Status::Ok;
}

uint64_t CSoundDevice::FirstUnreadFrame() const {
    // A render reads the written count once and then up to a device buffer
    // past the cursor; beyond that nothing is being read.
    const uint64_t reach =
        std::max<uint64_t>(m_backend ? m_backend->LatencyFrames() : 0, kSegmentFrames) +
        kSegmentFrames;
    return m_framesPlayed.load(std::memory_order_acquire) + reach;
}

Status CSoundDevice::DropTrackGainsFrom(uint64_t frame) {
    if (!m_streamOpen)
        return Status::NotInitialized;
    if (frame < FirstUnreadFrame())
        return Status::Locked;
    m_trackGains.DropFrom(frame);
    return Status::Ok;
}

uint32_t CSoundDevice::GetForwardWriteOffset() const {
    if (!m_streamOpen)
        return 0;
    return static_cast<uint32_t>(FramesWritten() % kRingFrames) * kBytesPerFrame;
}

uint64_t CSoundDevice::FramesWritten() const {
    return m_framesWritten.load(std::memory_order_relaxed);
}

uint64_t CSoundDevice::FramesPlayed() const {
    return m_framesPlayed.load(std::memory_order_acquire);
}

StarvationReport CSoundDevice::Starvation() const {
    StarvationReport report;
    report.underruns = m_underruns.load(std::memory_order_acquire);
    report.starvedFrames = m_starvedFrames.load(std::memory_order_relaxed);
    report.lastBeganAt = m_lastUnderrunAt.load(std::memory_order_relaxed);
    return report;
}

uint32_t CSoundDevice::GetForwardPlayCursor() const {
    return m_streamOpen ? PlayFrame() * kBytesPerFrame : 0;
}

bool CSoundDevice::IsPlayingForward() const {
    return m_streamOpen && m_playing.load(std::memory_order_acquire);
}

uint64_t CSoundDevice::RequestRamp(RampKind kind) {
    m_rampKind.store(static_cast<int32_t>(kind), std::memory_order_relaxed);
    m_rampRange.store(m_attenuation.load(std::memory_order_relaxed) - kSilentAttenuation,
                      std::memory_order_relaxed);
    m_rampTicket = m_rampRequest.load(std::memory_order_relaxed) + 1;
    m_rampRequest.store(m_rampTicket, std::memory_order_release);
    return m_rampTicket;
}

uint64_t CSoundDevice::BeginPlay() {
    if (!m_streamOpen || m_playing.load(std::memory_order_acquire))
        return 0;
    uint64_t ticket = 0;
    if (m_rampsAndVolume)
        ticket = RequestRamp(RampKind::Rising);
    // After the request: a render that sees playing also sees the ramp.
    m_playing.store(true, std::memory_order_release);
    m_backend->Start();
    return ticket;
}

uint64_t CSoundDevice::BeginStop() {
    if (!m_streamOpen || !m_playing.load(std::memory_order_acquire))
        return 0;
    if (!m_rampsAndVolume) {
        FinishStop();
        return 0;
    }
    return RequestRamp(RampKind::Falling);
}

bool CSoundDevice::RampPlayed(uint64_t ticket) const {
    return m_rampDone.load(std::memory_order_acquire) >= ticket;
}

void CSoundDevice::FinishStop() {
    if (!m_streamOpen)
        return;
    // Pause first so that no render is half-way through a block when the
    // flag drops; after a completed stop ramp the flag is already down.
    m_backend->Pause();
    m_playing.store(false, std::memory_order_release);
}

Status CSoundDevice::SetVolume(double volume) {
    if (!m_streamOpen)
        return Status::NotInitialized;
    if (std::isnan(volume) || volume > 1.0)
        return Status::Unexpected;
    m_attenuation.store(VolumeToAttenuation(volume), std::memory_order_relaxed);
    return Status::Ok;
}

Status CSoundDevice::SetTrackGainAt(uint64_t frame, float gain, bool glide) {
    if (!m_streamOpen)
        return Status::NotInitialized;
    if (!std::isfinite(gain) || gain < 0.0f || gain > kMaxTrackGain)
        return Status::Unexpected;
    if (m_trackGains.Push(frame, gain, glide))
        return Status::Ok;
    return m_trackGains.Full() ? Status::Locked : Status::Unexpected;
}

int32_t CSoundDevice::GetVolume() const {
    return m_streamOpen ? m_attenuation.load(std::memory_order_relaxed) : 0;
}

void CSoundDevice::SetNotifyEvent(CEvent* event) {
    m_notifyEvent.store(event, std::memory_order_release);
}

Status CSoundDevice::SetEqualizer(const EqualizerBands& bands) {
    // The effect is for a plain stereo pair, not for a pair picked out of
    // four speakers.
    if (m_pair != SpeakerPair::None)
        return Status::Unexpected;
    m_eqBands = bands;
    if (m_streamOpen)
        m_equalizer.Publish(DesignEqualizer(m_eqBands, m_sampleRate));
    return Status::Ok;
}

uint32_t CSoundDevice::PlayFrame() const {
    return static_cast<uint32_t>(FramesPlayed() % kRingFrames);
}

uint64_t CSoundDevice::SignalledCount() const {
    return m_signalled.load(std::memory_order_acquire);
}

bool CSoundDevice::RampInProgress() const {
    return m_playing.load(std::memory_order_acquire) &&
           m_rampDone.load(std::memory_order_acquire) <
               m_rampRequest.load(std::memory_order_acquire);
}

} // namespace tessel
