#pragma once
// The background worker behind the "Scanning maps and creating thumbnails"
// progress window: mode 1 scans the ticked folders into the catalogue (with
// each new map's thumbnail when thumbnails are in use), mode 2 rebuilds the
// thumbnails of every loaded map.
//
// The worker runs on its own std::thread and reaches the user interface only
// through its WorkerHost; the settings it reads are a snapshot taken when
// the pass starts. While it runs, nobody else touches the catalogue or the
// folder list; the abort flag is the one thing another thread writes.
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/folder_scan.h"
#include "catalogue/thumbnails.h"
#include "common/worker_host.h"
#include "geodesy/destination_setup.h"
#include "settings/image_search.h"

namespace quiltor {

enum class WorkerMode : int { Scan = 1, Thumbnails = 2 };

// The settings a pass reads, copied from the window when it starts.
struct WorkerSettings {
  geodesy::DestinationSettings destination;
  int thumbnailSize = 200;    // "Thumbnail Size"
  bool useThumbnails = true;  // "Use Thumbnails"
};

// Everything a pass works on. The references must outlive the worker.
struct WorkerJob {
  MapCatalogue& catalogue;
  FolderList& loadedFolders;
  FolderList tickedFolders;  // the folders a scan should hold afterwards
  const geodesy::ProjectionCatalogue& projections;
  const ImageSearchContext& imageSearch;
  MapImageQueries images;
  std::optional<ThumbnailFolders> thumbnailFolders;  // none: no thumbnails this run
  WorkerSettings settings;
};

// What became of one map's thumbnail in a pass.
struct ThumbnailReport {
  std::string mapFile;
  ThumbnailBuild build;
};

class OpenMapThread {
 public:
  OpenMapThread(WorkerMode mode, WorkerJob job, WorkerHost& host);
  // Waits for a started pass to finish.
  ~OpenMapThread();
  OpenMapThread(const OpenMapThread&) = delete;
  OpenMapThread& operator=(const OpenMapThread&) = delete;

  // Starts the pass on a new thread; WorkerDone turns true when it ends.
  void Start();
  // Blocks until the pass has ended (the command line runs in the foreground).
  void Wait();
  // Runs the pass on the calling thread.
  void Execute();

  bool WorkerDone() const { return workerDone_.load(); }
  // The Abort button: a scan stops before the next map file, a thumbnail
  // pass before the next map; what was finished is kept.
  void Abort() { scanAbort_.store(true); }
  // The flag itself, for a signal handler that may only store into it.
  std::atomic<bool>& ScanAbort() { return scanAbort_; }

  // One report per map whose thumbnail was attempted, in the order of the
  // pass. Read it only once WorkerDone is true.
  const std::vector<ThumbnailReport>& Reports() const { return reports_; }

  // The services the worker code uses.
  void SetProgressLabel(const std::string& text, int label);
  // Sets the destination up from the snapshot (once per pass) and returns
  // the first five characters of its projection name, trimmed.
  std::string GetDestinationShortName();
  int GetThumbnailSize() const { return job_.settings.thumbnailSize; }
  bool ReadUseThumbnails() const { return job_.settings.useThumbnails; }

 private:
  void RebuildThumbnails();
  void ScanFolders();
  // The thumbnail context of this pass; none when thumbnails are off.
  std::optional<ThumbnailContext> MakeThumbnailContext();
  void BuildAndReport(Map_record& map, const ThumbnailContext& context);

  WorkerMode mode_;
  WorkerJob job_;
  WorkerHost& host_;
  std::atomic<bool> scanAbort_{false};
  std::atomic<bool> workerDone_{false};
  std::optional<geodesy::Projection> destination_;
  std::vector<ThumbnailReport> reports_;
  std::thread thread_;
};

// RebuildThumbnails: BuildThumbnail for every map of the catalogue in order,
// "Map i of n" on the second label; a map whose thumbnail fails is passed
// over. An abort stops before the next map. The loaded folders stay as they
// are: their maps are still in the catalogue.
void RebuildThumbnails(MapCatalogue& catalogue, const ThumbnailContext& context, const std::atomic<bool>& abort,
                       std::vector<ThumbnailReport>& reports);

}  // namespace quiltor
