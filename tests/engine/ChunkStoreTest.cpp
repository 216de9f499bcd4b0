#include "engine/ChunkStore.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tessel;

TEST(ChunkStore, CountsSlotsInUseAndResetFreesThemAll) {
    auto store = std::make_unique<CChunkStore>();
    for (int i = 0; i < CChunkStore::kSlots; ++i) {
        store->Publish("a", 1, 0, kChunkBytes);
        store->AdvanceWrite();
    }
    EXPECT_EQ(store->BytesInUse(), CChunkStore::kSlots * kChunkBytes);
    EXPECT_EQ(store->m_writeIndex, 0) << "a full round brings the write index back";
    store->Release();
    EXPECT_EQ(store->BytesInUse(), (CChunkStore::kSlots - 1) * kChunkBytes);
    store->AdvanceWrite();
    store->Reset();
    EXPECT_EQ(store->BytesInUse(), 0u);
    EXPECT_EQ(store->m_writeIndex, 0);
    EXPECT_TRUE(store->m_trackName[5].empty());
    EXPECT_EQ(store->m_trackSerial[5], 0u);
}
