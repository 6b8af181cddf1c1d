// quiltor-cli rasterinfo: what the program makes of one image file: its size,
// how its rows are delivered (palette indices or blue-green-red), whether a
// map may use it, and for the tiled kinds the scheme and every zoom level.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "raster/tiled_format.h"
#include "raster/tiled_reader.h"

namespace quiltor::cli {

namespace {

struct LevelInfo {
  int width = 0, height = 0, tilesX = 0, tilesY = 0;
  std::string error;  // a level header that cannot be read
};

struct TiledDetails {
  int schemeVersion = -1;
  int headerVersion = 1;
  bool scrambled = false;
  std::vector<LevelInfo> levels;
};

struct ImageReport {
  std::string path;
  std::string kind;  // the file's own extension, lower case
  bool decodedWhole = false;
  int width = 0, height = 0, pixelMode = 1;
  int mapImage = 0;  // CheckRasterExtension's answer
  std::optional<TiledDetails> tiled;
};

// Every level the reader can reach (the level-header table may list more
// than the reader's limit of levels).
TiledDetails ReadTiledDetails(const std::filesystem::path& path) {
  TiledDetails details;
  TiledReader::Opening opening = TiledReader::Open(path, false);
  if (!opening.reader) return details;
  TiledReader& reader = *opening.reader;
  details.schemeVersion = reader.schemeVersion();
  details.headerVersion = reader.headerVersion();
  details.scrambled = reader.scrambled();
  const int count = std::min(reader.LevelCount(), tiled::kMaxReaderLevels);
  for (int level = 0; level < count; ++level) {
    LevelInfo info;
    try {
      reader.LoadZoomLevel(level);
      info = {reader.levelWidth(), reader.levelHeight(), reader.tilesX(), reader.tilesY(), {}};
    } catch (const std::exception& e) {
      info.error = e.what();
    }
    details.levels.push_back(info);
  }
  return details;
}

const char* PixelModeText(int mode) { return mode == 1 ? "palette indices" : "blue, green, red"; }

const char* MapImageText(int answer) {
  if (answer == 1) return "not a map image kind";
  if (answer == 2) return "Protected Map Image";
  return "ok";
}

std::string SchemeText(int version) {
  if (version == -1) return "plain";
  if (version == tiled::kNewerSchemeVersion) return "newer than this program reads";
  return "scrambled";
}

void PrintText(const ImageReport& r, std::ostream& out) {
  out << "image:          " << r.path << "\n";
  out << "kind:           " << r.kind << (r.decodedWhole ? ", decoded whole into memory" : ", read row by row") << "\n";
  out << "size:           " << r.width << " x " << r.height << "\n";
  out << "pixel mode:     " << r.pixelMode << " (" << PixelModeText(r.pixelMode) << ")\n";
  out << "palette:        " << (r.pixelMode == 1 ? 256 : 0) << " entries\n";
  out << "map image:      " << MapImageText(r.mapImage) << "\n";
  if (!r.tiled) return;
  const TiledDetails& t = *r.tiled;
  out << "scheme version: " << t.schemeVersion << " (" << SchemeText(t.schemeVersion) << ")\n";
  out << "tiles:          " << (t.headerVersion == 0 ? "stored raw" : "deflated") << "\n";
  out << "zoom levels:    " << t.levels.size() << "\n";
  for (std::size_t i = 0; i < t.levels.size(); ++i) {
    const LevelInfo& l = t.levels[i];
    out << "  level " << i << ": ";
    if (!l.error.empty()) {
      out << "damaged (" << l.error << ")\n";
      continue;
    }
    out << l.width << " x " << l.height << ", " << l.tilesX << " x " << l.tilesY << " tiles\n";
  }
}

void PrintJson(const ImageReport& r, std::ostream& out) {
  out << "{\"image\": " << JsonString(r.path) << ", \"kind\": " << JsonString(r.kind)
      << ", \"decodedWhole\": " << (r.decodedWhole ? "true" : "false") << ", \"width\": " << r.width
      << ", \"height\": " << r.height << ", \"pixelMode\": " << r.pixelMode
      << ", \"paletteSize\": " << (r.pixelMode == 1 ? 256 : 0) << ", \"mapImage\": " << JsonString(MapImageText(r.mapImage));
  if (r.tiled) {
    const TiledDetails& t = *r.tiled;
    out << ", \"schemeVersion\": " << t.schemeVersion << ", \"scrambled\": " << (t.scrambled ? "true" : "false")
        << ", \"headerVersion\": " << t.headerVersion << ", \"levels\": [";
    for (std::size_t i = 0; i < t.levels.size(); ++i) {
      const LevelInfo& l = t.levels[i];
      out << (i == 0 ? "" : ", ") << "{\"level\": " << i;
      if (l.error.empty()) {
        out << ", \"width\": " << l.width << ", \"height\": " << l.height << ", \"tilesX\": " << l.tilesX
            << ", \"tilesY\": " << l.tilesY;
      } else {
        out << ", \"error\": " << JsonString(l.error);
      }
      out << "}";
    }
    out << "]";
  }
  out << "}\n";
}

}  // namespace

int RunRasterInfo(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {}, {"json"});
  if (args.Positionals().size() != 1) throw UsageError{"give one IMAGE"};
  const std::filesystem::path path = args.Positionals()[0];

  ImageReport report;
  report.path = path.string();
  report.kind = RasterKind(path);
  // The image as a map reads it: opened through the one dispatch, so that
  // what is printed is what a create would get.
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  std::string refusal;
  std::unique_ptr<RasterSource> source;
  try {
    source = OpenRaster(path, failure, refusal);
    if (source) {
      report.decodedWhole = source->decodedWhole();
      report.width = source->width();
      report.height = source->height();
      report.pixelMode = source->pixelMode();
      report.mapImage = CheckRasterExtension(path);
      if (IsTiledKind(report.kind)) report.tiled = ReadTiledDetails(path);
    }
  } catch (const std::exception& e) {
    err << "quiltor-cli rasterinfo: " << report.path << ": " << e.what() << "\n";
    return 1;
  }
  if (!source) {
    err << "quiltor-cli rasterinfo: " << report.path << ": " << DescribeOpenFailure(path, failure, refusal) << "\n";
    return 1;
  }
  if (args.Flag("json")) {
    PrintJson(report, out);
  } else {
    PrintText(report, out);
  }
  return 0;
}

}  // namespace quiltor::cli
