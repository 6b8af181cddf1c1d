#include "pipeline/sharpen.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/error.h"
#include "common/parallel.h"
#include "pipeline/level_pass.h"
#include "raster/raster_source.h"
#include "raster/scratch/temp_image.h"

namespace quiltor {
namespace {

// Rows kept before and after the row being produced; the window is 17 rows.
constexpr int kRowsBehind = 6;
constexpr int kRowsAhead = 10;
constexpr int kWindowRows = kRowsBehind + 1 + kRowsAhead;
// Rows computed together: the widest kernel (radius 2) still finds the
// last of them inside the window.
constexpr int kBatchRows = kRowsAhead - 1;

class RowWindow {
 public:
  RowWindow(std::size_t rowBytes) : rowBytes_(rowBytes), slots_(kWindowRows) {}

  std::uint8_t* Load(int y) {
    auto& slot = slots_[static_cast<std::size_t>(y % kWindowRows)];
    if (slot.buffer) throw QuiltorError("sharpening window overrun");
    slot.buffer = std::make_unique<std::uint8_t[]>(rowBytes_);
    slot.row = y;
    ++held_;
    peak_ = std::max(peak_, held_);
    return slot.buffer.get();
  }
  void Free(int y) {
    auto& slot = slots_[static_cast<std::size_t>(y % kWindowRows)];
    if (slot.buffer && slot.row == y) {
      slot.buffer.reset();
      --held_;
    }
  }
  const std::uint8_t* Row(int y) const {
    const auto& slot = slots_[static_cast<std::size_t>(y % kWindowRows)];
    if (!slot.buffer || slot.row != y) throw QuiltorError("sharpening row outside the window");
    return slot.buffer.get();
  }
  int peak() const { return peak_; }

