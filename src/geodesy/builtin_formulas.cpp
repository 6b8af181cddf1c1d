#include "geodesy/builtin_formulas.h"

#include <cmath>

namespace quiltor::geodesy {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kQuarterPi = kPi / 4.0;
constexpr double kHalfPi = kPi / 2.0;

// arcsin that clamps arguments beyond +-1 instead of failing.
double aasin(double v) {
  if (std::fabs(v) >= 1.0) return v < 0.0 ? -kHalfPi : kHalfPi;
  return std::asin(v);
}

// Oblique Mercator set-up of the Swiss grid; depends only on the ellipsoid.
struct SwissSetup {
  double e, hlfE, c, K, kR, sinp0, cosp0;
};

SwissSetup MakeSwissSetup(const Ellipsoid& ell) {
  SwissSetup s{};
  const double es = ell.e2;
  const double phi0 = kSwissLatOrigin * kDegToRad;
  s.e = std::sqrt(es);
  s.hlfE = 0.5 * s.e;
  const double cp = std::cos(phi0);
  s.c = std::sqrt(1.0 + es * cp * cp * cp * cp / (1.0 - es));
  s.sinp0 = std::sin(phi0) / s.c;
  const double phip0 = aasin(s.sinp0);
  s.cosp0 = std::cos(phip0);
  const double sp = s.e * std::sin(phi0);
  s.K = std::log(std::tan(kQuarterPi + 0.5 * phip0)) -
        s.c * (std::log(std::tan(kQuarterPi + 0.5 * phi0)) - s.hlfE * std::log((1.0 + sp) / (1.0 - sp)));
  s.kR = kSwissScale * std::sqrt(1.0 - es) / (1.0 - sp * sp);
  return s;
}

// sqrt((1+e)^(1+e) * (1-e)^(1-e)), the polar stereographic scale term.
double PolarTerm(double e) { return std::sqrt(std::pow(1.0 + e, 1.0 + e) * std::pow(1.0 - e, 1.0 - e)); }

}  // namespace

std::optional<EastingNorthing> SwissForward(const Ellipsoid& ell, double latitude, double longitude) {
  if (!(longitude >= kSwissMinLon && longitude <= kSwissMaxLon && latitude >= kSwissMinLat && latitude <= kSwissMaxLat)) {
    return std::nullopt;
  }
  const SwissSetup s = MakeSwissSetup(ell);
  const double phi = latitude * kDegToRad;
  const double lam = (longitude - kSwissCentralMeridian) * kDegToRad;
  const double sp = s.e * std::sin(phi);
  const double phip =
      2.0 * std::atan(std::exp(s.c * (std::log(std::tan(kQuarterPi + 0.5 * phi)) - s.hlfE * std::log((1.0 + sp) / (1.0 - sp))) +
                               s.K)) -
      kHalfPi;
  const double lamp = s.c * lam;
  const double cp = std::cos(phip);
  const double phipp = aasin(s.cosp0 * std::sin(phip) - s.sinp0 * cp * std::cos(lamp));
  const double lampp = aasin(cp * std::sin(lamp) / std::cos(phipp));
  return EastingNorthing{ell.a * s.kR * lampp + kSwissFalseEasting,
                         ell.a * s.kR * std::log(std::tan(kQuarterPi + 0.5 * phipp)) + kSwissFalseNorthing};
}

