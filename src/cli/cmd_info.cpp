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
#include "cli/command_spec.h"
#include "cli/json_writer.h"
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

// "A,B": exactly one comma, so that "1,2,3" is not read as 1 and a decimal
// comma's 2.3.
std::pair<double, double> NumberPair(const std::string& text, const std::string& option) {
  const auto comma = text.find(',');
  const bool one = comma != std::string::npos && text.find(',', comma + 1) == std::string::npos;
  const auto first = one ? TryParseDecimal(text.substr(0, comma)) : std::nullopt;
  const auto second = one ? TryParseDecimal(text.substr(comma + 1)) : std::nullopt;
  if (!first || !second || !std::isfinite(*first) || !std::isfinite(*second))
    throw UsageError("--" + option + " takes two numbers as A,B, not \"" + text + "\"");
  return {*first, *second};
}

// The conversions in command-line order.
std::vector<PointQuery> PointQueries(const Args& args) {
  std::vector<PointQuery> queries;
  for (const auto& [option, value] : args.Given()) {
    if (option != "pixel" && option != "latlon") continue;
    const auto [a, b] = NumberPair(value, option);
    if (option == "latlon") CheckLatLon(a, b, "--latlon latitude", "--latlon longitude");
    queries.push_back({option == "pixel", a, b});
  }
  return queries;
}

Conversion Convert(const Map_record& map, const PointQuery& q) {
  Conversion c;
  if (q.fromPixel) {
    c.x = q.a;
    c.y = q.b;
    const geodesy::LatLon ll = PixelToLatLon(map, {.x = q.a, .y = q.b});
    c.latitude = ll.latitude;
    c.longitude = ll.longitude;
    c.found = !(ll.latitude == kNoGeographicPosition && ll.longitude == kNoGeographicPosition) &&
              std::isfinite(ll.latitude) && std::isfinite(ll.longitude);
  } else {
    c.latitude = q.a;
    c.longitude = q.b;
    const PixelPosition p = LatLonToPixel(map, {.latitude = q.a, .longitude = q.b});
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
  JsonWriter json;
  json.BeginObject()
      .String("mapFile", map.mapFile)
      .String("title", map.title)
      .String("imageFile", map.imageFile)
      .String("projection", map.projectionName)
      .String("shortProjection", map.shortProjection);
  if (map.projWGS84.IsUtm()) json.Number("centralMeridian", map.setup.utmlon0, 6);
  json.String("datum", DatumName(map.datum))
      .String("method", std::string(1, map.method))
      .String("methodText", MethodText(map.method))
      .Number("metresPerPixel", map.metresPerPixel, 6)
      .Integer("width", map.width)
      .Integer("height", map.height)
      .Integer("pixelMode", map.pixelMode)
      .Integer("status", map.status)
      .String("statusText", MapStatusText(map.status));
  json.Key("border").BeginArray();
  for (const BorderPoint& p : map.border) {
    json.BeginObject()
        .Integer("x", p.x)
        .Integer("y", p.y)
        .Number("latitude", p.latitude, 6)
        .Number("longitude", p.longitude, 6)
        .EndObject();
  }
  json.EndArray().Key("corners").BeginArray();
  for (const Conversion& c : Corners(map)) {
    json.BeginObject().Number("x", c.x, 0).Number("y", c.y, 0);
    if (c.found) {
      json.Number("latitude", c.latitude, 6).Number("longitude", c.longitude, 6);
    } else {
      json.Null("latitude").Null("longitude");
    }
    json.EndObject();
  }
  json.EndArray().Key("points").BeginArray();
  for (const Conversion& c : points) {
    json.BeginObject()
        .Number("x", c.x, 3)
        .Number("y", c.y, 3)
        .Number("latitude", c.latitude, 9)
        .Number("longitude", c.longitude, 9)
        .Bool("found", c.found)
        .EndObject();
  }
  json.EndArray().EndObject();
  out << json.Text() << "\n";
}

std::string Position(double latitude, double longitude) {
  return "latitude " + FormatFixed(latitude, 6) + "  longitude " + FormatFixed(longitude, 6);
}

void PrintText(const Map_record& map, const std::vector<PointQuery>& queries, const std::vector<Conversion>& points,
               std::ostream& out) {
  out << "map file:         " << PrintableText(map.mapFile) << "\n"
      << "title:            " << PrintableText(map.title) << "\n"
      << "image file:       " << PrintableText(map.imageFile) << "\n"
      << "image:            " << map.width << " x " << map.height << ", "
      << (map.pixelMode == 3 ? "true colour" : "palette") << ", status " << MapStatusText(map.status) << "\n"
      << "projection:       " << map.projectionName;
  if (map.projWGS84.IsUtm()) out << " (central meridian " << FormatShortest(map.setup.utmlon0) << ")";
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

int RunInfo(const Args& args, const Console& io) {
  args.ExpectPositionals(1, "give one FILE.map");
  const std::string mapPath = args.Positionals()[0];
  const std::vector<PointQuery> queries = PointQueries(args);

  const geodesy::ProjectionCatalogue catalogue =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  const ImageSearchContext search = LoadImageSearchContext();
  TerminalHost host;
  const MapReadContext context{catalogue, search, RasterImageQueries(), host, {}};
  Map_record map;
  const int result = ReadMapFile(mapPath, map, 1, 1, context);
  host.FinishProgress();
  if (result != kMapLoaded) {
    if (host.MapErrors().empty())
      throw Failed(mapPath + " cannot be opened or is not a map file (line 1 must name Tervane)");
    // One map: what failed is always said, not only with --verbose.
    throw Failed(PrintableText(WithCause(mapPath + " has errors and could not be processed",
                                         host.MapErrorCauses().front())));
  }
  std::vector<Conversion> points;
  for (const PointQuery& q : queries) points.push_back(Convert(map, q));
  if (args.Flag("json")) {
    PrintJson(map, points, io.out);
  } else {
    PrintText(map, queries, points, io.out);
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& InfoCommand() {
  static const CommandSpec spec{
      .name = "info",
      .summary = "show what a .map file says and convert points through its calibration",
      .options =
          {
              Text("pixel", "X,Y", "convert this pixel to WGS 84 latitude/longitude").Repeated(),
              Text("latlon", "LAT,LON", "convert this WGS 84 position to the nearest pixel").Repeated(),
              Flag("json", "print one object (title, imageFile, projection, datum, border, corners, points, ...)"),
              Flag("verbose", "say why a map file could not be processed"),
          },
      .forms = {"FILE.map"},
      .description =
          "Reads FILE.map as a folder scan reads it (the image found as the program finds it, also\n"
          "beside the map file and in the host's image folders) and prints its title, image file, size\n"
          "and status, projection (with the central meridian of a UTM map), datum, calibration method,\n"
          "metres per pixel, border points (pixel and WGS 84 latitude/longitude) and the WGS 84 position\n"
          "of the image corners. --pixel and --latlon may be repeated and are answered in the order given.\n"
          "--json prints one object (title, imageFile, projection, datum, method, metresPerPixel, width,\n"
          "height, status, border, corners, points, ...).\n",
      .example = "quiltor-cli info samples/lakeside-detail-utm32.map --pixel 0,0 --latlon 46.17,7.05",
      .exitCodes = "0 read, 1 the map could not be read (the reason on stderr), 2 bad arguments.",
      .run = RunInfo,
  };
  return spec;
}

}  // namespace quiltor::cli
