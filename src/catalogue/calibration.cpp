#include "catalogue/calibration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/polynomial_fit.h"
#include "common/error.h"
#include "common/rounding.h"
#include "common/text.h"
#include "geodesy/datum.h"
#include "geodesy/great_circle.h"
#include "geodesy/grids.h"

namespace quiltor {
namespace {

using geodesy::LatLon;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Projection families whose grid-only calibration points need a zone text
// beside easting and northing, and those that need easting and northing only.
constexpr std::array<std::string_view, 16> kZoneEastingNorthing = {
    "(UTM)", "Alber", "Lambe", "Polyc", "Latit", "Sinus", "Robin", "Merca",
    "(EQC)", "Verti", "(A)La", "Space", "Van D", "Bonne", "(BNG)", "(IG)"};
constexpr std::array<std::string_view, 9> kEastingNorthing = {"(NZG)", "(SG)", "(SUI)", "Trans", "(I) F",
                                                              "(II)",  "(III)", "(IV)",  "(MT0)"};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A calibration point reduced to its pixel and its projected position.
struct UsablePoint {
  std::int32_t px = 0, py = 0;
  double X = 0, Y = 0;
};

// Points that cannot define a transform; the text says which and why.
class CalibrationFailed : public QuiltorError {
 public:
  using QuiltorError::QuiltorError;
};

const std::string& Text(const CalibrationPoint& p, CalibrationColumn c) { return p[c]; }
bool Blank(const CalibrationPoint& p, CalibrationColumn c) { return IsBlank(p[c]); }

double Number(const CalibrationPoint& p, CalibrationColumn c) {
  const std::optional<double> value = TryParseDecimal(Text(p, c));
  if (!value || !std::isfinite(*value)) throw CalibrationFailed("\"" + Text(p, c) + "\" is not a number");
  return *value;
}

// |degrees| + |minutes| / 60, negative in the south and the west.
// Degrees beyond `maxDegrees` or minutes beyond 60 place the point nowhere
// on earth.
double DegMin(double degrees, double minutes, std::string_view hemisphere, double maxDegrees) {
  if (std::fabs(minutes) > 60 || std::fabs(degrees) + std::fabs(minutes) / 60.0 > maxDegrees)
    throw CalibrationFailed("a point at " + FormatShortest(degrees) + " degrees " + FormatShortest(minutes) +
                            " minutes is off the globe");
  double value = std::fabs(degrees) + std::fabs(minutes) / 60.0;
  const std::string h = ToUpperAscii(hemisphere);
  if (h == "S" || h == "W") value = -value;
  return value;
}

bool GridUsable(const CalibrationPoint& p, std::string_view shortName) {
  using C = CalibrationColumn;
  if (OneOf(kZoneEastingNorthing, shortName))
    return !Blank(p, C::gridZone) && !Blank(p, C::gridEasting) && !Blank(p, C::gridNorthing);
  if (OneOf(kEastingNorthing, shortName)) return !Blank(p, C::gridEasting) && !Blank(p, C::gridNorthing);
  return true;
}

bool LatLonUsable(const CalibrationPoint& p) {
  using C = CalibrationColumn;
  return !Blank(p, C::latDegrees) && !Blank(p, C::latMinutes) && !Blank(p, C::lonDegrees) &&
         !Blank(p, C::lonMinutes);
}

// Latitude/longitude on the map's datum of a point given only by its grid
// reference; none when the projection's grid code is not one the program
// reads, or the map's projection cannot bring the reference back.
std::optional<LatLon> GridToLatLon(const Map_record& record, const CalibrationPoint& p, std::string_view gridCode) {
  using C = CalibrationColumn;
  const double easting = Number(p, C::gridEasting);
  const double northing = Number(p, C::gridNorthing);
  if (gridCode == "utm") {
    const std::optional<int> zone = UtmZoneNumber(Text(p, C::gridZone));
    if (zone && (*zone < 1 || *zone > 60))
      throw CalibrationFailed("UTM zone \"" + Text(p, C::gridZone) + "\" is outside 1..60");
    return geodesy::UTMToLatLon(Text(p, C::gridZone), Text(p, C::gridHemisphere), record.datum, easting, northing);
  }
  if (gridCode == "bng") return geodesy::BNGToLatLon(Text(p, C::gridZone), record.datum, easting, northing);
  if (gridCode == "ig") return geodesy::IGToLatLon(Text(p, C::gridZone), record.datum, easting, northing);
  if (gridCode == "pj") return record.projMapDatum.Inverse({easting, northing});
  return std::nullopt;
}

std::vector<UsablePoint> CollectPoints(const Map_record& record, const CalibrationPointTable& table,
                                       std::string_view gridCode, std::string_view shortName) {
  using C = CalibrationColumn;
  std::vector<UsablePoint> points;
  for (int number = 1; number <= kMaxCalibrationPoints; ++number) {
    const CalibrationPoint& p = table.point(number);
    if (!p.include || Blank(p, C::pixelX) || Blank(p, C::pixelY)) continue;
    const bool gridUsable = GridUsable(p, shortName);
    const bool latLonUsable = LatLonUsable(p);
    if (!gridUsable && !latLonUsable) continue;
    const std::optional<std::int32_t> px = TryParseInt(Text(p, C::pixelX));
    const std::optional<std::int32_t> py = TryParseInt(Text(p, C::pixelY));
    if (!px || !py) {
      throw CalibrationFailed("point " + FormatInt(number) + ": pixel \"" + Text(p, C::pixelX) + "\", \"" +
                              Text(p, C::pixelY) + "\" is not a pair of whole numbers");
    }
    LatLon position{};
    if (latLonUsable) {
      position.longitude =
          DegMin(Number(p, C::lonDegrees), Number(p, C::lonMinutes), Text(p, C::lonHemisphere), 180);
      position.latitude = DegMin(Number(p, C::latDegrees), Number(p, C::latMinutes), Text(p, C::latHemisphere), 90);
    } else {
      const std::optional<LatLon> fromGrid = GridToLatLon(record, p, gridCode);
      if (!fromGrid) continue;  // a grid reference that cannot be read cannot place the point
      position = *fromGrid;
    }
    geodesy::ConvertDatum(record.datum, record.wgs84Datum, position.latitude, position.longitude);
    const std::optional<geodesy::EastingNorthing> projected = record.projWGS84.Forward(position);
    if (!projected) continue;  // outside what the map's projection can show
    points.push_back({*px, *py, projected->easting, projected->northing});
  }
  return points;
}

void FitTwoPoint(Map_record& record, const std::vector<UsablePoint>& p) {
  const double dRow = static_cast<double>(p[1].py) - p[0].py;
  const double dColumn = static_cast<double>(p[1].px) - p[0].px;
  if (dRow == 0 || dColumn == 0) throw CalibrationFailed("the two points share a pixel row or column");
  record.scaleY = (p[1].Y - p[0].Y) / dRow;
  record.scaleX = (p[1].X - p[0].X) / dColumn;
  // A latitude/longitude map whose points lie on both sides of 180 degrees
  // measures the longitude difference across that meridian.
  if (record.projWGS84.IsLatLon() && p[0].X > 0 && p[1].X < 0) record.scaleX = (p[1].X + 180 + (180 - p[0].X)) / dColumn;
  record.offsetY = p[0].Y - p[0].py * record.scaleY;
  record.offsetX = p[0].X - p[0].px * record.scaleX;
}

using Matrix3 = std::array<std::array<long double, 3>, 3>;

long double Determinant(const Matrix3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Solves out[i] = c0 u[i] + c1 v[i] + c2 (i = 0..2) by Cramer's rule.
std::array<double, 3> SolveExactAffine(const std::array<long double, 3>& u, const std::array<long double, 3>& v,
                                       const std::array<long double, 3>& out) {
  Matrix3 m{};
  for (int i = 0; i < 3; ++i) m[static_cast<std::size_t>(i)] = {u[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i)], 1.0L};
  const long double det = Determinant(m);
  if (det == 0 || !std::isfinite(static_cast<double>(det))) throw CalibrationFailed("the three points lie on one line");
  std::array<double, 3> c{};
  for (std::size_t col = 0; col < 3; ++col) {
    Matrix3 replaced = m;
    for (std::size_t i = 0; i < 3; ++i) replaced[i][col] = out[i];
    c[col] = static_cast<double>(Determinant(replaced) / det);
  }
  return c;
}

void FitThreePoint(Map_record& record, const std::vector<UsablePoint>& p) {
  std::array<long double, 3> px{}, py{}, X{}, Y{};
  for (std::size_t i = 0; i < 3; ++i) {
    px[i] = p[i].px;
    py[i] = p[i].py;
    X[i] = p[i].X;
    Y[i] = p[i].Y;
  }
  const auto ax = SolveExactAffine(px, py, X), ay = SolveExactAffine(px, py, Y);
  const auto bx = SolveExactAffine(X, Y, px), by = SolveExactAffine(X, Y, py);
  record.affineForward = {ax[0], ax[1], ax[2], ay[0], ay[1], ay[2]};
  record.affineBackward = {bx[0], bx[1], bx[2], by[0], by[1], by[2]};
}

void FitPolynomial(Map_record& record, const std::vector<UsablePoint>& p, int order) {
  std::vector<FitPoint> fit;
  fit.reserve(p.size());
  for (const UsablePoint& u : p) fit.push_back({static_cast<double>(u.px), static_cast<double>(u.py), u.X, u.Y});
  PolynomialCoefficients cX{}, cY{}, dX{}, dY{};
  // A fit that cannot be solved (all points on one line) leaves no usable
  // transform; the map is refused rather than kept with stale coefficients.
  if (PolynomialFit(fit, order, cX, cY, dX, dY) != kFitSuccess)
    throw CalibrationFailed("the points do not fix a polynomial of order " + FormatInt(order));
  auto store = [order](std::array<double, 6>& target, const PolynomialCoefficients& c) {
    target = {c[0], c[1], c[2], 0.0, 0.0, 0.0};
    if (order == 2) target = {c[0], c[1], c[2], c[3], c[4], c[5]};
  };
  store(record.forwardX, cX);
  store(record.forwardY, cY);
  store(record.backwardX, dX);
  store(record.backwardY, dY);
}

// P1 (method '5'): c0 + c1 u + c2 v + c3 u v, c3 being 0; P2 (method '6').
double Polynomial(const std::array<double, 6>& c, char method, double u, double v) {
  if (method == kMethodSecondOrder) return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v;
  return c[0] + c[1] * u + c[2] * v + c[3] * u * v;
}

}  // namespace

std::optional<int> UtmZoneNumber(std::string_view zone) {
  const std::string text = TrimSpaces(zone);
  std::size_t n = 0;
  while (n < text.size() && n < 3 && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == 0) return std::nullopt;
  return TryParseInt(text.substr(0, n));
}

bool CalibrateMap(Map_record& record, const CalibrationPointTable& table,
                  const geodesy::ProjectionCatalogue& catalogue, std::string* cause) {
  const std::string shortName = geodesy::ShortProjectionName(record.projectionName);
  record.method = kMethodNone;
  try {
    const std::string gridCode = TrimSpaces(catalogue.Row(record.projectionIndex).GridCode);
    const std::vector<UsablePoint> points = CollectPoints(record, table, gridCode, shortName);
    const std::size_t n = points.size();
    char method = kMethodNone;
    if (n == 2) method = kMethodTwoPoint;
    if (n == 3) method = kMethodThreePoint;
    if (n >= 4) method = kMethodFirstOrder;
    if (record.polyCal && n > 6) method = kMethodSecondOrder;
    switch (method) {
      case kMethodTwoPoint: FitTwoPoint(record, points); break;
      case kMethodThreePoint: FitThreePoint(record, points); break;
      case kMethodFirstOrder: FitPolynomial(record, points, 1); break;
      case kMethodSecondOrder: FitPolynomial(record, points, 2); break;
      default: break;
    }
    record.method = method;
  } catch (const CalibrationFailed& failure) {
    if (cause != nullptr) *cause = failure.what();
    return false;
  }
  return true;
}

geodesy::EastingNorthing PixelToProjected(const Map_record& r, PixelPoint pixel) {
  const double x = pixel.x, y = pixel.y;
  switch (r.method) {
    case kMethodTwoPoint: return {x * r.scaleX + r.offsetX, y * r.scaleY + r.offsetY};
    case kMethodThreePoint: {
      const auto& a = r.affineForward;
      return {a[0] * x + a[1] * y + a[2], a[3] * x + a[4] * y + a[5]};
    }
    case kMethodFirstOrder:
    case kMethodSecondOrder: {
      // The forward and backward fits are separate least-squares solutions;
      // correcting the forward value by how far its back-projection misses
      // keeps pixel -> projected -> pixel close to the identity.
      double u = x, v = y;
      geodesy::EastingNorthing result{};
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
          u = Polynomial(r.backwardX, r.method, result.easting, result.northing);
          v = Polynomial(r.backwardY, r.method, result.easting, result.northing);
        }
        const double X0 = Polynomial(r.forwardX, r.method, u, v);
        const double Y0 = Polynomial(r.forwardY, r.method, u, v);
        const double bu = Polynomial(r.backwardX, r.method, X0, Y0);
        const double bv = Polynomial(r.backwardY, r.method, X0, Y0);
        result = {2 * X0 - Polynomial(r.forwardX, r.method, bu, bv), 2 * Y0 - Polynomial(r.forwardY, r.method, bu, bv)};
      }
      return result;
    }
    default: return {kNaN, kNaN};
  }
}

