#include "creation/create_job.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>

#include "common/error.h"
#include "common/paths.h"
#include "common/resample_grid.h"
#include "common/text.h"
#include "creation/ordered_rows.h"
#include "pipeline/zoom_plan.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::creation {

namespace fs = std::filesystem;

namespace {

std::uint32_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

}  // namespace

int ProgressStep(std::int32_t width) {
  if (width > 18000) return 1;
  if (width > 12000) return 2;
  if (width > 6000) return 5;
  return 10;
}

CreateJob::CreateJob(CreateSettings settings, std::vector<CreationSource> sources, CreateStages stages,
                     WorkerHost& host, CreateFlags& flags, MillisecondClock clock)
    : settings_(std::move(settings)), sources_(std::move(sources)), stages_(std::move(stages)), host_(host),
      flags_(flags), clock_(clock ? std::move(clock) : MillisecondClock(SteadyMilliseconds)) {}

CreateJob::~CreateJob() = default;

CreateReport CreateJob::Run() {
  CreateReport report;
  try {
    report = RunStages();
  } catch (const std::exception& e) {
    report.resultText = kResultFailed;
    host_.AppendMapError(std::string(kResultFailed) + " : " + e.what(), {});
  }
  workFolder_.reset();
  report.exactProjections = exactProjections_;
  report.maxLoadedMaps = maxLoadedMaps_;
  report.openFailures = openFailures_;
  flags_.creationDone = true;
  return report;
}

std::string CreateJob::NewWorkFile(const std::string& stem) {
  return (workFolder_->path() / stem).string();
}

CreateReport CreateJob::RunStages() {
  CreateReport report;
  // An Abort pressed before the job starts is kept: the user asked for no map.
  std::vector<const GeoOutline*> outlines;
  for (const CreationSource& source : sources_) outlines.push_back(&source.outline);
  const auto extent = ComputeDestinationExtent(settings_.projection, settings_.mode, settings_.region, outlines);
  if (!extent) return report;
  extent_ = *extent;
  grid_ = ComputeDestinationGrid(settings_.projection, extent_, settings_.metresPerPixel);
  report.extent = extent_;
  report.grid = grid_;
  report.imageWidth = ResampledLength(grid_.width, settings_.resizePercent);
  report.imageHeight = ResampledLength(grid_.height, settings_.resizePercent);
  if (!LargeEnoughToTile(grid_.width, grid_.height, settings_.resizePercent)) {
    host_.ShowMessage(kImageTooSmallMessage);
    flags_.abortRequested = true;
    return report;
  }
  if (flags_.abortRequested) {
    report.started = true;
    report.resultText = kResultAborted;
    return report;
  }

  // One private work folder inside the Temp File Folder holds every
  // temporary file of this create and of its conversion; it goes when the
  // job ends, whatever way it ends.
  workFolder_ = std::make_unique<WorkFolder>(fs::path(StripTrailingSeparator(TrimSpaces(settings_.tempFolder))),
                                             kCreateWorkFolderPrefix);
  report.started = true;

  // The merged rows are sharpened as they arrive: the merged map itself is
  // never stored, only its sharpened image under the output's name.
  const std::string tempFile = NewWorkFile(ChangeExtension(FileNamePart(settings_.destinationFile), ".qtxx0"));
  std::unique_ptr<TempRowWriter> rows = stages_.beginTempImage(tempFile, grid_.width, grid_.height);
  const bool completed = RowLoop(*rows);
  host_.StageFinished(Stage::GeneratingMap);
  const auto dropRows = [&] {
    rows.reset();
    RemoveQuietly(tempFile);
  };
  if (!completed || flags_.abortRequested) {
    dropRows();
    report.resultText = kResultAborted;
    return report;
  }
  if (imagesOpened_ == 0 && !openFailures_.empty()) {
    // Not one source image could be read: the map would be blank.
    dropRows();
    report.resultText = kResultFailed;
    host_.AppendMapError(std::string(kResultFailed) + " : not one source image could be read", {});
    return report;
  }

  host_.StageStarted(Stage::Sharpening);
  const bool sharpenedWhole = rows->Finish();
  rows.reset();
  if (!sharpenedWhole || flags_.abortRequested) {
    RemoveQuietly(tempFile);
    report.resultText = kResultAborted;
    return report;
  }
  host_.StageFinished(Stage::Sharpening);
  host_.StageStarted(Stage::SavingImage);
  const bool converted = stages_.convertToTiled(tempFile, settings_.destinationFile, workFolder_->path().string());
  RemoveQuietly(tempFile);
  host_.StageFinished(Stage::SavingImage);
  if (flags_.abortRequested || flags_.conversionAbort) {
    // Nothing is in place before the calibration file is written: an
    // earlier image and map file of that name stay as they were.
    report.resultText = kResultAborted;
    return report;
  }
  if (!converted) {
    // The conversion said no: nothing was written, and the log says why
    // instead of calling the create complete.
    report.resultText = kResultFailed;
    host_.AppendMapError(std::string(kResultFailed) + " : the tiled image " +
                         FileNamePart(settings_.destinationFile) + " could not be written", {});
    return report;
  }
  try {
    stages_.writeMapFile(extent_, grid_);
  } catch (const std::exception& e) {
    // The stage put neither file in place: an earlier pair stays as it was.
    report.resultText = kResultFailed;
    host_.AppendMapError(std::string(kResultFailed) + " : the calibration file could not be written (" + e.what() +
                         ")", {});
    return report;
  }
  report.resultText = kResultComplete;
  report.outputWritten = true;
  return report;
}