std::optional<LatLon> SwissInverse(const Ellipsoid& ell, double easting, double northing) {
  const SwissSetup s = MakeSwissSetup(ell);
  const double x = (easting - kSwissFalseEasting) / ell.a;
  const double y = (northing - kSwissFalseNorthing) / ell.a;
  const double phipp = 2.0 * (std::atan(std::exp(y / s.kR)) - kQuarterPi);
  const double lampp = x / s.kR;
  const double cp = std::cos(phipp);
  const double phip = aasin(s.cosp0 * std::sin(phipp) + s.sinp0 * cp * std::cos(lampp));
  const double lamp = aasin(cp * std::sin(lampp) / std::cos(phip));
  const double con = (s.K - std::log(std::tan(kQuarterPi + 0.5 * phip))) / s.c;
  double phi = phip;
  for (int i = 0; i < kSwissInverseSteps; ++i) {
    const double esp = s.e * std::sin(phi);
    const double delta = (con + std::log(std::tan(kQuarterPi + 0.5 * phi)) - s.hlfE * std::log((1.0 + esp) / (1.0 - esp))) *
                         (1.0 - esp * esp) * std::cos(phi) / (1.0 - ell.e2);
    phi -= delta;
    if (std::fabs(delta) < kSwissInverseTolerance) {
      return LatLon{phi * kRadToDeg, (lamp / s.c) * kRadToDeg + kSwissCentralMeridian};
    }
  }
  return std::nullopt;
}

