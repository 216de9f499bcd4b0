#include "output/EqualizerStage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <type_traits>

namespace tessel {

namespace {

// Filter states this small are below any audible effect but slow the float
// unit down (subnormals) while a quiet passage dies away.
constexpr float kTinyState = 1e-20f;

// Two bands side by side in one vector, left and right of each (the
// compiler's own vector type: SSE on x86, NEON on ARM, plain floats
// elsewhere).
using Lanes = float __attribute__((vector_size(16)));
using LaneMask = int32_t __attribute__((vector_size(16)));
// A band's last bandpass output u, then the r its last two frames made
// (for the next frame's r and the one after it: x + a2 u), left and right
// each.
using BandState = std::array<float, 6>;

// The most bands one pass runs side by side: three vectors, few enough to
// stay in registers. Longer cascades take several passes over the block.
constexpr int32_t kPassBands = 6;

constexpr float kSilentFrame[2] = {0.0f, 0.0f};

Lanes Pick(LaneMask on, Lanes now, Lanes before) {
    return std::bit_cast<Lanes>((std::bit_cast<LaneMask>(now) & on) |
                                (std::bit_cast<LaneMask>(before) & ~on));
}

// A pass of `Bands` bands (1 ... 6) over a block, `in` to `out` (which may be
// the same). Each band is the signal plus its scaled bandpass,
//   u[n] = (x[n] - r[n]) - a1 u[n-1],   r[n] = x[n-2] + a2 u[n-2]
//   y[n] = x[n] + lift u[n],
// where a sample waits on the one before only through one multiply and one
// subtraction.
//
// The bands run as a wavefront: at step t band b works on frame t - 2b, on
// what band b - 1 made of it two steps before. The bands of one step do not
// wait on each other, so the vectors are full, and the float unit's latency
// is spread over all of them rather than met band after band. In the first
// and last 2 (Bands - 1) steps some bands have nothing to do yet or any
// more; only those steps mask their states.
template <int32_t Bands>
void RunPass(const CEqualizerStage::Band* bands, BandState* states, const float* in, float* out,
             uint32_t count) {
    constexpr int32_t kVectors = (Bands + 1) / 2;
    constexpr uint32_t kLag = 2 * (Bands - 1); // the last band's frame behind the first's
    constexpr int32_t kOutVector = (Bands - 1) / 2;
    constexpr int32_t kOutLane = 2 * ((Bands - 1) % 2);
    Lanes lift[kVectors], a1[kVectors], a2[kVectors];
    Lanes u1[kVectors], r1[kVectors], r2[kVectors], y1[kVectors], y2[kVectors];
    LaneMask lag[kVectors];
    for (int32_t v = 0; v < kVectors; ++v) {
        // An odd count leaves the last vector's upper half idle: no lift, so
        // it passes on whatever it gets and is never read.
        const int32_t lo = 2 * v;
        const int32_t hi = 2 * v + 1;
        const CEqualizerStage::Band l = bands[lo];
        const CEqualizerStage::Band h = hi < Bands ? bands[hi] : CEqualizerStage::Band{};
        const BandState sl = states[lo];
        const BandState sh = hi < Bands ? states[hi] : BandState{};
        lift[v] = Lanes{l.lift, l.lift, h.lift, h.lift};
        a1[v] = Lanes{l.a1, l.a1, h.a1, h.a1};
        a2[v] = Lanes{l.a2, l.a2, h.a2, h.a2};
        u1[v] = Lanes{sl[0], sl[1], sh[0], sh[1]};
        r1[v] = Lanes{sl[2], sl[3], sh[2], sh[3]};
        r2[v] = Lanes{sl[4], sl[5], sh[4], sh[5]};
        y1[v] = y2[v] = Lanes{};
        lag[v] = LaneMask{2 * lo, 2 * lo, 2 * hi, 2 * hi};
    }
    const auto last = static_cast<int32_t>(count);
    auto step = [&](uint32_t t, const float* frame, auto edge) {
        Lanes x[kVectors];
        const Lanes f = {frame[0], frame[1], 0.0f, 0.0f};
        x[0] = __builtin_shufflevector(f, y2[0], 0, 1, 4, 5);
        for (int32_t v = 1; v < kVectors; ++v)
            x[v] = __builtin_shufflevector(y2[v - 1], y2[v], 2, 3, 4, 5);
        for (int32_t v = 0; v < kVectors; ++v) {
            const Lanes u = (x[v] - r2[v]) - a1[v] * u1[v];
            const Lanes r = x[v] + a2[v] * u;
            y2[v] = y1[v];
            y1[v] = x[v] + lift[v] * u;
            if constexpr (decltype(edge)::value) {
                const LaneMask frameOf = static_cast<int32_t>(t) - lag[v];
                const LaneMask on = (frameOf >= 0) & (frameOf < last);
                u1[v] = Pick(on, u, u1[v]);
                r2[v] = Pick(on, r1[v], r2[v]);
                r1[v] = Pick(on, r, r1[v]);
            } else {
                u1[v] = u;
                r2[v] = r1[v];
                r1[v] = r;
            }
        }
    };
    auto emit = [&](uint32_t t) {
        float* frame = out + 2 * static_cast<size_t>(t - kLag);
        frame[0] = y1[kOutVector][kOutLane];
        frame[1] = y1[kOutVector][kOutLane + 1];
    };
    const uint32_t steps = count + kLag;
    uint32_t t = 0;
    for (; t < kLag; ++t)
        step(t, t < count ? in + 2 * static_cast<size_t>(t) : kSilentFrame, std::true_type{});
    // Reads frame t before it writes frame t - kLag: in place is safe.
    for (; t < count; ++t) {
        step(t, in + 2 * static_cast<size_t>(t), std::false_type{});
        emit(t);
    }
    for (; t < steps; ++t) {
        step(t, kSilentFrame, std::true_type{});
        emit(t);
    }
    for (int32_t v = 0; v < kVectors; ++v) {
        for (int32_t half = 0; half < 2 && 2 * v + half < Bands; ++half) {
            const int32_t l = 2 * half;
            states[2 * v + half] = {u1[v][l],     u1[v][l + 1], r1[v][l],
                                    r1[v][l + 1], r2[v][l],     r2[v][l + 1]};
        }
    }
}

} // namespace

CEqualizerStage::Set CEqualizerStage::ToSet(const EqualizerDesign& design) {
    Set set;
    set.flat = design.flat;
    const int32_t count = std::clamp(design.count, 0, kMaxBands);
    for (int32_t b = 0; b < count; ++b) {
        // In double until here: b0 - 1 would lose most of a small lift in
        // float.
        const PeakingSection section = AsSignalPlusBandpass(design.bands[b]);
        const Band band = {static_cast<float>(section.lift), static_cast<float>(section.a1),
                           static_cast<float>(section.a2)};
        if (band.lift == 0.0f)
            continue; // passes its input exactly: nothing to run
        set.bands[set.count++] = band;
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
        const Band& band = set.bands[b];
        std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        v[0].store(band.lift, kAfterSequence);
        v[1].store(band.a1, kAfterSequence);
        v[2].store(band.a2, kAfterSequence);
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
    if (m_midCopyHook != nullptr) [[unlikely]]
        m_midCopyHook(*this);
    for (int32_t b = 0; b < into.count; ++b) {
        const std::atomic<float>* v = &slot.values[static_cast<size_t>(b) * kValuesPerBand];
        into.bands[b] = {v[0].load(kBeforeSequence), v[1].load(kBeforeSequence),
                         v[2].load(kBeforeSequence)};
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
    // unchanged so far (their bandpasses silent, every band's input the
    // stage's); what that leaves wrong dies away under the fade.
    for (int32_t b = 0; b < target.count; ++b)
        m_rTo.state[b] = {0.0f, 0.0f, m_rInput[0], m_rInput[1], m_rInput[2], m_rInput[3]};
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
            RunChain(m_rFrom, at, n, at);
            shaped = true;
        }
        m_rInput = input;
        done += n;
    }
    FlushTinyStates(m_rFrom);
    return shaped;
}

void CEqualizerStage::RunChain(Chain& chain, const float* frames, uint32_t count, float* out) {
    const Set& set = chain.set;
    if (set.count == 0) {
        if (out != frames)
            std::copy(frames, frames + 2 * static_cast<size_t>(count), out);
        return;
    }
    for (int32_t first = 0; first < set.count; first += kPassBands) {
        const Band* bands = &set.bands[first];
        BandState* states = &chain.state[first];
        // Later passes work on what the earlier ones wrote.
        const float* in = first == 0 ? frames : out;
        switch (std::min(kPassBands, set.count - first)) {
        case 1:
            RunPass<1>(bands, states, in, out, count);
            break;
        case 2:
            RunPass<2>(bands, states, in, out, count);
            break;
        case 3:
            RunPass<3>(bands, states, in, out, count);
            break;
        case 4:
            RunPass<4>(bands, states, in, out, count);
            break;
        case 5:
            RunPass<5>(bands, states, in, out, count);
            break;
        default:
            RunPass<6>(bands, states, in, out, count);
            break;
        }
    }
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
