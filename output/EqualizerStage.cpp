#include "output/EqualizerStage.h"

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

// Filter states this small are below any audible effect but slow the float
// unit down (subnormals) while a quiet passage dies away.
constexpr float kTinyState = 1e-20f;

inline int16_t ToSample(float v) {
    if (std::isnan(v))
        return 0;
    // Saturates: a sample beyond full scale stays at the rail, it never
    // wraps round.
    v = std::clamp(v, -32768.0f, 32767.0f);
    return static_cast<int16_t>(std::lrintf(v));
}

// Transposed direct form II: the states carry the sum of what the past
// samples contribute.
inline float Tick(const float b0, const float b1, const float b2, const float a1, const float a2,
                  float x, float& z1, float& z2) {
    const float y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
}

} // namespace

CEqualizerStage::Set CEqualizerStage::ToSet(const EqualizerDesign& design) {
    Set set;
    set.count = std::clamp(design.count, 0, kMaxBands);
    set.flat = design.flat;
    set.headroom = static_cast<float>(design.headroom);
    for (int32_t b = 0; b < set.count; ++b) {
        const BiquadCoefficients& c = design.bands[b];
        set.bands[b] = {static_cast<float>(c.b0), static_cast<float>(c.b1),
                        static_cast<float>(c.b2), static_cast<float>(c.a1),
                        static_cast<float>(c.a2)};
    }
    return set;
}

void CEqualizerStage::Install(const EqualizerDesign& design, uint32_t sampleRate) {
    m_rTarget = ToSet(design);
    m_rTaken = m_latest.load(std::memory_order_relaxed);
    m_rGlideFrames = std::max<uint32_t>(1, sampleRate / 100);
    m_rGlideLeft = 0;
    m_rBands = m_rTarget.count;
    m_rBypass = m_rTarget.flat;
    m_rCurrent = m_rTarget.bands;
    m_rHeadroom = m_rTarget.headroom;
    for (int32_t b = 0; b < kMaxBands; ++b) {
        m_rState[b].fill(0.0f);
        if (b >= m_rBands)
            m_rCurrent[b] = Coefficients{};
    }
}

void CEqualizerStage::Publish(const EqualizerDesign& design) {
    const Set set = ToSet(design);
    const uint32_t latest = m_latest.load(std::memory_order_relaxed);
    const uint32_t index = (latest & 1u) ^ 1u;
    Slot& slot = m_slots[index];
    const uint32_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    slot.count.store(set.count, std::memory_order_relaxed);
    slot.flat.store(set.flat, std::memory_order_relaxed);
    slot.headroom.store(set.headroom, std::memory_order_relaxed);
    for (int32_t b = 0; b < set.count; ++b) {
        const Coefficients& c = set.bands[b];
        std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        v[0].store(c.b0, std::memory_order_relaxed);
        v[1].store(c.b1, std::memory_order_relaxed);
        v[2].store(c.b2, std::memory_order_relaxed);
        v[3].store(c.a1, std::memory_order_relaxed);
        v[4].store(c.a2, std::memory_order_relaxed);
    }
    slot.sequence.store(sequence + 2, std::memory_order_release);
    ++m_generation;
    m_latest.store(m_generation * 2 + index, std::memory_order_release);
}

void CEqualizerStage::TakeLatest() {
    const uint32_t latest = m_latest.load(std::memory_order_acquire);
    if (latest == m_rTaken)
        return;
    const Slot& slot = m_slots[latest & 1u];
    const uint32_t before = slot.sequence.load(std::memory_order_acquire);
    if (before & 1u)
        return; // being written: next block
    Set& in = m_rIncoming;
    in.count = std::clamp(slot.count.load(std::memory_order_relaxed), 0, kMaxBands);
    in.flat = slot.flat.load(std::memory_order_relaxed);
    in.headroom = slot.headroom.load(std::memory_order_relaxed);
    for (int32_t b = 0; b < in.count; ++b) {
        const std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        in.bands[b] = {v[0].load(std::memory_order_relaxed), v[1].load(std::memory_order_relaxed),
                       v[2].load(std::memory_order_relaxed), v[3].load(std::memory_order_relaxed),
                       v[4].load(std::memory_order_relaxed)};
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.sequence.load(std::memory_order_relaxed) != before)
        return; // torn by a newer write: next block
    m_rTaken = latest;
    BeginGlide(in);
}

