#include "output/EqualizerStage.h"

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

// Filter states this small are below any audible effect but slow the float
// unit down (subnormals) while a quiet passage dies away.
constexpr float kTinyState = 1e-20f;

// Both channels go through a band side by side in one vector (the
// compiler's own vector type: SSE on x86, NEON on ARM, plain floats
// elsewhere); lanes 2 and 3 idle.
using Pair = float __attribute__((vector_size(16)));

inline Pair Splat(float v) {
    return Pair{v, v, 0.0f, 0.0f};
}

inline Pair Frame(const float* frame) {
    return Pair{frame[0], frame[1], 0.0f, 0.0f};
}

// Direct form I, one sample of one band: x0 ... x2 its input now and
// before, y1 and y2 its last two outputs. Summed so that only one multiply
// and one subtraction lie between one output and the next.
inline Pair Tick(Pair b0, Pair b1, Pair b2, Pair a1, Pair a2, Pair x0, Pair x1, Pair x2, Pair y1,
                 Pair y2) {
    return ((b0 * x0 + b1 * x1) + (b2 * x2 - a2 * y2)) - a1 * y1;
}

// The cascade over a block: `Bands` known to the compiler (the counts the
// window offers) unrolls the loop over the bands and keeps the states in
// registers; 0 takes the count at run time. Each output frame goes to
// `emit`.
template <int32_t Bands, typename Set, typename States, typename Emit>
void Cascade(const Set& set, States& states, const std::array<float, 4>& input, const float* frames,
             uint32_t count, Emit emit) {
    constexpr int32_t kRoom = Bands > 0 ? Bands : kEqualizerMaxBands;
    const int32_t bands = Bands > 0 ? Bands : set.count;
    std::array<Pair, 5 * kRoom> c;
    std::array<Pair, 2 * kRoom> y;
    for (int32_t b = 0; b < bands; ++b) {
        const auto& k = set.bands[b];
        c[5 * b] = Splat(k.b0);
        c[5 * b + 1] = Splat(k.b1);
        c[5 * b + 2] = Splat(k.b2);
        c[5 * b + 3] = Splat(k.a1);
        c[5 * b + 4] = Splat(k.a2);
        y[2 * b] = Pair{states[b][0], states[b][1], 0.0f, 0.0f};
        y[2 * b + 1] = Pair{states[b][2], states[b][3], 0.0f, 0.0f};
    }
    Pair x1 = {input[0], input[1], 0.0f, 0.0f};
    Pair x2 = {input[2], input[3], 0.0f, 0.0f};
    for (uint32_t i = 0; i < count; ++i) {
        Pair x0 = Frame(frames + 2 * i);
        Pair in1 = x1;
        Pair in2 = x2;
        x2 = x1;
        x1 = x0;
#pragma GCC unroll 8
        for (int32_t b = 0; b < bands; ++b) {
            const Pair o1 = y[2 * b];
            const Pair o2 = y[2 * b + 1];
            x0 = Tick(c[5 * b], c[5 * b + 1], c[5 * b + 2], c[5 * b + 3], c[5 * b + 4], x0, in1,
                      in2, o1, o2);
            y[2 * b + 1] = o1;
            y[2 * b] = x0;
            in1 = o1;
            in2 = o2;
        }
        emit(i, x0);
    }
    for (int32_t b = 0; b < bands; ++b)
        states[b] = {y[2 * b][0], y[2 * b][1], y[2 * b + 1][0], y[2 * b + 1][1]};
}

template <typename Set, typename States, typename Emit>
void CascadeAnyCount(const Set& set, States& states, const std::array<float, 4>& input,
                     const float* frames, uint32_t count, Emit emit) {
    switch (set.count) {
    case 2:
        Cascade<2>(set, states, input, frames, count, emit);
        break;
    case 3:
        Cascade<3>(set, states, input, frames, count, emit);
        break;
    case 5:
        Cascade<5>(set, states, input, frames, count, emit);
        break;
    default:
        Cascade<0>(set, states, input, frames, count, emit);
        break;
    }
}

} // namespace

CEqualizerStage::Set CEqualizerStage::ToSet(const EqualizerDesign& design) {
    Set set;
    set.count = std::clamp(design.count, 0, kMaxBands);
    set.flat = design.flat;
    for (int32_t b = 0; b < set.count; ++b) {
        const BiquadCoefficients& c = design.bands[b];
        set.bands[b] = {static_cast<float>(c.b0), static_cast<float>(c.b1),
                        static_cast<float>(c.b2), static_cast<float>(c.a1),
                        static_cast<float>(c.a2)};
    }
    return set;
}

void CEqualizerStage::Install(const EqualizerDesign& design, uint32_t sampleRate) {
    m_rTaken = m_latest.load(std::memory_order_relaxed);
    m_rFadeFrames = std::max<uint32_t>(1, sampleRate / 100);
    m_rFading = false;
    m_rHasPending = false;
    m_rFrom = Chain{};
    m_rFrom.set = ToSet(design);
    m_rInput.fill(0.0f);
}