bool CreateJob::RowLoop(TempRowWriter& rows) {
  // The opening times of the "Action List" count from the start of the
  // rows; they are read on this thread only, as the rows are taken.
  const std::uint32_t startTick = clock_();
  const OpeningClock sinceStart = [this, startTick] {
    const std::uint32_t now = clock_();
    return now >= startTick ? now - startTick : startTick - now;
  };
  const int maxLoaded = std::max(settings_.maxLoadedMaps, 3);
  maxLoadedMaps_ = maxLoaded;
  host_.ResetActionList();
  host_.StageStarted(Stage::GeneratingMap);
  const RowPlan plan(settings_.projection, extent_, grid_, settings_.metresPerPixel, sources_);
  FirstOpens firstOpens(sources_.size());
  LoadedMapsLog loadedMaps(sources_, firstOpens, maxLoaded, sinceStart);
  std::vector<std::unique_ptr<RowWorker>> workers;
  std::vector<RowWorker*> workerList;
  for (int k = RowWorkerCount(settings_.threads, grid_.height); k > 0; --k) {
    workers.push_back(std::make_unique<RowWorker>(plan, sources_, settings_.projection, firstOpens, maxLoaded));
    workerList.push_back(workers.back().get());
  }
  std::vector<std::string> actionLines;
  std::vector<RowOpenFailure> failures;
  const int step = ProgressStep(grid_.width);
  const auto proceed = [&](std::int32_t r) {
    if (flags_.abortRequested) return false;
    if (r % step == 0) host_.SetStatusText("Row - " + FormatInt(r) + " of " + FormatInt(grid_.height));
    return true;
  };
  const auto take = [&](std::int32_t, const std::uint8_t* row, const RowLog& log) {
    actionLines.clear();
    loadedMaps.Row(log.mapsAsked, actionLines);
    for (const std::string& line : actionLines) host_.AppendActionLine(line);
    failures.insert(failures.end(), log.openFailures.begin(), log.openFailures.end());
    imagesOpened_ += log.imagesOpened;
    rows.WriteRow(row);
  };
  const auto gatherTotals = [&] {
    for (const auto& worker : workers) exactProjections_ += worker->exactProjections();
    maxLoadedMaps_ = loadedMaps.maxLoaded();
    // Which worker met a broken image first depends on timing: the list
    // order does not.
    std::stable_sort(failures.begin(), failures.end(),
                     [](const RowOpenFailure& a, const RowOpenFailure& b) { return a.map < b.map; });
    for (std::size_t k = 0; k < failures.size(); ++k)
      if (k == 0 || failures[k].map != failures[k - 1].map) openFailures_.push_back(failures[k].failure);
  };
  // A failure leaves the unfinished image to the caller, whose work folder
  // goes with it.
  bool completed = false;
  try {
    completed = MergeRowsInOrder(grid_.width, grid_.height, workerList, proceed, take);
  } catch (...) {
    gatherTotals();
    throw;
  }
  gatherTotals();
  return completed;
}

TCreateThread::TCreateThread(std::unique_ptr<CreateJob> job) : job_(std::move(job)) {
  thread_ = std::thread([this] { report_ = job_->Run(); });
}

TCreateThread::~TCreateThread() {
  if (thread_.joinable()) thread_.join();
}

CreateReport TCreateThread::Join() {
  if (thread_.joinable()) thread_.join();
  return report_;
}

}  // namespace quiltor::creation
