// quiltor-cli scan: the map list of some folders as the main window shows
// it after "Scan Folders" (most detailed first, with scale, folder row and
// status), and the maps that could not be processed.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/folder_scan.h"
#include "catalogue/map_list.h"
#include "catalogue/raster_image_queries.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace quiltor::cli {

namespace {

// Ctrl-C is the progress window's Abort button: the scan stops at the next
// map file and the folder it was reading is left out.
std::atomic<bool>* gScanAbort = nullptr;
extern "C" void OnScanInterrupt(int) {
  if (gScanAbort != nullptr) gScanAbort->store(true);
}

void PrintJson(const std::vector<FolderRow>& folders, const FolderList& loaded, const std::vector<MapListRow>& rows,
               const MapCatalogue& catalogue, const std::vector<std::string>& errors, bool aborted, std::ostream& out) {
  out << "{\"folders\": [";
  for (std::size_t i = 0; i < folders.size(); ++i) {
    out << (i ? ", " : "") << "{\"path\": " << JsonString(folders[i].path) << ", \"row\": " << JsonString(folders[i].pathText)
        << ", \"loaded\": " << (loaded.Contains(folders[i].path) ? "true" : "false") << "}";
  }
  out << "], \"maps\": [";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const MapListRow& r = rows[i];
    const Map_record& map = catalogue[r.mapIndex];
    out << (i ? ", " : "") << "{\"title\": " << JsonString(r.title) << ", \"pixelScale\": " << JsonString(r.pixelScale)
        << ", \"metresPerPixel\": " << JsonNumber(map.metresPerPixel, 6) << ", \"path\": " << JsonString(r.path)
        << ", \"status\": " << JsonString(r.status) << ", \"selected\": " << (r.ticked ? "true" : "false")
        << ", \"mapFile\": " << JsonString(map.mapFile) << ", \"imageFile\": " << JsonString(map.imageFile) << "}";
  }
  out << "], \"mapErrors\": [";
  for (std::size_t i = 0; i < errors.size(); ++i) out << (i ? ", " : "") << JsonString(errors[i]);
  out << "], \"aborted\": " << (aborted ? "true" : "false") << "}\n";
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

}  // namespace

int RunScan(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"folder"}, {"json"});
  if (!args.Positionals().empty()) throw UsageError{"unexpected argument \"" + args.Positionals()[0] + "\""};
  const std::vector<std::string> folderPaths = args.Values("folder");
  if (folderPaths.empty()) throw UsageError{"--folder DIR is required"};
  for (const auto& f : folderPaths) {
    std::error_code ec;
    if (!std::filesystem::is_directory(f, ec)) throw UsageError{"no such folder: " + f};
  }

  std::vector<FolderRow> folders;
  for (const auto& f : folderPaths) folders.push_back({f, true, ""});
  NumberFolderRows(folders);

  const auto report = [&](const std::string& message) { err << "quiltor-cli scan: " << message << "\n"; };
  const geodesy::ProjectionCatalogue catalogue = geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, report);
  const ImageSearchContext search = LoadImageSearchContext();
  TerminalHost host;
  const MapReadContext context{catalogue, search, RasterImageQueries(), host, {}};
  MapCatalogue maps;
  FolderList loaded;
  std::atomic<bool> abort{false};
  ScanSession session{maps, loaded, context, abort};

  gScanAbort = &abort;
  auto previous = std::signal(SIGINT, OnScanInterrupt);
  ScanNewFolders(session, FolderList(TickedFolderPaths(folders)));
  std::signal(SIGINT, previous);
  gScanAbort = nullptr;
  host.FinishProgress();

  const std::vector<MapListRow> rows = FillMapList(maps, folders);
  if (args.Flag("json")) {
    PrintJson(folders, loaded, rows, maps, host.MapErrors(), abort.load(), out);
  } else {
    PrintText(folders, rows, host.MapErrors(), abort.load(), out);
  }
  return abort.load() ? 1 : 0;
}

}  // namespace quiltor::cli
