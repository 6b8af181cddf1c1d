#pragma once
// The creation job: reprojects every contributing source map into the
// destination grid row by row, mosaics them with the first map of the list on
// top, and hands the finished rows to the temporary image, which sharpens
// them on their way in; then the tiled image and its calibration file.
// TCreateThread runs the job on a worker thread for the window; the command
// line runs the same job directly.
//
// The job talks to the user interface only through WorkerHost, and reads
// only the snapshot it was given. Where each map meets the grid is worked
// out once (RowPlan); the rows are merged by a RowWorker, which owns the
// open images and the work arrays of the row.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/worker_host.h"
#include "creation/creation_source.h"
#include "creation/destination_map.h"
#include "creation/row_sampling.h"
#include "creation/row_worker.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::creation {

inline constexpr const char* kResultComplete = "Creating map ... complete";
inline constexpr const char* kResultAborted = "Creating map ... Aborted";
inline constexpr const char* kResultFailed = "Creating map ... failed";

// Where the merged rows go, in row order: the true-colour temporary image
// the later stages read, the rows sharpened on their way in.
class TempRowWriter {
 public:
  virtual ~TempRowWriter() = default;
  virtual void WriteRow(const std::uint8_t* row) = 0;  // width * 3 bytes, blue green red
  // The Sharpening stage, after the last row: sharpens what is still
  // waiting and completes the image. False when stopped by ConversionAbort
  // (nothing usable left). A writer destroyed without it leaves an
  // incomplete file for the job to remove.
  virtual bool Finish() = 0;
};

// The stages after the row loop and the files they touch. Paths are plain
// strings; the job makes every temporary file inside its private work folder.
struct CreateStages {
  std::function<std::unique_ptr<TempRowWriter>(const std::string& path, std::int32_t width, std::int32_t height)>
      beginTempImage;
  // Answers whether the tiled image was written completely; throws with the
  // reason when it failed for one not yet shown. It is not yet in place:
  // writeMapFile puts the image and its calibration file there together,
  // or neither.
  std::function<bool(const std::string& temp, const std::string& destination, const std::string& workFolder)>
      convertToTiled;
  // Writes the calibration file beside the destination and puts it and the
  // image in place; throws on failure, with neither in place.
  std::function<void(const DestinationExtent& extent, const DestinationGrid& grid)> writeMapFile;
};

struct CreateSettings {
  DestinationProjection projection;
  CreateMode mode = CreateMode::SelectedMaps;
  DrawnRegion region;
  double metresPerPixel = 100;
  int resizePercent = 100;
  std::string tempFolder;       // the Temp File Folder
  std::string destinationFile;  // the tiled image to write
  int maxLoadedMaps = 25;       // raised to 3 if smaller, per row worker
  int threads = 0;              // row workers, 0: one per core; the merged map is the same for any count
};

struct CreateFlags {
  std::atomic<bool> abortRequested{false};
  std::atomic<bool> conversionAbort{false};
  std::atomic<bool> creationDone{false};
};

// Milliseconds of a monotonic clock; tests pass their own.
using MillisecondClock = std::function<std::uint32_t()>;

struct CreateReport {
  bool started = false;        // false: ended before the row loop (no extent, too small)
  std::string resultText;      // empty when the create ended before the row loop
  bool outputWritten = false;  // the tiled image and its calibration file exist
  DestinationExtent extent;
  DestinationGrid grid;
  // The tiled image's full-size level: the grid resized to the resize percentage.
  std::int32_t imageWidth = 0;
  std::int32_t imageHeight = 0;
  std::int64_t exactProjections = 0;  // points sent through the whole projection chain
  int maxLoadedMaps = 0;              // at the end of the run
  std::vector<MapOpenFailure> openFailures;  // each image once, in list order
};

class CreateJob {
 public:
  // `sources` is the SelectedMapList in list order (most detailed first).
  CreateJob(CreateSettings settings, std::vector<CreationSource> sources, CreateStages stages, WorkerHost& host,
            CreateFlags& flags, MillisecondClock clock = {});
  ~CreateJob();
  CreateJob(const CreateJob&) = delete;
  CreateJob& operator=(const CreateJob&) = delete;

  // Runs the whole create; sets flags.creationDone on every way out.
  CreateReport Run();

 private:
  CreateReport RunStages();
  bool RowLoop(TempRowWriter& rows);
  std::string NewWorkFile(const std::string& stem);

  CreateSettings settings_;
  std::vector<CreationSource> sources_;
  CreateStages stages_;
  WorkerHost& host_;
  CreateFlags& flags_;
  MillisecondClock clock_;
  DestinationExtent extent_;
  DestinationGrid grid_;
  std::unique_ptr<WorkFolder> workFolder_;
  int maxLoadedMaps_ = 3;
  std::int64_t exactProjections_ = 0;
  std::vector<MapOpenFailure> openFailures_;
  int imagesOpened_ = 0;  // over the whole row loop
};

// Rows between two progress texts for a destination `width` pixels wide.
int ProgressStep(std::int32_t width);

// Runs a CreateJob on its own thread, as the create window starts it.
class TCreateThread {
 public:
  explicit TCreateThread(std::unique_ptr<CreateJob> job);
  ~TCreateThread();  // joins
  TCreateThread(const TCreateThread&) = delete;
  TCreateThread& operator=(const TCreateThread&) = delete;
  // Waits for the end and answers the job's report.
  CreateReport Join();

 private:
  std::unique_ptr<CreateJob> job_;
  CreateReport report_;
  std::thread thread_;
};

}  // namespace quiltor::creation
