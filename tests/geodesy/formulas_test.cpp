#include "geodesy/builtin_formulas.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quiltor::geodesy {
namespace {

const Ellipsoid kWgs84 = EllipsoidFromTable(kWgs84Ellipsoid);
const Ellipsoid kBessel = EllipsoidFromTable(3);  // CH-1903's ellipsoid

TEST(SwissGrid, KnownPointsAndRoundTrip) {
  struct Case {
    double lat, lon, easting, northing, tolerance;
  } cases[] = {
      {46.952405555, 7.439583333, 600000.0, 200000.0, 1e-5},  // the origin
      {47.0, 8.0, 642617.53, 205442.81, 0.01},
  };
  for (const Case& c : cases) {
    const EastingNorthing en = SwissForward(kBessel, c.lat, c.lon).value();
    EXPECT_NEAR(en.easting, c.easting, c.tolerance) << c.lat << "," << c.lon;
    EXPECT_NEAR(en.northing, c.northing, c.tolerance) << c.lat << "," << c.lon;
    const LatLon back = SwissInverse(kBessel, en.easting, en.northing).value();
    EXPECT_NEAR(back.latitude, c.lat, 1e-9);
    EXPECT_NEAR(back.longitude, c.lon, 1e-9);
  }
  // The datum-index form uses the datum's ellipsoid.
  const EastingNorthing viaDatum = SwissForward(FindDatum("CH-1903"), 47.0, 8.0).value();
  EXPECT_NEAR(viaDatum.easting, 642617.53, 0.01);
}

TEST(SwissGrid, OutsideTheForwardDomainGivesNoPoint) {
  const double points[][2] = {{47.0, 4.99}, {50.01, 8.0}, {39.99, 8.0}, {47.0, 20.01}, {NAN, 8.0}};
  for (const auto& p : points) EXPECT_FALSE(SwissForward(kBessel, p[0], p[1])) << p[0] << "," << p[1];
  // The box edges themselves are inside.
  EXPECT_TRUE(SwissForward(kBessel, 40.0, 5.0));
  EXPECT_TRUE(SwissForward(kBessel, 50.0, 20.0));
}

TEST(SwissGrid, InverseWithoutConvergenceGivesNoPosition) {
  // A coordinate that is not a number never settles: no position, rather
  // than a NaN one, goes on to the caller.
  EXPECT_FALSE(SwissInverse(kBessel, NAN, 200000.0));
}

TEST(MeridianArc, Values) {
  EXPECT_EQ(MeridianArc(kWgs84.e2, kWgs84.a, 0.0), 0.0);
  EXPECT_NEAR(MeridianArc(kWgs84.e2, kWgs84.a, 10.0 * kDegToRad), 1105854.83, 0.01);
  // Symmetric about the equator.
  EXPECT_DOUBLE_EQ(MeridianArc(kWgs84.e2, kWgs84.a, -0.5), -MeridianArc(kWgs84.e2, kWgs84.a, 0.5));
}

TEST(TransverseMercator, UtmZone30ExampleAndInverse) {
  const TMPoint p = TMForward(kWgs84, 51.5, -0.1, 0.0, -3.0, 0.9996);
  EXPECT_NEAR(p.x, 201277.67, 0.01);
  EXPECT_NEAR(p.y, 5709417.13, 0.01);
  const LatLon back = TMInverse(kWgs84, p.x, p.y, 0.0, -3.0, 0.9996);
  EXPECT_NEAR(back.latitude, 51.5, 1e-8);
  EXPECT_NEAR(back.longitude, -0.1, 1e-8);
  // The latitude of origin shifts y only.
  const TMPoint british = TMForward(kWgs84, 49.0, -2.0, 49.0, -2.0, 0.9996012717);
  EXPECT_NEAR(british.x, 0.0, 1e-9);
  EXPECT_NEAR(british.y, 0.0, 1e-6);
}

TEST(PolarStereographic, BothZonesAndInverse) {
  struct Case {
    double lat, lon, easting, northing;
  } cases[] = {
      {85.0, 30.0, 2277728.70, 1518959.79},
      {-85.0, -60.0, 1518959.79, 2277728.70},
      {90.0, 0.0, 2000000.0, 2000000.0},
  };
  for (const Case& c : cases) {
    const EastingNorthing en = UPSForward(kWgs84, c.lat, c.lon);
    EXPECT_NEAR(en.easting, c.easting, 0.01) << c.lat;
    EXPECT_NEAR(en.northing, c.northing, 0.01) << c.lat;
    const LatLon back = UPSInverse(c.lat < 0.0, kWgs84, en.easting, en.northing);
    EXPECT_NEAR(back.latitude, c.lat, 1e-9) << c.lat;
    if (std::fabs(c.lat) < 90.0) EXPECT_NEAR(back.longitude, c.lon, 1e-9) << c.lat;
  }
  // On the grid's vertical through the pole the longitude is +-90 by the side.
  EXPECT_NEAR(UPSInverse(false, kWgs84, 2100000.0, 2000000.0).longitude, 90.0, 1e-12);
  EXPECT_NEAR(UPSInverse(true, kWgs84, 1900000.0, 2000000.0).longitude, -90.0, 1e-12);
}

}  // namespace
}  // namespace quiltor::geodesy
