#pragma once
// Grid references: UTM (with the polar UPS zones), the British national grid
// with its two-letter 100 km squares and the Irish grid with its one-letter
// squares, converted to latitude/longitude on a datum's ellipsoid (and UTM
// back). The result is on the datum passed in; convert it to WGS 84 with
// ConvertDatum when needed.
//
// None of these reports an error: unusable British references give 0, 0,
// unusable Irish references give the Irish true origin 53.5, -8, and UTM
// references are converted whatever their values (zone number 0 selects
// the polar zones). Pure functions, safe on any thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "geodesy/builtin_formulas.h"
#include "geodesy/datum.h"

namespace quiltor::geodesy {

struct GridConstants {
  double latOrigin;        // degrees
  double centralMeridian;  // degrees (UTM: zone * 6 - 183)
  double scale;
  double falseEasting;   // metres
  double falseNorthing;  // metres
};
constexpr double kUtmScale = 0.9996;
constexpr double kUtmFalseEasting = 500000.0;
constexpr double kUtmSouthFalseNorthing = 10000000.0;
constexpr GridConstants kBritishGrid{49.0, -2.0, 0.9996012717, 400000.0, -100000.0};
constexpr GridConstants kIrishGrid{53.5, -8.0, 1.000035, 200000.0, 250000.0};

// British grid letters: position in the text = square index (index mod 5 is
// the column eastwards, index div 5 the row northwards).
constexpr std::string_view kBritishFirstLetters = "STUQRNOPLMHJKFGCDEABXYZVW";   // 500 km squares
constexpr std::string_view kBritishSecondLetters = "VWXYZQRSTULMNOPFGHJKABCDE";  // 100 km squares

struct UTMReference {
  std::string zone;  // e.g. "30U", "56H", "32V"; polar zones "  Z", "  Y", "  B", "  A"
  double easting;    // metres, false easting included
  double northing;   // metres, 10000000 added in the south
};

// Zone text: zone number digits then the band letter ("56H"); a letter alone
// ("Z", "A") is a polar zone. Band letters A..M are southern; hemisphere
// "N" or "S" (exactly) overrides the letter. Easting/northing in metres.
// Latitude and longitude (degrees) are rounded to 5 decimals, halves to even.
LatLon UTMToLatLon(std::string_view zone, std::string_view hemisphere, const Ellipsoid& ell, double easting,
                   double northing);
LatLon UTMToLatLon(std::string_view zone, std::string_view hemisphere, std::int32_t datum, double easting,
                   double northing);

// Letters "TQ" etc.; easting/northing in metres within the 100 km square
// (0..100000). Empty letters, "--" or an offset outside the square give 0, 0.
LatLon BNGToLatLon(std::string_view letters, const Ellipsoid& ell, double easting, double northing);
LatLon BNGToLatLon(std::string_view letters, std::int32_t datum, double easting, double northing);

// Letter "O" etc.; easting/northing in metres within the 100 km square.
// An unusable reference gives the true origin 53.5, -8.
LatLon IGToLatLon(std::string_view letter, const Ellipsoid& ell, double easting, double northing);
LatLon IGToLatLon(std::string_view letter, std::int32_t datum, double easting, double northing);

// Latitude/longitude in degrees to the UTM zone text, easting and northing
// (metres), with the Norway and Svalbard exceptions and the polar zones
// beyond latitude -80 and 84.
UTMReference LatLonToUTM(const Ellipsoid& ell, double latitude, double longitude);
UTMReference LatLonToUTM(std::int32_t datum, double latitude, double longitude);

}  // namespace quiltor::geodesy
