// The equalizer stage of the render: the cascade of peaking biquads over
// interleaved stereo, run in float and converted back to 16 bits once, then
// scaled by the design's headroom. A flat design passes samples untouched.
//
// New settings reach the render without locks or allocation: the main
// thread writes a coefficient set into the slot that is not the latest and
// publishes it; the render copies it at the start of a block and glides
// there from where it stands, coefficient by coefficient, over 10 ms.
//
// Threads:
// - Main thread: Install (only while no render runs: the stream is closed),
//   Publish, and m_generation.
// - Render thread: Process and every m_r* field (set up by Install before
//   the render starts).
// - Shared, atomic: the two slots (a slot's sequence is odd while the main
//   thread writes it; a copy that such a write overlapped is thrown away
//   and taken again at the next block) and m_latest (released by Publish,
//   acquired by the render).
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
    // Main thread, the render may run: glide to `design`.
    void Publish(const EqualizerDesign& design);

    // Render thread: equalizes `count` stereo frames in place.
    void Process(int16_t* frames, uint32_t count);

  private:
    static constexpr int32_t kMaxBands = kEqualizerMaxBands;
    static constexpr int32_t kValuesPerBand = 5;

    struct Coefficients {
        float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    };
    struct Set {
        int32_t count = 0;
        bool flat = true;
        float headroom = 1.0f;
        std::array<Coefficients, kMaxBands> bands{};
    };
    struct Slot {
        std::atomic<uint32_t> sequence{0};
        std::atomic<int32_t> count{0};
        std::atomic<bool> flat{true};
        std::atomic<float> headroom{1.0f};
        std::array<std::atomic<float>, kMaxBands * kValuesPerBand> values{};
    };

    static Set ToSet(const EqualizerDesign& design);

    // Render thread.
    void TakeLatest();
    void BeginGlide(const Set& target);
    void EndGlide();
    void Run(int16_t* frames, uint32_t count);
    void Glide(int16_t* frames, uint32_t count);
    void ClearBand(int32_t band);
    void FlushTinyStates();

    std::array<Slot, 2> m_slots;
    std::atomic<uint32_t> m_latest{0}; // generation * 2 + slot
    uint32_t m_generation = 0;

    uint32_t m_rTaken = 0;
    uint32_t m_rGlideFrames = 441;
    uint32_t m_rGlideLeft = 0;
    bool m_rBypass = true;
    int32_t m_rBands = 0; // bands run: the larger of where from and where to
    Set m_rIncoming;
    Set m_rTarget;
    std::array<Coefficients, kMaxBands> m_rCurrent{};
    std::array<Coefficients, kMaxBands> m_rStep{};
    float m_rHeadroom = 1.0f;
    float m_rHeadroomStep = 0.0f;
    // z1 and z2 of the left, then of the right channel, per band.
    std::array<std::array<float, 4>, kMaxBands> m_rState{};
};

} // namespace tessel
