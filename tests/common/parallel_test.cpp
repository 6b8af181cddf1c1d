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

TEST(ParallelForTest, ZeroWorkersMeansOnePerCore) {
  EXPECT_GE(WorkerCount(0), 1);
  EXPECT_EQ(WorkerCount(3), 3);
}

}  // namespace
}  // namespace quiltor
