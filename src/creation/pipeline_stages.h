#pragma once
// The creation job's stages on the real image pipeline: the merged rows
// sharpened as they arrive into a true-colour temporary image, the tiled
// image with all zoom levels, and the calibration file beside it.
#include <cstdint>
#include <string>

#include "common/worker_host.h"
#include "creation/create_job.h"
#include "geodesy/destination_setup.h"

namespace quiltor::creation {

struct PipelineOptions {
  int colourCount = 256;    // "Number of Colors"
  int resizePercent = 100;  // "Resize (%)"
  int threads = 0;          // for the work that splits: 0 = one per core
};

// What the calibration file of the created map records about its
// destination.
struct CalibrationTarget {
  geodesy::Projection destination;         // on WGS 84
  std::int32_t datum = 0;                  // the destination datum the corners are written on
  std::string metersPerPixelText = "100";  // the "Meters per Pixel" field as typed
};

// The sharpening and tiled-image stages stop when flags.conversionAbort is
// set. The calibration file names the tiled image the conversion actually
// wrote and is written beside it; a failure to write it throws.
CreateStages PipelineStages(const PipelineOptions& options, const CalibrationTarget& target, WorkerHost& host,
                            CreateFlags& flags);

}  // namespace quiltor::creation
