// quiltor-cli info: what the program understood of one ".map" file (its
// projection, datum, calibration method, scale, image and border) and the
// conversion of pixels and positions through its calibration.
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/map_list.h"
#include "catalogue/raster_image_queries.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "common/text.h"
#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace quiltor::cli {

namespace {

// One --pixel or --latlon conversion, in the order given.
struct PointQuery {
  bool fromPixel = true;
  double a = 0, b = 0;  // x, y for a pixel; latitude, longitude otherwise
};

struct Conversion {
  double x = 0, y = 0, latitude = 0, longitude = 0;
  bool found = true;
};

std::pair<double, double> NumberPair(const std::string& text, const std::string& option) {
  const auto comma = text.find(',');
  const auto first = comma == std::string::npos ? std::nullopt : TryParseDecimal(text.substr(0, comma));
  const auto second = comma == std::string::npos ? std::nullopt : TryParseDecimal(text.substr(comma + 1));
  if (!first || !second || !std::isfinite(*first) || !std::isfinite(*second))
    throw UsageError{"--" + option + " takes two numbers as A,B, not \"" + text + "\""};
  return {*first, *second};
}

// The conversions in command-line order (Args keeps each option's values
// apart, so the interleaving is taken from the raw arguments).
std::vector<PointQuery> PointQueries(const CommandArgs& argv) {
  std::vector<PointQuery> queries;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    for (const std::string option : {"pixel", "latlon"}) {
      const std::string flag = "--" + option;
      std::optional<std::string> value;
      if (argv[i] == flag && i + 1 < argv.size()) value = argv[++i];
      else if (argv[i].rfind(flag + "=", 0) == 0) value = argv[i].substr(flag.size() + 1);
      if (!value) continue;
      const auto [a, b] = NumberPair(*value, option);
      queries.push_back({option == "pixel", a, b});
      break;
    }
  }
  return queries;
}

Conversion Convert(const Map_record& map, const PointQuery& q) {
  Conversion c;
  if (q.fromPixel) {
    c.x = q.a;
    c.y = q.b;
    const geodesy::LatLon ll = PixelToLatLon(map, q.a, q.b);
    c.latitude = ll.latitude;
    c.longitude = ll.longitude;
    c.found = !(ll.latitude == kNoGeographicPosition && ll.longitude == kNoGeographicPosition) &&
              std::isfinite(ll.latitude) && std::isfinite(ll.longitude);
  } else {
    c.latitude = q.a;
    c.longitude = q.b;
    const PixelPosition p = LatLonToPixel(map, q.b, q.a);
    c.x = p.x;
    c.y = p.y;
    c.found = !(p.x == kNoPixelPosition && p.y == kNoPixelPosition);
  }
  return c;
}

const char* MethodText(char method) {
  switch (method) {
    case kMethodTwoPoint: return "two points: independent axis scales";
    case kMethodThreePoint: return "three points: exact affine";
    case kMethodFirstOrder: return "least squares, first order";
    case kMethodSecondOrder: return "least squares, second order";
    default: return "none: fewer than two usable points";
  }
}

std::string Json(double v, int decimals) { return std::isfinite(v) ? JsonNumber(v, decimals) : "null"; }

std::string DatumName(std::int32_t datum) {
  const geodesy::DatumTable& datums = geodesy::Datums();
  return datums.Row(datum).name;
}

// The image corners (pixel corners of the whole image) on WGS 84.
std::vector<Conversion> Corners(const Map_record& map) {
  if (map.width <= 0 || map.height <= 0) return {};
  const double w = map.width, h = map.height;
  std::vector<Conversion> corners;
  for (const auto& [x, y] : {std::pair{0.0, 0.0}, {w, 0.0}, {w, h}, {0.0, h}}) corners.push_back(Convert(map, {true, x, y}));
  return corners;
}

void PrintJson(const Map_record& map, const std::vector<Conversion>& points, std::ostream& out) {
  out << "{\"mapFile\": " << JsonString(map.mapFile) << ", \"title\": " << JsonString(map.title)
      << ", \"imageFile\": " << JsonString(map.imageFile) << ", \"projection\": " << JsonString(map.projectionName)
      << ", \"shortProjection\": " << JsonString(map.shortProjection);
  if (map.shortProjection == "(UTM)") out << ", \"centralMeridian\": " << Json(map.setup.utmlon0, 6);
  out << ", \"datum\": " << JsonString(DatumName(map.datum)) << ", \"method\": " << JsonString(std::string(1, map.method))
      << ", \"methodText\": " << JsonString(MethodText(map.method))
      << ", \"metresPerPixel\": " << Json(map.metresPerPixel, 6) << ", \"width\": " << map.width
      << ", \"height\": " << map.height << ", \"pixelMode\": " << map.pixelMode << ", \"status\": " << map.status
      << ", \"statusText\": " << JsonString(MapStatusText(map.status)) << ", \"border\": [";
  for (std::size_t k = 0; k < map.border.size(); ++k) {
    const BorderPoint& p = map.border[k];
    out << (k ? ", " : "") << "{\"x\": " << p.x << ", \"y\": " << p.y << ", \"latitude\": " << Json(p.latitude, 6)
        << ", \"longitude\": " << Json(p.longitude, 6) << "}";
  }
  out << "], \"corners\": [";
  const auto corners = Corners(map);
  for (std::size_t k = 0; k < corners.size(); ++k) {
    out << (k ? ", " : "") << "{\"x\": " << Json(corners[k].x, 0) << ", \"y\": " << Json(corners[k].y, 0)
        << ", \"latitude\": " << (corners[k].found ? Json(corners[k].latitude, 6) : "null")
        << ", \"longitude\": " << (corners[k].found ? Json(corners[k].longitude, 6) : "null") << "}";
  }
  out << "], \"points\": [";
  for (std::size_t k = 0; k < points.size(); ++k) {
    const Conversion& c = points[k];
    out << (k ? ", " : "") << "{\"x\": " << Json(c.x, 3) << ", \"y\": " << Json(c.y, 3)
        << ", \"latitude\": " << Json(c.latitude, 9) << ", \"longitude\": " << Json(c.longitude, 9)
        << ", \"found\": " << (c.found ? "true" : "false") << "}";
  }
  out << "]}\n";
}

