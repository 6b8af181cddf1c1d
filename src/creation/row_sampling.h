#pragma once
// The arithmetic of one merged row: destination coordinates to source
// pixels along a row with few exact projections, and the fixed-point
// sampling of a source image at a pixel position.
#include <algorithm>
#include <cstdint>
#include <functional>

#include "common/rounding.h"
#include "raster/bitmap.h"
#include "raster/raster_reader.h"

namespace quiltor::creation {

// Source pixels per destination pixel at or below which a sample is the
// plain mean of its four neighbours: the source is then at least 1.67 times
// finer than the destination, and weighting by position would alias.
inline constexpr double kAveragingRatio = 0.6;

// How far a merged pixel may lie from where the exact projection chain puts
// it, in pixels of the finer of the source and destination grids: an eighth
// of a pixel is the usual bound of approximate transformers and cannot be
// seen, whichever of the two images is the coarser.
inline constexpr double kSubPixelTolerance = 0.125;

// The row transform's tolerance in source pixels for a source of
// `sourceMetresPerPixel` under a destination of `destinationMetresPerPixel`
// (ground metres both): kSubPixelTolerance of a source pixel, or of a
// destination pixel where the source pixels are the larger.
double RowTolerance(double sourceMetresPerPixel, double destinationMetresPerPixel);

// Bilinear weights of the four neighbours a (x0, y0), b (x1, y0), c (x0, y1),
// d (x1, y1) in 15-bit fixed point (they sum to 32768). With a scale ratio of
// kAveragingRatio or less the four pixels are averaged.
struct BilinearWeights {
  std::int32_t a, b, c, d;
};
BilinearWeights SampleWeights(double x, double y, double scaleRatio);
inline constexpr BilinearWeights kMeanWeights{8192, 8192, 8192, 8192};
// The weights by the position's fraction of a pixel, whatever the scale.
inline BilinearWeights PositionWeights(double x, double y) {
  const std::int64_t fx = static_cast<std::int64_t>(RoundHalfEven(x * 32768.0)) & 0x7FFF;
  const std::int64_t fy = static_cast<std::int64_t>(RoundHalfEven(y * 32768.0)) & 0x7FFF;
  const std::int64_t gy = 32768 - fy;
  const std::int64_t wb = (fx * gy) >> 15;
  const std::int64_t wd = (fx * fy) >> 15;
  return {static_cast<std::int32_t>(gy - wb), static_cast<std::int32_t>(wb), static_cast<std::int32_t>(fy - wd),
          static_cast<std::int32_t>(wd)};
}

// How a sampler reads a source image's pixels: straight from the decoded
// image, rows of blue green red or of palette indices, or through the
// reader's pixel fetch when the image is streamed.
enum class PixelAccess { Bgr, Palette, Reader };

// The pixels of one source image as the sampler reads them, with what it
// needs of the image held here rather than looked up for every pixel.
class SourcePixels {
 public:
  explicit SourcePixels(RasterReader& raster);
  int width() const { return width_; }
  int height() const { return height_; }
  PixelAccess access() const { return access_; }
  RasterReader& raster() const { return raster_; }
  const std::uint8_t* row(int y) const { return rows_ + static_cast<std::size_t>(y) * stride_; }
  const Rgbquad* palette() const { return palette_; }

 private:
  RasterReader& raster_;
  int width_, height_;
  PixelAccess access_ = PixelAccess::Reader;
  const std::uint8_t* rows_ = nullptr;
  std::size_t stride_ = 0;
  const Rgbquad* palette_ = nullptr;
};

// The four neighbours of a sample, blue green red each.
struct Neighbours {
  std::uint8_t a[3], b[3], c[3], d[3];
};

// Reads the neighbours a (x0, y0), b (x1, y0), c (x0, y1), d (x1, y1).
// Each fetch of a reader goes through the destination pixel, so a reader
// that leaves it unchanged repeats the previous neighbour.
void FetchThroughPixel(RasterReader& raster, int x0, int y0, int x1, int y1, std::uint8_t* pixel, Neighbours& n);

// Blue, green, red of the four neighbours, where they are kept.
struct NeighbourPixels {
  const std::uint8_t *a, *b, *c, *d;
};

inline void CopyEntry(const Rgbquad& q, std::uint8_t* out) {
  out[0] = q.blue;
  out[1] = q.green;
  out[2] = q.red;
}

// Samples `source`, read as kAccess, at source position (x, y) into `pixel`
// (blue, green, red), weighted bilinearly or, with `averaged`, the plain
// mean of the four neighbours. False, with `pixel` untouched, when (x, y)
// lies outside the image. Read errors of the reader pass to the caller.
template <PixelAccess kAccess>
inline bool SampleBilinear(const SourcePixels& source, std::uint8_t* pixel, double x, double y, bool averaged) {
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const int last = source.width() - 1, bottom = source.height() - 1;
  if (x0 < 0 || y0 < 0 || x0 > last || y0 > bottom) return false;
  const int x1 = x0 + 1 > last ? x0 : x0 + 1;
  const int y1 = y0 + 1 > bottom ? y0 : y0 + 1;
  Neighbours fetched;
  NeighbourPixels n{fetched.a, fetched.b, fetched.c, fetched.d};
  if constexpr (kAccess == PixelAccess::Reader) {
    FetchThroughPixel(source.raster(), x0, y0, x1, y1, pixel, fetched);
  } else if constexpr (kAccess == PixelAccess::Palette) {
    const std::uint8_t* upper = source.row(y0);
    const std::uint8_t* lower = source.row(y1);
    CopyEntry(source.palette()[upper[x0]], fetched.a);
    CopyEntry(source.palette()[upper[x1]], fetched.b);
    CopyEntry(source.palette()[lower[x0]], fetched.c);
    CopyEntry(source.palette()[lower[x1]], fetched.d);
  } else {
    const std::uint8_t* upper = source.row(y0);
    const std::uint8_t* lower = source.row(y1);
    n = {upper + 3 * x0, upper + 3 * x1, lower + 3 * x0, lower + 3 * x1};
  }
  const BilinearWeights w = averaged ? kMeanWeights : PositionWeights(x, y);
  std::uint8_t out[3];
  for (int k = 0; k < 3; ++k)
    out[k] = static_cast<std::uint8_t>((n.a[k] * w.a + n.b[k] * w.b + n.c[k] * w.c + n.d[k] * w.d) >> 15);
  std::copy_n(out, 3, pixel);
  return true;
}

// Destination coordinates to source pixels along one row: exact at the two
// ends and the middle of the n entries, interpolated between them while the
// middle point's error is at most `tolerance` pixels, split in halves
// otherwise. The n entries lie at destination X x[0 ... n - 1] on the row at
// destination Y `y`; only the entries first ... end - 1 are wanted, and only
// those are written to outX and outY (source column and row, indexed like
// x). A wanted entry comes out the same whichever others are wanted: the
// halves that hold none of them are not worked out. `transform` converts
// arrays exactly, in place.
using PointTransform = std::function<void(double* x, double* y, int n)>;
struct RowSpan {
  const double* x;
  double y;
  int n;
};
void AdaptiveRowTransform(const RowSpan& row, int first, int end, double tolerance, const PointTransform& transform,
                          double* outX, double* outY);

}  // namespace quiltor::creation
