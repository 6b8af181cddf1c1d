#include "geodesy/grids.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/rounding.h"
#include "common/text.h"

namespace quiltor::geodesy {
namespace {

constexpr double kSquare = 100000.0;  // metres, side of a lettered grid square
constexpr std::array<std::string_view, 5> kIrishRows = {"VWXY", "QRST", "LMNO", "FGHJ", "ABCD"};  // south to north
constexpr int kMaxZoneDigits = 5;

bool InsideSquare(double easting, double northing) {
  return easting >= 0.0 && easting <= kSquare && northing >= 0.0 && northing <= kSquare;
}

// Index of the first character of `text` at position `at` in `letters`, -1
// when absent (or when the text is too short).
int LetterIndex(std::string_view letters, std::string_view text, std::size_t at) {
  if (at >= text.size()) return -1;
  const std::size_t found = letters.find(text[at]);
  return found == std::string_view::npos ? -1 : static_cast<int>(found);
}

struct UtmZoneText {
  int zone = 0;
  char band = ' ';
};

UtmZoneText ReadZoneText(std::string_view zoneText) {
  const std::string zone = TrimSpaces(zoneText);
  UtmZoneText result;
  std::size_t letterAt = zone.size();
  for (std::size_t i = 0; i < zone.size(); ++i) {
    if (zone[i] >= 'A' && zone[i] <= 'Z') {
      result.band = zone[i];
      letterAt = i;
      break;
    }
  }
  int digits = 0;
  for (std::size_t i = 0; i < letterAt && digits < kMaxZoneDigits; ++i) {
    if (zone[i] >= '0' && zone[i] <= '9') {
      result.zone = result.zone * 10 + (zone[i] - '0');
      ++digits;
    }
  }
  return result;
}

}  // namespace

LatLon UTMToLatLon(std::string_view zone, std::string_view hemisphere, const Ellipsoid& ell, double easting,
                   double northing) {
  const UtmZoneText z = ReadZoneText(zone);
  bool south = z.band >= 'A' && z.band <= 'M';
  if (hemisphere == "N") south = false;
  if (hemisphere == "S") south = true;
  LatLon result;
  if (z.zone != 0) {
    const double centralMeridian = z.zone * 6.0 - 183.0;
    const double y = south ? kUtmSouthFalseNorthing - northing : northing;
    result = TMInverse(ell, easting - kUtmFalseEasting, y, 0.0, centralMeridian, kUtmScale);
    if (south) result.latitude = -result.latitude;
  } else {
    result = UPSInverse(south, ell, easting, northing);
  }
  return {RoundToMultiple(result.latitude, 0.00001), RoundToMultiple(result.longitude, 0.00001)};
}

LatLon BNGToLatLon(std::string_view letters, const Ellipsoid& ell, double easting, double northing) {
  if (letters.empty() || letters == "--" || !InsideSquare(easting, northing)) return {0.0, 0.0};
  // Absent letters count as -1; truncating division and remainder then give
  // column -1, row 0, as existing calibration files have been read.
  const int g = LetterIndex(kBritishFirstLetters, letters, 0);
  const int s = LetterIndex(kBritishSecondLetters, letters, 1);
  const double e = easting + (g % 5) * 500000.0 + (s % 5) * kSquare;
  const double n = northing + (g / 5) * 500000.0 + (s / 5) * kSquare;
  return TMInverse(ell, e - kBritishGrid.falseEasting, n - kBritishGrid.falseNorthing, kBritishGrid.latOrigin,
                   kBritishGrid.centralMeridian, kBritishGrid.scale);
}

LatLon IGToLatLon(std::string_view letter, const Ellipsoid& ell, double easting, double northing) {
  double e = kIrishGrid.falseEasting, n = kIrishGrid.falseNorthing;
  if (!letter.empty() && letter != "--" && InsideSquare(easting, northing)) {
    for (std::size_t row = 0; row < kIrishRows.size(); ++row) {
      const std::size_t column = kIrishRows[row].find(letter[0]);
      if (column == std::string_view::npos) continue;
      e = easting + static_cast<double>(column) * kSquare;
      n = northing + static_cast<double>(row) * kSquare;
      break;
    }
  }
  return TMInverse(ell, e - kIrishGrid.falseEasting, n - kIrishGrid.falseNorthing, kIrishGrid.latOrigin,
                   kIrishGrid.centralMeridian, kIrishGrid.scale);
}

UTMReference LatLonToUTM(const Ellipsoid& ell, double latitude, double longitude) {
  // No zone exists for a position that is not a number.
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return {"", 0.0, 0.0};
  if (latitude < -80.0 || latitude > 84.0) {
    const bool east = longitude >= 0.0;
    const char letter = latitude > 0.0 ? (east ? 'Z' : 'Y') : (east ? 'B' : 'A');
    const EastingNorthing en = UPSForward(ell, latitude, longitude);
    return {std::string("  ") + letter, en.easting, en.northing};
  }
  std::string zone;
  double centralMeridian = 0.0;
  if (latitude > 72.0 && longitude >= 0.0 && longitude < 42.0) {
    if (longitude < 9.0) {
      zone = "31X", centralMeridian = 3.0;
    } else if (longitude < 21.0) {
      zone = "33X", centralMeridian = 15.0;
    } else if (longitude < 33.0) {
      zone = "35X", centralMeridian = 27.0;
    } else {
      zone = "37X", centralMeridian = 39.0;
    }
  } else {
    char band = static_cast<char>('C' + static_cast<int>(std::trunc((latitude + 80.0) / 8.0)));
    if (band > 'H') ++band;
    if (band > 'N') ++band;
    if (latitude > 72.0) band = 'X';
    // Longitudes far outside -180..180 are not wrapped, but kept from
    // overflowing the zone number.
    const double lon = std::clamp(longitude, -1e9, 1e9);
    centralMeridian = std::floor(lon / 6.0) * 6.0 + 3.0;
    zone = FormatInt(static_cast<std::int64_t>(std::trunc((centralMeridian + 183.0) / 6.0))) + band;
    if (zone == "31V" && longitude >= 3.0) zone = "32V", centralMeridian = 9.0;
  }
  const TMPoint p = TMForward(ell, latitude, longitude, 0.0, centralMeridian, kUtmScale);
  return {zone, p.x + kUtmFalseEasting, latitude < 0.0 ? p.y + kUtmSouthFalseNorthing : p.y};
}

LatLon UTMToLatLon(std::string_view zone, std::string_view hemisphere, std::int32_t datum, double easting,
                   double northing) {
  return UTMToLatLon(zone, hemisphere, EllipsoidOfDatum(datum), easting, northing);
}
LatLon BNGToLatLon(std::string_view letters, std::int32_t datum, double easting, double northing) {
  return BNGToLatLon(letters, EllipsoidOfDatum(datum), easting, northing);
}
LatLon IGToLatLon(std::string_view letter, std::int32_t datum, double easting, double northing) {
  return IGToLatLon(letter, EllipsoidOfDatum(datum), easting, northing);
}
UTMReference LatLonToUTM(std::int32_t datum, double latitude, double longitude) {
  return LatLonToUTM(EllipsoidOfDatum(datum), latitude, longitude);
}

}  // namespace quiltor::geodesy