void CEqualizerStage::BeginGlide(const Set& target) {
    m_rTarget = target;
    for (int32_t b = m_rTarget.count; b < kMaxBands; ++b)
        m_rTarget.bands[b] = Coefficients{};
    if (m_rBypass && m_rTarget.flat)
        return; // from untouched to untouched
    // From bypass the glide starts at the identity, which is what bypass
    // sounded like.
    m_rBypass = false;
    m_rBands = std::max(m_rBands, m_rTarget.count);
    const float frames = static_cast<float>(m_rGlideFrames);
    for (int32_t b = 0; b < m_rBands; ++b) {
        const Coefficients& from = m_rCurrent[b];
        const Coefficients& to = m_rTarget.bands[b];
        m_rStep[b] = {(to.b0 - from.b0) / frames, (to.b1 - from.b1) / frames,
                      (to.b2 - from.b2) / frames, (to.a1 - from.a1) / frames,
                      (to.a2 - from.a2) / frames};
    }
    m_rHeadroomStep = (m_rTarget.headroom - m_rHeadroom) / frames;
    m_rGlideLeft = m_rGlideFrames;
}

void CEqualizerStage::EndGlide() {
    m_rGlideLeft = 0;
    m_rCurrent = m_rTarget.bands;
    m_rHeadroom = m_rTarget.headroom;
    for (int32_t b = m_rTarget.count; b < m_rBands; ++b)
        ClearBand(b);
    m_rBands = m_rTarget.count;
    if (m_rTarget.flat) {
        m_rBypass = true;
        for (int32_t b = 0; b < m_rBands; ++b)
            ClearBand(b);
    }
}

void CEqualizerStage::ClearBand(int32_t band) {
    m_rCurrent[band] = Coefficients{};
    m_rState[band].fill(0.0f);
}

void CEqualizerStage::Process(int16_t* frames, uint32_t count) {
    TakeLatest();
    uint32_t done = 0;
    while (done < count && !m_rBypass) {
        int16_t* at = frames + static_cast<size_t>(done) * 2;
        if (m_rGlideLeft > 0) {
            const uint32_t n = std::min(count - done, m_rGlideLeft);
            Glide(at, n);
            done += n;
            m_rGlideLeft -= n;
            if (m_rGlideLeft == 0)
                EndGlide();
        } else {
            Run(at, count - done);
            done = count;
        }
    }
    FlushTinyStates();
}

void CEqualizerStage::Run(int16_t* frames, uint32_t count) {
    const int32_t bands = m_rBands;
    const float headroom = m_rHeadroom;
    for (uint32_t i = 0; i < count; ++i) {
        float left = frames[2 * i];
        float right = frames[2 * i + 1];
        for (int32_t b = 0; b < bands; ++b) {
            const Coefficients& c = m_rCurrent[b];
            std::array<float, 4>& s = m_rState[b];
            left = Tick(c.b0, c.b1, c.b2, c.a1, c.a2, left, s[0], s[1]);
            right = Tick(c.b0, c.b1, c.b2, c.a1, c.a2, right, s[2], s[3]);
        }
        frames[2 * i] = ToSample(left * headroom);
        frames[2 * i + 1] = ToSample(right * headroom);
    }
}

void CEqualizerStage::Glide(int16_t* frames, uint32_t count) {
    const int32_t bands = m_rBands;
    for (uint32_t i = 0; i < count; ++i) {
        float left = frames[2 * i];
        float right = frames[2 * i + 1];
        for (int32_t b = 0; b < bands; ++b) {
            Coefficients& c = m_rCurrent[b];
            const Coefficients& d = m_rStep[b];
            c.b0 += d.b0;
            c.b1 += d.b1;
            c.b2 += d.b2;
            c.a1 += d.a1;
            c.a2 += d.a2;
            std::array<float, 4>& s = m_rState[b];
            left = Tick(c.b0, c.b1, c.b2, c.a1, c.a2, left, s[0], s[1]);
            right = Tick(c.b0, c.b1, c.b2, c.a1, c.a2, right, s[2], s[3]);
        }
        m_rHeadroom += m_rHeadroomStep;
        frames[2 * i] = ToSample(left * m_rHeadroom);
        frames[2 * i + 1] = ToSample(right * m_rHeadroom);
    }
}

void CEqualizerStage::FlushTinyStates() {
    for (int32_t b = 0; b < m_rBands; ++b) {
        for (float& z : m_rState[b]) {
            if (!std::isfinite(z) || std::fabs(z) < kTinyState)
                z = 0.0f;
        }
    }
}

} // namespace tessel
