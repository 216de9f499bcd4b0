#include "equalizer/AnalysisRing.h"

#include <cmath>
#include <cstring>

namespace tessel {

void CAnalysisRing::StoreChunk(int /*deck*/, const int16_t* chunk, int byteOffset) {
    if (byteOffset < 0)
        return;
    const size_t first = static_cast<size_t>(byteOffset / 2);
    if (first + kChunkSamples > m_samples.size())
        return;
    std::memcpy(&m_samples[first], chunk, kChunkBytes);
}

float CAnalysisRing::GetLevelDb(int /*deck*/, int slot) const {
    if (slot < 0 || slot >= kSlots)
        return 0.0f;
    const int16_t* s = &m_samples[static_cast<size_t>(slot) * kChunkSamples];
    // Integer sums are exact for 5880 16-bit samples and keep the result
    // independent of summation order.
    int64_t sum = 0;
    int64_t sumSquares = 0;
    for (uint32_t i = 0; i < kChunkSamples; ++i) {
        sum += s[i];
        sumSquares += static_cast<int64_t>(s[i]) * s[i];
    }
    const double n = kChunkSamples;
    const double mean = static_cast<double>(sum) / n;
    const double variance = std::max(0.0, static_cast<double>(sumSquares) / n - mean * mean);
    const auto deviation = static_cast<int>(std::lround(std::sqrt(variance)));
    if (deviation == 0)
        return 0.0f;
    return 20.0f * std::log10(static_cast<float>(deviation));
}

} // namespace tessel
