#pragma once
// The border of a source map: the closed polygon, in image pixels and on the
// earth, around the part of the image that holds map content.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "catalogue/outline.h"

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

// A box in one plane unit: pixels, metres, or degrees with x the longitude.
struct ProjectedExtent {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;

  // Takes in (x, y). A NaN coordinate leaves its side of the box as it was;
  // a box that starts from NaN stays NaN.
  void Widen(double x, double y);
  // Takes in a whole box.
  void Widen(const ProjectedExtent& other);
};

// The start of a box in degrees that any point on the earth widens; it is
// what a border without points leaves.
inline constexpr ProjectedExtent kNoDegreesExtent{180, -180, 90, -90};

// Where a border point lies in a plane.
using BorderPlacement = std::function<PlanePoint(const BorderPoint&)>;

// The point in degrees: x the longitude, y the latitude.
PlanePoint DegreesOf(const BorderPoint& point);

// The box of the border's points, each placed by `place`, widened from
// `start`; without a start, from the first point's place (all zero for a
// border without points).
ProjectedExtent BorderExtent(std::span<const BorderPoint> border, const BorderPlacement& place,
                             std::optional<ProjectedExtent> start = std::nullopt);

}  // namespace quiltor
