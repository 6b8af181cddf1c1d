#pragma once
// The arithmetic of one merged row: destination coordinates to source
// pixels along a row with few exact projections, and the fixed-point
// sampling of a source image at a pixel position.
#include <cstdint>
#include <functional>

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

// Samples `raster` at source position (x, y) into `pixel` (blue, green, red).
void SampleBilinear(RasterReader& raster, std::uint8_t* pixel, double x, double y, double scaleRatio);

// Destination coordinates to source pixels for n entries in place: exact at
// the two ends and the middle, interpolated between them while the middle
// point's error is at most `tolerance` pixels, split in halves otherwise.
// `transform` converts arrays exactly; `exact` counts the points it saw.
using PointTransform = std::function<void(double* x, double* y, int n)>;
void AdaptiveRowTransform(double* x, double* y, int n, double tolerance, const PointTransform& transform);

}  // namespace quiltor::creation
