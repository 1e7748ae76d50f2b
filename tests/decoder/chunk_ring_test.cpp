#include "decoder/chunk_ring.h"

#include <gtest/gtest.h>

#include <memory>

namespace veldan::test {
namespace {

// Reading ahead stops with the reserve free; a new request's chunks may still take it, and
// the consumer gets them in order behind the older ones.
TEST(ChunkRingTest, ReadingAheadLeavesTheReserveForANewRequest) {
  auto ring = std::make_unique<ChunkRing>();
  std::size_t pushed = 0;
  while (SoundChunk* chunk = ring->Back(ChunkRing::kReserve)) {
    chunk->epoch = 1;
    ring->Push();
    ++pushed;
  }
  EXPECT_EQ(pushed, ChunkRing::kChunks - ChunkRing::kReserve);
  for (std::size_t i = 0; i < ChunkRing::kReserve; ++i) {
    SoundChunk* chunk = ring->Back();
    ASSERT_NE(chunk, nullptr) << i;
    chunk->epoch = 2;
    ring->Push();
  }
  EXPECT_EQ(ring->Back(), nullptr);
  EXPECT_EQ(ring->Size(), ChunkRing::kChunks);

  for (std::size_t i = 0; i < pushed; ++i) {
    ASSERT_EQ(ring->Front()->epoch, 1u);
    ring->Pop();
  }
  EXPECT_NE(ring->Back(ChunkRing::kReserve), nullptr);  // room again once the old ones are gone
  ASSERT_NE(ring->Front(), nullptr);
  EXPECT_EQ(ring->Front()->epoch, 2u);
}

}  // namespace
}  // namespace veldan::test