double MeridianArc(double e2, double a, double phi) {
  if (phi == 0.0) return 0.0;
  const double e4 = e2 * e2, e6 = e4 * e2;
  return a * ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * phi -
              (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * std::sin(2.0 * phi) +
              (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * std::sin(4.0 * phi) - (35.0 * e6 / 3072.0) * std::sin(6.0 * phi));
}

TMPoint TMForward(const Ellipsoid& ell, double latitude, double longitude, double latOrigin, double centralMeridian,
                  double scale) {
  const double e2 = ell.e2, a = ell.a;
  const double phi = latitude * kDegToRad, lam = longitude * kDegToRad;
  const double phi0 = latOrigin * kDegToRad, lam0 = centralMeridian * kDegToRad;
  const double m0 = MeridianArc(e2, a, phi0), m = MeridianArc(e2, a, phi);
  const double ep2 = e2 / (1.0 - e2);
  const double sinPhi = std::sin(phi), cosPhi = std::cos(phi), tanPhi = std::tan(phi);
  const double n = a / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
  const double t = tanPhi * tanPhi;
  const double c = ep2 * cosPhi * cosPhi;
  const double A = cosPhi * (lam - lam0);
  const double A2 = A * A, A3 = A2 * A, A4 = A3 * A, A5 = A4 * A, A6 = A5 * A;
  const double x = scale * n * (A + (1.0 - t + c) * A3 / 6.0 + (5.0 - 18.0 * t + t * t + 72.0 * c - 58.0 * ep2) * A5 / 120.0);
  const double y = scale * ((m - m0) + n * tanPhi *
                                           (A2 / 2.0 + (5.0 - t + 9.0 * c + 4.0 * c * c) * A4 / 24.0 +
                                            (61.0 - 58.0 * t + t * t + 600.0 * c - 330.0 * ep2) * A6 / 720.0));
  return {x, y};
}

LatLon TMInverse(const Ellipsoid& ell, double x, double y, double latOrigin, double centralMeridian, double scale) {
  const double e2 = ell.e2, a = ell.a;
  const double e4 = e2 * e2, e6 = e4 * e2;
  const double m = MeridianArc(e2, a, latOrigin * kDegToRad) + y / scale;
  const double ep2 = e2 / (1.0 - e2);
  const double root = std::sqrt(1.0 - e2);
  const double e1 = (1.0 - root) / (1.0 + root);
  const double e1_2 = e1 * e1, e1_3 = e1_2 * e1, e1_4 = e1_3 * e1;
  const double mu = m / (a * (1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0));
  const double phi1 = mu + (3.0 * e1 / 2.0 - 27.0 * e1_3 / 32.0) * std::sin(2.0 * mu) +
                      (21.0 * e1_2 / 16.0 - 55.0 * e1_4 / 32.0) * std::sin(4.0 * mu) +
                      (151.0 * e1_3 / 96.0) * std::sin(6.0 * mu) + (1097.0 * e1_4 / 512.0) * std::sin(8.0 * mu);
  const double sin1 = std::sin(phi1), cos1 = std::cos(phi1), tan1 = std::tan(phi1);
  const double c1 = ep2 * cos1 * cos1;
  const double t1 = tan1 * tan1;
  const double w = 1.0 - e2 * sin1 * sin1;
  const double n1 = a / std::sqrt(w);
  const double r1 = a * (1.0 - e2) / std::pow(w, 1.5);
  const double d = x / (scale * n1);
  const double d2 = d * d, d3 = d2 * d, d4 = d3 * d, d5 = d4 * d, d6 = d5 * d;
  const double lat = phi1 - (n1 * tan1 / r1) *
                                (d2 / 2.0 - (5.0 + 3.0 * t1 + 10.0 * c1 - 4.0 * c1 * c1 - 9.0 * ep2) * d4 / 24.0 +
                                 (61.0 + 90.0 * t1 + 298.0 * c1 + 45.0 * t1 * t1 - 252.0 * ep2 - 3.0 * c1 * c1) * d6 / 720.0);
  const double lon =
      (d - (1.0 + 2.0 * t1 + c1) * d3 / 6.0 + (5.0 - 2.0 * c1 + 28.0 * t1 - 3.0 * c1 * c1 + 8.0 * ep2 + 24.0 * t1 * t1) * d5 / 120.0) /
      cos1;
  return {lat * kRadToDeg, centralMeridian + lon * kRadToDeg};
}

EastingNorthing UPSForward(const Ellipsoid& ell, double latitude, double longitude) {
  const double e = std::sqrt(ell.e2);
  const double lam = longitude * kDegToRad;
  const double phi = std::fabs(latitude) * kDegToRad;
  const double es = e * std::sin(phi);
  const double t = std::tan(kQuarterPi - phi / 2.0) / std::pow((1.0 - es) / (1.0 + es), e / 2.0);
  const double rho = 2.0 * ell.a * kUpsScale * t / PolarTerm(e);
  double northing = rho * std::cos(lam);
  if (latitude > 0.0) northing = -northing;
  return {rho * std::sin(lam) + kUpsFalseOrigin, northing + kUpsFalseOrigin};
}

LatLon UPSInverse(bool south, const Ellipsoid& ell, double easting, double northing) {
  const double e = std::sqrt(ell.e2);
  const double x = easting - kUpsFalseOrigin, y = northing - kUpsFalseOrigin;
  const double rho = std::sqrt(x * x + y * y);
  const double t = rho * PolarTerm(e) / (2.0 * ell.a * kUpsScale);
  double phi = kHalfPi - 2.0 * std::atan(t);
  for (int i = 0; i < kUpsInverseSteps; ++i) {
    const double es = e * std::sin(phi);
    const double next = kHalfPi - 2.0 * std::atan(t * std::pow((1.0 - es) / (1.0 + es), e / 2.0));
    const bool done = std::fabs(next - phi) <= kUpsInverseTolerance * std::fabs(next);
    phi = next;
    if (done) break;
  }
  const double lam = south ? std::atan2(x, y) : std::atan2(x, -y);
  return {(south ? -phi : phi) * kRadToDeg, lam * kRadToDeg};
}

std::optional<EastingNorthing> SwissForward(std::int32_t datum, double latitude, double longitude) {
  return SwissForward(EllipsoidOfDatum(datum), latitude, longitude);
}
std::optional<LatLon> SwissInverse(std::int32_t datum, double easting, double northing) {
  return SwissInverse(EllipsoidOfDatum(datum), easting, northing);
}
TMPoint TMForward(std::int32_t datum, double latitude, double longitude, double latOrigin, double centralMeridian,
                  double scale) {
  return TMForward(EllipsoidOfDatum(datum), latitude, longitude, latOrigin, centralMeridian, scale);
}
LatLon TMInverse(std::int32_t datum, double x, double y, double latOrigin, double centralMeridian, double scale) {
  return TMInverse(EllipsoidOfDatum(datum), x, y, latOrigin, centralMeridian, scale);
}
EastingNorthing UPSForward(std::int32_t datum, double latitude, double longitude) {
  return UPSForward(EllipsoidOfDatum(datum), latitude, longitude);
}
LatLon UPSInverse(bool south, std::int32_t datum, double easting, double northing) {
  return UPSInverse(south, EllipsoidOfDatum(datum), easting, northing);
}

}  // namespace quiltor::geodesy
