#include "engine/ChunkStore.h"

namespace tessel {

CChunkStore::CChunkStore() {
    for (auto& flag : m_inUse)
        flag.store(0, std::memory_order_relaxed);
}

uint32_t CChunkStore::BytesInUse() const {
    uint32_t slots = 0;
    for (const auto& flag : m_inUse)
        slots += flag.load(std::memory_order_acquire) != 0 ? 1 : 0;
    return slots * kChunkBytes;
}

void CChunkStore::Reset() {
    for (size_t i = 0; i < m_inUse.size(); ++i) {
        m_inUse[i].exchange(0, std::memory_order_acq_rel);
        m_trackName[i].clear();
        m_trackSerial[i] = 0;
        m_trackFrameEnd[i] = 0;
        m_validBytes[i] = 0;
    }
    m_writeIndex = 0;
}

void CChunkStore::Publish(const std::string& path, uint64_t trackSerial, int64_t trackFrameEnd,
                          uint32_t validBytes, const ReplayGainValues& gain) {
    const auto i = static_cast<size_t>(m_writeIndex);
    m_trackName[i] = path;
    m_trackSerial[i] = trackSerial;
    m_trackFrameEnd[i] = trackFrameEnd;
    m_validBytes[i] = validBytes;
    m_replayGain[i] = gain;
    m_inUse[i].exchange(1, std::memory_order_acq_rel);
}

void CChunkStore::Release() {
    m_inUse[static_cast<size_t>(m_readIndex)].exchange(0, std::memory_order_acq_rel);
    m_readIndex = (m_readIndex + 1) % kSlots;
}

} // namespace tessel
