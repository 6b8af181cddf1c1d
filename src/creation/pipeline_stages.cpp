#include "creation/pipeline_stages.h"

#include <memory>

#include "catalogue/map_file_writer.h"
#include "common/error.h"
#include "common/paths.h"
#include "pipeline/level_pass.h"
#include "pipeline/sharpen.h"
#include "pipeline/tiled_conversion.h"

namespace quiltor::creation {

namespace {

// The sharpened map and the colour statistics gathered while it was written.
struct SampledImage {
  std::string path;
  std::shared_ptr<const FullSizeColourSample> colours;
};

// The merged rows, sharpened as they arrive into the true-colour temporary
// image. At full size the colour statistics of the conversion are fed on
// the way, so that the conversion goes over the sharpened map only once, to
// map its colours.
class SharpenedRows : public TempRowWriter {
 public:
  SharpenedRows(const std::string& path, std::int32_t width, std::int32_t height, const PipelineOptions& options,
                WorkerHost& host, CreateFlags& flags, std::shared_ptr<SampledImage> sampled)
      : path_(path),
        colours_(options.resizePercent >= 100
                     ? std::make_shared<FullSizeColourSample>(MappedColourCount(options.colourCount))
                     : nullptr),
        writer_(path, width, height, options.threads, colours_.get()),
        host_(host),
        flags_(flags),
        sampled_(std::move(sampled)) {
    *sampled_ = {};
  }
  void WriteRow(const std::uint8_t* row) override { writer_.WriteRow(row); }
  bool Finish() override {
    writer_.ShowProgressOn(host_, &flags_.conversionAbort);
    if (!writer_.Finish()) return false;
    *sampled_ = {path_, colours_};
    return true;
  }

 private:
  std::string path_;
  std::shared_ptr<FullSizeColourSample> colours_;
  SharpenedTempWriter writer_;
  WorkerHost& host_;
  CreateFlags& flags_;
  std::shared_ptr<SampledImage> sampled_;
};

}  // namespace

CreateStages PipelineStages(const PipelineOptions& options, const CalibrationTarget& target, WorkerHost& host,
                            CreateFlags& flags) {
  // The conversion may write under another name than asked for; the
  // calibration file must name and sit beside what was really written.
  auto written = std::make_shared<std::string>();
  // The finished image under its pending name until its calibration file is
  // written too: then both are put in place, so a failed map file write
  // leaves an earlier image and map file of that name as they were.
  auto image = std::make_shared<std::shared_ptr<PendingFile>>();
  CreateStages stages;
  auto sampled = std::make_shared<SampledImage>();
  stages.beginTempImage = [options, &host, &flags, sampled](const std::string& path, std::int32_t width,
                                                            std::int32_t height) {
    return std::make_unique<SharpenedRows>(path, width, height, options, host, flags, sampled);
  };
  stages.convertToTiled = [options, &host, &flags, written, image, sampled](
                              const std::string& temp, const std::string& destination, const std::string& workFolder) {
    TiledConversionRequest request;
    request.sourcePath = temp;
    request.destinationPath = destination;
    request.tempFolder = workFolder;
    request.colourCount = options.colourCount;
    request.scalePercent = options.resizePercent;
    request.scrambled = false;  // the host application opens the plain variant
    request.deferCommit = true;
    request.threads = options.threads;
    if (sampled->path == temp) request.fullSizeColours = sampled->colours;
    const TiledConversionResult result = ConvertToTiledImage(request, host, flags.conversionAbort);
    // A failure not yet shown (a full disk, a file that cannot be written)
    // ends the create with its reason, which the create log then gives.
    if (!result.ok && !result.error.empty() && !result.shown) throw QuiltorError(result.error);
    *written = result.ok ? result.writtenPath : std::string();
    *image = result.pending;
    return result.ok;
  };
  const int resize = options.resizePercent;
  stages.writeMapFile = [target, resize, written, image](const DestinationExtent&, const DestinationGrid& grid) {
    // However this ends, the pending image goes: put in place or removed.
    const std::shared_ptr<PendingFile> pendingImage = std::move(*image);
    if (written->empty() || !pendingImage) throw QuiltorError("no tiled image was written");
    MapFileDestination d;
    d.projection = target.destination;
    d.datum = target.datum;
    d.metersPerPixelText = target.metersPerPixelText;
    d.imageExtension = ExtensionPart(*written);
    // The corners go where the image's pixels were sampled: the grid's edges,
    // not the extent it was sized from.
    const DestinationExtent edges = GridEdges(grid);
    const std::unique_ptr<PendingFile> mapFile =
        PrepareMapFile(*written, grid.width, grid.height, edges.minX, edges.maxX, edges.maxY, edges.minY, resize, d);
    CommitTogether(*pendingImage, *mapFile);
  };
  return stages;
}

}  // namespace quiltor::creation
