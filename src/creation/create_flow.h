#pragma once
// A create from the command to the finished files, without windows: the
// checks before anything starts (region, map list, folders), the create log
// with its start, end and elapsed time, and the run of the creation job.
// The window and the command line both drive a create through RunCreate.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/worker_host.h"
#include "creation/create_job.h"
#include "creation/destination_map.h"

namespace quiltor::creation {

inline constexpr const char* kNoRegionMessage = "No map draw area selected.";
inline constexpr const char* kNoMapsMessage = "No maps selected or in region.";

// What GetSelectedMapArray needs of one catalogue map.
struct CatalogueEntry {
  bool usable = true;    // status 0
  bool selected = false; // ticked in the map list
  const GeoOutline* outline = nullptr;
};

// Answers whether two latitude/longitude outlines overlap.
using OverlapTest = std::function<bool(const GeoOutline& map, const GeoOutline& region)>;

// The SelectedMapList: catalogue indices in catalogue order.
std::vector<int> GetSelectedMapArray(CreateMode mode, const DestinationProjection& projection,
                                     const DrawnRegion& region, const std::vector<CatalogueEntry>& catalogue,
                                     const OverlapTest& overlaps);

// True when `folder` (trailing separator dropped) is an existing directory
// that is not on an optical disc; otherwise shows "The <label> Folder is not
// valid" or "The <label> Folder is on a CDROM" and answers false.
bool ValidateFolderSetting(const std::string& folder, const std::string& label, WorkerHost& host);

// "HH:MM:SS" for an elapsed time in seconds, as the create log shows it.
std::string FormatElapsed(double seconds);

// The local date and time as the create log shows it.
std::string FormatLogTime(std::chrono::system_clock::time_point when);

// The create log ("Map Create Log"): its lines, in order.
struct CreateLog {
  std::vector<std::string> lines;
  bool show = false;  // false after an abort or a too-small refusal
};

// What a window adds to a create. Without them the destination is
// settings.destinationFile and the creation thread starts at once.
struct CreateInteraction {
  // The save dialog, asked once the Temp File Folder has passed its checks;
  // no answer means cancelled: nothing is shown and nothing is created.
  std::function<std::optional<std::string>()> chooseDestination;
  // Waits for the creation thread, given the function that starts it: a
  // window calls it from its progress window and keeps its own event loop
  // running until CreationDone.
  std::function<void(const std::function<void()>& startJob)> runJob;
};

struct CreateRequest {
  CreateSettings settings;                 // destinationFile is the chosen output file
  std::vector<CatalogueEntry> catalogue;   // the catalogue, in catalogue order
  OverlapTest overlaps;
  // Builds the job's view of catalogue map `index`.
  std::function<CreationSource(int index)> sourceOf;
  CreateStages stages;
  MillisecondClock clock;
  CreateInteraction interaction;
};

struct CreateOutcome {
  bool started = false;      // false: refused before the job ran (the message says why)
  CreateReport report;
  CreateLog log;
  std::vector<int> selectedMaps;
};

// The whole create: the checks and messages in order, then the job on its
// own thread (TCreateThread), then the log with the elapsed time.
CreateOutcome RunCreate(const CreateRequest& request, WorkerHost& host, CreateFlags& flags);

}  // namespace quiltor::creation