 private:
  struct Slot {
    int row = -1;
    std::unique_ptr<std::uint8_t[]> buffer;
  };
  std::size_t rowBytes_;
  std::vector<Slot> slots_;
  int held_ = 0;
  int peak_ = 0;
};

std::uint8_t ClampSum(int sum, int divisor) {
  const int v = sum / divisor;  // truncates toward zero
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

void SharpenOneRow(const RowWindow& window, int y, int width, int height, const SharpenKernel& kernel,
                   std::uint8_t* out) {
  const int r = kernel.Radius();
  const int divisor = kernel.divisor == 0 ? 1 : kernel.divisor;
  const std::uint8_t* centreRow = window.Row(y);
  for (int x = 0; x < width; ++x) {
    int sums[3] = {0, 0, 0};
    for (int dy = -r; dy <= r; ++dy) {
      const int ny = y + dy;
      const bool rowInside = ny >= 1 && ny <= height - 1;
      const std::uint8_t* neighbourRow = rowInside ? window.Row(ny) : centreRow;
      for (int dx = -r; dx <= r; ++dx) {
        const int w = kernel.weights[static_cast<std::size_t>((dy + 2) * 5 + dx + 2)];
        if (w == 0) continue;
        const int nx = x + dx;
        const std::uint8_t* px = (rowInside && nx >= 1 && nx <= width - 1)
                                     ? neighbourRow + static_cast<std::size_t>(nx) * 3
                                     : centreRow + static_cast<std::size_t>(x) * 3;
        sums[0] += w * px[0];
        sums[1] += w * px[1];
        sums[2] += w * px[2];
      }
    }
    for (int c = 0; c < 3; ++c) out[static_cast<std::size_t>(x) * 3 + c] = ClampSum(sums[c], divisor);
  }
}

SharpenProgress SharpenProgressOn(WorkerHost& host) {
  return [&host](int done, int total) {
    host.SetStatusText("Sharpening : " + std::to_string(done) + " of " + std::to_string(total));
  };
}

}  // namespace

int SharpenKernel::Radius() const {
  for (int i = 0; i < 25; ++i) {
    const int row = i / 5;
    const int col = i % 5;
    const bool outer = row == 0 || row == 4 || col == 0 || col == 4;
    if (outer && weights[static_cast<std::size_t>(i)] != 0) return 2;
  }
  return 1;
}

SharpenKernel StandardSharpenKernel() {
  SharpenKernel k;
  k.weights = {0, 0,  0,  0,  0,   //
               0, -1, -2, -1, 0,   //
               0, -2, 28, -2, 0,   //
               0, -1, -2, -1, 0,   //
               0, 0,  0,  0,  0};
  k.divisor = 16;
  return k;
}

SharpenOutcome SharpenRows(int width, int height, const SharpenKernel& kernel, const SharpenRowReader& readRow,
                           const SharpenRowWriter& writeRow, const SharpenProgress& progress,
                           const std::atomic<bool>* abort, int threads) {
  if (width <= 0 || height <= 0) throw QuiltorError("cannot sharpen an empty image");
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  RowWindow window(rowBytes);
  int nextToRead = 0;
  for (; nextToRead <= kRowsAhead && nextToRead < height; ++nextToRead) readRow(nextToRead, window.Load(nextToRead));
  // While row n is due the window holds rows n - 6 to n + 10, enough for
  // the rows n to n + kBatchRows - 1 with any kernel: they are computed side
  // by side, then handed on and the window moved one row at a time.
  WorkerPool pool(std::min(WorkerCount(threads), kBatchRows));
  std::vector<std::uint8_t> out(rowBytes * kBatchRows);
  for (int n = 0; n < height; n += kBatchRows) {
    const int batch = std::min(kBatchRows, height - n);
    pool.ForEach(batch, [&](int i, int) {
      SharpenOneRow(window, n + i, width, height, kernel, out.data() + static_cast<std::size_t>(i) * rowBytes);
    });
    for (int i = 0; i < batch; ++i) {
      const int y = n + i;
      if (abort != nullptr && abort->load()) return {false, window.peak()};
      if ((y + 1) % 10 == 0 && progress) progress(y + 1, height);
      writeRow(y, out.data() + static_cast<std::size_t>(i) * rowBytes);
      if (y >= kRowsBehind) window.Free(y - kRowsBehind);
      if (nextToRead < height) {
        readRow(nextToRead, window.Load(nextToRead));
        ++nextToRead;
      }
    }
  }
  return {true, window.peak()};
}

bool SharpenTempImage(const std::string& fromPath, const std::string& toPath, WorkerHost& host,
                      const std::atomic<bool>* abort, int threads, FullSizeColourSample* colours) {
  // Writing over the image being read would destroy the merged map.
  std::error_code same;
  if (std::filesystem::equivalent(fromPath, toPath, same)) {
    throw QuiltorError("cannot sharpen an image into itself: " + fromPath);
  }
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  std::unique_ptr<RasterSource> source = OpenRaster(fromPath, failure);
  if (!source) throw QuiltorError("cannot open the image to sharpen: " + fromPath);
  if (source->pixelMode() != 3) throw QuiltorError("only true-colour images are sharpened: " + fromPath);
  bool complete = false;
  try {
    TrueColourTempWriter out(toPath, source->width(), source->height(), threads);
    complete = SharpenRows(
                   source->width(), source->height(), StandardSharpenKernel(),
                   [&source](int y, std::uint8_t* buffer) { ReadRasterLine(source.get(), y, buffer); },
                   [&out, &source, colours](int y, const std::uint8_t* row) {
                     out.WriteRow(row);
                     if (colours != nullptr) colours->AddRow(y, 3, source->palette(), row, source->width());
                   },
                   SharpenProgressOn(host), abort,
                   threads)
                   .complete;
    if (complete) out.Finish();
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(toPath, ignored);
    throw;
  }
  if (!complete) {
    std::error_code ignored;
    std::filesystem::remove(toPath, ignored);
  }
  return complete;
}

}  // namespace quiltor
