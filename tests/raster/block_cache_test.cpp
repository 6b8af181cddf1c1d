// The decoded-block cache of the streamed readers: bulk eviction of the
// oldest loads keeps it within its capacity, also for capacities so small
// that a tenth or a twentieth of them is no block at all.
#include <gtest/gtest.h>

#include "raster/block_cache.h"

namespace quiltor {
namespace {

TEST(BlockCache, DropsTheOldestTenthWhenFull) {
  BlockCache cache(500, 100, 10);
  for (std::size_t i = 0; i < 100; ++i) cache.Insert(i, 8)[0] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(cache.cachedCount(), 100u);
  cache.Insert(200, 8);
  EXPECT_EQ(cache.cachedCount(), 91u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(cache.Find(i), nullptr) << i;
  for (std::size_t i = 10; i < 100; ++i) {
    ASSERT_NE(cache.Find(i), nullptr) << i;
    EXPECT_EQ(cache.Find(i)[0], i) << "a surviving block keeps its contents";
  }
  EXPECT_NE(cache.Find(200), nullptr);
}

TEST(BlockCache, SmallCapacitiesStillStayBounded) {
  for (std::size_t capacity : {1u, 2u, 5u, 19u}) {
    BlockCache cache(1000, capacity, 20);
    for (std::size_t i = 0; i < 1000; ++i) {
      cache.Insert(i, 4);
      ASSERT_LE(cache.cachedCount(), capacity) << capacity;
      ASSERT_NE(cache.Find(i), nullptr);
    }
  }
}

TEST(BlockCache, OlderStampsGoFirstWhateverTheBlockNumbers) {
  BlockCache cache(10, 3, 10);
  cache.Insert(7, 1);
  cache.Insert(2, 1);
  cache.Insert(5, 1);
  cache.Insert(0, 1);  // full: the oldest load (block 7) goes
  EXPECT_EQ(cache.Find(7), nullptr);
  EXPECT_NE(cache.Find(2), nullptr);
  EXPECT_NE(cache.Find(5), nullptr);
  cache.Clear();
  EXPECT_EQ(cache.cachedCount(), 0u);
  EXPECT_EQ(cache.Find(0), nullptr);
}

}  // namespace
}  // namespace quiltor