PixelPoint ProjectedToPixel(const Map_record& r, geodesy::EastingNorthing projected) {
  const double X = projected.easting, Y = projected.northing;
  switch (r.method) {
    case kMethodTwoPoint: return {(X - r.offsetX) / r.scaleX, (Y - r.offsetY) / r.scaleY};
    case kMethodThreePoint: {
      const auto& b = r.affineBackward;
      return {b[0] * X + b[1] * Y + b[2], b[3] * X + b[4] * Y + b[5]};
    }
    case kMethodFirstOrder:
    case kMethodSecondOrder:
      return {Polynomial(r.backwardX, r.method, X, Y), Polynomial(r.backwardY, r.method, X, Y)};
    default: return {kNaN, kNaN};
  }
}

geodesy::LatLon PixelToLatLon(const Map_record& record, PixelPoint pixel) {
  const geodesy::EastingNorthing p = PixelToProjected(record, pixel);
  if (!std::isfinite(p.easting) || !std::isfinite(p.northing)) return {kNoGeographicPosition, kNoGeographicPosition};
  const std::optional<LatLon> g = record.projWGS84.Inverse(p);
  if (!g) return {kNoGeographicPosition, kNoGeographicPosition};
  return *g;
}

PixelPosition LatLonToPixel(const Map_record& record, LatLon position) {
  const std::optional<geodesy::EastingNorthing> p = record.projWGS84.Forward(position);
  if (!p) return {kNoPixelPosition, kNoPixelPosition};
  const PixelPoint pixel = ProjectedToPixel(record, *p);
  if (!std::isfinite(pixel.x) || !std::isfinite(pixel.y)) return {kNoPixelPosition, kNoPixelPosition};
  return {RoundHalfEvenToInt(pixel.x), RoundHalfEvenToInt(pixel.y)};
}

