// The equalizer stage of the render: the cascade of peaking sections over
// interleaved stereo float samples, in place. Its output may pass full scale
// (a boost is a boost); the render's limiter after it keeps that from
// clipping. A flat design passes samples untouched, and so does a band at
// 0 dB within a design (it is left out of the cascade).
//
// New settings reach the render without locks or allocation: the main
// thread writes a coefficient set into the slot that is not the latest and
// publishes it; the render copies it at the start of a block and crossfades
// from the cascade it runs to the new one over 10 ms, both running side by
// side meanwhile. Every mix of the two lies between them: a change can
// neither click nor overshoot either end, whatever the two filters are
// (gliding the coefficients instead passes through filters whose gain lies
// outside both ends). A set that arrives during a crossfade
// waits for its end; a newer one replaces it.
//
// Threads:
// - Main thread: Install (only while no render runs: the stream is closed),
//   Publish, and m_generation.
// - Render thread: Process and every m_r* field (set up by Install before
//   the render starts).
// - Shared, atomic: the two slots (a slot's sequence is odd while the main
//   thread writes it, and its values are released after that; the render
//   acquires the values and throws a copy away when the sequence moved
//   meanwhile, taking it again at the next block) and m_latest (released
//   by Publish, acquired by the render).
#pragma once

#include "equalizer/EqualizerDesign.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace tessel {

class CEqualizerStage {
  public:
    // Main thread, no render running: the design for a new stream at
    // `sampleRate`, in force from its first sample, with empty filters.
    void Install(const EqualizerDesign& design, uint32_t sampleRate);
    // Main thread, the render may run: crossfade to `design`.
    void Publish(const EqualizerDesign& design);

    // Render thread: equalizes `count` stereo frames in place. False when
    // it left them exactly as they were (flat, no change fading).
    bool Process(float* frames, uint32_t count);

    // A band as the render runs it: the signal plus a scaled bandpass (see
    // PeakingSection).
    struct Band {
        float lift = 0.0f, a1 = 0.0f, a2 = 0.0f;
    };

    // Tests only: the render calls `hook` half-way through its copy of a
    // slot (after the count, before the bands), where a main thread's write
    // can land. Set while no render runs; reached only when the render takes
    // new settings, never on an ordinary block.
    using MidCopyHook = void (*)(CEqualizerStage&);
    void SetMidCopyHookForTest(MidCopyHook hook) { m_midCopyHook = hook; }

  private:
    static constexpr int32_t kMaxBands = kEqualizerMaxBands;
    static constexpr int32_t kValuesPerBand = 3;
    static constexpr uint32_t kMixFrames = 256; // crossfade work, per pass

    // The bands that change the sound, in cascade order; `flat` as the
    // design says (count is 0 then).
    struct Set {
        int32_t count = 0;
        bool flat = true;
        std::array<Band, kMaxBands> bands{};
    };
    // A cascade as the render runs it: its set and, per band, the state of
    // its bandpass (six values, see RunPass in the source).
    struct Chain {
        Set set;
        std::array<std::array<float, 6>, kMaxBands> state{};
    };
    struct Slot {
        std::atomic<uint32_t> sequence{0};
        std::atomic<int32_t> count{0};
        std::atomic<bool> flat{true};
        std::array<std::atomic<float>, kMaxBands * kValuesPerBand> values{};
    };

    static Set ToSet(const EqualizerDesign& design);

    // Render thread.
    bool TakeLatest(Set& into);
    void BeginCrossfade(const Set& target);
    void Crossfade(float* frames, uint32_t count);
    // Runs `chain` over `count` frames into `out` (which may be `frames`).
    static void RunChain(Chain& chain, const float* frames, uint32_t count, float* out);
    // The input history after `frames`: its last two frames.
    std::array<float, 4> LastInput(const float* frames, uint32_t count) const;
    static void FlushTinyStates(Chain& chain);

    std::array<Slot, 2> m_slots;
    std::atomic<uint32_t> m_latest{0}; // generation * 2 + slot
    uint32_t m_generation = 0;
    MidCopyHook m_midCopyHook = nullptr;

    uint32_t m_rTaken = 0;
    uint32_t m_rFadeFrames = 441;
    uint32_t m_rFadeDone = 0;
    bool m_rFading = false;
    bool m_rHasPending = false;
    Set m_rIncoming; // copied from a slot; kept only if the copy was whole
    Set m_rPending;
    Chain m_rFrom; // the chain that plays; while fading, the one fading out
    Chain m_rTo;   // the chain fading in
    // The input's last two frames (left, right, then the frame before).
    std::array<float, 4> m_rInput{};
    std::array<float, 2 * kMixFrames> m_rFromOut{};
    std::array<float, 2 * kMixFrames> m_rToOut{};
};

} // namespace tessel
