#pragma once
// Row-by-row sharpening of images far larger than memory: a small
// convolution over a sliding window of 17 decoded rows (rows n - 6 to n + 10
// while row n is produced). Each job owns its kernel and window.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "common/worker_host.h"

namespace quiltor {

class FullSizeColourSample;

// A 5 x 5 kernel, row-major, centre at position 12, and its divisor.
struct SharpenKernel {
  std::array<int, 25> weights{};
  int divisor = 1;
  // 1 when the outer ring is all zero (a 3 x 3 kernel), else 2.
  int Radius() const;
};

// The kernel every sharpening uses: -1 -2 -1 / -2 28 -2 / -1 -2 -1 over 16,
// so flat areas keep their value.
SharpenKernel StandardSharpenKernel();

// Reads source row y (width * 3 bytes, blue, green, red) into `buffer`.
using SharpenRowReader = std::function<void(int y, std::uint8_t* buffer)>;
// Receives output row y (width * 3 bytes).
using SharpenRowWriter = std::function<void(int y, const std::uint8_t* row)>;
// Called with the number of rows produced so far, every tenth row.
using SharpenProgress = std::function<void(int rowsDone, int height)>;

struct SharpenOutcome {
  bool complete = false;  // false when stopped by the abort flag
  int peakRows = 0;       // the most source rows ever held at once
};

// Sharpens a width x height true-colour image read strictly in row order.
// Neighbours in row 0 or column 0, or beyond the last row or column, are
// replaced by the centre pixel. `abort`, when given, is looked at before
// every output row. A few rows at a time are computed side by side on
// `threads` threads (0: one per core); rows reach `writeRow` in order.
SharpenOutcome SharpenRows(int width, int height, const SharpenKernel& kernel, const SharpenRowReader& readRow,
                           const SharpenRowWriter& writeRow, const SharpenProgress& progress = {},
                           const std::atomic<bool>* abort = nullptr, int threads = 1);

// Sharpens the merged true-colour temporary image `fromPath` (".qtxx0",
// opened through the image dispatch) into a new ".qtxx0" at `toPath`, with
// "Sharpening : n of H" on the host's status line every tenth row. False
// when aborted; errors throw QuiltorError. Either way an unfinished `toPath`
// is removed. Rows are deflated on `threads` threads (0: one per core).
// `colours`, when given, is fed the sharpened rows on the way.
bool SharpenTempImage(const std::string& fromPath, const std::string& toPath, WorkerHost& host,
                      const std::atomic<bool>* abort = nullptr, int threads = 1,
                      FullSizeColourSample* colours = nullptr);

}  // namespace quiltor
