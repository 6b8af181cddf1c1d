#include "geodesy/great_circle.h"

#include <gtest/gtest.h>

namespace quiltor::geodesy {
namespace {

constexpr double kNauticalMile = 1852;

TEST(GreatCircleDistance, Table) {
  struct Case {
    LatLon from, to;
    double metres;
  } const cases[] = {
      {{0, 0}, {1.0 / 60, 0}, kNauticalMile},            // one arc-minute of a meridian is one nautical mile
      {{0, 10}, {0, 11}, 60 * kNauticalMile},            // one degree along the equator
      {{60, 10}, {61, 10}, 60 * kNauticalMile},          // along a meridian far from the equator
      {{60, 10}, {60, 11}, 55559.47},                    // the same degree of longitude at 60 N is half as long
      {{45, 5}, {45, 5}, 0},                             // the same point
      {{0, 0}, {0, 0}, 0},                               // both unset
  };
  for (const auto& c : cases)
    EXPECT_NEAR(GreatCircleDistance(c.from, c.to), c.metres, 1e-6 * c.metres + 1e-6)
        << c.from.latitude << "," << c.from.longitude << " " << c.to.latitude << "," << c.to.longitude;
  // Coordinates that happen to add up to zero are measured like the same
  // pair shifted by one degree of longitude.
  EXPECT_NEAR(GreatCircleDistance({-1, 1}, {1, -1}), GreatCircleDistance({-1, 2}, {1, 0}), 1e-6);
  EXPECT_GT(GreatCircleDistance({-1, 1}, {1, -1}), 300000);
}

TEST(DestinationPoint, Table) {
  struct Case {
    LatLon from;
    double bearing, metres;
    LatLon to;
  } const cases[] = {
      {{0, 0}, 90, 60 * kNauticalMile, {0, 1}},             // east along the equator
      {{60, 10}, 0, 60 * kNauticalMile, {61, 10}},          // north along a meridian
      {{-33, 151}, 180, 30 * kNauticalMile, {-33.5, 151}},  // south
      {{0, 179.5}, 90, 60 * kNauticalMile, {0, -179.5}},    // across 180 degrees
      {{0, -179.5}, 270, 60 * kNauticalMile, {0, 179.5}},   // back across it
  };
  for (const auto& c : cases) {
    const LatLon to = DestinationPoint(c.from, c.bearing, c.metres);
    EXPECT_NEAR(to.latitude, c.to.latitude, 1e-9) << c.from.latitude << "," << c.from.longitude << " " << c.bearing;
    EXPECT_NEAR(to.longitude, c.to.longitude, 1e-9) << c.from.latitude << "," << c.from.longitude << " " << c.bearing;
  }
  // Going east away from the equator, the distance travelled is the distance
  // between the two points.
  const LatLon from{46.2, 7.0};
  EXPECT_NEAR(GreatCircleDistance(from, DestinationPoint(from, 90, 8000)), 8000, 1e-6);
}

}  // namespace
}  // namespace quiltor::geodesy