void CEqualizerStage::Publish(const EqualizerDesign& design) {
    const Set set = ToSet(design);
    const uint32_t latest = m_latest.load(std::memory_order_relaxed);
    const uint32_t index = (latest & 1u) ^ 1u;
    Slot& slot = m_slots[index];
    const uint32_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    // Each value is released after the odd sequence: a reader that acquires
    // any new value sees the sequence moved on when it looks again.
    constexpr auto kAfterSequence = std::memory_order_release;
    slot.count.store(set.count, kAfterSequence);
    slot.flat.store(set.flat, kAfterSequence);
    for (int32_t b = 0; b < set.count; ++b) {
        const Coefficients& c = set.bands[b];
        std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        v[0].store(c.b0, kAfterSequence);
        v[1].store(c.b1, kAfterSequence);
        v[2].store(c.b2, kAfterSequence);
        v[3].store(c.a1, kAfterSequence);
        v[4].store(c.a2, kAfterSequence);
    }
    slot.sequence.store(sequence + 2, std::memory_order_release);
    ++m_generation;
    m_latest.store(m_generation * 2 + index, std::memory_order_release);
}

bool CEqualizerStage::TakeLatest(Set& into) {
    const uint32_t latest = m_latest.load(std::memory_order_acquire);
    if (latest == m_rTaken)
        return false;
    const Slot& slot = m_slots[latest & 1u];
    const uint32_t before = slot.sequence.load(std::memory_order_acquire);
    if (before & 1u)
        return false; // being written: next block
    // Acquired, so the sequence read after them is no older than any write
    // whose values they saw.
    constexpr auto kBeforeSequence = std::memory_order_acquire;
    into.count = std::clamp(slot.count.load(kBeforeSequence), 0, kMaxBands);
    into.flat = slot.flat.load(kBeforeSequence);
    for (int32_t b = 0; b < into.count; ++b) {
        const std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        into.bands[b] = {v[0].load(kBeforeSequence), v[1].load(kBeforeSequence),
                         v[2].load(kBeforeSequence), v[3].load(kBeforeSequence),
                         v[4].load(kBeforeSequence)};
    }
    if (slot.sequence.load(std::memory_order_relaxed) != before)
        return false; // torn by a newer write: next block
    m_rTaken = latest;
    return true;
}

void CEqualizerStage::BeginCrossfade(const Set& target) {
    if (m_rFrom.set.flat && target.flat) {
        m_rFrom.set = target; // from untouched to untouched
        return;
    }
    m_rTo.set = target;
    // The incoming filters start as if they had passed their input on
    // unchanged so far; what that leaves wrong dies away under the fade.
    for (int32_t b = 0; b < target.count; ++b)
        m_rTo.state[b] = m_rInput;
    m_rFading = true;
    m_rFadeDone = 0;
}

bool CEqualizerStage::Process(float* frames, uint32_t count) {
    if (TakeLatest(m_rIncoming)) {
        m_rPending = m_rIncoming;
        m_rHasPending = true;
    }
    bool shaped = false;
    uint32_t done = 0;
    while (done < count) {
        if (!m_rFading && m_rHasPending) {
            m_rHasPending = false;
            BeginCrossfade(m_rPending);
        }
        float* at = frames + static_cast<size_t>(done) * 2;
        uint32_t n = count - done;
        if (m_rFading)
            n = std::min({n, kMixFrames, m_rFadeFrames - m_rFadeDone});
        // Taken before the samples are overwritten with the output.
        const std::array<float, 4> input = LastInput(at, n);
        if (m_rFading) {
            Crossfade(at, n);
            shaped = true;
        } else if (!m_rFrom.set.flat) {
            RunSteady(at, n);
            shaped = true;
        }
        m_rInput = input;
        done += n;
    }
    FlushTinyStates(m_rFrom);
    return shaped;
}

void CEqualizerStage::RunChain(Chain& chain, const float* frames, uint32_t count,
                               float* out) const {
    if (chain.set.flat) {
        std::copy(frames, frames + 2 * count, out);
        return;
    }
    CascadeAnyCount(chain.set, chain.state, m_rInput, frames, count, [&](uint32_t i, Pair y) {
        out[2 * i] = y[0];
        out[2 * i + 1] = y[1];
    });
}

void CEqualizerStage::RunSteady(float* frames, uint32_t count) {
    // In place: the cascade has read frame i before it emits it.
    CascadeAnyCount(m_rFrom.set, m_rFrom.state, m_rInput, frames, count, [&](uint32_t i, Pair y) {
        frames[2 * i] = y[0];
        frames[2 * i + 1] = y[1];
    });
}

void CEqualizerStage::Crossfade(float* frames, uint32_t count) {
    RunChain(m_rFrom, frames, count, m_rFromOut.data());
    RunChain(m_rTo, frames, count, m_rToOut.data());
    const float step = 1.0f / static_cast<float>(m_rFadeFrames);
    for (uint32_t i = 0; i < count; ++i) {
        const float in = static_cast<float>(m_rFadeDone + i + 1) * step;
        const float out = 1.0f - in;
        frames[2 * i] = out * m_rFromOut[2 * i] + in * m_rToOut[2 * i];
        frames[2 * i + 1] = out * m_rFromOut[2 * i + 1] + in * m_rToOut[2 * i + 1];
    }
    m_rFadeDone += count;
    if (m_rFadeDone < m_rFadeFrames)
        return;
    m_rFading = false;
    m_rFrom = m_rTo;
}

std::array<float, 4> CEqualizerStage::LastInput(const float* frames, uint32_t count) const {
    std::array<float, 4> input = m_rInput;
    for (uint32_t i = count > 2 ? count - 2 : 0; i < count; ++i)
        input = {frames[2 * i], frames[2 * i + 1], input[0], input[1]};
    return input;
}

void CEqualizerStage::FlushTinyStates(Chain& chain) {
    for (int32_t b = 0; b < chain.set.count; ++b) {
        for (float& y : chain.state[b]) {
            if (!std::isfinite(y) || std::fabs(y) < kTinyState)
                y = 0.0f;
        }
    }
}

} // namespace tessel
