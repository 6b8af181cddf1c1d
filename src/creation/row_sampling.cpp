#include "creation/row_sampling.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/rounding.h"

namespace quiltor::creation {

namespace {

// Rows of this many points or fewer are projected point by point: three
// exact points and a test would cost about as much.
constexpr int kPointByPointRow = 6;

}  // namespace

double RowTolerance(double sourceMetresPerPixel, double destinationMetresPerPixel) {
  // Written so that a scale that is not a positive number counts as 1.
  const double ratio = sourceMetresPerPixel / destinationMetresPerPixel;
  return kSubPixelTolerance / (ratio > 1.0 ? ratio : 1.0);
}

BilinearWeights SampleWeights(double x, double y, double scaleRatio) {
  if (scaleRatio <= kAveragingRatio) return {8192, 8192, 8192, 8192};
  const std::int64_t fx = static_cast<std::int64_t>(RoundHalfEven(x * 32768.0)) & 0x7FFF;
  const std::int64_t fy = static_cast<std::int64_t>(RoundHalfEven(y * 32768.0)) & 0x7FFF;
  const std::int64_t gy = 32768 - fy;
  const std::int64_t wb = (fx * gy) >> 15;
  const std::int64_t wd = (fx * fy) >> 15;
  return {static_cast<std::int32_t>(gy - wb), static_cast<std::int32_t>(wb), static_cast<std::int32_t>(fy - wd),
          static_cast<std::int32_t>(wd)};
}

void SampleBilinear(RasterReader& raster, std::uint8_t* pixel, double x, double y, double scaleRatio) {
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  if (x0 < 0 || y0 < 0 || x0 > raster.width() - 1 || y0 > raster.height() - 1)
    throw QuiltorError("sample outside the image");
  const int x1 = x0 + 1 > raster.width() - 1 ? x0 : x0 + 1;
  const int y1 = y0 + 1 > raster.height() - 1 ? y0 : y0 + 1;
  std::uint8_t a[3], b[3], c[3], d[3];
  // Each fetch goes through the destination pixel, so a reader that leaves
  // it unchanged repeats the previous neighbour.
  const auto fetch = [&](int px, int py, std::uint8_t* out) {
    raster.FetchPixel(px, py, pixel);
    std::copy(pixel, pixel + 3, out);
  };
  fetch(x0, y0, a);
  fetch(x1, y0, b);
  fetch(x0, y1, c);
  fetch(x1, y1, d);
  const BilinearWeights w = SampleWeights(x, y, scaleRatio);
  for (int k = 0; k < 3; ++k)
    pixel[k] = static_cast<std::uint8_t>((a[k] * w.a + b[k] * w.b + c[k] * w.c + d[k] * w.d) >> 15);
}

void AdaptiveRowTransform(double* x, double* y, int n, double tolerance, const PointTransform& transform) {
  if (n <= 0) return;
  const int mid = (n - 1) / 2;
  if (y[0] == y[n - 1] && y[0] == y[mid] && x[0] != x[n - 1] && x[0] != x[mid] && tolerance != 0 &&
      n > kPointByPointRow) {
    double px[3] = {x[0], x[mid], x[n - 1]};
    double py[3] = {y[0], y[mid], y[n - 1]};
    transform(px, py, 3);
    const double span = x[n - 1] - x[0];
    const double t = (px[2] - px[0]) / span;
    const double w = (py[2] - py[0]) / span;
    const double e = std::fabs((x[mid] - x[0]) * t + px[0] - px[1]) + std::fabs((x[mid] - x[0]) * w + py[0] - py[1]);
    if (e > tolerance) {
      AdaptiveRowTransform(x, y, mid, tolerance, transform);
      AdaptiveRowTransform(x + mid, y + mid, n - mid, tolerance, transform);
      return;
    }
    const double x0 = x[0];
    for (int i = n - 1; i >= 0; --i) {
      const double dx = x[i] - x0;
      x[i] = t * dx + px[0];
      y[i] = w * dx + py[0];
    }
    return;
  }
  transform(x, y, n);
}

}  // namespace quiltor::creation
