#include "common/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace quiltor {
namespace {

TEST(ParallelForTest, EveryItemOnceWithAWorkerInRange) {
  for (const int workers : {1, 2, 3, 8}) {
    std::vector<std::atomic<int>> seen(37);
    std::atomic<bool> workerOutOfRange{false};
    ParallelFor(37, workers, [&](int item, int worker) {
      ++seen[static_cast<std::size_t>(item)];
      if (worker < 0 || worker >= workers) workerOutOfRange = true;
    });
    for (const auto& count : seen) EXPECT_EQ(count.load(), 1) << workers << " workers";
    EXPECT_FALSE(workerOutOfRange);
  }
  ParallelFor(0, 4, [](int, int) { FAIL() << "no items, no calls"; });
}

TEST(ParallelForTest, AWorkersExceptionReachesTheCaller) {
  EXPECT_THROW(ParallelFor(1000, 3,
                           [](int item, int) {
                             if (item == 5) throw std::runtime_error("tile failed");
                           }),
               std::runtime_error);
}

// One pool for many batches, as the row and tile writers use it: every
// batch complete before the next, and a failed batch leaves the pool usable.
TEST(WorkerPoolTest, ManyBatchesAndABatchThatFails) {
  WorkerPool pool(3);
  ASSERT_EQ(pool.workers(), 3);
  std::vector<int> sums(500);
  for (int batch = 0; batch < 500; ++batch) {
    std::vector<int> items(7, 0);
    pool.ForEach(7, [&items, batch](int item, int) { items[std::size_t(item)] = batch + item; });
    for (int v : items) sums[std::size_t(batch)] += v;
  }
  for (int batch = 0; batch < 500; ++batch) EXPECT_EQ(sums[std::size_t(batch)], 7 * batch + 21);
  EXPECT_THROW(pool.ForEach(50, [](int item, int) { if (item == 3) throw std::runtime_error("row failed"); }),
               std::runtime_error);
  std::atomic<int> after{0};
  pool.ForEach(20, [&after](int, int) { ++after; });
  EXPECT_EQ(after.load(), 20);
}

TEST(ParallelForTest, ZeroWorkersMeansOnePerCore) {
  EXPECT_GE(WorkerCount(0), 1);
  EXPECT_EQ(WorkerCount(3), 3);
}

}  // namespace
}  // namespace quiltor
