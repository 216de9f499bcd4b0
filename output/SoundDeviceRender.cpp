// Render side of the sound device, run on the backend's thread: takes frames
// from the ring at the play cursor, shapes them in float (equalizer, volume
// and ramps, the track's gain, the limiter), rounds them to 16 bits once
// (or hands them on in float, unrounded, to an output that takes float),
// lays them out for the stream's channels, moves the cursor on and signals
// each notification point it passes. No allocation, no locks, no I/O.
#include "output/SoundDevice.h"

#include "core/Event.h"
#include "output/VolumeCurve.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tessel {

namespace {

float GainOf(int32_t attenuation) {
    // The bottom of the range is silence itself, not a whisper of dither.
    if (attenuation <= kSilentAttenuation)
        return 0.0f;
    return static_cast<float>(AttenuationToGain(attenuation));
}

} // namespace

RenderResult CSoundDevice::Render(int16_t* out, uint32_t frames) {
    return RenderAs(out, frames);
}

RenderResult CSoundDevice::RenderFloat(float* out, uint32_t frames) {
    return RenderAs(out, frames);
}

template <class Sample> RenderResult CSoundDevice::RenderAs(Sample* out, uint32_t frames) {
    RenderResult result;
    // Pairs with the release after each chunk write: every frame counted as
    // written here is in the ring.
    const uint64_t written = m_framesWritten.load(std::memory_order_acquire);
    uint64_t played = m_framesPlayed.load(std::memory_order_relaxed);

    uint32_t done = 0;
    while (done < frames && m_playing.load(std::memory_order_acquire)) {
        TakeRampRequest();
        TakeTrackGains(played);
        const uint64_t available = written - played;
        if (available == 0)
            break;
        const auto cursor = static_cast<uint32_t>(played % kRingFrames);
        uint32_t count = std::min(frames - done, kBlockFrames);
        count = static_cast<uint32_t>(std::min<uint64_t>(count, available));
        // Blocks end at notification points and where a ramp ends.
        count = std::min(count, kSegmentFrames - cursor % kSegmentFrames);
        if (m_rRampActive)
            count = std::min(count, m_rRampFrames - m_rRampElapsed);
        // ... and where the next track's gain begins.
        const uint64_t nextGain = m_trackGains.NextFrame();
        if (nextGain > played)
            count = static_cast<uint32_t>(std::min<uint64_t>(count, nextGain - played));

        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t cell = m_ring[cursor + i].load(std::memory_order_relaxed);
            std::memcpy(&m_scratch[2 * i], &cell, sizeof cell);
        }
        for (uint32_t i = 0; i < 2 * count; ++i)
            m_mix[i] = m_scratch[i];
        // Before the volume, so the ramps and the volume shape what is heard.
        const bool ramping = m_rRampActive && m_rampsAndVolume;
        bool shaped = m_equalizer.Process(m_mix.data(), count);
        const bool volumeShaped = ApplyVolume(m_mix.data(), count);
        shaped = (volumeShaped && !ramping) || shaped;
        shaped = ApplyTrackGain(m_mix.data(), count) || shaped;
        // Last: whatever the gains before it did, nothing clips. It looks only
        // at shaped samples (or while it recovers), so untouched ones stay so.
        if (shaped || m_limiter.Active())
            shaped = m_limiter.Process(m_mix.data(), count) || shaped;
        if constexpr (std::is_same_v<Sample, float>) {
            constexpr float kFullScale = 1.0f / 32768.0f;
            for (uint32_t i = 0; i < 2 * count; ++i)
                m_mix[i] *= kFullScale;
            Spread(m_mix.data(), out + static_cast<size_t>(done) * m_channels, count);
        } else {
            // A start or stop ramp alone is a 50 ms fade: rounded plainly, so
            // its quietest steps are silence rather than dither.
            if (shaped)
                m_rounding.Dithered(m_mix.data(), m_scratch.data(), count);
            else if (volumeShaped)
                m_rounding.Plain(m_mix.data(), m_scratch.data(), count);
            Spread(m_scratch.data(), out + static_cast<size_t>(done) * m_channels, count);
        }

        done += count;
        played += count;
        if (played % kSegmentFrames == 0)
            ++result.notifications;
        // Release: the writer may reuse these cells once it sees them played.
        m_framesPlayed.store(played, std::memory_order_release);
        EndRampBlock(count);
    }
    result.framesPlayed = done;
    const uint32_t silent = frames - done;
    std::fill(out + static_cast<size_t>(done) * m_channels,
              out + static_cast<size_t>(frames) * m_channels, Sample{0});
    if (done > 0)
        m_rStarving = false;
    if (silent > 0 && m_playing.load(std::memory_order_acquire)) {
        CountStarvation(silent, played);
        // A fade has nothing left to fade, but whoever waits for it must
        // still see it end.
        EndRampBlock(silent);
        // The writer is woken even though no segment ended, so it refills as
        // soon as it has audio again.
        if (result.notifications == 0)
            result.notifications = 1;
    }
    // Whoever waits for the end of a ramp is told of it like of a segment.
    if (m_rRampEnded && result.notifications == 0)
        result.notifications = 1;
    m_rRampEnded = false;
    // Signalled only now, so whoever handles a notification finds the cursor
    // where this render left it, never half-way through it.
    result.notifications = Signal(result.notifications);
    return result;
}

