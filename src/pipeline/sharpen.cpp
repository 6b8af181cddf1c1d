#include "pipeline/sharpen.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

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

std::uint8_t ClampSum(int sum, int divisor) {
  const int v = sum / divisor;  // truncates toward zero
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// log2 of a positive power of two, else -1.
int ShiftFor(int divisor) {
  for (int shift = 0; shift < 31; ++shift)
    if (divisor == 1 << shift) return shift;
  return -1;
}

std::string SharpeningText(int done, int total) {
  return "Sharpening : " + std::to_string(done) + " of " + std::to_string(total);
}

}  // namespace

// The kernel as the rows use it: `rows[k]` below is the source row of
// kernel row k, or null where that row may not be used as a neighbour.
struct RowSharpener::Taps {
  std::array<int, 25> weights{};
  int radius = 1;
  int side = 3;
  int divisor = 1;  // a divisor of 0 counts as 1
  // A positive power-of-two divisor lets the interior of a row go the fast
  // way (a shift); any other divisor takes the pixel-by-pixel way.
  int shift = -1;
  // Every partial sum fits 16 bits, so the interior adds in 16 bits.
  bool narrow = false;

  int Weight(int ky, int kx) const {
    return weights[static_cast<std::size_t>((ky + 2 - radius) * 5 + kx + 2 - radius)];
  }

  // The exact rule for one pixel: a neighbour in row or column 0, or beyond
  // the image, is replaced by the centre pixel.
  void Pixel(const std::uint8_t* const* rows, const std::uint8_t* centre, int x, int width,
             std::uint8_t* out) const {
    int sums[3] = {0, 0, 0};
    const std::uint8_t* own = centre + static_cast<std::size_t>(x) * 3;
    for (int ky = 0; ky < side; ++ky) {
      for (int kx = 0; kx < side; ++kx) {
        const int w = Weight(ky, kx);
        if (w == 0) continue;
        const int nx = x + kx - radius;
        const std::uint8_t* px =
            (rows[ky] != nullptr && nx >= 1 && nx <= width - 1) ? rows[ky] + static_cast<std::size_t>(nx) * 3 : own;
        sums[0] += w * px[0];
        sums[1] += w * px[1];
        sums[2] += w * px[2];
      }
    }
    for (int c = 0; c < 3; ++c) out[static_cast<std::size_t>(x) * 3 + c] = ClampSum(sums[c], divisor);
  }

  // Bytes [begin, end) of a row whose columns all have their neighbours
  // inside the image: the three bytes of a pixel are independent, so the
  // row is one flat convolution over bytes, with the column offsets times
  // three. A row that may not be used lends the centre pixel to all its taps.
  template <int Side, typename Sum>
  void Interior(const std::uint8_t* const* rows, const std::uint8_t* centre, std::size_t begin, std::size_t end,
                std::uint8_t* out) const {
    constexpr int kTaps = Side * Side;
    constexpr int r = Side / 2;
    const std::uint8_t* src[kTaps];
    Sum w[kTaps];
    for (int ky = 0; ky < Side; ++ky) {
      for (int kx = 0; kx < Side; ++kx) {
        const int t = ky * Side + kx;
        src[t] = rows[ky] != nullptr ? rows[ky] + (kx - r) * 3 : centre;
        w[t] = static_cast<Sum>(Weight(ky, kx));
      }
    }
    const int s = shift;
#pragma GCC ivdep
    for (std::size_t i = begin; i < end; ++i) {
      Sum sum = 0;
      for (int t = 0; t < kTaps; ++t) sum = static_cast<Sum>(sum + w[t] * src[t][i]);
      // A negative sum truncates to 0 or below and clamps to 0.
      const Sum v = sum < 0 ? Sum(0) : static_cast<Sum>(sum >> s);
      out[i] = static_cast<std::uint8_t>(v > 255 ? Sum(255) : v);
    }
  }
};

RowSharpener::RowSharpener(int width, int height, const SharpenKernel& kernel, SharpenRowWriter writeRow,
                           int threads)
    : width_(width), height_(height), rowBytes_(static_cast<std::size_t>(width) * 3),
      writeRow_(std::move(writeRow)) {
  if (width <= 0 || height <= 0) throw QuiltorError("cannot sharpen an empty image");
  auto taps = std::make_unique<Taps>();
  taps->weights = kernel.weights;
  taps->radius = kernel.Radius();
  taps->side = 2 * taps->radius + 1;
  taps->divisor = kernel.divisor == 0 ? 1 : kernel.divisor;
  taps->shift = ShiftFor(taps->divisor);
  int reach = 0;
  for (int w : kernel.weights) reach += std::abs(w);
  taps->narrow = reach * 255 <= 32767;
  taps_ = std::move(taps);
  const int workers = std::min(WorkerCount(threads), kBatchRows);
  if (workers > 1) pool_ = std::make_unique<WorkerPool>(workers);
  const int slots = std::min(height, kWindowRows);
  window_.resize(rowBytes_ * static_cast<std::size_t>(slots));
  slotRow_.assign(static_cast<std::size_t>(slots), -1);
  out_.resize(rowBytes_ * kBatchRows);
}

RowSharpener::~RowSharpener() = default;

void RowSharpener::Watch(SharpenProgress progress, const std::atomic<bool>* abort) {
  progress_ = std::move(progress);
  abort_ = abort;
}

std::uint8_t* RowSharpener::NextRow() {
  if (rowsIn_ >= height_) throw QuiltorError("more rows to sharpen than the image has");
  return window_.data() + static_cast<std::size_t>(rowsIn_ % kWindowRows) * rowBytes_;
}

