#include "catalogue/map_file_writer.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <optional>

#include "common/error.h"
#include "common/paths.h"
#include "common/resample_grid.h"
#include "common/text.h"
#include "geodesy/datum.h"
#include "raster/byte_file.h"

namespace quiltor {

namespace {

struct Corner {
  double lat = 0;
  double lon = 0;
};

std::string Int(std::int64_t value, int width) {
  std::string text = FormatInt(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

const char* LatHemisphere(double lat) { return lat >= 0 ? "N" : "S"; }
const char* LonHemisphere(double lon) { return lon >= 0 ? "E" : "W"; }

// Degrees and minutes fields of one value: "  51, 30.1250".
std::string DegreesMinutes(double value) {
  const double a = std::fabs(value);
  const double whole = std::trunc(a);
  return Int(static_cast<std::int64_t>(whole), 4) + "," + FormatFixedWidth((a - whole) * 60.0, 8, 4);
}

std::array<Corner, 4> CornerPositions(double west, double east, double north, double south,
                                      const MapFileDestination& d) {
  const std::array<std::pair<double, double>, 4> xy = {{{west, north}, {east, north}, {east, south}, {west, south}}};
  std::array<Corner, 4> corners{};
  const auto wgs84 = geodesy::WGS84Datum();
  for (std::size_t k = 0; k < 4; ++k) {
    const std::optional<geodesy::LatLon> ll = d.projection.Inverse({xy[k].first, xy[k].second});
    if (!ll) throw QuiltorError("a corner of the map has no latitude/longitude in the destination projection");
    corners[k] = {ll->latitude, ll->longitude};
    geodesy::ConvertDatum(wgs84, d.datum, corners[k].lat, corners[k].lon);
    corners[k].lat = RoundAwayFullMinute(corners[k].lat);
    corners[k].lon = RoundAwayFullMinute(corners[k].lon);
  }
  return corners;
}

// Where pixel `written` (one past the last) of the resized side lies, as a
// fraction of the grid side of `gridLength` pixels.
double EdgeFraction(std::int32_t gridLength, std::int32_t written) {
  if (gridLength <= 0) return 1.0;
  return static_cast<double>(ResampledSourcePosition(written, gridLength, written)) / gridLength;
}

std::string SetupValue(double value, int width, int decimals) {
  return value == geodesy::kParameterNotSet ? std::string() : FormatFixedWidth(value, width, decimals);
}

// The grid zone field of point 1. A UTM map's zone is otherwise guessed by
// the reader from the mean border longitude, which names the neighbouring
// zone for a map that lies outside its own zone's six-degree band (a zone 32
// map of eastern Germany would read back on meridian 15, not 9). Point 1 sits
// at pixel (0, 0), so the reader takes the zone from it; its latitude and
// longitude still calibrate the point, as the grid easting and northing stay
// empty.
std::string FirstPointZone(const MapFileDestination& d) {
  if (!d.projection.IsUtm()) return "   ";
  const double zone = (d.projection.Setup().utmlon0 + 183.0) / 6.0;
  if (!(zone >= 1 && zone <= 60) || zone != std::floor(zone)) return "   ";
  return Int(static_cast<std::int64_t>(zone), 3);
}

std::vector<std::string> MapFileLines(const std::string& basePath, std::int32_t w, std::int32_t h,
                                      const std::array<Corner, 4>& c, const MapFileDestination& d) {
  std::vector<std::string> lines;
  lines.push_back("Tervane Map Data File Version 2.2");
  lines.push_back(FileNamePart(basePath));
  lines.push_back(ChangeExtension(basePath, d.imageExtension));
  lines.push_back("1 ,Map Code,");
  lines.push_back((geodesy::Datums().Row(d.datum).name + ",,0.0000,0.0000,").substr(0, 56));
  lines.push_back("Reserved 1");
  lines.push_back("Reserved 2");
  lines.push_back("Magnetic Variation,,,E");
  lines.push_back("Map Projection," + d.projection.DisplayName() + ",PolyCal,No,AutoCalOnly,No,BSBUseWPX,No");
  const std::array<std::pair<std::int32_t, std::int32_t>, 4> pixels = {{{0, 0}, {w, 0}, {w, h}, {0, h}}};
  for (std::size_t k = 0; k < 4; ++k) {
    lines.push_back("Point0" + FormatInt(static_cast<int>(k) + 1) + ",xy," + Int(pixels[k].first, 5) + "," +
                    Int(pixels[k].second, 5) + ",in, deg," + DegreesMinutes(c[k].lat) + "," + LatHemisphere(c[k].lat) +
                    "," + DegreesMinutes(c[k].lon) + "," + LonHemisphere(c[k].lon) +
                    ", grid," + (k == 0 ? FirstPointZone(d) : std::string("   ")) + ",           ,           ,N");
  }
  for (int n = 5; n <= 30; ++n) {
    lines.push_back("Point" + ZeroPad(FormatInt(n), 2) + ",xy,     ,     ,in, deg,    ,        ," +
                    LatHemisphere(c[3].lat) + ",    ,        ," + LonHemisphere(c[3].lon) +
                    ", grid,   ,           ,           ,N");
  }
  const auto& s = d.projection.Setup();
  lines.push_back("Projection Setup," + SetupValue(s.lat0, 16, 9) + "," + SetupValue(s.lon0, 16, 9) + "," +
                  SetupValue(s.k0, 16, 9) + "," + SetupValue(s.x0, 16, 2) + "," + SetupValue(s.y0, 16, 2) + "," +
                  SetupValue(s.lat1, 16, 9) + "," + SetupValue(s.lat2, 16, 9) + "," + SetupValue(s.height, 12, 0) +
                  ",");
  lines.push_back("Map Feature = MF ; Map Comment = MC     These follow if they exist");
  lines.push_back("Track File = TF      These follow if they exist");
  lines.push_back("Moving Map Parameters = MM?    These follow if they exist");
  lines.push_back("MM0,Yes");
  lines.push_back("MMPNUM,4");
  for (std::size_t k = 0; k < 4; ++k) {
    lines.push_back("MMPXY," + FormatInt(static_cast<int>(k) + 1) + "," + FormatInt(pixels[k].first) + "," +
                    FormatInt(pixels[k].second));
  }
  for (std::size_t k = 0; k < 4; ++k) {
    lines.push_back("MMPLL," + FormatInt(static_cast<int>(k) + 1) + "," + FormatFixedWidth(c[k].lon, 11, 6) + "," +
                    FormatFixedWidth(c[k].lat, 11, 6));
  }
  lines.push_back("MM1B," + FormatFixedWidth(ParseDecimal(d.metersPerPixelText), 8, 6));
  lines.push_back("MOP,Map Open Position,0,0");
  lines.push_back("IWH,Map Image Width/Height," + FormatInt(w) + "," + FormatInt(h));
  return lines;
}

}  // namespace

double RoundAwayFullMinute(double degrees) {
  const double whole = std::trunc(degrees);
  if (std::fabs(degrees - whole) * 60.0 >= 59.99995) return (degrees >= 0 ? 1.0 : -1.0) * (std::fabs(whole) + 1.0);
  return degrees;
}

std::unique_ptr<PendingFile> PrepareMapFile(const std::string& basePath, std::int32_t width, std::int32_t height,
                                            double west, double east, double north, double south,
                                            std::int32_t resizePercent, const MapFileDestination& destination) {
  // The written image is the grid resized as the tiled conversion resizes
  // it, and its far corner is where the resampler puts pixel (w, h): with a
  // resize that is not the grid's edge, since the first and last pixels of
  // both images coincide.
  const std::int32_t w = ResampledLength(width, resizePercent);
  const std::int32_t h = ResampledLength(height, resizePercent);
  const double farX = west + (east - west) * EdgeFraction(width, w);
  const double farY = north + (south - north) * EdgeFraction(height, h);
  const auto corners = CornerPositions(west, farX, north, farY, destination);
  const std::string mapPath = ChangeExtension(basePath, ".map");
  std::error_code ec;
  const auto status = std::filesystem::status(mapPath, ec);
  if (std::filesystem::exists(status)) {
    if (!std::filesystem::is_regular_file(status)) throw QuiltorError(mapPath + " exists and is not a regular file");
    using std::filesystem::perms;
    if ((status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none)
      throw QuiltorError(mapPath + " is read-only");
  }
  auto pending = std::make_unique<PendingFile>(mapPath);
  std::string text;
  for (const auto& line : MapFileLines(basePath, w, h, corners, destination)) text += line + "\r\n";
  ByteFile out(pending->temporaryPath(), "wb", mapPath);
  out.Write(text.data(), text.size());
  out.Close();
  return pending;
}

bool WriteMapFile(const std::string& basePath, std::int32_t width, std::int32_t height, double west, double east,
                  double north, double south, std::int32_t resizePercent, const MapFileDestination& destination) {
  PrepareMapFile(basePath, width, height, west, east, north, south, resizePercent, destination)->Commit();
  return true;
}

}  // namespace quiltor
