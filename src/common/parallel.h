#pragma once
// Work split over a few threads: the items of one batch are independent,
// each worker takes the next unclaimed item, and the caller's thread is one
// of the workers. Results go wherever the item's index says, so the outcome
// does not depend on how many workers ran or in which order they finished.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quiltor {

// Worker threads for `requested` (0: one per core, at least 1).
int WorkerCount(int requested);

using ParallelWork = std::function<void(int item, int worker)>;

// Workers kept for many batches, so that a batch of a few rows or tiles
// does not pay for starting threads.
class WorkerPool {
 public:
  // `threads` 0: one per core. The helpers (all workers but the caller's
  // thread) wait here until the pool goes.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int workers() const { return static_cast<int>(helpers_.size()) + 1; }

  // Calls work(item, worker) once for every item in [0, count); `worker`
  // (0 .. workers() - 1) names the thread, for per-thread state. Returns
  // when every item is done. The first exception a worker throws is
  // rethrown here once all have stopped; items not yet claimed by then are
  // skipped. One batch at a time.
  void ForEach(int count, const ParallelWork& work);

 private:
  void Help(int worker);
  void RunItems(int worker);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const ParallelWork* work_ = nullptr;
  int count_ = 0;
  std::atomic<int> next_{0};
  std::atomic<bool> failed_{false};
  std::exception_ptr error_;
  unsigned batch_ = 0;
  int helping_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> helpers_;
};

// One batch on a pool of its own, for work that runs once.
void ParallelFor(int count, int workers, const ParallelWork& work);

}  // namespace quiltor
