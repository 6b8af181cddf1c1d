#include "geodesy/grids.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quiltor::geodesy {
namespace {

const Ellipsoid kWgs84 = EllipsoidFromTable(kWgs84Ellipsoid);

TEST(UtmGrid, ReferencesToLatLon) {
  struct Case {
    const char* zone;
    const char* hemisphere;
    double easting, northing, lat, lon;
  } cases[] = {
      {"30U", "", 701277.67, 5709417.13, 51.5, -0.1},
      {" 30U ", "", 701277.67, 5709417.13, 51.5, -0.1},  // spaces around the zone are trimmed
      {"56H", "", 333568.94, 6247473.34, -33.9, 151.2},   // southern by its band letter
      {"56", "S", 333568.94, 6247473.34, -33.9, 151.2},   // southern by the hemisphere
      {"56H", "N", 333568.94, 3752526.66, 33.9, 151.2},   // "N" overrides the letter
      {"z56H", "", 333568.94, 6247473.34, -33.9, 151.2},  // non-digits before the letter are skipped
  };
  for (const Case& c : cases) {
    const LatLon g = UTMToLatLon(c.zone, c.hemisphere, kWgs84, c.easting, c.northing);
    EXPECT_NEAR(g.latitude, c.lat, 1e-5) << c.zone << " " << c.hemisphere;
    EXPECT_NEAR(g.longitude, c.lon, 1e-5) << c.zone << " " << c.hemisphere;
  }
  // Results are rounded to 5 decimals.
  const LatLon g = UTMToLatLon("30U", "", kWgs84, 701280.0, 5709420.0);
  EXPECT_NEAR(g.latitude * 1e5, std::round(g.latitude * 1e5), 1e-6);
  EXPECT_NEAR(g.longitude * 1e5, std::round(g.longitude * 1e5), 1e-6);
}

TEST(UtmGrid, LetterOnlyZonesArePolar) {
  const EastingNorthing north = UPSForward(kWgs84, 85.0, 30.0);
  const EastingNorthing south = UPSForward(kWgs84, -85.0, -60.0);
  struct Case {
    const char* zone;
    EastingNorthing en;
    double lat, lon;
  } cases[] = {
      {"Z", north, 85.0, 30.0},
      {"  Y", north, 85.0, 30.0},
      {"A", south, -85.0, -60.0},
      {"B", south, -85.0, -60.0},
  };
  for (const Case& c : cases) {
    const LatLon g = UTMToLatLon(c.zone, "", kWgs84, c.en.easting, c.en.northing);
    EXPECT_NEAR(g.latitude, c.lat, 1e-5) << c.zone;
    EXPECT_NEAR(g.longitude, c.lon, 1e-5) << c.zone;
  }
}

TEST(UtmGrid, LatLonToZones) {
  struct Case {
    double lat, lon;
    const char* zone;
  } cases[] = {
      {51.5, -0.1, "30U"}, {-33.9, 151.2, "56H"}, {60.0, 5.0, "32V"}, {60.0, 2.9, "31V"},
      {75.0, 20.0, "33X"}, {75.0, 5.0, "31X"},    {75.0, 30.0, "35X"}, {75.0, 41.9, "37X"},
      {75.0, -5.0, "30X"}, {85.0, 20.0, "  Z"},   {85.0, -20.0, "  Y"}, {-81.0, 20.0, "  B"},
      {-81.0, -20.0, "  A"}, {10.0, 180.0, "61P"}, {-80.0, 0.0, "31C"}, {8.5, 10.0, "32P"},
      {-0.5, 10.0, "32M"}, {0.0, 10.0, "32N"},
  };
  for (const Case& c : cases) EXPECT_EQ(LatLonToUTM(kWgs84, c.lat, c.lon).zone, c.zone) << c.lat << "," << c.lon;

  const UTMReference london = LatLonToUTM(kWgs84, 51.5, -0.1);
  EXPECT_NEAR(london.easting, 701277.67, 0.01);
  EXPECT_NEAR(london.northing, 5709417.13, 0.01);
  const UTMReference sydney = LatLonToUTM(kWgs84, -33.9, 151.2);
  EXPECT_GT(sydney.northing, 6000000.0);
  // A reference made here reads back to the same place.
  const LatLon back = UTMToLatLon(sydney.zone, "", kWgs84, sydney.easting, sydney.northing);
  EXPECT_NEAR(back.latitude, -33.9, 1e-5);
  EXPECT_NEAR(back.longitude, 151.2, 1e-5);
  const UTMReference pole = LatLonToUTM(kWgs84, 85.0, 30.0);
  EXPECT_NEAR(pole.easting, 2277728.70, 0.01);
  EXPECT_EQ(LatLonToUTM(kWgs84, NAN, 3.0).zone, "");
}

TEST(BritishGrid, References) {
  const std::int32_t osgb = FindDatum("Ord Srvy Grt Britn");
  const LatLon london = BNGToLatLon("TQ", osgb, 31866, 79661);
  EXPECT_NEAR(london.latitude, 51.5, 2e-5);
  EXPECT_NEAR(london.longitude, -0.1, 2e-5);
  // The grid's false origin square SV: 0,0 there is 400 km west of -2 at 49.
  const LatLon sv = BNGToLatLon("SV", osgb, 0, 0);
  EXPECT_NEAR(sv.latitude, 49.77, 0.01);
  EXPECT_NEAR(sv.longitude, -7.56, 0.01);
  struct Unusable {
    const char* letters;
    double easting, northing;
  } unusable[] = {{"--", 500, 500}, {"", 500, 500}, {"TQ", 100001, 500}, {"TQ", 500, -1}};
  for (const Unusable& u : unusable) {
    const LatLon g = BNGToLatLon(u.letters, osgb, u.easting, u.northing);
    EXPECT_EQ(g.latitude, 0.0) << u.letters << " " << u.easting << " " << u.northing;
    EXPECT_EQ(g.longitude, 0.0) << u.letters << " " << u.easting << " " << u.northing;
  }
  // The square edges are inside.
  EXPECT_NE(BNGToLatLon("TQ", osgb, 100000, 0).latitude, 0.0);
  // An absent second letter counts as column -1, row 0 of the 500 km square.
  const LatLon absent = BNGToLatLon("T?", osgb, 50000, 50000);
  const LatLon sameAs = BNGToLatLon("SZ", osgb, 50000, 50000);
  EXPECT_DOUBLE_EQ(absent.latitude, sameAs.latitude);
  EXPECT_DOUBLE_EQ(absent.longitude, sameAs.longitude);
}

TEST(IrishGrid, References) {
  const std::int32_t ireland = FindDatum("Ireland 1965");
  // O 15000 34000: central Dublin.
  const LatLon dublin = IGToLatLon("O", ireland, 15000, 34000);
  EXPECT_NEAR(dublin.latitude, 53.3437, 1e-3);
  EXPECT_NEAR(dublin.longitude, -6.2731, 1e-3);
  for (const char* letter : {"E", "--", "", "o"}) {
    const LatLon g = IGToLatLon(letter, ireland, 15000, 34000);
    EXPECT_NEAR(g.latitude, 53.5, 1e-8) << letter;
    EXPECT_NEAR(g.longitude, -8.0, 1e-8) << letter;
  }
  const LatLon outside = IGToLatLon("O", ireland, 100001, 0);
  EXPECT_NEAR(outside.latitude, 53.5, 1e-8);
}

}  // namespace
}  // namespace quiltor::geodesy