std::string Position(double latitude, double longitude) {
  return "latitude " + FormatFixed(latitude, 6) + "  longitude " + FormatFixed(longitude, 6);
}

void PrintText(const Map_record& map, const std::vector<PointQuery>& queries, const std::vector<Conversion>& points,
               std::ostream& out) {
  out << "map file:         " << map.mapFile << "\n"
      << "title:            " << map.title << "\n"
      << "image file:       " << map.imageFile << "\n"
      << "image:            " << map.width << " x " << map.height << ", "
      << (map.pixelMode == 3 ? "true colour" : "palette") << ", status " << MapStatusText(map.status) << "\n"
      << "projection:       " << map.projectionName;
  if (map.shortProjection == "(UTM)") out << " (central meridian " << FormatShortest(map.setup.utmlon0) << ")";
  out << "\n"
      << "datum:            " << DatumName(map.datum) << "\n"
      << "method:           " << map.method << " (" << MethodText(map.method) << ")\n"
      << "metres per pixel: " << PixelScaleText(map.metresPerPixel) << "\n"
      << "border:           " << map.border.size() << " points\n";
  for (std::size_t k = 0; k < map.border.size(); ++k) {
    const BorderPoint& p = map.border[k];
    out << "  " << k + 1 << ": pixel " << p.x << ", " << p.y << "  " << Position(p.latitude, p.longitude) << "\n";
  }
  const auto corners = Corners(map);
  if (!corners.empty()) {
    static constexpr const char* kNames[] = {"top left", "top right", "bottom right", "bottom left"};
    out << "corners:\n";
    for (std::size_t k = 0; k < corners.size(); ++k)
      out << "  " << kNames[k] << ": "
          << (corners[k].found ? Position(corners[k].latitude, corners[k].longitude) : std::string("no position")) << "\n";
  }
  for (std::size_t k = 0; k < points.size(); ++k) {
    const Conversion& c = points[k];
    if (queries[k].fromPixel) {
      out << "pixel " << FormatShortest(c.x) << "," << FormatShortest(c.y) << " -> "
          << (c.found ? Position(c.latitude, c.longitude) : std::string("no position")) << "\n";
    } else {
      out << "latlon " << FormatShortest(c.latitude) << "," << FormatShortest(c.longitude) << " -> "
          << (c.found ? "pixel " + FormatShortest(c.x) + ", " + FormatShortest(c.y) : std::string("no pixel")) << "\n";
    }
  }
}

}  // namespace

int RunInfo(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"pixel", "latlon"}, {"json"});
  if (args.Positionals().size() != 1) throw UsageError{"give one FILE.map"};
  const std::string mapPath = args.Positionals()[0];
  const std::vector<PointQuery> queries = PointQueries(argv);

  const auto report = [&](const std::string& message) { err << "quiltor-cli info: " << message << "\n"; };
  const geodesy::ProjectionCatalogue catalogue = geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, report);
  const ImageSearchContext search = LoadImageSearchContext();
  TerminalHost host;
  const MapReadContext context{catalogue, search, RasterImageQueries(), host, {}};
  Map_record map;
  const int result = ReadMapFile(mapPath, map, 1, 1, context);
  host.FinishProgress();
  if (result != kMapLoaded) {
    if (host.MapErrors().empty()) {
      err << "quiltor-cli info: " << mapPath << " cannot be opened or is not a map file (line 1 must name Tervane)\n";
    } else {
      err << "quiltor-cli info: " << mapPath
          << " has errors and could not be processed (a border point off the globe, a calibration that failed or a "
             "damaged line)\n";
    }
    return 1;
  }
  std::vector<Conversion> points;
  for (const PointQuery& q : queries) points.push_back(Convert(map, q));
  if (args.Flag("json")) {
    PrintJson(map, points, out);
  } else {
    PrintText(map, queries, points, out);
  }
  return 0;
}

}  // namespace quiltor::cli
