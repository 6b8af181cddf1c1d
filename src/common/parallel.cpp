#include "common/parallel.h"

#include <algorithm>
#include <system_error>

namespace quiltor {

int WorkerCount(int requested) {
  if (requested > 0) return requested;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

WorkerPool::WorkerPool(int threads) {
  const int helpers = WorkerCount(threads) - 1;
  helpers_.reserve(static_cast<std::size_t>(helpers));
  for (int w = 1; w <= helpers; ++w) {
    try {
      helpers_.emplace_back([this, w] { Help(w); });
    } catch (const std::system_error&) {
      // The system will not start another thread: the work is shared by
      // those that did start, with the same outcome, only later.
      break;
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void WorkerPool::RunItems(int worker) {
  for (int item = next_++; item < count_ && !failed_.load(); item = next_++) {
    try {
      (*work_)(item, worker);
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!error_) error_ = std::current_exception();
      failed_.store(true);
    }
  }
}

void WorkerPool::Help(int worker) {
  unsigned seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
    if (stopping_) return;
    seen = batch_;
    lock.unlock();
    RunItems(worker);
    lock.lock();
    if (--helping_ == 0) finished_.notify_all();
  }
}

void WorkerPool::ForEach(int count, const ParallelWork& work) {
  if (count <= 0) return;
  {
    std::lock_guard lock(mutex_);
    work_ = &work;
    count_ = count;
    next_.store(0);
    failed_.store(false);
    error_ = nullptr;
    helping_ = static_cast<int>(helpers_.size());
    ++batch_;
  }
  wake_.notify_all();
  RunItems(0);
  std::exception_ptr error;
  {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return helping_ == 0; });
    work_ = nullptr;
    error = error_;
  }
  if (error) std::rethrow_exception(error);
}

void ParallelFor(int count, int workers, const ParallelWork& work) {
  if (count <= 0) return;
  WorkerPool pool(std::min(WorkerCount(workers), count));
  pool.ForEach(count, work);
}

}  // namespace quiltor
