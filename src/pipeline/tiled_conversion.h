#pragma once
// Turns a finished true-colour (or palette) image into the final tiled
// multi-zoom file: colour reduction of the full-size image, every smaller
// zoom level made by resampling, colour reduction and sharpening, and all
// levels written tile by tile. Intermediate files live in a private work
// folder inside the temporary folder, removed at the end whatever happens;
// the destination is written under a temporary name and moved into place
// only when complete.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/worker_host.h"
#include "pipeline/level_pass.h"
#include "raster/raster_reader.h"
#include "raster/scratch/work_folder.h"

namespace quiltor {

// Opens the image to convert; nullptr when it cannot be opened. For callers
// that serve rows from somewhere other than a file.
using ConversionSourceOpener = std::function<std::unique_ptr<RasterReader>(const std::string& path)>;

struct TiledConversionRequest {
  std::string sourcePath;
  std::string destinationPath;
  std::string tempFolder;
  int colourCount = 254;       // at most 254 are used
  double scalePercent = 100;   // at most 100
  bool scrambled = false;      // this program's own tables; plain for files the host opens
  ConversionSourceOpener openSource;  // empty: OpenRaster, the one image dispatch
  // The finished image stays under its pending name (result.pending) for
  // the caller to put in place together with its calibration file.
  bool deferCommit = false;
  int threads = 0;  // for the work that splits (0: one per core); the file is the same for any number
  // Colours of the source already sampled by whoever wrote it, for a full-size
  // conversion of a true-colour source; empty: the conversion samples them.
  std::shared_ptr<const FullSizeColourSample> fullSizeColours;
};

// The colour count a conversion asked for `requested` colours maps to.
int MappedColourCount(int requested);

struct TiledConversionResult {
  bool ok = false;
  std::string writtenPath;  // the destination actually written (its name may change)
  // Why it failed; empty only when ok or aborted. A refusal the host was
  // shown (an unusable folder, an image too small) is its own words, with
  // `shown` set so that the caller does not repeat it.
  std::string error;
  bool shown = false;
  std::shared_ptr<PendingFile> pending;  // with deferCommit: the finished image, not yet in place
};

// The destination name the conversion writes: ".qtxt2" for a source whose
// path contains ".CAP", and "<source>_<n>.qtx2" when the destination would
// overwrite the source itself.
std::string ChooseDestinationName(const std::string& sourcePath, const std::string& destinationPath);

// Runs the whole conversion. `abort` (the create window's ConversionAbort) is
// checked between rows and tiles; an abort leaves no destination file.
TiledConversionResult ConvertToTiledImage(const TiledConversionRequest& request, WorkerHost& host,
                                          std::atomic<bool>& abort);

}  // namespace quiltor