BorderPlacement PlacementIn(const geodesy::Projection& destination) {
  if (destination.IsLatLon()) return DegreesOf;
  return [destination](const BorderPoint& point) {
    const std::optional<geodesy::EastingNorthing> p = destination.Forward({point.latitude, point.longitude});
    return p ? PlanePoint{p->easting, p->northing} : PlanePoint{kNaN, kNaN};
  };
}

ProjectedExtent MapExtentInProjection(const Map_record& record, const geodesy::Projection& destination) {
  if (destination.IsLatLon()) return BorderExtent(record.border, DegreesOf, kNoDegreesExtent);
  return BorderExtent(record.border, PlacementIn(destination));
}

void ComputeScale(Map_record& record) {
  const ProjectedExtent degrees = BorderExtent(record.border, DegreesOf, kNoDegreesExtent);
  const PixelPosition centre = LatLonToPixel(
      record, {.latitude = (degrees.maxY + degrees.minY) / 2, .longitude = (degrees.minX + degrees.maxX) / 2});
  const PixelPoint centrePoint = PointOf(centre);
  const LatLon a = PixelToLatLon(record, centrePoint);
  const LatLon b = PixelToLatLon(record, {centrePoint.x + 200.0, centrePoint.y});
  double mpp = geodesy::GreatCircleDistance(a, b) / 200;
  const bool placed = a.latitude != kNoGeographicPosition && b.latitude != kNoGeographicPosition;
  if (placed && !record.projWGS84.IsLatLon()) {
    const geodesy::UTMReference utmA = geodesy::LatLonToUTM(record.wgs84Datum, a.latitude, a.longitude);
    const geodesy::UTMReference utmB = geodesy::LatLonToUTM(record.wgs84Datum, b.latitude, b.longitude);
    if (utmA.zone == utmB.zone) mpp = std::fabs(utmB.easting - utmA.easting) / 200;
  }
  record.metresPerPixel = mpp;
}

}  // namespace quiltor
