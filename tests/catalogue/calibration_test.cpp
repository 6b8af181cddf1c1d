#include "catalogue/calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "geodesy/datum.h"
#include "geodesy/grids.h"

namespace quiltor {
namespace {

namespace g = geodesy;
using C = CalibrationColumn;

const g::ProjectionCatalogue& Catalogue() { return g::BuiltInProjectionCatalogue(); }

// The transform a map is made from: projected (on WGS 84) of pixel (x, y).
struct Truth {
  double X0 = 0, a = 1, b = 0;  // X = X0 + a x + b y + qx x^2
  double Y0 = 0, c = 0, d = -1;  // Y = Y0 + c x + d y + qy y^2
  double qx = 0, qy = 0;
  g::EastingNorthing At(double x, double y) const {
    return {X0 + a * x + b * y + qx * x * x, Y0 + c * x + d * y + qy * y * y};
  }
};

g::ProjectionSetup Setup(double lon0, double lat0, double k0, double x0, double y0) {
  g::ProjectionSetup s;
  s.lon0 = lon0;
  s.lat0 = lat0;
  s.k0 = k0;
  s.x0 = x0;
  s.y0 = y0;
  return s;
}

g::ProjectionSetup UtmSetup(double centralMeridian) {
  g::ProjectionSetup s = Setup(centralMeridian, 0, 0.9996, 0, 0);
  s.utmlon0 = centralMeridian;
  return s;
}

Map_record MakeRecord(const std::string& projection, const std::string& datum, const g::ProjectionSetup& setup,
                      bool polyCal = false) {
  Map_record r;
  r.projectionName = projection;
  r.shortProjection = g::ShortProjectionName(projection);
  r.projectionIndex = Catalogue().FindProjection(projection);
  r.datum = g::FindDatum(datum);
  r.wgs84Datum = g::WGS84Datum();
  r.setup = setup;
  r.polyCal = polyCal;
  r.projWGS84 = g::Projection::Create(Catalogue(), projection, setup, r.wgs84Datum);
  r.projMapDatum = g::Projection::Create(Catalogue(), projection, setup, r.datum);
  return r;
}

enum class Given { LatLon, Utm, Bng, Ig, Pj };

// Letters of the 100 km square of a full British grid reference.
std::string BritishLetters(double e, double n) {
  const int e5 = static_cast<int>(e / 500000), n5 = static_cast<int>(n / 500000);
  const int e1 = static_cast<int>(std::fmod(e, 500000) / 100000), n1 = static_cast<int>(std::fmod(n, 500000) / 100000);
  std::string letters;
  letters += g::kBritishFirstLetters[static_cast<std::size_t>(n5 * 5 + e5)];
  letters += g::kBritishSecondLetters[static_cast<std::size_t>(n1 * 5 + e1)];
  return letters;
}

std::string IrishLetter(double e, double n) {
  static const char* const kRows[] = {"VWXYZ", "QRSTU", "LMNOP", "FGHJK", "ABCDE"};  // south to north
  return std::string(1, kRows[static_cast<int>(n / 100000)][static_cast<int>(e / 100000)]);
}

void SetDegMin(CalibrationPoint& p, double value, C degrees, C minutes, C hemisphere, const char* positive,
               const char* negative) {
  const double whole = std::trunc(std::fabs(value));
  p.Set(degrees, FormatInt(static_cast<std::int64_t>(whole)));
  p.Set(minutes, FormatFixed((std::fabs(value) - whole) * 60, 10));
  p.Set(hemisphere, value < 0 ? negative : positive);
}

// Geographic position on WGS 84 of the truth at a pixel.
g::LatLon TruthLatLon(const Map_record& r, const Truth& truth, double x, double y) {
  return r.projWGS84.Inverse(truth.At(x, y)).value();
}

// Writes calibration point `number` at pixel (px, py) the way a map file on
// the map's own datum would give it.
void AddPoint(CalibrationPointTable& table, int number, const Map_record& r, const Truth& truth, int px, int py,
              Given given) {
  CalibrationPoint& p = table.point(number);
  p.include = true;
  p.Set(C::pixelX, FormatInt(px));
  p.Set(C::pixelY, FormatInt(py));
  g::LatLon ll = TruthLatLon(r, truth, px, py);
  g::ConvertDatum(r.wgs84Datum, r.datum, ll.latitude, ll.longitude);
  if (given == Given::LatLon) {
    SetDegMin(p, ll.latitude, C::latDegrees, C::latMinutes, C::latHemisphere, "N", "S");
    SetDegMin(p, ll.longitude, C::lonDegrees, C::lonMinutes, C::lonHemisphere, "E", "W");
    return;
  }
  double e = 0, n = 0;
  std::string zone;
  if (given == Given::Utm) {
    const g::UTMReference ref = g::LatLonToUTM(r.datum, ll.latitude, ll.longitude);
    zone = ref.zone;
    e = ref.easting;
    n = ref.northing;
    p.Set(C::gridHemisphere, ll.latitude < 0 ? "S" : "N");
  } else {
    const g::EastingNorthing en = r.projMapDatum.Forward(ll).value();
    e = en.easting;
    n = en.northing;
    if (given == Given::Bng) zone = BritishLetters(e, n);
    if (given == Given::Ig) zone = IrishLetter(e, n);
    if (given != Given::Pj) {
      e = std::fmod(e, 100000);
      n = std::fmod(n, 100000);
    }
  }
  p.Set(C::gridZone, zone);
  p.Set(C::gridEasting, FormatFixed(e, 4));
  p.Set(C::gridNorthing, FormatFixed(n, 4));
}

struct Pixel {
  int x, y;
};

struct CalibrationCase {
  const char* name;
  std::string projection;
  std::string datum;
  g::ProjectionSetup setup;
  Truth truth;
  std::vector<Pixel> points;
  Given given;
  bool polyCal;
  char method;
  // Of PixelToLatLon, measured in the map's projection: grid references are
  // shifted to the map's datum and back (a few centimetres), UTM ones are
  // rounded to 5 decimals of a degree (about a metre).
  double toleranceMetres;
};

std::vector<CalibrationCase> Cases() {
  const std::vector<Pixel> two{{0, 0}, {1000, 800}};
  const std::vector<Pixel> three{{0, 0}, {1000, 50}, {80, 800}};
  const std::vector<Pixel> four{{0, 0}, {1000, 0}, {1000, 800}, {0, 800}};
  const std::vector<Pixel> five{{0, 0}, {1000, 0}, {1000, 800}, {0, 800}, {480, 390}};
  const std::vector<Pixel> eight{{0, 0}, {1000, 0}, {1000, 800}, {0, 800}, {500, 0}, {1000, 400}, {500, 800}, {0, 400}};
  const g::ProjectionSetup none;
  return {
      {"lat/lon, two points", "Latitude/Longitude", "WGS 84", none, {10, 0.001, 0, 50, 0, -0.0008}, two,
       Given::LatLon, false, kMethodTwoPoint, 0.01},
      {"Mercator, three points, rotated", "Mercator", "WGS 84", none, {1.0e6, 9.9, 1.2, 6.0e6, 1.3, -9.8}, three,
       Given::LatLon, false, kMethodThreePoint, 0.01},
      {"TM on European 1950, least squares", "Transverse Mercator", "European 1950",
       Setup(9, 0, 0.9996, 500000, 0), {480000, 5, 0.3, 5.2e6, 0.2, -5}, five, Given::LatLon, false,
       kMethodFirstOrder, 0.05},
      {"UTM from grid references only", "(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15),
       {-120000, 25, 0, 5.3e6, 0, -25}, five, Given::Utm, false, kMethodFirstOrder, 2.0},
      {"UTM south, grid references", "(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(147),
       {50000, 20, 0, -3.7e6, 0, -20}, four, Given::Utm, false, kMethodFirstOrder, 2.0},
      {"British grid references", "(BNG) British National Grid", "Ord Srvy Grt Britn", none,
       {525000, 5, 0, 185000, 0, -5}, four, Given::Bng, false, kMethodFirstOrder, 0.5},
      {"Irish grid references", "(IG) Irish Grid", "Ireland 1965", none, {305000, 4, 0, 236000, 0, -4}, four,
       Given::Ig, false, kMethodFirstOrder, 0.5},
      {"own projection's grid on European 1950", "Transverse Mercator", "European 1950",
       Setup(9, 0, 0.9996, 500000, 0), {480000, 5, 0, 5.2e6, 0, -5}, four, Given::Pj, false, kMethodFirstOrder,
       0.05},
      {"second order with PolyCal", "Mercator", "WGS 84", none, {1.0e6, 10, 0.5, 6.0e6, 0.4, -10, 1e-4, -1e-4},
       eight, Given::LatLon, true, kMethodSecondOrder, 1.0},
  };
}

TEST(CalibrateMap, ReproducesTheTransformTheMapWasMadeFrom) {
  for (const CalibrationCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    Map_record r = MakeRecord(c.projection, c.datum, c.setup, c.polyCal);
    ASSERT_TRUE(r.projWGS84.CanProject());
    CalibrationPointTable table;
    for (std::size_t i = 0; i < c.points.size(); ++i)
      AddPoint(table, static_cast<int>(i) + 1, r, c.truth, c.points[i].x, c.points[i].y, c.given);
    ASSERT_TRUE(CalibrateMap(r, table, Catalogue()));
    EXPECT_EQ(r.method, c.method);
    for (int x = 0; x <= 1000; x += 125) {
      for (int y = 0; y <= 800; y += 100) {
        const g::LatLon got = PixelToLatLon(r, {static_cast<double>(x), static_cast<double>(y)});
        const g::EastingNorthing back = r.projWGS84.Forward(got).value();
        const g::EastingNorthing want = c.truth.At(x, y);
        ASSERT_NEAR(back.easting, want.easting, c.toleranceMetres) << x << "," << y;
        ASSERT_NEAR(back.northing, want.northing, c.toleranceMetres) << x << "," << y;
        const g::LatLon truth = TruthLatLon(r, c.truth, x, y);
        ASSERT_EQ(LatLonToPixel(r, truth), (PixelPosition{x, y})) << x << "," << y;
      }
    }
  }
}

// Two or more latitude/longitude points on a plain lat/lon map.
struct GivenPoint {
  int px, py;
  double lat, lon;
};

CalibrationPointTable LatLonTable(const std::vector<GivenPoint>& points) {
  CalibrationPointTable table;
  for (std::size_t i = 0; i < points.size(); ++i) {
    CalibrationPoint& p = table.point(static_cast<int>(i) + 1);
    p.include = true;
    p.Set(C::pixelX, FormatInt(points[i].px));
    p.Set(C::pixelY, FormatInt(points[i].py));
    SetDegMin(p, points[i].lat, C::latDegrees, C::latMinutes, C::latHemisphere, "N", "S");
    SetDegMin(p, points[i].lon, C::lonDegrees, C::lonMinutes, C::lonHemisphere, "E", "W");
  }
  return table;
}

TEST(Conversions, PixelToProjectedAndBackIsTheIdentityForLeastSquaresMaps) {
  // The forward and backward fits of a curved map disagree by several
  // hundredths of a pixel; the corrected forward evaluation follows the
  // backward fit so that pixel -> projected -> pixel returns to the pixel.
  const Truth curved{1.0e6, 10, 0.5, 6.0e6, 0.4, -10, 1e-4, -1e-4};
  const std::vector<Pixel> pixels{{0, 0}, {1000, 0}, {1000, 800}, {0, 800}, {500, 0}, {1000, 400}, {500, 800}, {0, 400}};
  for (bool polyCal : {false, true}) {
    Map_record r = MakeRecord("Mercator", "WGS 84", {}, polyCal);
    CalibrationPointTable table;
    for (std::size_t i = 0; i < pixels.size(); ++i)
      AddPoint(table, static_cast<int>(i) + 1, r, curved, pixels[i].x, pixels[i].y, Given::LatLon);
    ASSERT_TRUE(CalibrateMap(r, table, Catalogue()));
    for (int x = 0; x <= 1000; x += 50) {
      for (int y = 0; y <= 800; y += 50) {
        const PixelPoint back =
            ProjectedToPixel(r, PixelToProjected(r, {static_cast<double>(x), static_cast<double>(y)}));
        ASSERT_NEAR(back.x, x, 1e-4) << r.method << " " << x << "," << y;
        ASSERT_NEAR(back.y, y, 1e-4) << r.method << " " << x << "," << y;
      }
    }
  }
}

TEST(CalibrateMap, RefusesPointsThatDefineNoTransform) {
  struct Case {
    const char* name;
    std::vector<GivenPoint> points;
  } const cases[] = {
      {"two points on one row", {{0, 100, 50, 10}, {500, 100, 49, 11}}},
      {"two points on one column", {{40, 0, 50, 10}, {40, 500, 49, 11}}},
      {"three collinear points", {{0, 0, 50, 10}, {100, 100, 49, 11}, {200, 200, 48, 12}}},
      {"four collinear points", {{0, 0, 50, 10}, {100, 100, 49, 11}, {200, 200, 48, 12}, {300, 300, 47, 13}}},
  };
  for (const auto& c : cases) {
    Map_record r = MakeRecord("Latitude/Longitude", "WGS 84", {});
    EXPECT_FALSE(CalibrateMap(r, LatLonTable(c.points), Catalogue())) << c.name;
  }
  Map_record r = MakeRecord("Latitude/Longitude", "WGS 84", {});
  CalibrationPointTable table = LatLonTable({{0, 0, 50, 10}, {500, 400, 49, 11}});
  table.point(2).Set(C::pixelX, "12a");
  EXPECT_FALSE(CalibrateMap(r, table, Catalogue())) << "pixel text that is not an integer";
}

TEST(CalibrateMap, MethodFollowsPointCountAndPolyCal) {
  std::vector<GivenPoint> seven;
  for (int i = 0; i < 7; ++i) seven.push_back({100 * i, (37 * i * i) % 500, 50 - 0.01 * i, 10 + 0.013 * ((i * i) % 7)});
  struct Case {
    std::size_t count;
    bool polyCal;
    char method;
  } const cases[] = {{1, false, kMethodNone}, {4, true, kMethodFirstOrder}, {6, true, kMethodFirstOrder},
                     {7, true, kMethodSecondOrder}, {7, false, kMethodFirstOrder}};
  for (const auto& c : cases) {
    Map_record r = MakeRecord("Latitude/Longitude", "WGS 84", {}, c.polyCal);
    r.method = kMethodThreePoint;  // what a previous map left in the slot
    const std::vector<GivenPoint> points(seven.begin(), seven.begin() + static_cast<std::ptrdiff_t>(c.count));
    EXPECT_TRUE(CalibrateMap(r, LatLonTable(points), Catalogue())) << c.count;
    EXPECT_EQ(r.method, c.method) << c.count << " points, PolyCal " << c.polyCal;
  }
}

TEST(CalibrateMap, ExcludedAndIncompletePointsAreNotUsed) {
  const Truth truth{-120000, 25, 0, 5.3e6, 0, -25};
  Map_record r = MakeRecord("(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15));
  CalibrationPointTable table;
  AddPoint(table, 1, r, truth, 0, 0, Given::LatLon);
  AddPoint(table, 2, r, truth, 1000, 800, Given::LatLon);
  // The only grid point is marked "ex"; a wrong point without pixel fields
  // and one without its northing are skipped as well.
  AddPoint(table, 3, r, truth, 500, 20, Given::Utm);
  table.point(3).include = false;
  AddPoint(table, 4, r, {0, 1, 0, 0, 0, 1}, 300, 300, Given::LatLon);
  table.point(4).Set(C::pixelX, "  ");
  AddPoint(table, 5, r, truth, 200, 600, Given::Utm);
  table.point(5).Set(C::gridNorthing, "");
  ASSERT_TRUE(CalibrateMap(r, table, Catalogue()));
  EXPECT_EQ(r.method, kMethodTwoPoint);
  EXPECT_NEAR(r.scaleX, 25, 1e-6);
  EXPECT_NEAR(r.scaleY, -25, 1e-6);
}

TEST(CalibrateMap, LatitudeLongitudeWinsOverGridReference) {
  const Truth truth{-120000, 25, 0, 5.3e6, 0, -25};
  Map_record r = MakeRecord("(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15));
  CalibrationPointTable table;
  AddPoint(table, 1, r, truth, 0, 0, Given::LatLon);
  AddPoint(table, 2, r, truth, 1000, 800, Given::LatLon);
  for (int number : {1, 2}) {  // grid texts far from the true position
    table.point(number).Set(C::gridZone, "33T");
    table.point(number).Set(C::gridEasting, "1000");
    table.point(number).Set(C::gridNorthing, "1000");
  }
  ASSERT_TRUE(CalibrateMap(r, table, Catalogue()));
  EXPECT_NEAR(r.scaleX, 25, 1e-6);
  EXPECT_NEAR(r.offsetX, -120000, 1e-3);
}

TEST(CalibrateMap, TwoPointLongitudeScaleAcrossTheDateLine) {
  Map_record r = MakeRecord("Latitude/Longitude", "WGS 84", {});
  ASSERT_TRUE(CalibrateMap(r, LatLonTable({{0, 0, -16, 179.5}, {100, 100, -17, -179.5}}), Catalogue()));
  EXPECT_EQ(r.method, kMethodTwoPoint);
  EXPECT_NEAR(r.scaleX, 0.01, 1e-12);
  EXPECT_NEAR(r.scaleY, -0.01, 1e-12);
}

TEST(Conversions, APixelBeyondWhatTheProjectionInvertsHasNoPosition) {
  // A sinusoidal sheet whose pixels run far past the pole: the projection
  // has no latitude there, which must not read as latitude 0, longitude 0.
  g::ProjectionSetup s;
  s.lon0 = 0;
  Map_record r = MakeRecord("Sinusoidal", "WGS 84", s);
  r.method = kMethodTwoPoint;
  r.scaleX = 1000;
  r.scaleY = 1.0e6;
  const g::LatLon inside = PixelToLatLon(r, {1, 1});
  EXPECT_NEAR(inside.latitude, 9.04, 0.01);
  const g::LatLon beyond = PixelToLatLon(r, {1, 1000});
  EXPECT_EQ(beyond.latitude, kNoGeographicPosition);
  EXPECT_EQ(beyond.longitude, kNoGeographicPosition);
}

TEST(Conversions, UncalibratedMapHasNoPositions) {
  Map_record r = MakeRecord("Latitude/Longitude", "WGS 84", {});
  ASSERT_TRUE(CalibrateMap(r, LatLonTable({{0, 0, 50, 10}}), Catalogue()));
  const g::LatLon ll = PixelToLatLon(r, {10, 10});
  EXPECT_EQ(ll.latitude, kNoGeographicPosition);
  EXPECT_EQ(ll.longitude, kNoGeographicPosition);
  EXPECT_EQ(LatLonToPixel(r, {.latitude = 50, .longitude = 10}), (PixelPosition{kNoPixelPosition, kNoPixelPosition}));

  // The scale of such a map is meaningless but computing it must be harmless.
  Map_record utm = MakeRecord("(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15));
  ASSERT_TRUE(CalibrateMap(utm, CalibrationPointTable{}, Catalogue()));
  utm.border.resize(4);
  ComputeScale(utm);
  EXPECT_EQ(utm.metresPerPixel, 0);
}

void SetBorder(Map_record& r, const Truth& truth, std::initializer_list<Pixel> corners) {
  r.border.clear();
  for (const Pixel& p : corners) {
    const g::LatLon ll = TruthLatLon(r, truth, p.x, p.y);
    BorderPoint point;
    point.x = p.x;
    point.y = p.y;
    point.latitude = ll.latitude;
    point.longitude = ll.longitude;
    r.border.push_back(point);
  }
}

TEST(ComputeScale, MetresPerPixelAtTheBorderCentre) {
  // A UTM map of 25 m pixels: measured as a UTM easting difference.
  const Truth utm{-120000, 25, 0, 5.3e6, 0, -25};
  Map_record r = MakeRecord("(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15));
  CalibrationPointTable table;
  AddPoint(table, 1, r, utm, 0, 0, Given::LatLon);
  AddPoint(table, 2, r, utm, 1000, 800, Given::LatLon);
  ASSERT_TRUE(CalibrateMap(r, table, Catalogue()));
  SetBorder(r, utm, {{0, 0}, {1000, 0}, {1000, 800}, {0, 800}});
  ComputeScale(r);
  EXPECT_NEAR(r.metresPerPixel, 25, 1e-3);

  // A lat/lon map of 0.001 degree columns at latitude 0: great-circle length.
  const Truth geo{10, 0.001, 0, 0.4, 0, -0.001};
  Map_record ll = MakeRecord("Latitude/Longitude", "WGS 84", {});
  ASSERT_TRUE(CalibrateMap(ll, LatLonTable({{0, 0, 0.4, 10}, {800, 800, -0.4, 10.8}}), Catalogue()));
  SetBorder(ll, geo, {{0, 0}, {800, 0}, {800, 800}, {0, 800}});
  ComputeScale(ll);
  EXPECT_NEAR(ll.metresPerPixel, 111.12, 1e-3);
}

TEST(MapExtentInProjection, BorderBoxInTheDestination) {
  const Truth utm{-120000, 25, 0, 5.3e6, 0, -25};
  Map_record r = MakeRecord("(UTM) Universal Transverse Mercator", "WGS 84", UtmSetup(15));
  SetBorder(r, utm, {{0, 0}, {1000, 0}, {1000, 800}, {0, 800}});

  const g::Projection latLon = g::Projection::Create(Catalogue(), "Latitude/Longitude", {}, r.wgs84Datum);
  const ProjectedExtent degrees = MapExtentInProjection(r, latLon);
  const auto& b = r.border;
  EXPECT_DOUBLE_EQ(degrees.minX, std::min(b[0].longitude, b[3].longitude));
  EXPECT_DOUBLE_EQ(degrees.maxX, std::max(b[1].longitude, b[2].longitude));
  EXPECT_DOUBLE_EQ(degrees.maxY, std::max(b[0].latitude, b[1].latitude));
  EXPECT_DOUBLE_EQ(degrees.minY, std::min(b[2].latitude, b[3].latitude));

  // In the map's own projection the box is the truth's corners.
  const ProjectedExtent metres = MapExtentInProjection(r, r.projWGS84);
  EXPECT_NEAR(metres.minX, -120000, 1e-3);
  EXPECT_NEAR(metres.maxX, -120000 + 25000, 1e-3);
  EXPECT_NEAR(metres.maxY, 5.3e6, 1e-3);
  EXPECT_NEAR(metres.minY, 5.3e6 - 20000, 1e-3);
}

TEST(CalibrationPointTable, ClipsTextsAndRejectsPointNumbersOutsideTheTable) {
  CalibrationPointTable table;
  table.point(30).Set(C::latMinutes, "12.3456789012345678");
  EXPECT_EQ(table.point(30)[C::latMinutes], "12.345678901234");
  EXPECT_THROW(table.point(0), QuiltorError);
  EXPECT_THROW(table.point(31), QuiltorError);
  table.point(30).include = true;
  table.Clear();
  EXPECT_FALSE(table.point(30).include);
  EXPECT_EQ(table.point(30)[C::latMinutes], "");
  EXPECT_EQ(CalibrationColumnOfField(14), C::gridZone);
  EXPECT_FALSE(CalibrationColumnOfField(5).has_value());
}

}  // namespace
}  // namespace quiltor
