#include "catalogue/open_map_thread.h"

#include "common/text.h"
#include "geodesy/datum.h"

namespace quiltor {

namespace {

ThumbnailReport TryBuild(Map_record& map, const ThumbnailContext& context) {
  ThumbnailReport report{map.mapFile, {}};
  try {
    report.build = BuildThumbnail(map, context);
  } catch (const std::exception&) {
    // a cache file that cannot be read or written: the map stays usable
    // without its thumbnail
    map.thumbnail.reset();
    report.build.code = kThumbnailNotMade;
  }
  return report;
}

}  // namespace

void RebuildThumbnails(MapCatalogue& catalogue, const ThumbnailContext& context, const std::atomic<bool>& abort,
                       std::vector<ThumbnailReport>& reports) {
  const int count = catalogue.count();
  for (int i = 0; i < count; ++i) {
    context.host.SetProgressLabel(2, "Map " + FormatInt(i + 1) + " of " + FormatInt(count));
    reports.push_back(TryBuild(catalogue[i], context));
    if (abort.load()) return;
  }
}

OpenMapThread::OpenMapThread(WorkerMode mode, WorkerJob job, WorkerHost& host)
    : mode_(mode), job_(std::move(job)), host_(host) {}

OpenMapThread::~OpenMapThread() { Wait(); }

void OpenMapThread::Start() {
  workerDone_.store(false);
  thread_ = std::thread([this] { Execute(); });
}

void OpenMapThread::Wait() {
  if (thread_.joinable()) thread_.join();
}

void OpenMapThread::Execute() {
  workerDone_.store(false);
  reports_.clear();
  try {
    if (mode_ == WorkerMode::Scan) {
      ScanFolders();
    } else {
      RebuildThumbnails();
    }
  } catch (const std::exception& e) {
    // nothing may escape a thread; the pass ends with what it finished
    host_.ShowMessage(e.what());
  }
  destination_.reset();  // its projection handle belongs to this pass
  workerDone_.store(true);
}

void OpenMapThread::SetProgressLabel(const std::string& text, int label) { host_.SetProgressLabel(label, text); }

std::string OpenMapThread::GetDestinationShortName() {
  if (!destination_) {
    destination_ = geodesy::ReadDestinationProjection(job_.settings.destination, job_.projections);
  }
  return destination_->ShortName();
}

std::optional<ThumbnailContext> OpenMapThread::MakeThumbnailContext() {
  if (!ReadUseThumbnails() || !job_.thumbnailFolders) return std::nullopt;
  GetDestinationShortName();
  return ThumbnailContext{*job_.thumbnailFolders, *destination_, ProjectionKey(job_.settings.destination),
                          GetThumbnailSize(), host_};
}

void OpenMapThread::BuildAndReport(Map_record& map, const ThumbnailContext& context) {
  reports_.push_back(TryBuild(map, context));
}

void OpenMapThread::ScanFolders() {
  const std::optional<ThumbnailContext> thumbnails = MakeThumbnailContext();
  MapReadContext read{job_.projections, job_.imageSearch, job_.images, host_, {}};
  if (thumbnails) read.buildThumbnail = [this, &thumbnails](Map_record& map) { BuildAndReport(map, *thumbnails); };
  ScanSession session{job_.catalogue, job_.loadedFolders, read, scanAbort_};
  ScanNewFolders(session, job_.tickedFolders);
}

void OpenMapThread::RebuildThumbnails() {
  const std::optional<ThumbnailContext> thumbnails = MakeThumbnailContext();
  if (!thumbnails) return;
  quiltor::RebuildThumbnails(job_.catalogue, *thumbnails, scanAbort_, reports_);
}

}  // namespace quiltor
