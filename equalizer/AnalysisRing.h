// A copy of what the output ring holds, slot for slot, so the level meter can
// measure the chunk that is sounding without touching the audio thread's data.
//
// Threads: main thread only.
#pragma once

#include "core/ChunkFormat.h"

#include <array>
#include <cstdint>

namespace tessel {

class CAnalysisRing {
  public:
    static constexpr int kSlots = 50;

    // Copies one chunk to the slot that starts at `byteOffset` (a multiple of
    // the chunk size below the ring size). The deck argument is accepted for
    // the one-deck player and ignored.
    void StoreChunk(int deck, const int16_t* chunk, int byteOffset);
    // The standard deviation of the slot's samples (both channels as one
    // sequence) in dB above one quantisation step; 0.0 for silence or a
    // constant.
    float GetLevelDb(int deck, int slot) const;

  private:
    std::array<int16_t, kSlots * kChunkSamples> m_samples{};
};

} // namespace tessel
