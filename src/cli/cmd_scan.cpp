// quiltor-cli scan: the map list of some folders as the main window shows
// it after "Scan Folders" (most detailed first, with scale, folder row and
// status), and the maps that could not be processed.
#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/folder_scan.h"
#include "catalogue/map_list.h"
#include "cli/command_spec.h"
#include "cli/destination_options.h"
#include "cli/json_writer.h"
#include "cli/terminal_host.h"
#include "common/text.h"
#include "cli/thumbnail_scan.h"
#include "geodesy/projection_catalogue.h"

namespace quiltor::cli {

namespace {

void PrintJson(const std::vector<FolderRow>& folders, const ThumbnailScan& scan, const std::vector<MapListRow>& rows,
               bool thumbnails, const TerminalHost& host, std::ostream& out) {
  const FolderList& loaded = scan.loaded;
  const MapCatalogue& catalogue = *scan.catalogue;
  JsonWriter json;
  json.BeginObject().Key("folders").BeginArray();
  for (const FolderRow& f : folders) {
    json.BeginObject()
        .String("path", f.path)
        .String("row", f.pathText)
        .Bool("loaded", loaded.Contains(f.path))
        .EndObject();
  }
  json.EndArray().Key("maps").BeginArray();
  for (const MapListRow& r : rows) {
    const Map_record& map = catalogue[r.mapIndex];
    json.BeginObject()
        .String("title", r.title)
        .String("pixelScale", r.pixelScale)
        .Number("metresPerPixel", map.metresPerPixel, 6)
        .String("path", r.path)
        .String("status", r.status)
        .Bool("selected", r.ticked)
        .String("mapFile", map.mapFile)
        .String("imageFile", map.imageFile);
    if (thumbnails) {
      const ThumbnailReport* report = ReportOf(scan, map);
      json.String("thumbnail", ThumbnailWord(report))
          .String("thumbnailFile", report != nullptr ? report->build.projectedFile.string() : "");
    }
    json.EndObject();
  }
  json.EndArray().StringArray("mapErrors", host.MapErrors());
  WriteMapErrorCauses(json, host.MapErrors(), host.MapErrorCauses());
  json.Bool("aborted", scan.aborted).EndObject();
  out << json.Text() << "\n";
}

void PrintText(const std::vector<FolderRow>& folders, const ThumbnailScan& scan, const std::vector<MapListRow>& rows,
               bool thumbnails, const TerminalHost& host, bool verbose, std::ostream& out) {
  const std::vector<std::string>& errors = host.MapErrors();
  const bool aborted = scan.aborted;
  out << "Path  Folder\n";
  for (const FolderRow& f : folders) out << std::string(4 - std::min<std::size_t>(4, f.pathText.size()), ' ') << f.pathText << "  " << PrintableText(f.path) << "\n";
  out << "\n";
  std::size_t titleWidth = std::string("Selected Maps").size();
  std::size_t scaleWidth = std::string("Pixel Scale").size();
  for (const MapListRow& r : rows) {
    titleWidth = std::max(titleWidth, PrintableText(r.title).size());
    scaleWidth = std::max(scaleWidth, r.pixelScale.size());
  }
  auto pad = [](const std::string& text, std::size_t width) { return text + std::string(width - std::min(width, text.size()), ' '); };
  auto right = [](const std::string& text, std::size_t width) { return std::string(width - std::min(width, text.size()), ' ') + text; };
  out << "    " << pad("Selected Maps", titleWidth) << "  " << right("Pixel Scale", scaleWidth) << "  Path  "
      << (thumbnails ? "Thumbnail  " : "") << "Status\n";
  for (const MapListRow& r : rows) {
    out << (r.ticked ? "[x] " : "[ ] ") << pad(PrintableText(r.title), titleWidth) << "  " << right(r.pixelScale, scaleWidth) << "  "
        << pad(r.path, 4) << "  ";
    if (thumbnails) out << pad(ThumbnailWord(ReportOf(scan, (*scan.catalogue)[r.mapIndex])), 9) << "  ";
    out << r.status << "\n";
  }
  out << rows.size() << (rows.size() == 1 ? " map" : " maps") << "\n";
  if (!errors.empty()) {
    out << "\n" << kMapScanErrorsCaption << ": " << kMapScanErrorsHeading << "\n";
    for (std::size_t i = 0; i < errors.size(); ++i)
      out << "  " << PrintableText(verbose ? WithCause(errors[i], host.MapErrorCauses()[i]) : errors[i]) << "\n";
  }
  if (aborted) out << "\nThe scan was interrupted; the folder being read was left out.\n";
}

// Ctrl-C is the progress window's Abort button: the scan stops at the next
// map file and the folder it was reading is left out.
int RunScan(const Args& args, const Console& io) {
  args.ExpectPositionals(0, "");
  const std::vector<std::string> folderPaths = args.Values("folder");
  RequireFolders(folderPaths);

  std::vector<FolderRow> folders;
  for (const auto& f : folderPaths) folders.push_back({f, true, ""});
  NumberFolderRows(folders);

  const bool thumbnails = args.Flag("thumbnails");
  const WorkerSettings settings{DestinationOf(args), ThumbnailSizeOf(args), thumbnails};

  const geodesy::ProjectionCatalogue catalogue =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  TerminalHost host;
  ThumbnailScan scan = ScanFolders(TickedFolderPaths(folders), settings, thumbnails, catalogue, host, io);

  const std::vector<MapListRow> rows = FillMapList(*scan.catalogue, folders);
  if (args.Flag("json")) {
    PrintJson(folders, scan, rows, thumbnails, host, io.out);
  } else {
    PrintText(folders, scan, rows, thumbnails, host, args.Flag("verbose"), io.out);
  }
  return scan.aborted ? kExitFailed : kExitSuccess;
}

}  // namespace

const CommandSpec& ScanCommand() {
  static const CommandSpec spec{
      .name = "scan",
      .summary = "list the maps of some folders as the map list shows them",
      .options = OptionList({
          {
              Text("folder", "DIR", "a folder whose \".map\" files are listed").Required().Repeated(),
              Flag("thumbnails", "build or reuse every usable map's thumbnail in the destination projection"),
          },
          DestinationOptions(false),
          {
              Integer("thumbnail-size", "N", "longer side of a projected thumbnail, 50 to 500 (default 200)"),
              Flag("json", "print one object with folders, maps, mapErrors and mapErrorCauses"),
              Flag("verbose", "say beside each map error why the map could not be processed"),
          },
      }),
      .description =
          "Scans the \".map\" files of each folder (not of its subfolders; at most 2500 maps in all) as\n"
          "\"Scan Folders\" does for the ticked folders, then prints the folder rows and the map list\n"
          "sorted from the most to the least detailed map: tick, title, pixel scale (metres per pixel),\n"
          "the folder row the map came from and its status (ok, not found, unsupported, Protected Map\n"
          "Image), followed by the maps that had errors and could not be processed. Ctrl-C (or SIGTERM,\n"
          "SIGHUP) stops the scan at the next map file.\n"
          "With --thumbnails every usable map's thumbnail is warped into the destination given by the\n"
          "destination options (the defaults of a new installation otherwise) and cached, or loaded\n"
          "from the cache while the map and image files keep their times; each map then shows\n"
          "whether its projected thumbnail was \"built\", \"reused\" or that there is \"none\" (with\n"
          "--json: fields thumbnail and thumbnailFile). The cache is \"Image Thumbnails\" under\n"
          "$XDG_CACHE_HOME/quiltor (~/.cache/quiltor), or \"System Files\" beside a portable program.\n",
      .example = "quiltor-cli scan --folder samples --thumbnails --projection utm --zone 32",
      .exitCodes = "0 scanned, 1 interrupted, 2 bad arguments or a folder that does not exist.",
      .run = RunScan,
  };
  return spec;
}

}  // namespace quiltor::cli
