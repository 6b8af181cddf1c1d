#include "creation/ordered_rows.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "common/parallel.h"

namespace quiltor::creation {

namespace {

struct RowSlot {
  std::vector<std::uint8_t> pixels;
  RowLog log;
  bool ready = false;
};

// The rows in flight between the workers and the caller.
class RowWindow {
 public:
  RowWindow(std::int32_t width, std::int32_t height, std::int32_t rows)
      : failedRow_(height), slots_(static_cast<std::size_t>(rows)) {
    for (RowSlot& slot : slots_) slot.pixels.resize(static_cast<std::size_t>(width) * 3);
  }

  // Worker side: waits until rows up to `end` (exclusive) have a free slot;
  // false when the loop is over.
  bool WaitForRoom(std::int32_t end) {
    std::unique_lock lock(mutex_);
    roomFree_.wait(lock, [&] { return stopped_ || end <= taken_ + Rows(); });
    return !stopped_;
  }
  RowSlot& Slot(std::int32_t r) { return slots_[static_cast<std::size_t>(r) % slots_.size()]; }
  // Marks row r merged; false when the loop is over.
  bool Merged(std::int32_t r) {
    {
      std::lock_guard lock(mutex_);
      Slot(r).ready = true;
      if (stopped_) return false;
    }
    rowReady_.notify_all();
    return true;
  }
  void Failed(std::int32_t r, std::exception_ptr failure) {
    {
      std::lock_guard lock(mutex_);
      if (r < failedRow_) {
        failedRow_ = r;
        failure_ = std::move(failure);
      }
    }
    rowReady_.notify_all();
  }

  // Caller side: waits for row r and answers it; throws the worker's
  // exception when row r failed.
  RowSlot& WaitForRow(std::int32_t r) {
    std::unique_lock lock(mutex_);
    RowSlot& slot = Slot(r);
    rowReady_.wait(lock, [&] { return slot.ready || failedRow_ <= r; });
    if (!slot.ready) std::rethrow_exception(failure_);
    return slot;
  }
  void Taken(std::int32_t r) {
    {
      std::lock_guard lock(mutex_);
      Slot(r).ready = false;
      ++taken_;
    }
    roomFree_.notify_all();
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    roomFree_.notify_all();
  }

 private:
  std::int32_t Rows() const { return static_cast<std::int32_t>(slots_.size()); }

  std::mutex mutex_;
  std::condition_variable roomFree_, rowReady_;
  std::int32_t taken_ = 0;
  std::int32_t failedRow_;
  std::exception_ptr failure_;
  bool stopped_ = false;
  std::vector<RowSlot> slots_;
};

void MergeChunks(RowWorker& worker, int index, int count, std::int32_t height, RowWindow& window) {
  const std::int64_t stride = static_cast<std::int64_t>(count) * kChunkRows;
  for (std::int64_t first = static_cast<std::int64_t>(index) * kChunkRows; first < height; first += stride) {
    const auto end = static_cast<std::int32_t>(std::min<std::int64_t>(first + kChunkRows, height));
    if (!window.WaitForRoom(end)) return;
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      RowSlot& slot = window.Slot(r);
      try {
        slot.log.clear();
        worker.MergeRow(r, slot.pixels.data(), slot.log);
      } catch (...) {
        window.Failed(r, std::current_exception());
        return;
      }
      if (!window.Merged(r)) return;
    }
  }
}

// Stops and joins the workers however the caller's loop ends.
class WorkerThreads {
 public:
  explicit WorkerThreads(RowWindow& window) : window_(window) {}
  ~WorkerThreads() {
    window_.Stop();
    for (std::thread& t : threads_) t.join();
  }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;
  template <class F>
  void Start(F&& run) {
    threads_.emplace_back(std::forward<F>(run));
  }

 private:
  RowWindow& window_;
  std::vector<std::thread> threads_;
};

}  // namespace

int RowWorkerCount(int threads, std::int32_t height) {
  const int wanted = WorkerCount(threads);
  const std::int32_t chunks = std::max<std::int32_t>(1, (height + kChunkRows - 1) / kChunkRows);
  return std::min<int>(wanted, chunks);
}

bool MergeRowsInOrder(std::int32_t width, std::int32_t height, const std::vector<RowWorker*>& workers,
                      const std::function<bool(std::int32_t r)>& proceed,
                      const std::function<void(std::int32_t r, const std::uint8_t* row, const RowLog& log)>& take) {
  const int count = static_cast<int>(workers.size());
  const std::int64_t ahead = static_cast<std::int64_t>(count) * kChunksAheadPerWorker * kChunkRows;
  RowWindow window(width, height, static_cast<std::int32_t>(std::clamp<std::int64_t>(ahead, 1, std::max(height, 1))));
  WorkerThreads threads(window);
  for (int k = 0; k < count; ++k)
    threads.Start([&, k] { MergeChunks(*workers[static_cast<std::size_t>(k)], k, count, height, window); });
  for (std::int32_t r = 0; r < height; ++r) {
    if (!proceed(r)) return false;
    const RowSlot& slot = window.WaitForRow(r);
    take(r, slot.pixels.data(), slot.log);
    window.Taken(r);
  }
  return true;
}

}  // namespace quiltor::creation
