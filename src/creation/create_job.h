#pragma once
// The creation job: reprojects every contributing source map into the
// destination grid row by row, mosaics them with the first map of the list on
// top, and hands the finished rows to the temporary image; then sharpening,
// the tiled image and its calibration file. TCreateThread runs the job on a
// worker thread for the window; the command line runs the same job directly.
//
// The job talks to the user interface only through WorkerHost, and reads
// only the snapshot it was given. The per-map working state of a create
// (bounds, row work arrays, open image, opening time) belongs to the job.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/worker_host.h"
#include "creation/destination_map.h"
#include "raster/raster_reader.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::creation {

// Every row starts at this value in all three bytes; a pixel whose three
// bytes are all 247 counts as not yet filled.
inline constexpr std::uint8_t kBackgroundByte = 247;

inline constexpr const char* kResultComplete = "Creating map ... complete";
inline constexpr const char* kResultAborted = "Creating map ... Aborted";
inline constexpr const char* kResultFailed = "Creating map ... failed";

// One source map as the job sees it.
struct CreationSource {
  std::string imageFile;  // full path, for the open and the log lines
  std::int32_t width = 0;   // image size of the calibrated record
  std::int32_t height = 0;
  double metresPerPixel = 0;
  GeoOutline outline;       // WGS 84 border
  // The sorted border crossings of an image row; read in pairs they are the
  // inside spans, both ends included. Computed when asked for; the job keeps
  // the rows it used last.
  std::function<std::vector<std::int32_t>(std::int32_t row)> rowSpans;
  // WGS 84 latitude/longitude to the map's pixel column and row (not rounded).
  std::function<void(double lat, double lon, double& column, double& row)> toPixel;
  // Opens the image; throws QuiltorError or returns null when it cannot.
  std::function<std::unique_ptr<RasterReader>()> open;
};

// The true-colour temporary image the rows go to.
class TempRowWriter {
 public:
  virtual ~TempRowWriter() = default;
  virtual void WriteRow(const std::uint8_t* row) = 0;  // width * 3 bytes, blue green red
  virtual void Finish() = 0;
};

// The stages after the row loop and the files they touch. Paths are plain
// strings; the job makes every temporary file inside its private work folder.
struct CreateStages {
  std::function<std::unique_ptr<TempRowWriter>(const std::string& path, std::int32_t width, std::int32_t height)>
      beginTempImage;
  // Answers false when stopped by ConversionAbort (nothing usable left at `to`).
  std::function<bool(const std::string& from, const std::string& to)> sharpen;
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
  int maxLoadedMaps = 25;       // raised to 3 if smaller
};

struct CreateFlags {
  std::atomic<bool> abortRequested{false};
  std::atomic<bool> conversionAbort{false};
  std::atomic<bool> creationDone{false};
};

// Milliseconds of a monotonic clock; tests pass their own.
using MillisecondClock = std::function<std::uint32_t()>;

// A source image the create could not open, and why.
struct MapOpenFailure {
  std::string imageFile;
  std::string cause;  // the reader's or the opener's words
};

struct CreateReport {
  bool started = false;        // false: ended before the row loop (no extent, too small)
  std::string resultText;      // empty when the create ended before the row loop
  bool outputWritten = false;  // the tiled image and its calibration file exist
  DestinationExtent extent;
  DestinationGrid grid;
  std::int64_t exactProjections = 0;  // points sent through the whole projection chain
  int maxLoadedMaps = 0;              // at the end of the run
  std::vector<MapOpenFailure> openFailures;  // each image once, in the order they failed
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
  struct MapState;
  CreateReport RunStages();
  bool RowLoop(const std::string& tempFile);
  void PrepareMaps();
  void ScanRow(std::int32_t r, double rowY, std::vector<std::uint8_t>& rowBuffer);
  void TransformMapRow(MapState& map);
  void OpenCachedMap(MapState& map);
  void CloseAllMaps();
  std::string NewWorkFile(const std::string& stem);

  CreateSettings settings_;
  std::vector<MapState> maps_;
  CreateStages stages_;
  WorkerHost& host_;
  CreateFlags& flags_;
  MillisecondClock clock_;
  DestinationExtent extent_;
  DestinationGrid grid_;
  std::unique_ptr<WorkFolder> workFolder_;
  std::uint32_t startTick_ = 0;
  int loadedCount_ = 0;
  int opensThisRow_ = 0;
  int maxLoadedMaps_ = 3;
  std::int64_t exactProjections_ = 0;
  std::vector<MapOpenFailure> openFailures_;
};

// Bilinear weights of the four neighbours a (x0, y0), b (x1, y0), c (x0, y1),
// d (x1, y1) in 15-bit fixed point (they sum to 32768). With a scale ratio of
// 0.6 or less the four pixels are averaged.
struct BilinearWeights {
  std::int32_t a, b, c, d;
};
BilinearWeights SampleWeights(double x, double y, double scaleRatio);

// Samples `raster` at source position (x, y) into `pixel` (blue, green, red).
void SampleBilinear(RasterReader& raster, std::uint8_t* pixel, double x, double y, double scaleRatio);

// Destination coordinates to source pixels for n entries in place: exact at
// the two ends and the middle, interpolated between them while the middle
// point's error is at most `tolerance` pixels, split in halves otherwise.
// `transform` converts arrays exactly; `exact` counts the points it saw.
using PointTransform = std::function<void(double* x, double* y, int n)>;
void AdaptiveRowTransform(double* x, double* y, int n, double tolerance, const PointTransform& transform);

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
