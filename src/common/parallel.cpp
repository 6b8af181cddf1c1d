#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quiltor {

int WorkerCount(int requested) {
  if (requested > 0) return requested;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void ParallelFor(int count, int workers, const std::function<void(int item, int worker)>& work) {
  if (count <= 0) return;
  const int threads = std::clamp(workers, 1, count);
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr firstError;
  std::mutex errorMutex;
  auto run = [&](int worker) {
    for (int item = next++; item < count && !failed.load(); item = next++) {
      try {
        work(item, worker);
      } catch (...) {
        std::lock_guard lock(errorMutex);
        if (!firstError) firstError = std::current_exception();
        failed.store(true);
      }
    }
  };
  std::vector<std::jthread> helpers;
  helpers.reserve(static_cast<std::size_t>(threads - 1));
  for (int w = 1; w < threads; ++w) helpers.emplace_back(run, w);
  run(0);
  helpers.clear();  // joins
  if (firstError) std::rethrow_exception(firstError);
}

}  // namespace quiltor
