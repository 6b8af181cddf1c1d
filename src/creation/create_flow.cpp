#include "creation/create_flow.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "common/mounts.h"
#include "common/paths.h"
#include "common/text.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::creation {

namespace fs = std::filesystem;

std::vector<int> GetSelectedMapArray(CreateMode mode, const DestinationProjection& projection,
                                     const DrawnRegion& region, const std::vector<CatalogueEntry>& catalogue,
                                     const OverlapTest& overlaps) {
  GeoOutline regionOutline;
  if (region.drawn()) regionOutline = RegionOutline(projection, region);
  std::vector<int> list;
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    const CatalogueEntry& map = catalogue[i];
    // Only usable maps can be merged; a map whose image is missing cannot be selected.
    if (!map.usable) continue;
    bool take = false;
    switch (mode) {
      case CreateMode::SelectedMaps:
        take = map.selected;
        break;
      case CreateMode::RegionSelectedMaps:
        take = map.selected && map.outline && overlaps(*map.outline, regionOutline);
        break;
      case CreateMode::RegionAllMaps:
        take = map.outline && overlaps(*map.outline, regionOutline);
        break;
    }
    if (take) list.push_back(static_cast<int>(i));
  }
  return list;
}

bool ValidateFolderSetting(const std::string& folder, const std::string& label, WorkerHost& host) {
  const FolderProblem problem = CheckFolderSetting(folder);
  if (problem == FolderProblem::None) return true;
  host.ShowMessage(FolderProblemMessage(label, problem));
  return false;
}

std::string FormatElapsed(double seconds) {
  const double h = seconds / 3600.0;
  const double hours = std::floor(h);
  const double minutesAll = (h - hours) * 60.0;
  const double minutes = std::floor(minutesAll);
  const double secs = (minutesAll - minutes) * 60.0;
  // Seconds with two significant digits and no decimals: 59.6 shows as 60.
  std::string s = FormatFixed(std::round(secs), 0);
  return ZeroPad(FormatInt(static_cast<std::int64_t>(hours)), 2) + ":" +
         ZeroPad(FormatInt(static_cast<std::int64_t>(minutes)), 2) + ":" + ZeroPad(s, 2);
}

