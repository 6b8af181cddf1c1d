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
#include "catalogue/raster_image_queries.h"
#include "cli/command_spec.h"
#include "cli/interrupt_guard.h"
#include "cli/json_writer.h"
#include "cli/terminal_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace quiltor::cli {

namespace {

void PrintJson(const std::vector<FolderRow>& folders, const FolderList& loaded, const std::vector<MapListRow>& rows,
               const MapCatalogue& catalogue, const std::vector<std::string>& errors, bool aborted, std::ostream& out) {
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
        .String("imageFile", map.imageFile)
        .EndObject();
  }
  json.EndArray().StringArray("mapErrors", errors).Bool("aborted", aborted).EndObject();
  out << json.Text() << "\n";
}

void PrintText(const std::vector<FolderRow>& folders, const std::vector<MapListRow>& rows,
               const std::vector<std::string>& errors, bool aborted, std::ostream& out) {
  out << "Path  Folder\n";
  for (const FolderRow& f : folders) out << std::string(4 - std::min<std::size_t>(4, f.pathText.size()), ' ') << f.pathText << "  " << f.path << "\n";
  out << "\n";
  std::size_t titleWidth = std::string("Selected Maps").size();
  std::size_t scaleWidth = std::string("Pixel Scale").size();
  for (const MapListRow& r : rows) {
    titleWidth = std::max(titleWidth, r.title.size());
    scaleWidth = std::max(scaleWidth, r.pixelScale.size());
  }
  auto pad = [](const std::string& text, std::size_t width) { return text + std::string(width - std::min(width, text.size()), ' '); };
  auto right = [](const std::string& text, std::size_t width) { return std::string(width - std::min(width, text.size()), ' ') + text; };
  out << "    " << pad("Selected Maps", titleWidth) << "  " << right("Pixel Scale", scaleWidth) << "  Path  Status\n";
  for (const MapListRow& r : rows) {
    out << (r.ticked ? "[x] " : "[ ] ") << pad(r.title, titleWidth) << "  " << right(r.pixelScale, scaleWidth) << "  "
        << pad(r.path, 4) << "  " << r.status << "\n";
  }
  out << rows.size() << (rows.size() == 1 ? " map" : " maps") << "\n";
  if (!errors.empty()) {
    out << "\n" << kMapScanErrorsCaption << ": " << kMapScanErrorsHeading << "\n";
    for (const auto& e : errors) out << "  " << e << "\n";
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

  const geodesy::ProjectionCatalogue catalogue =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  const ImageSearchContext search = LoadImageSearchContext();
  TerminalHost host;
  const MapReadContext context{catalogue, search, RasterImageQueries(), host, {}};
  MapCatalogue maps;
  FolderList loaded;
  std::atomic<bool> abort{false};
  ScanSession session{maps, loaded, context, abort};
  {
    const InterruptGuard guard({&abort});
    ScanNewFolders(session, FolderList(TickedFolderPaths(folders)));
  }
  host.FinishProgress();

  const std::vector<MapListRow> rows = FillMapList(maps, folders);
  if (args.Flag("json")) {
    PrintJson(folders, loaded, rows, maps, host.MapErrors(), abort.load(), io.out);
  } else {
    PrintText(folders, rows, host.MapErrors(), abort.load(), io.out);
  }
  return abort.load() ? kExitFailed : kExitSuccess;
}

}  // namespace

const CommandSpec& ScanCommand() {
  static const CommandSpec spec{
      .name = "scan",
      .summary = "list the maps of some folders as the map list shows them",
      .options =
          {
              Text("folder", "DIR", "a folder whose \".map\" files are listed").Required().Repeated(),
              Flag("json", "print one object with folders, maps and mapErrors"),
          },
      .description =
          "Scans the \".map\" files of each folder (not of its subfolders; at most 2500 maps in all) as\n"
          "\"Scan Folders\" does for the ticked folders, then prints the folder rows and the map list\n"
          "sorted from the most to the least detailed map: tick, title, pixel scale (metres per pixel),\n"
          "the folder row the map came from and its status (ok, not found, unsupported, Protected Map\n"
          "Image), followed by the maps that had errors and could not be processed. Ctrl-C (or SIGTERM,\n"
          "SIGHUP) stops the scan at the next map file.\n",
      .example = "quiltor-cli scan --folder samples --folder ~/maps/alps",
      .exitCodes = "0 scanned, 1 interrupted, 2 bad arguments or a folder that does not exist.",
      .run = RunScan,
  };
  return spec;
}

}  // namespace quiltor::cli
