#pragma once
// A place in an image, in its pixels: x is the column (to the right), y the
// row (downward), origin at the top-left pixel.
#include <cstdint>

namespace quiltor {

// A point anywhere in or around the image, between pixels included.
struct PixelPoint {
  double x = 0;
  double y = 0;
};

// A whole pixel.
struct PixelPosition {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const PixelPosition&, const PixelPosition&) = default;
};

inline PixelPoint PointOf(PixelPosition pixel) { return {static_cast<double>(pixel.x), static_cast<double>(pixel.y)}; }

}  // namespace quiltor
