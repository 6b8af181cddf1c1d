// Every row of the built-in projection list against PROJ's own tool: the
// table was made by make_projection_reference.py (beside this file) running
// `cct` on the definition strings the engine should give PROJ.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "geodesy/projection.h"

namespace quiltor::geodesy {
namespace {

struct ReferencePoint {
  double latitude, longitude;        // degrees
  double easting, northing;          // PROJ forward, metres (degrees for a geographic row)
  double inverseLatitude, inverseLongitude;  // PROJ inverse of that easting/northing
};

struct ReferenceRow {
  const char* name;
  const char* datum;
  std::array<double, 12> setup;
  const char* givenToLibrary;
  std::vector<ReferencePoint> points;  // none: PROJ refuses the definition
};

const std::vector<ReferenceRow>& Reference() {
  static const std::vector<ReferenceRow> rows = {
#include "projection_reference.inc"
  };
  return rows;
}

const ReferenceRow* Find(const std::string& name) {
  for (const auto& r : Reference()) {
    if (name == r.name) return &r;
  }
  return nullptr;
}

constexpr double kMetres = 1e-3;
constexpr double kDegrees = 1e-9;
// PROJ's inverse of the equal-area azimuthal uses a series for the authalic
// latitude that is good to about 1e-8 degrees (1 mm): the round trip gets that.
constexpr double kRoundTripDegrees = 1e-8;

TEST(ProjectionReference, EveryCatalogueRowMatchesPROJ) {
  const ProjectionCatalogue& catalogue = BuiltInProjectionCatalogue();
  for (int row = 0; row < catalogue.Count(); ++row) {
    const std::string& name = catalogue.Row(row).ProjCode;
    SCOPED_TRACE(name);
    const ReferenceRow* ref = Find(name);
    ASSERT_NE(ref, nullptr) << "no reference points";
    const ProjectionSetup setup = ProjectionSetup::FromValues(ref->setup);
    const std::int32_t datum = FindDatum(ref->datum);
    const Projection projection = Projection::Create(catalogue, name, setup, datum);
    const ProjectionHandle& h = projection.Handle();
    EXPECT_EQ(LibraryDefinition(ProjectionDefinition(catalogue.Row(row), setup, EllipsoidOfDatum(datum))),
              ref->givenToLibrary);
    if (ref->points.empty()) {
      EXPECT_FALSE(h.Valid());
      continue;
    }
    ASSERT_TRUE(h.Valid());
    EXPECT_EQ(h.GivenToLibrary(), ref->givenToLibrary);
    for (const ReferencePoint& p : ref->points) {
      const EastingNorthing en = projection.Forward({p.latitude, p.longitude}).value();
      EXPECT_NEAR(en.easting, p.easting, kMetres) << p.latitude << ", " << p.longitude;
      EXPECT_NEAR(en.northing, p.northing, kMetres) << p.latitude << ", " << p.longitude;
      const LatLon ll = projection.Inverse({p.easting, p.northing}).value();
      EXPECT_NEAR(ll.latitude, p.inverseLatitude, kDegrees) << p.easting << ", " << p.northing;
      EXPECT_NEAR(ll.longitude, p.inverseLongitude, kDegrees) << p.easting << ", " << p.northing;
    }
  }
}

TEST(ProjectionReference, EveryCatalogueProjectionRoundTrips) {
  const ProjectionCatalogue& catalogue = BuiltInProjectionCatalogue();
  for (const ReferenceRow& ref : Reference()) {
    SCOPED_TRACE(ref.name);
    const ProjectionSetup setup = ProjectionSetup::FromValues(ref.setup);
    const std::int32_t datum = FindDatum(ref.datum);
    const Projection projection = Projection::Create(catalogue, ref.name, setup, datum);
    for (const ReferencePoint& p : ref.points) {
      const EastingNorthing en = projection.Forward({p.latitude, p.longitude}).value();
      const LatLon back = projection.Inverse(en).value();
      EXPECT_NEAR(back.latitude, p.latitude, kRoundTripDegrees);
      EXPECT_NEAR(back.longitude, p.longitude, kRoundTripDegrees);
    }
  }
}

}  // namespace
}  // namespace quiltor::geodesy
