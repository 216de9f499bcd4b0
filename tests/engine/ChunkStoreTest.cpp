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
    store->Release();
    EXPECT_EQ(store->BytesInUse(), (CChunkStore::kSlots - 1) * kChunkBytes);
    store->Reset();
    EXPECT_EQ(store->BytesInUse(), 0u);
}
