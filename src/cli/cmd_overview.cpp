// quiltor-cli overview: the maps of some folders drawn as their thumbnails
// warped into the destination, fitted to one picture, with the grid a create
// of them would make. A user sees how the maps will lie in the new
// projection before a long create starts.
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/folder_scan.h"
#include "cli/command_spec.h"
#include "cli/destination_options.h"
#include "cli/json_writer.h"
#include "cli/output_guard.h"
#include "cli/thumbnail_scan.h"
#include "common/text.h"
#include "creation/catalogue_sources.h"
#include "geodesy/destination_setup.h"
#include "mapview/overview.h"
#include "raster/formats/format_readers.h"

namespace quiltor::cli {

namespace {

constexpr int kDefaultOverviewWidth = 1200;

void PrintJson(const mapview::OverviewPlan& plan, const MapCatalogue& catalogue, std::ostream& out) {
  const creation::DestinationExtent& e = plan.extent;
  JsonWriter json;
  json.BeginObject()
      .Integer("width", plan.picture.width)
      .Integer("height", plan.picture.height)
      .Number("minX", plan.picture.originX, 6)
      .Number("maxY", plan.picture.originY, 6)
      .Number("scale", plan.picture.scale, 9)
      .Key("grid")
      .BeginObject()
      .Integer("width", plan.grid.width)
      .Integer("height", plan.grid.height)
      .Number("minX", e.minX, 6)
      .Number("maxX", e.maxX, 6)
      .Number("minY", e.minY, 6)
      .Number("maxY", e.maxY, 6)
      .EndObject()
      .Key("maps")
      .BeginArray();
  for (const int m : plan.maps) {
    const Map_record& map = catalogue[m];
    json.BeginObject()
        .String("title", map.title)
        .Number("metresPerPixel", map.metresPerPixel, 6)
        .String("mapFile", map.mapFile)
        .Bool("thumbnail", map.thumbnail.has_value())
        .EndObject();
  }
  json.EndArray().EndObject();
  out << json.Text() << "\n";
}

void PrintText(const mapview::OverviewPlan& plan, const MapCatalogue& catalogue, const std::string& output,
               std::ostream& out) {
  const creation::DestinationExtent& e = plan.extent;
  out << "Create grid: " << plan.grid.width << " x " << plan.grid.height << " pixels, X " << FormatFixed(e.minX, 3)
      << " .. " << FormatFixed(e.maxX, 3) << ", Y " << FormatFixed(e.minY, 3) << " .. " << FormatFixed(e.maxY, 3)
      << "\n";
  out << "Overview: " << output << ", " << plan.picture.width << " x " << plan.picture.height << " pixels, "
      << FormatShortest(plan.picture.scale) << " destination units per pixel\n";
  out << plan.maps.size() << (plan.maps.size() == 1 ? " map" : " maps") << ", most detailed first:\n";
  for (const int m : plan.maps) {
    const Map_record& map = catalogue[m];
    out << "  " << map.title << "  " << FormatFixed(map.metresPerPixel, 3) << " m/pixel"
        << (map.thumbnail ? "" : "  (no thumbnail)") << "\n";
  }
}

int RunOverview(const Args& args, const Console& io) {
  args.ExpectPositionals(0, "");
  const std::vector<std::string> folders = args.Values("folder");
  RequireFolders(folders);
  const std::string output = *args.Value("output");
  RequireOutputExtension(output, ".png");
  const int width = args.Integer("width").value_or(kDefaultOverviewWidth);
  if (width < 1 || width > 20000) throw UsageError("--width must be 1 to 20000 pixels");
  const WorkerSettings settings{DestinationOf(args), ThumbnailSizeOf(args), true};
  const double mpp = args.Number("mpp").value_or(ParseDecimal(settings.destination.metersPerPixel));
  if (!(mpp > 0)) throw UsageError("--mpp must be above 0");

  const geodesy::ProjectionCatalogue projections =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  TerminalHost host;
  ThumbnailScan scan = ScanFolders(folders, settings, true, projections, host, io);
  if (scan.aborted) throw Failed("interrupted; nothing was written");
  scan.catalogue->SortByScale();
  // The picture is no map's image nor map file.
  if (const Map_record* owner = MapWithFile(*scan.catalogue, output)) throw OutputIsAMapFile(output, owner->mapFile);

  const geodesy::Projection destination = geodesy::ReadDestinationProjection(settings.destination, projections);
  if (!destination.CanProject()) {
    throw Failed("the destination projection could not be set up");
  }
  const creation::DestinationProjection projection = creation::MakeDestinationProjection(destination);
  const auto plan = mapview::PlanOverview(*scan.catalogue, projection, mpp, width);
  if (!plan) throw Failed("no usable map to draw");
  const Bitmap picture = mapview::DrawOverview(*plan, *scan.catalogue, projection);
  WritePngReplacing(output, picture);

  if (args.Flag("json")) {
    PrintJson(*plan, *scan.catalogue, io.out);
  } else {
    PrintText(*plan, *scan.catalogue, output, io.out);
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& OverviewCommand() {
  static const CommandSpec spec{
      .name = "overview",
      .summary = "draw the maps' thumbnails in the destination projection and the grid a create would make",
      .options = OptionList({
          {
              Text("folder", "DIR", "a folder whose \".map\" files are drawn").Required().Repeated(),
          },
          DestinationOptions(false),
          {
              Number("mpp", "M", "metres per pixel of the create whose grid is shown (default 100)"),
              Integer("width", "N", "width of the picture in pixels (default 1200)"),
              Integer("thumbnail-size", "N", "longer side of a projected thumbnail, 50 to 500 (default 200)"),
              Text("output", "OUT.png", "the picture to write").Required().Short('o'),
              Flag("json", "print one object with width, height, minX, maxY, scale, grid and maps"),
          },
      }),
      .description =
          "Scans the folders as \"scan --thumbnails\" does (building or reusing every usable map's\n"
          "thumbnail in the destination projection), then draws on white the thumbnail layer of\n"
          "every usable map over the extent a create of them would cover, fitted to a picture N\n"
          "pixels wide, the most detailed maps on top. Prints the grid such a create would make\n"
          "(width and height in pixels, extent in destination units) and the maps that would take\n"
          "part, most detailed first. Pixel column c, row r of the picture stands for\n"
          "X = minX + c*scale, Y = maxY - r*scale.\n",
      .example = "quiltor-cli overview --folder samples --projection utm --zone 32 -o overview.png",
      .exitCodes = "0 written, 1 interrupted, no usable map or the picture could not be written, 2 bad arguments.",
      .run = RunOverview,
  };
  return spec;
}

}  // namespace quiltor::cli
