#pragma once
// The scan the scan and overview commands share: the folders read through
// the window's scan worker, in the foreground, each usable map's thumbnail
// built or reused in the cache folders the settings decide, for a
// destination given by the destination options.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/folder_scan.h"
#include "catalogue/open_map_thread.h"
#include "cli/command_spec.h"
#include "cli/terminal_host.h"
#include "geodesy/destination_setup.h"
#include "geodesy/projection_catalogue.h"

namespace quiltor::cli {

// The options of a scan with thumbnails besides the destination options.
inline constexpr int kDefaultThumbnailSize = 200;

struct ThumbnailScan {
  std::unique_ptr<MapCatalogue> catalogue = std::make_unique<MapCatalogue>();
  FolderList loaded;
  std::vector<ThumbnailReport> reports;  // one per map whose thumbnail was tried
  bool aborted = false;
};

// The destination of a new installation with the destination options over it.
geodesy::DestinationSettings DestinationOf(const Args& args);

// "Thumbnail Size" from --thumbnail-size (50..500, as the settings file limits it).
int ThumbnailSizeOf(const Args& args);

// Scans `folders` (thumbnails when `thumbnails`; a cache folder that cannot
// be used is one note, the maps are still listed), in the order the scan
// read them. Ctrl-C stops the scan like the Abort button.
ThumbnailScan ScanFolders(const std::vector<std::string>& folders, const WorkerSettings& settings, bool thumbnails,
                          const geodesy::ProjectionCatalogue& projections, TerminalHost& host, const Console& io);

// "built", "reused" or "none": what became of a map's projected thumbnail.
std::string ThumbnailWord(const ThumbnailReport* report);
// The report of a map, or null when its thumbnail was not tried.
const ThumbnailReport* ReportOf(const ThumbnailScan& scan, const Map_record& map);

}  // namespace quiltor::cli
