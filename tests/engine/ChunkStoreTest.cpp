#include "engine/ChunkStore.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tessel;

namespace {
void FillAll(CChunkStore& store, const std::string& name) {
    for (int i = 0; i < CChunkStore::kSlots; ++i) {
        store.Publish(name, 1, 0, kChunkBytes);
        store.AdvanceWrite();
    }
}
} // namespace

TEST(ChunkStore, CountsBytesOfSlotsInUse) {
    auto store = std::make_unique<CChunkStore>();
    EXPECT_EQ(store->BytesInUse(), 0u);
    FillAll(*store, "a");
    EXPECT_EQ(store->BytesInUse(), 1176000u);
    EXPECT_EQ(store->m_writeIndex, 0) << "100 fills bring the write index round";
    for (int i = 0; i < CChunkStore::kSlots; ++i)
        store->Release();
    EXPECT_EQ(store->m_readIndex, 0);
    EXPECT_EQ(store->BytesInUse(), 0u);
}

TEST(ChunkStore, ResetFreesEverySlotAndRewindsTheWriter) {
    auto store = std::make_unique<CChunkStore>();
    FillAll(*store, "x");
    store->AdvanceWrite();
    store->Reset();
    EXPECT_EQ(store->BytesInUse(), 0u);
    EXPECT_EQ(store->m_writeIndex, 0);
    EXPECT_TRUE(store->m_trackName[5].empty());
    EXPECT_EQ(store->m_trackSerial[5], 0u);
}
