#pragma once
// Row-by-row sharpening of images far larger than memory: a small
// convolution over a sliding window of 17 rows (rows n - 6 to n + 10 while
// row n is produced). Each job owns its kernel and window.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/worker_host.h"

namespace quiltor {

class FullSizeColourSample;
class TrueColourTempWriter;
class WorkerPool;

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

// Sharpens a width x height true-colour image whose rows arrive one after
// another. Neighbours in row 0 or column 0, or beyond the last row or
// column, are replaced by the centre pixel. An output row is handed on once
// the ten rows after it are in; the last rows wait for Drain. A few rows at
// a time are computed side by side on `threads` threads (0: one per core);
// rows reach `writeRow` in order.
class RowSharpener {
 public:
  RowSharpener(int width, int height, const SharpenKernel& kernel, SharpenRowWriter writeRow, int threads = 1);
  ~RowSharpener();
  RowSharpener(const RowSharpener&) = delete;
  RowSharpener& operator=(const RowSharpener&) = delete;

  // From now on `abort`, when given, is looked at before every output row
  // and `progress` is told every tenth row.
  void Watch(SharpenProgress progress, const std::atomic<bool>* abort);
  // The buffer for source row rowsIn() (width * 3 bytes); Take() it once filled.
  std::uint8_t* NextRow();
  void Take();
  void Take(const std::uint8_t* row);  // copies the row into NextRow() first
  // After the last source row: hands on every row still due. False when
  // stopped by the abort flag (then, or before).
  bool Drain();

  int rowsIn() const { return rowsIn_; }
  int rowsOut() const { return rowsOut_; }
  int height() const { return height_; }
  bool stopped() const { return stopped_; }
  int peakRows() const;

 private:
  const std::uint8_t* Row(int y) const;
  void HandOnBatch();
  void SharpenRow(int y, std::uint8_t* out) const;

  struct Taps;
  int width_;
  int height_;
  std::size_t rowBytes_;
  std::unique_ptr<const Taps> taps_;
  SharpenRowWriter writeRow_;
  SharpenProgress progress_;
  const std::atomic<bool>* abort_ = nullptr;
  std::unique_ptr<WorkerPool> pool_;
  std::vector<std::uint8_t> window_;  // kWindowRows rows, row y in slot y mod kWindowRows
  std::vector<int> slotRow_;          // the row each slot holds, -1 when none
  std::vector<std::uint8_t> out_;     // one batch of sharpened rows
  int rowsIn_ = 0;
  int rowsOut_ = 0;
  bool stopped_ = false;
};

// Sharpens a width x height true-colour image read strictly in row order.
// `abort`, when given, is looked at before every output row.
SharpenOutcome SharpenRows(int width, int height, const SharpenKernel& kernel, const SharpenRowReader& readRow,
                           const SharpenRowWriter& writeRow, const SharpenProgress& progress = {},
                           const std::atomic<bool>* abort = nullptr, int threads = 1);

// Writes the sharpened rows of an image whose merged rows arrive in order
// to a true-colour temporary image (".qtxx0"), so that the merged map itself
// is never stored. `colours`, when given, is fed the sharpened rows on the
// way. Rows are deflated on `threads` threads (0: one per core). Destroyed
// without a successful Finish it leaves an incomplete file for its owner to
// remove.
class SharpenedTempWriter {
 public:
  SharpenedTempWriter(const std::string& path, int width, int height, int threads = 1,
                      FullSizeColourSample* colours = nullptr);
  ~SharpenedTempWriter();
  SharpenedTempWriter(const SharpenedTempWriter&) = delete;
  SharpenedTempWriter& operator=(const SharpenedTempWriter&) = delete;

  // From now on "Sharpening : n of H" goes to the host's status line every
  // tenth row (at once, too, when rows are done already) and `abort`, when
  // given, stops the sharpening before any further row.
  void ShowProgressOn(WorkerHost& host, const std::atomic<bool>* abort);
  // Source rows in order, width * 3 bytes, blue green red; passed over once stopped.
  void WriteRow(const std::uint8_t* row);
  // After the last row: sharpens the rows still waiting and completes the
  // file. False when stopped by the abort flag.
  bool Finish();
  bool stopped() const { return sharpener_.stopped(); }

 private:
  std::unique_ptr<TrueColourTempWriter> file_;
  FullSizeColourSample* colours_;
  RowSharpener sharpener_;
};

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
