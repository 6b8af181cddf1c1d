// quiltor-cli rasterinfo: what the program makes of one image file: its size,
// how its rows are delivered (palette indices or blue-green-red), whether a
// map may use it, and for the tiled kinds the scheme and every zoom level.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_spec.h"
#include "cli/json_writer.h"
#include "common/error.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "raster/tiled/tiled_format.h"
#include "raster/tiled/tiled_reader.h"

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
  JsonWriter json;
  json.BeginObject()
      .String("image", r.path)
      .String("kind", r.kind)
      .Bool("decodedWhole", r.decodedWhole)
      .Integer("width", r.width)
      .Integer("height", r.height)
      .Integer("pixelMode", r.pixelMode)
      .Integer("paletteSize", r.pixelMode == 1 ? 256 : 0)
      .String("mapImage", MapImageText(r.mapImage));
  if (r.tiled) {
    const TiledDetails& t = *r.tiled;
    json.Integer("schemeVersion", t.schemeVersion)
        .Bool("scrambled", t.scrambled)
        .Integer("headerVersion", t.headerVersion)
        .Key("levels")
        .BeginArray();
    for (std::size_t i = 0; i < t.levels.size(); ++i) {
      const LevelInfo& l = t.levels[i];
      json.BeginObject().Integer("level", static_cast<std::int64_t>(i));
      if (l.error.empty()) {
        json.Integer("width", l.width).Integer("height", l.height).Integer("tilesX", l.tilesX).Integer("tilesY", l.tilesY);
      } else {
        json.String("error", l.error);
      }
      json.EndObject();
    }
    json.EndArray();
  }
  out << json.EndObject().Text() << "\n";
}

int RunRasterInfo(const Args& args, const Console& io) {
  args.ExpectPositionals(1, "give one IMAGE");
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
    throw Failed(report.path + ": " + WithReason(e));
  }
  if (!source) throw Failed(report.path + ": " + DescribeOpenFailure(path, failure, refusal));
  if (args.Flag("json")) {
    PrintJson(report, io.out);
  } else {
    PrintText(report, io.out);
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& RasterInfoCommand() {
  static const CommandSpec spec{
      .name = "rasterinfo",
      .summary = "show the size, pixel mode and zoom levels of an image",
      .options = {Flag("json", "print one object (image, kind, decodedWhole, width, height, pixelMode, ...)")},
      .forms = {"IMAGE"},
      .description =
          "Opens IMAGE as a map's image is opened (the extension chooses the reader: bmp, jpg, png, gif,\n"
          "tif, kap/nos, qtx, qtx2, qtxx3, and the temporary qtx0/qtxx0) and prints its kind, whether it\n"
          "is decoded whole into memory or read row by row, its size, the pixel mode its rows come in\n"
          "(1 palette indices with a 256-entry palette, 3 blue, green, red), and whether a map may use it\n"
          "(ok, not a map image kind, Protected Map Image). For the tiled kinds it also prints the scheme\n"
          "version (-1 plain, 0 to 2 scrambled), whether tiles are deflated, and the size and tile count\n"
          "of every zoom level, level 0 being the full size. --json prints one object (image, kind,\n"
          "decodedWhole, width, height, pixelMode, paletteSize, mapImage, and for tiled images\n"
          "schemeVersion, scrambled, headerVersion, levels).\n",
      .example = "quiltor-cli rasterinfo out/demo.qtx2",
      .exitCodes = "0 read, 1 the image cannot be opened (the reason on stderr), 2 bad arguments.",
      .run = RunRasterInfo,
  };
  return spec;
}

}  // namespace quiltor::cli
