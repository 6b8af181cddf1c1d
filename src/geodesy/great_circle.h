#pragma once
// Travel on the sphere on which one arc-minute of a great circle is one
// nautical mile of 1852 m: the distance between two points and the point
// reached from one along a bearing. Pure functions in decimal degrees and
// metres; any thread.
#include "geodesy/builtin_formulas.h"  // LatLon

namespace quiltor::geodesy {

// Distance in metres from `from` to `to`; 0 for one point, and for two
// points both at (0, 0), the position of a point that was never set.
double GreatCircleDistance(LatLon from, LatLon to);

// The point reached from `from` after `metres` on `bearing` (degrees
// clockwise from north). Its longitude is normalised to (-180, 180].
LatLon DestinationPoint(LatLon from, double bearing, double metres);

}  // namespace quiltor::geodesy
