#pragma once
// Projections computed here rather than by the projection library: the Swiss
// oblique Mercator (the Swiss grid), the ellipsoidal transverse Mercator
// series (UTM, British and Irish grids) and the universal polar
// stereographic (the polar UTM zones).
//
// Every function is pure: set-up values are derived per call from the
// ellipsoid, nothing is kept between calls, and all may run on any thread.
// Interfaces are in decimal degrees and metres; radians inside. Each
// function comes in two forms: on an Ellipsoid, and on a datum index of
// Datums() (whose ellipsoid is used).
#include <cstdint>
#include <optional>

#include "geodesy/datum.h"

namespace quiltor::geodesy {

struct EastingNorthing {
  double easting;   // metres
  double northing;  // metres
};

struct LatLon {
  double latitude;   // degrees, north positive
  double longitude;  // degrees, east positive
};

// Transverse Mercator plane coordinates measured from the central meridian
// (x) and from the latitude of origin (y), without any false origin.
struct TMPoint {
  double x;  // metres
  double y;  // metres
};

// The degree to radian factor used throughout, and its inverse.
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

// Swiss grid constants.
constexpr double kSwissLatOrigin = 46.952405555;      // degrees
constexpr double kSwissCentralMeridian = 7.439583333;  // degrees
constexpr double kSwissScale = 1.0;
constexpr double kSwissFalseEasting = 600000.0;   // metres
constexpr double kSwissFalseNorthing = 200000.0;  // metres
constexpr double kSwissMinLon = 5.0, kSwissMaxLon = 20.0;  // forward domain, degrees
constexpr double kSwissMinLat = 40.0, kSwissMaxLat = 50.0;
constexpr int kSwissInverseSteps = 6;
constexpr double kSwissInverseTolerance = 1e-10;  // radians

// Polar stereographic constants.
constexpr double kUpsScale = 0.994;
constexpr double kUpsFalseOrigin = 2000000.0;  // false easting and northing, metres
constexpr int kUpsInverseSteps = 20;
constexpr double kUpsInverseTolerance = 1e-8;  // relative

// Swiss oblique Mercator. Forward gives nothing outside longitude 5..20,
// latitude 40..50 (inclusive). Easting/northing include the false origin.
std::optional<EastingNorthing> SwissForward(const Ellipsoid& ell, double latitude, double longitude);
std::optional<EastingNorthing> SwissForward(std::int32_t datum, double latitude, double longitude);
// Inverse; nothing when 6 steps do not converge.
std::optional<LatLon> SwissInverse(const Ellipsoid& ell, double easting, double northing);
std::optional<LatLon> SwissInverse(std::int32_t datum, double easting, double northing);

// Distance along the meridian from the equator to latitude `phi` (radians),
// metres; exactly 0 for phi 0. `e2` is the eccentricity squared, `a` the
// semi-major axis in metres.
double MeridianArc(double e2, double a, double phi);

// Transverse Mercator series to the sixth power: lat/lon, latitude of
// origin and central meridian in degrees, dimensionless scale factor.
// Accurate near the central meridian; loses accuracy far from it.
TMPoint TMForward(const Ellipsoid& ell, double latitude, double longitude, double latOrigin, double centralMeridian,
                  double scale);
TMPoint TMForward(std::int32_t datum, double latitude, double longitude, double latOrigin, double centralMeridian,
                  double scale);
// Inverse of TMForward: x, y in metres measured as TMForward gives them.
LatLon TMInverse(const Ellipsoid& ell, double x, double y, double latOrigin, double centralMeridian, double scale);
LatLon TMInverse(std::int32_t datum, double x, double y, double latOrigin, double centralMeridian, double scale);

// Universal polar stereographic; the hemisphere follows the sign of the
// latitude. Easting/northing include the false origin of 2000000 m.
EastingNorthing UPSForward(const Ellipsoid& ell, double latitude, double longitude);
EastingNorthing UPSForward(std::int32_t datum, double latitude, double longitude);
// Inverse for the south (south = true) or north zone; returns the last
// iterate when 20 steps do not reach the tolerance.
LatLon UPSInverse(bool south, const Ellipsoid& ell, double easting, double northing);
LatLon UPSInverse(bool south, std::int32_t datum, double easting, double northing);

}  // namespace quiltor::geodesy
