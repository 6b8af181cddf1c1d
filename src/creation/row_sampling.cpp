#include "creation/row_sampling.h"

#include <algorithm>
#include <cmath>

#include "common/rounding.h"

namespace quiltor::creation {

namespace {

// Rows of this many points or fewer are projected point by point: three
// exact points and a test would cost about as much.
constexpr int kPointByPointRow = 6;

}  // namespace

SourcePixels::SourcePixels(RasterReader& raster)
    : raster_(raster), width_(raster.width()), height_(raster.height()) {
  const Bitmap* image = raster.DecodedImage();
  if (image == nullptr || image->width() != width_ || image->height() != height_) return;
  rows_ = image->row(0);
  stride_ = image->stride();
  if (image->bitsPerPixel() == 8) {
    access_ = PixelAccess::Palette;
    palette_ = image->palette().data();
  } else {
    access_ = PixelAccess::Bgr;
  }
}

void FetchThroughPixel(RasterReader& raster, int x0, int y0, int x1, int y1, std::uint8_t* pixel, Neighbours& n) {
  const auto fetch = [&](int px, int py, std::uint8_t* out) {
    raster.FetchPixel(px, py, pixel);
    std::copy_n(pixel, 3, out);
  };
  fetch(x0, y0, n.a);
  fetch(x1, y0, n.b);
  fetch(x0, y1, n.c);
  fetch(x1, y1, n.d);
}

double RowTolerance(double sourceMetresPerPixel, double destinationMetresPerPixel) {
  // Written so that a scale that is not a positive number counts as 1.
  const double ratio = sourceMetresPerPixel / destinationMetresPerPixel;
  return kSubPixelTolerance / (ratio > 1.0 ? ratio : 1.0);
}

BilinearWeights SampleWeights(double x, double y, double scaleRatio) {
  return scaleRatio <= kAveragingRatio ? kMeanWeights : PositionWeights(x, y);
}

void AdaptiveRowTransform(const RowSpan& row, int first, int end, double tolerance, const PointTransform& transform,
                          double* outX, double* outY) {
  const double* x = row.x;
  const int n = row.n;
  first = std::max(first, 0);
  end = std::min(end, n);
  if (first >= end) return;
  const int mid = (n - 1) / 2;
  if (x[0] != x[n - 1] && x[0] != x[mid] && tolerance != 0 && n > kPointByPointRow) {
    double px[3] = {x[0], x[mid], x[n - 1]};
    double py[3] = {row.y, row.y, row.y};
    transform(px, py, 3);
    const double span = x[n - 1] - x[0];
    const double t = (px[2] - px[0]) / span;
    const double w = (py[2] - py[0]) / span;
    const double e = std::fabs((x[mid] - x[0]) * t + px[0] - px[1]) + std::fabs((x[mid] - x[0]) * w + py[0] - py[1]);
    if (e > tolerance) {
      AdaptiveRowTransform({x, row.y, mid}, first, end, tolerance, transform, outX, outY);
      AdaptiveRowTransform({x + mid, row.y, n - mid}, first - mid, end - mid, tolerance, transform, outX + mid,
                           outY + mid);
      return;
    }
    for (int i = first; i < end; ++i) {
      const double dx = x[i] - x[0];
      outX[i] = t * dx + px[0];
      outY[i] = w * dx + py[0];
    }
    return;
  }
  std::copy(x + first, x + end, outX + first);
  std::fill(outY + first, outY + end, row.y);
  transform(outX + first, outY + first, end - first);
}

}  // namespace quiltor::creation
