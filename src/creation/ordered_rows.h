#pragma once
// Rows merged by several RowWorkers at once and handed on strictly in row
// order. Worker k merges the chunks k, k + n, k + 2n, ... of consecutive
// rows; a worker runs at most a few chunks ahead of the row being handed on,
// so memory stays a bounded number of rows whatever the height.
#include <cstdint>
#include <functional>
#include <vector>

#include "creation/row_worker.h"

namespace quiltor::creation {

// Rows a worker merges in a row before the next worker's chunk: enough that
// an open image's decoded rows serve several destination rows.
inline constexpr std::int32_t kChunkRows = 16;
// How many chunks each worker may have merged before they are handed on.
inline constexpr int kChunksAheadPerWorker = 3;

// The number of row workers for `threads` (0: one per core) on `height` rows.
int RowWorkerCount(int threads, std::int32_t height);

// For r = 0 ... height - 1: asks `proceed(r)` (false ends the loop) and
// then gives row r, width * 3 bytes, and what merging it logged to `take`,
// both on the calling thread. Answers false when `proceed` ended the loop.
// The first exception of a worker is thrown here when its row is due, after
// every earlier row was taken; an exception of `proceed` or `take` stops the
// workers and passes on.
bool MergeRowsInOrder(std::int32_t width, std::int32_t height, const std::vector<RowWorker*>& workers,
                      const std::function<bool(std::int32_t r)>& proceed,
                      const std::function<void(std::int32_t r, const std::uint8_t* row, const RowLog& log)>& take);

}  // namespace quiltor::creation
