#pragma once
// The border of a source map: the closed polygon, in image pixels and on the
// earth, around the part of the image that holds map content.
#include <cstdint>

namespace quiltor {

inline constexpr int kMaxBorderPoints = 100;  // a map file's border has at most this many points

// One point of a map's border. The map file gives the pixel and the position
// in separate lines; a point whose line is missing keeps 0 there.
struct BorderPoint {
  std::int32_t x = 0;  // pixel column
  std::int32_t y = 0;  // pixel row
  double latitude = 0;   // degrees, WGS 84
  double longitude = 0;
  double easting = 0;    // in the map's own projection (degrees for "Latitude/Longitude")
  double northing = 0;
};

}  // namespace quiltor
