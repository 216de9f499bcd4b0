#include "equalizer/AnalysisRing.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tessel;

namespace {
std::vector<int16_t> Chunk(int16_t left, int16_t right) {
    std::vector<int16_t> c(kChunkSamples);
    for (size_t i = 0; i < c.size(); i += 2) {
        c[i] = left;
        c[i + 1] = right;
    }
    return c;
}
} // namespace

TEST(AnalysisRing, LevelsOfKnownSignals) {
    auto ring = std::make_unique<CAnalysisRing>();
    EXPECT_FLOAT_EQ(ring->GetLevelDb(0, 7), 0.0f) << "never stored: silence";

    ring->StoreChunk(0, Chunk(1000, -1000).data(), 3 * static_cast<int>(kChunkBytes));
    EXPECT_NEAR(ring->GetLevelDb(0, 3), 60.0f, 1e-4);

    ring->StoreChunk(0, Chunk(1234, 1234).data(), 4 * static_cast<int>(kChunkBytes));
    EXPECT_FLOAT_EQ(ring->GetLevelDb(0, 4), 0.0f) << "a constant deviates by nothing";

    ring->StoreChunk(0, Chunk(32767, -32767).data(), 49 * static_cast<int>(kChunkBytes));
    EXPECT_NEAR(ring->GetLevelDb(0, 49), 90.31f, 0.01);
    EXPECT_NEAR(ring->GetLevelDb(0, 3), 60.0f, 1e-4) << "slots are independent";
}

TEST(AnalysisRing, OutOfRangeOffsetsAndSlotsAreIgnored) {
    auto ring = std::make_unique<CAnalysisRing>();
    ring->StoreChunk(0, Chunk(1000, -1000).data(), 50 * static_cast<int>(kChunkBytes));
    ring->StoreChunk(0, Chunk(1000, -1000).data(), -2);
    for (int slot = 0; slot < CAnalysisRing::kSlots; ++slot)
        EXPECT_FLOAT_EQ(ring->GetLevelDb(0, slot), 0.0f);
    EXPECT_FLOAT_EQ(ring->GetLevelDb(0, 50), 0.0f);
}