void RowSharpener::Take() {
  if (rowsIn_ >= height_) throw QuiltorError("more rows to sharpen than the image has");
  slotRow_[static_cast<std::size_t>(rowsIn_ % kWindowRows)] = rowsIn_;
  ++rowsIn_;
  // Row n is due once rows up to n + 10 are in: the window then holds rows
  // n - 6 to n + 10, enough for rows n to n + kBatchRows - 1 with any kernel.
  while (!stopped_ && rowsIn_ >= rowsOut_ + kRowsAhead + 1) HandOnBatch();
}

void RowSharpener::Take(const std::uint8_t* row) {
  std::memcpy(NextRow(), row, rowBytes_);
  Take();
}

bool RowSharpener::Drain() {
  if (!stopped_ && rowsIn_ < height_) throw QuiltorError("the image to sharpen ended before its last row");
  while (!stopped_ && rowsOut_ < height_) HandOnBatch();
  return !stopped_;
}

int RowSharpener::peakRows() const { return std::min(rowsIn_, kWindowRows); }

const std::uint8_t* RowSharpener::Row(int y) const {
  const auto slot = static_cast<std::size_t>(y % kWindowRows);
  if (slotRow_[slot] != y) throw QuiltorError("sharpening row outside the window");
  return window_.data() + slot * rowBytes_;
}

void RowSharpener::SharpenRow(int y, std::uint8_t* out) const {
  const Taps& taps = *taps_;
  const int r = taps.radius;
  const std::uint8_t* centre = Row(y);
  const std::uint8_t* rows[5] = {};
  for (int k = 0; k < taps.side; ++k) {
    const int ny = y + k - r;
    rows[k] = ny >= 1 && ny <= height_ - 1 ? Row(ny) : nullptr;
  }
  // Columns [first, last) find every neighbour inside the image.
  int first = r + 1;
  int last = width_ - r;
  if (taps.shift < 0 || last <= first) first = last = width_;
  for (int x = 0; x < first; ++x) taps.Pixel(rows, centre, x, width_, out);
  if (first < last) {
    const std::size_t begin = static_cast<std::size_t>(first) * 3;
    const std::size_t end = static_cast<std::size_t>(last) * 3;
    if (r == 1) {
      taps.narrow ? taps.Interior<3, std::int16_t>(rows, centre, begin, end, out)
                  : taps.Interior<3, std::int32_t>(rows, centre, begin, end, out);
    } else {
      taps.narrow ? taps.Interior<5, std::int16_t>(rows, centre, begin, end, out)
                  : taps.Interior<5, std::int32_t>(rows, centre, begin, end, out);
    }
  }
  for (int x = last; x < width_; ++x) taps.Pixel(rows, centre, x, width_, out);
}

void RowSharpener::HandOnBatch() {
  const int n = rowsOut_;
  const int batch = std::min(kBatchRows, height_ - n);
  if (abort_ != nullptr && abort_->load()) {
    stopped_ = true;
    return;
  }
  const auto sharpen = [&](int i, int) { SharpenRow(n + i, out_.data() + static_cast<std::size_t>(i) * rowBytes_); };
  if (pool_ && batch > 1) {
    pool_->ForEach(batch, sharpen);
  } else {
    for (int i = 0; i < batch; ++i) sharpen(i, 0);
  }
  for (int i = 0; i < batch; ++i) {
    const int y = n + i;
    if (abort_ != nullptr && abort_->load()) {
      stopped_ = true;
      return;
    }
    if ((y + 1) % 10 == 0 && progress_) progress_(y + 1, height_);
    writeRow_(y, out_.data() + static_cast<std::size_t>(i) * rowBytes_);
    ++rowsOut_;
  }
}

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
  RowSharpener sharpener(width, height, kernel, writeRow, threads);
  sharpener.Watch(progress, abort);
  for (int y = 0; y < height && !sharpener.stopped(); ++y) {
    readRow(y, sharpener.NextRow());
    sharpener.Take();
  }
  const bool complete = sharpener.Drain();
  return {complete, sharpener.peakRows()};
}

SharpenedTempWriter::SharpenedTempWriter(const std::string& path, int width, int height, int threads,
                                         FullSizeColourSample* colours)
    : file_(std::make_unique<TrueColourTempWriter>(path, width, height, threads)), colours_(colours),
      sharpener_(
          width, height, StandardSharpenKernel(),
          [this, width](int y, const std::uint8_t* row) {
            file_->WriteRow(row);
            static const Palette kTrueColour{};  // true-colour rows name no palette entries
            if (colours_ != nullptr) colours_->AddRow(y, 3, kTrueColour, row, width);
          },
          threads) {}

SharpenedTempWriter::~SharpenedTempWriter() = default;

void SharpenedTempWriter::ShowProgressOn(WorkerHost& host, const std::atomic<bool>* abort) {
  sharpener_.Watch([&host](int done, int total) { host.SetStatusText(SharpeningText(done, total)); }, abort);
  if (sharpener_.rowsOut() > 0) host.SetStatusText(SharpeningText(sharpener_.rowsOut(), sharpener_.height()));
}

void SharpenedTempWriter::WriteRow(const std::uint8_t* row) {
  if (!sharpener_.stopped()) sharpener_.Take(row);
}

bool SharpenedTempWriter::Finish() {
  if (!sharpener_.Drain()) return false;
  file_->Finish();
  return true;
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
    SharpenedTempWriter out(toPath, source->width(), source->height(), threads, colours);
    out.ShowProgressOn(host, abort);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(source->width()) * 3);
    for (int y = 0; y < source->height() && !out.stopped(); ++y) {
      ReadRasterLine(source.get(), y, row.data());
      out.WriteRow(row.data());
    }
    complete = out.Finish();
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
