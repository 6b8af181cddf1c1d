#include "cli/thumbnail_scan.h"

#include <algorithm>

#include "catalogue/raster_image_queries.h"
#include "cli/destination_options.h"
#include "cli/interrupt_guard.h"
#include "cli/name_resolution.h"
#include "common/paths.h"
#include "settings/image_search.h"
#include "settings/program_settings.h"
#include "settings/settings_file.h"

namespace quiltor::cli {

geodesy::DestinationSettings DestinationOf(const Args& args) {
  geodesy::DestinationSettings destination = DefaultProgramSettings(ProgramFolder().string()).destination;
  ApplyDestinationOptions(args, DestinationProjectionNames(), destination);
  return destination;
}

int ThumbnailSizeOf(const Args& args) {
  return args.IntegerWithin("thumbnail-size", 50, 500).value_or(kDefaultThumbnailSize);
}

ThumbnailScan ScanFolders(const std::vector<std::string>& folders, const WorkerSettings& settings, bool thumbnails,
                          const geodesy::ProjectionCatalogue& projections, TerminalHost& host, const Console& io) {
  ThumbnailScan scan;
  std::optional<ThumbnailFolders> cache;
  if (thumbnails) {
    std::string message;
    cache = PrepareThumbnailFolders(ThumbnailFolderLocation(SettingsFileLocation(), ProgramFolder(), CacheFolder()),
                                    message);
    if (!cache) io.Note(message);
  }
  const ImageSearchContext search = LoadImageSearchContext();
  WorkerJob job{*scan.catalogue, scan.loaded, FolderList(folders), projections, search, RasterImageQueries(),
                cache,           settings};
  job.settings.useThumbnails = thumbnails;
  OpenMapThread worker(WorkerMode::Scan, std::move(job), host);
  {
    const InterruptGuard guard({&worker.ScanAbort()});
    worker.Start();
    worker.Wait();
  }
  host.FinishProgress();
  scan.aborted = worker.ScanAbort().load();
  scan.reports = worker.Reports();
  return scan;
}

std::string ThumbnailWord(const ThumbnailReport* report) {
  if (report == nullptr) return "none";
  switch (report->build.projectedStage) {
    case StageOutcome::Built: return "built";
    case StageOutcome::Reused: return "reused";
    case StageOutcome::None: break;
  }
  return "none";
}

const ThumbnailReport* ReportOf(const ThumbnailScan& scan, const Map_record& map) {
  for (const ThumbnailReport& r : scan.reports) {
    if (r.mapFile == map.mapFile) return &r;
  }
  return nullptr;
}

}  // namespace quiltor::cli