void CSoundDevice::CountStarvation(uint32_t silentFrames, uint64_t played) {
    if (!m_rStarving) {
        m_rStarving = true;
        m_lastUnderrunAt.store(played, std::memory_order_relaxed);
        m_underruns.fetch_add(1, std::memory_order_release);
    }
    m_starvedFrames.fetch_add(silentFrames, std::memory_order_relaxed);
}

void CSoundDevice::TakeRampRequest() {
    const uint64_t request = m_rampRequest.load(std::memory_order_acquire);
    if (request == m_rSeenRamp)
        return;
    m_rSeenRamp = request;
    m_rRampActive = true;
    m_rRampKind = static_cast<RampKind>(m_rampKind.load(std::memory_order_relaxed));
    m_rRampRange = m_rampRange.load(std::memory_order_relaxed);
    m_rRampElapsed = 0;
    m_rCachedStep = -1;
}

void CSoundDevice::TakeTrackGains(uint64_t played) {
    float gain = m_rTrackGain;
    bool glide = false;
    if (!m_trackGains.TakeDue(played, gain, glide))
        return;
    // A glide starts from wherever one under way has got to.
    const float now = m_rGlideLeft == 0 ? m_rTrackGain
                                        : m_rTrackGain + (m_rGlideFrom - m_rTrackGain) *
                                                             static_cast<float>(m_rGlideLeft) /
                                                             kTrackGainGlideFrames;
    m_rGlideFrom = now;
    m_rGlideLeft = glide && gain != now ? kTrackGainGlideFrames : 0;
    m_rTrackGain = gain;
}

bool CSoundDevice::ApplyTrackGain(float* frames, uint32_t count) {
    if (m_rGlideLeft == 0) {
        if (m_rTrackGain == 1.0f)
            return false;
        for (uint32_t i = 0; i < 2 * count; ++i)
            frames[i] *= m_rTrackGain;
        return true;
    }
    // A change of settings: a straight line from the gain before, so the
    // step is not heard as a click.
    for (uint32_t i = 0; i < count; ++i) {
        const float left = static_cast<float>(m_rGlideLeft) / kTrackGainGlideFrames;
        const float gain = m_rTrackGain + (m_rGlideFrom - m_rTrackGain) * left;
        frames[2 * i] *= gain;
        frames[2 * i + 1] *= gain;
        if (m_rGlideLeft > 0)
            --m_rGlideLeft;
    }
    return true;
}

bool CSoundDevice::ApplyVolume(float* frames, uint32_t count) {
    if (!m_rampsAndVolume)
        return false;
    if (m_rRampActive) {
        // The gain follows the ramp's 0.1 ms steps sample by sample, counted
        // from the ramp's first sample, so the fade has no block-sized stairs.
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t elapsed = m_rRampElapsed + i;
            const auto step = static_cast<int32_t>(elapsed * kRampStepsPerSecond / m_sampleRate);
            if (step != m_rCachedStep) {
                m_rCachedStep = step;
                m_rCachedStepGain = GainOf(m_rRampKind == RampKind::Rising
                                               ? RisingRampAttenuation(step, m_rRampRange)
                                               : FallingRampAttenuation(step, m_rRampRange));
            }
            frames[2 * i] *= m_rCachedStepGain;
            frames[2 * i + 1] *= m_rCachedStepGain;
        }
        return true;
    }
    const int32_t attenuation = m_attenuation.load(std::memory_order_relaxed);
    if (attenuation != m_rCachedAttenuation) {
        m_rCachedAttenuation = attenuation;
        m_rCachedVolumeGain = GainOf(attenuation);
    }
    if (m_rCachedVolumeGain == 1.0f)
        return false; // full volume stays bit-exact
    for (uint32_t i = 0; i < 2 * count; ++i)
        frames[i] *= m_rCachedVolumeGain;
    return true;
}

void CSoundDevice::EndRampBlock(uint32_t count) {
    if (!m_rRampActive)
        return;
    m_rRampElapsed += count;
    if (m_rRampElapsed < m_rRampFrames)
        return;
    m_rRampActive = false;
    m_rRampEnded = true;
    if (m_rRampKind == RampKind::Falling)
        m_playing.store(false, std::memory_order_release);
    // After the flag: a waiter that sees the ramp done sees the stop too.
    m_rampDone.store(m_rSeenRamp, std::memory_order_release);
}

template <class Sample>
void CSoundDevice::Spread(const Sample* stereo, Sample* out, uint32_t count) const {
    if (m_channels == 2) {
        std::memcpy(out, stereo, static_cast<size_t>(count) * 2 * sizeof(Sample));
        return;
    }
    // Four channels in the order front left, front right, rear left, rear
    // right; the pair not chosen stays silent.
    const uint32_t pairAt = m_pair == SpeakerPair::Rear ? 2 : 0;
    for (uint32_t i = 0; i < count; ++i) {
        Sample* frame = out + static_cast<size_t>(i) * 4;
        frame[0] = frame[1] = frame[2] = frame[3] = 0;
        frame[pairAt] = stereo[2 * i];
        frame[pairAt + 1] = stereo[2 * i + 1];
    }
}

uint32_t CSoundDevice::Signal(uint32_t points) {
    CEvent* event = m_notifyEvent.load(std::memory_order_acquire);
    if (event == nullptr || points == 0)
        return 0;
    m_signalled.fetch_add(points, std::memory_order_release);
    // The count carries how many points passed; one wake-up tells of them
    // all, and each further Set would be another futex call in the callback.
    event->Set();
    return points;
}

} // namespace tessel