std::string FormatLogTime(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

namespace {

// A folder the create cannot write into would only fail after the whole row
// loop; find out before anything starts.
bool FolderWritable(const std::string& folder) {
  std::random_device seed;
  const fs::path probe = fs::path(folder) / (".quiltor-write-test-" + FormatInt(seed() % 1000000000u));
  std::ofstream out(probe);
  const bool ok = static_cast<bool>(out);
  out.close();
  std::error_code ec;
  fs::remove(probe, ec);
  return ok;
}

// Before the save dialog: a drawn region for the region modes, at least one
// map, and a usable Temp File Folder (checked with its own texts first,
// then again as the create checks every folder it uses).
bool StartChecks(const CreateRequest& request, WorkerHost& host, std::vector<int>& selectedMaps) {
  const CreateSettings& settings = request.settings;
  if (settings.mode != CreateMode::SelectedMaps && !settings.region.drawn()) {
    host.ShowMessage(kNoRegionMessage);
    return false;
  }
  selectedMaps =
      GetSelectedMapArray(settings.mode, settings.projection, settings.region, request.catalogue, request.overlaps);
  if (selectedMaps.empty()) {
    host.ShowMessage(kNoMapsMessage);
    return false;
  }
  // The Temp File Folder is checked with its own texts first, then again as
  // the create itself checks every folder it uses.
  switch (CheckFolderSetting(settings.tempFolder)) {
    case FolderProblem::NotAFolder: host.ShowMessage(kTempFolderNotValid); return false;
    case FolderProblem::OnOpticalDisc: host.ShowMessage(kTempFolderOnCdrom); return false;
    case FolderProblem::None: break;
  }
  return ValidateFolderSetting(settings.tempFolder, "Temp File", host);
}

// After the save dialog: the folders the create writes into.
bool DestinationChecks(const CreateSettings& settings, WorkerHost& host) {
  const std::string destinationFolder = FolderPart(settings.destinationFile);
  if (!ValidateFolderSetting(destinationFolder.empty() ? "." : destinationFolder, "Destination", host)) return false;
  if (!FolderWritable(destinationFolder.empty() ? "." : destinationFolder)) {
    host.ShowMessage("The Destination Folder cannot be written to");
    return false;
  }
  if (!FolderWritable(StripTrailingSeparator(TrimSpaces(settings.tempFolder)))) {
    host.ShowMessage("The Temp File Folder cannot be written to");
    return false;
  }
  return true;
}

}  // namespace

CreateOutcome RunCreate(const CreateRequest& request, WorkerHost& host, CreateFlags& flags) {
  CreateOutcome outcome;
  if (!StartChecks(request, host, outcome.selectedMaps)) return outcome;
  CreateSettings settings = request.settings;
  if (request.interaction.chooseDestination) {
    const std::optional<std::string> chosen = request.interaction.chooseDestination();
    if (!chosen) return outcome;
    settings.destinationFile = *chosen;
  }
  if (!DestinationChecks(settings, host)) return outcome;
  // Work folders left by a create killed hard (their process is gone) may
  // hold images of gigabytes; only those go, never a running create's.
  SweepAbandonedWorkFolders(StripTrailingSeparator(TrimSpaces(settings.tempFolder)));

  outcome.started = true;
  const auto start = std::chrono::system_clock::now();
  const auto startSteady = std::chrono::steady_clock::now();
  outcome.log.lines = {"Start : " + FormatLogTime(start), ""};

  std::vector<CreationSource> sources;
  for (int index : outcome.selectedMaps) sources.push_back(request.sourceOf(index));
  // The create log is the "Map Errors" memo; what the job adds to it during
  // the run (a failed stage) goes into this log as well.
  class LogHost : public WorkerHost {
   public:
    LogHost(WorkerHost& inner, CreateLog& log) : inner_(inner), log_(log) {}
    void SetProgressLabel(int l, const std::string& t) override { inner_.SetProgressLabel(l, t); }
    void SetStatusText(const std::string& t) override { inner_.SetStatusText(t); }
    void StageStarted(Stage s) override { inner_.StageStarted(s); }
    void StageFinished(Stage s) override { inner_.StageFinished(s); }
    void ResetActionList() override { inner_.ResetActionList(); }
    void AppendActionLine(const std::string& l) override { inner_.AppendActionLine(l); }
    void AppendMapError(const std::string& l, const std::string& cause) override {
      log_.lines.push_back(l);
      inner_.AppendMapError(l, cause);
    }
    void ShowMessage(const std::string& t) override { inner_.ShowMessage(t); }

   private:
    WorkerHost& inner_;
    CreateLog& log_;
  } logHost(host, outcome.log);

  std::optional<TCreateThread> thread;
  const auto startJob = [&] {
    thread.emplace(std::make_unique<CreateJob>(settings, std::move(sources), request.stages, logHost, flags,
                                               request.clock));
  };
  if (request.interaction.runJob)
    request.interaction.runJob(startJob);
  else
    startJob();
  if (!thread) {  // the window ended its wait without starting the job
    outcome.started = false;
    outcome.log.lines.clear();
    return outcome;
  }
  outcome.report = thread->Join();

  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - startSteady).count();
  outcome.log.lines.push_back("End : " + FormatLogTime(std::chrono::system_clock::now()));
  outcome.log.lines.push_back("");
  outcome.log.lines.push_back("Elapsed Time (hh:mm:ss) : " + FormatElapsed(elapsed));
  outcome.log.show = !flags.abortRequested;
  return outcome;
}

}  // namespace quiltor::creation
