#include "geodesy/great_circle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quiltor::geodesy {

double GreatCircleDistance(LatLon from, LatLon to) {
  // Both points unset (0, 0) or the same point. Points whose coordinates
  // merely add up to zero, such as (1, -1) and (-1, 1), are measured.
  if (from.longitude == 0 && from.latitude == 0 && to.longitude == 0 && to.latitude == 0) return 0;
  if (from.latitude == to.latitude && from.longitude == to.longitude) return 0;
  constexpr double kDegreesPerRadian = 57.295779513082322;
  const double p1 = from.latitude / kDegreesPerRadian, p2 = to.latitude / kDegreesPerRadian;
  const double l1 = from.longitude / kDegreesPerRadian, l2 = to.longitude / kDegreesPerRadian;
  const double sinLat = std::sin((p2 - p1) / 2), sinLon = std::sin((l2 - l1) / 2);
  const double h = std::min(1.0, sinLat * sinLat + std::cos(p1) * std::cos(p2) * sinLon * sinLon);
  const double c = 2 * std::asin(std::sqrt(h));
  const double nauticalMiles = c * 180 * 60 / std::numbers::pi;
  return nauticalMiles * 1000 / 0.539956803455723;
}

LatLon DestinationPoint(LatLon from, double bearing, double metres) {
  constexpr double kDegree = std::numbers::pi / 180.0;
  const double d = (metres / 1852.0) * std::numbers::pi / 10800.0;
  const double phi = from.latitude * kDegree;
  const double theta = bearing * kDegree;
  const double phi2 = std::asin(std::sin(phi) * std::cos(d) + std::cos(phi) * std::sin(d) * std::cos(theta));
  double lambda2 = from.longitude + std::atan2(std::sin(theta) * std::sin(d) * std::cos(phi),
                                               std::cos(d) - std::sin(phi) * std::sin(phi2)) / kDegree;
  while (lambda2 > 180.0) lambda2 -= 360.0;
  while (lambda2 <= -180.0) lambda2 += 360.0;
  return {phi2 / kDegree, lambda2};
}

}  // namespace quiltor::geodesy
