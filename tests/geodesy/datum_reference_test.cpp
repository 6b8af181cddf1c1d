// The datum shift against an independent implementation of the same
// three-parameter translation (PROJ's cs2cs with +towgs84; see
// make_datum_reference.sh). The shift here goes back to latitude without
// iteration and without the height the translation gives the point, so it
// differs from the exact geocentric result by up to a few decimetres; the
// tolerance below is what that costs, far below the tens to hundreds of
// metres the shift itself moves a point.
#include <gtest/gtest.h>

#include <cmath>

#include "geodesy/datum.h"

namespace quiltor::geodesy {
namespace {

struct Reference {
  const char* datum;
  double lat, lon;
  double wgsLat, wgsLon;      // datum -> WGS 84
  double localLat, localLon;  // the same point as WGS 84 -> datum
};

const Reference kReference[] = {
#include "datum_reference.inc"
};

// 5e-6 degrees is about 0.55 m of latitude; the largest difference seen
// over this table is 2.2e-6 degrees (about 0.25 m).
constexpr double kTolerance = 5e-6;

TEST(DatumReference, ShiftMatchesGeocentricTranslation) {
  const DatumTable table;
  double worst = 0.0;
  for (const Reference& r : kReference) {
    const std::int32_t datum = table.FindDatum(r.datum);
    ASSERT_NE(datum, table.WGS84Datum()) << r.datum;

    double lat = r.lat, lon = r.lon;
    table.ConvertDatum(datum, table.WGS84Datum(), lat, lon);
    EXPECT_NEAR(lat, r.wgsLat, kTolerance) << r.datum << " to WGS 84 at " << r.lat << "," << r.lon;
    EXPECT_NEAR(lon, r.wgsLon, kTolerance) << r.datum << " to WGS 84 at " << r.lat << "," << r.lon;
    worst = std::max({worst, std::fabs(lat - r.wgsLat), std::fabs(lon - r.wgsLon)});

    lat = r.lat, lon = r.lon;
    table.ConvertDatum(table.WGS84Datum(), datum, lat, lon);
    EXPECT_NEAR(lat, r.localLat, kTolerance) << "WGS 84 to " << r.datum << " at " << r.lat << "," << r.lon;
    EXPECT_NEAR(lon, r.localLon, kTolerance) << "WGS 84 to " << r.datum << " at " << r.lat << "," << r.lon;
    worst = std::max({worst, std::fabs(lat - r.localLat), std::fabs(lon - r.localLon)});
  }
  RecordProperty("worst_difference_degrees", std::to_string(worst));
  std::printf("largest difference from the reference: %.3g degrees\n", worst);
}

}  // namespace
}  // namespace quiltor::geodesy
