#pragma once
// Work split over a few threads: the items of one batch are independent,
// each worker takes the next unclaimed item, and the caller's thread is one
// of the workers. Results go wherever the item's index says, so the outcome
// does not depend on how many workers ran or in which order they finished.
#include <functional>

namespace quiltor {

// Worker threads for `requested` (0: one per core, at least 1).
int WorkerCount(int requested);

// Calls work(item, worker) once for every item in [0, count), on at most
// `workers` threads; `worker` (0 .. workers - 1) names the thread, for
// per-thread state. Returns when every item is done. The first exception a
// worker throws is rethrown here once all have stopped; items not yet
// claimed by then are skipped.
void ParallelFor(int count, int workers, const std::function<void(int item, int worker)>& work);

}  // namespace quiltor
