#include "geodesy/destination_setup.h"

#include <gtest/gtest.h>

namespace quiltor::geodesy {
namespace {

DestinationSettings Fields(const char* projection) {
  DestinationSettings s;
  s.mapProjection = projection;
  s.zone = "56";
  s.latOrigin = "12,5";  // a decimal comma is read as a point
  s.centralMeridian = " 100 ";
  s.latitude1 = "-20";
  s.latitude2 = "-30";
  s.scaleFactor = "0.9";
  s.falseEasting = "1000";
  s.falseNorthing = "";  // an empty field reads 0
  return s;
}

TEST(MaskedDestinationSetup, TakesOnlyTheFieldsTheProjectionUses) {
  constexpr double U = kParameterNotSet;
  const struct {
    const char* projection;
    double lat0, lon0, k0, x0, y0, lat1, lat2;
  } cases[] = {
      {"Transverse Mercator", 12.5, 100, 0.9, 1000, 0, U, U},
      {"Lambert Conformal Conic", U, 100, U, U, U, -20, -30},
      {"(EQC) Equidistant Conic", U, 100, U, U, U, -20, -30},
      {"Albers Equal Area", 12.5, 100, U, U, U, -20, -30},
      {"Sinusoidal", U, 100, U, U, U, U, U},
      {"Bonne", 12.5, 100, U, U, U, U, U},
      {"(A)Lambert Azimuthual Equal Area", 12.5, 100, U, U, U, U, U},
      {"Mercator", U, U, U, U, U, U, U},
      {"(SUI) Swiss Grid", U, U, U, U, U, U, U},
      {"Vertical Near-Sided Perspective", U, U, U, U, U, U, U},  // not a destination projection
  };
  for (const auto& t : cases) {
    const ProjectionSetup s = MaskedDestinationSetup(Fields(t.projection));
    SCOPED_TRACE(t.projection);
    EXPECT_EQ(s.lat0, t.lat0);
    EXPECT_EQ(s.lon0, t.lon0);
    EXPECT_EQ(s.k0, t.k0);
    EXPECT_EQ(s.x0, t.x0);
    EXPECT_EQ(s.y0, t.y0);
    EXPECT_EQ(s.lat1, t.lat1);
    EXPECT_EQ(s.lat2, t.lat2);
    EXPECT_EQ(s.height, U);
    EXPECT_EQ(s.utmlon0, U);
  }
}

TEST(MaskedDestinationSetup, CompletesUtmFromTheZone) {
  const struct {
    const char* zone;
    double meridian;
  } cases[] = {{"56", 153}, {"31", 3}, {"1", -177}, {" 30 ", -3}};
  for (const auto& t : cases) {
    DestinationSettings f = Fields("(UTM) Universal Transverse Mercator");
    f.zone = t.zone;
    const ProjectionSetup s = MaskedDestinationSetup(f);
    SCOPED_TRACE(t.zone);
    EXPECT_EQ(s.lon0, t.meridian);
    EXPECT_EQ(s.utmlon0, t.meridian);
    EXPECT_EQ(s.lat0, 0);
    EXPECT_EQ(s.k0, 0.9996);
    EXPECT_EQ(s.x0, 0);
    EXPECT_EQ(s.y0, 0);
    EXPECT_EQ(s.lat1, kParameterNotSet);
  }
}

TEST(ReadDestinationProjection, MakesTheChosenProjection) {
  const Projection d = ReadDestinationProjection(Fields("(UTM) Universal Transverse Mercator"),
                                                 BuiltInProjectionCatalogue());
  EXPECT_EQ(d.ShortName(), "(UTM)");
  EXPECT_TRUE(d.IsUtm());
  EXPECT_EQ(d.Row(), 3);
  EXPECT_EQ(d.Setup().utmlon0, 153);
  EXPECT_EQ(d.Datum(), WGS84Datum());
  ASSERT_TRUE(d.Handle().Valid());
  EXPECT_EQ(d.Handle().Definition(),
            "+proj=tmerc +lon_0=153.0000000 +lat_0=0.0000000 +k_0=0.9996000 +a=6378137.00000 +b=6356752.31425");
  // Relative to the central meridian and the equator: no false origin.
  const EastingNorthing en = d.Forward({0, 153}).value();
  EXPECT_NEAR(en.easting, 0, 1e-6);
  EXPECT_NEAR(en.northing, 0, 1e-6);
}

TEST(ReadDestinationProjection, AnUnknownProjectionIsTheFirstRow) {
  const Projection d = ReadDestinationProjection(Fields("Mercator "), BuiltInProjectionCatalogue());
  EXPECT_EQ(d.Row(), 0);
  EXPECT_TRUE(d.Handle().IsGeographic());
}

TEST(DestinationParameterFields, NamesExactlyTheUsedFields) {
  using F = ParameterField;
  const auto enabled = [](const char* projection) {
    std::vector<F> on;
    const ParameterFieldSet used = DestinationParameterFields(projection);
    for (int i = 0; i < kParameterFieldCount; ++i) {
      if (used.Has(static_cast<F>(i))) on.push_back(static_cast<F>(i));
    }
    return on;
  };
  EXPECT_EQ(enabled("(UTM) Universal Transverse Mercator"), std::vector<F>{F::Zone});
  EXPECT_EQ(enabled("Bonne"), (std::vector<F>{F::LatitudeOrigin, F::CentralMeridian}));
  EXPECT_EQ(enabled("Transverse Mercator"),
            (std::vector<F>{F::LatitudeOrigin, F::CentralMeridian, F::ScaleFactor, F::FalseEasting, F::FalseNorthing}));
  EXPECT_EQ(enabled("Lambert Conformal Conic"), (std::vector<F>{F::CentralMeridian, F::Latitude1, F::Latitude2}));
  EXPECT_TRUE(enabled("(BNG) British National Grid").empty());
  EXPECT_TRUE(enabled("no such projection").empty());
}

}  // namespace
}  // namespace quiltor::geodesy
