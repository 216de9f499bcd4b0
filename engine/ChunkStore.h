// The queue of decoded chunks between the read worker and the output side:
// a fixed ring of 100 slots.
//
// Threads: a slot whose m_inUse is 0 belongs to the read worker, one whose
// m_inUse is 1 to the main thread. Each side flips the flag (release) only
// after it has finished with the slot's data, name and byte count; the other
// side reads the flag with acquire before it touches them. m_writeIndex is
// the read worker's, m_readIndex the main thread's.
#pragma once

#include "core/ChunkFormat.h"
#include "decode/ReplayGain.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace tessel {

class CChunkStore {
  public:
    static constexpr int kSlots = 100;

    CChunkStore();

    uint32_t BytesInUse() const;

    uint8_t* SlotData(int i) { return m_data[static_cast<size_t>(i)].data(); }
    const uint8_t* SlotData(int i) const { return m_data[static_cast<size_t>(i)].data(); }

    bool IsInUse(int i) const {
        return m_inUse[static_cast<size_t>(i)].load(std::memory_order_acquire) != 0;
    }

    // Read worker: empties the store at the start of a run.
    void Reset();
    // Read worker: the slot at m_writeIndex now holds `validBytes` of audio
    // (the rest of the chunk is zero) that ends `trackFrameEnd` frames into
    // the track `path` opened as `trackSerial` (a chunk where one track hands
    // over to the next belongs to the next, and starts before its frame 0),
    // whose tags give `gain`; hands the slot to the main thread.
    void Publish(const std::string& path, uint64_t trackSerial, int64_t trackFrameEnd,
                 uint32_t validBytes, const ReplayGainValues& gain = {});
    void AdvanceWrite() { m_writeIndex = (m_writeIndex + 1) % kSlots; }

    // Main thread: gives the slot at m_readIndex back to the read worker.
    void Release();

    int m_readIndex = 0;
    int m_writeIndex = 0;
    std::array<std::string, kSlots> m_trackName;
    std::array<uint32_t, kSlots> m_validBytes{};
    std::array<uint64_t, kSlots> m_trackSerial{};
    std::array<int64_t, kSlots> m_trackFrameEnd{};
    std::array<ReplayGainValues, kSlots> m_replayGain{};
    std::array<std::atomic<int32_t>, kSlots> m_inUse;

  private:
    alignas(64) std::array<std::array<uint8_t, kChunkBytes>, kSlots> m_data{};
};

} // namespace tessel
