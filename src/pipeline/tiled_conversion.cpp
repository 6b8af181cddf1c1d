#include "pipeline/tiled_conversion.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "common/error.h"
#include "common/mounts.h"
#include "common/paths.h"
#include "common/resample_grid.h"
#include "common/text.h"
#include "pipeline/level_pass.h"
#include "pipeline/zoom_plan.h"
#include "raster/byte_file.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "raster/scratch/work_folder.h"
#include "raster/tiled/tiled_writer.h"

namespace quiltor {
namespace {

constexpr int kLevelColours = 62;

ZoomLevelImage AsLevelImage(RasterReader& reader) {
  if (reader.pixelMode() != 1) throw QuiltorError("zoom levels are palette images");
  return {reader.width(), reader.height(), reader.palette(),
          [&reader](int row, std::uint8_t* buffer) { reader.ReadRow(row, buffer); }};
}

// A level's palette image, read back through the image dispatch like any
// other ".qtx0".
std::unique_ptr<RasterReader> OpenLevel(const PassContext& context, int n) {
  std::unique_ptr<RasterSource> level = OpenRaster(context.workFolder / LevelFileName(n));
  if (!level) throw QuiltorError("cannot read back zoom level " + std::to_string(n));
  return level;
}

// The image to convert, or nullptr with why in `why`.
std::unique_ptr<RasterReader> OpenSource(const TiledConversionRequest& request, std::string& why) {
  if (request.openSource) {
    std::unique_ptr<RasterReader> reader = request.openSource(request.sourcePath);
    if (!reader) why = "cannot open " + request.sourcePath;
    return reader;
  }
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  std::string refusal;
  std::unique_ptr<RasterReader> source = OpenRaster(request.sourcePath, failure, refusal);
  if (!source) why = "cannot open " + request.sourcePath + ": " + DescribeOpenFailure(request.sourcePath, failure, refusal);
  return source;
}

// A failure whose words the host has just shown.
TiledConversionResult Shown(WorkerHost& host, const std::string& message) {
  host.ShowMessage(message);
  TiledConversionResult result;
  result.error = message;
  result.shown = true;
  return result;
}

// Levels 1 and up, each from level 1 or from `base`. False on abort.
bool MakeSmallerLevels(RasterReader& base, const std::vector<float>& zoom, const TopColours& top,
                       const PassContext& context) {
  context.host.SetStatusText("Creating " + FormatFixed(zoom[1], 1) + "% Zoom");
  if (!LevelPass(1, base, kLevelColours, zoom[1], top, context)) return false;
  std::unique_ptr<RasterReader> level1 = OpenLevel(context, 1);
  for (std::size_t n = 2; n < zoom.size(); ++n) {
    context.host.SetStatusText("Creating " + FormatFixed(zoom[n], 1) + "% Zoom");
    const bool fromLevelOne = MadeFromLevelOne(zoom, static_cast<int>(n));
    RasterReader& from = fromLevelOne ? *level1 : base;
    const double percent = fromLevelOne ? zoom[n] / zoom[1] * 100.0 : zoom[n];
    if (!LevelPass(static_cast<int>(n), from, kLevelColours, percent, top, context)) return false;
  }
  return true;
}

// The smaller levels made on a thread of their own while the caller writes
// level 0's tiles: both only read level 0. The levels stop at the
// conversion's abort, which the caller passes on while it waits (Finish),
// and whenever the caller leaves early (an abort or an error of its own),
// before their files and the work folder go.
class LevelsAside {
 public:
  LevelsAside(std::unique_ptr<RasterReader> base, const std::vector<float>& zoom, const TopColours& top,
              const PassContext& context)
      : base_(std::move(base)),
        abort_(context.abort),
        context_{context.workFolder, context.host, stop_, context.threads},
        done_(std::async(std::launch::async, [this, &zoom, top] { return MakeSmallerLevels(*base_, zoom, top, context_); })) {}
  LevelsAside(const LevelsAside&) = delete;
  LevelsAside& operator=(const LevelsAside&) = delete;
  ~LevelsAside() {
    stop_.store(true);
    if (done_.valid()) done_.wait();
  }

  // Waits for the levels; false on abort. Their errors are rethrown here.
  bool Finish() {
    while (done_.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (abort_.load()) stop_.store(true);
    }
    return done_.get() && !abort_.load();
  }

 private:
  std::unique_ptr<RasterReader> base_;
  const std::atomic<bool>& abort_;
  std::atomic<bool> stop_{false};
  PassContext context_;
  std::future<bool> done_;
};

// Steps after the checks: the base image, the smaller levels, the file.
// False on abort; errors throw.
bool BuildAndWrite(std::unique_ptr<RasterReader> source, const TiledConversionRequest& request, int colours,
                   double scale, const PassContext& context, const PendingFile& output) {
  const LevelSize overview = FixedLevelSize(source->width(), source->height(), kOverviewSide);
  const LevelSize thumbnail = FixedLevelSize(source->width(), source->height(), kThumbnailSide);
  const TopColours none{};

  // Level 0 made here counts its top colours as it is written.
  std::unique_ptr<RasterReader> base;
  std::optional<TopColourCount> topCount;
  if (scale == 100) {
    if (source->pixelMode() == 3 || colours < 254) {
      const FullSizeColourSample* sampled = request.fullSizeColours.get();
      if (sampled != nullptr && (source->pixelMode() != 3 || sampled->colours() != colours)) sampled = nullptr;
      topCount.emplace(source->width(), source->height());
      if (!MapColoursPass(*source, colours, context, sampled, &*topCount)) return false;
      source.reset();
      base = OpenLevel(context, 0);
    } else {
      base = std::move(source);
    }
  } else {
    topCount.emplace(ResampledLength(source->width(), scale), ResampledLength(source->height(), scale));
    if (!LevelPass(0, *source, colours, scale, none, context, &*topCount)) return false;
    source.reset();
    base = OpenLevel(context, 0);
  }
  const bool baseIsLevelZero = topCount.has_value();

  const std::vector<float> zoom = ZoomPercentages(base->width(), base->height(), thumbnail.width, overview.width);
  const TopColours top = topCount ? topCount->Top(base->palette()) : SampleTopColours(*base);
  // A base that is level 0 of the work folder is opened a second time for
  // the smaller levels, made alongside the writing of its tiles; a source
  // used as it is makes them first.
  std::optional<LevelsAside> levels;
  if (baseIsLevelZero) {
    levels.emplace(OpenLevel(context, 0), zoom, top, context);
  } else if (!MakeSmallerLevels(*base, zoom, top, context)) {
    return false;
  }

  // Written under its pending name; failures name the file the user asked for.
  ByteFile file(output.temporaryPath(), "wb", output.destination().string());
  TiledImageWriter writer(file, request.scrambled, context.abort, context.host, context.threads);
  writer.WriteHeader(base->width(), base->height(), zoom);
  context.host.SetStatusText("Writing 100% Zoom");
  if (!writer.WriteZoomLevel(AsLevelImage(*base))) return false;
  base.reset();
  if (levels && !levels->Finish()) return false;
  for (std::size_t n = 1; n < zoom.size(); ++n) {
    std::unique_ptr<RasterReader> level = OpenLevel(context, static_cast<int>(n));
    if (!writer.WriteZoomLevel(AsLevelImage(*level))) return false;
  }
  writer.WriteTrailer();
  file.Close();
  return true;
}

}  // namespace

int MappedColourCount(int requested) { return std::clamp(requested, 1, 254); }

std::string ChooseDestinationName(const std::string& sourcePath, const std::string& destinationPath) {
  std::string destination = destinationPath;
  const std::string upperSource = ToUpperAscii(sourcePath);
  if (upperSource.find(".CAP") != std::string::npos) destination = ChangeExtension(destination, ".qtxt2");
  if (upperSource == ToUpperAscii(destination)) {
    const std::string stem = ChangeExtension(sourcePath, "");
    const std::string base = stem.size() > 0 && stem.back() == '.' ? stem.substr(0, stem.size() - 1) : stem;
    for (int n = 1;; ++n) {
      const std::string candidate = base + "_" + std::to_string(n) + ".qtx2";
      if (!std::filesystem::exists(candidate)) return candidate;
    }
  }
  return destination;
}

TiledConversionResult ConvertToTiledImage(const TiledConversionRequest& request, WorkerHost& host,
                                          std::atomic<bool>& abort) {
  TiledConversionResult result;
  const std::string tempFolder = StripTrailingSeparator(request.tempFolder);
  const FolderProblem temp = CheckFolderSetting(tempFolder);
  if (temp == FolderProblem::NotAFolder) return Shown(host, kTempFolderNotValid);
  std::filesystem::path destinationFolder = std::filesystem::path(request.destinationPath).parent_path();
  if (destinationFolder.empty()) destinationFolder = ".";
  if (IsOnOpticalDisc(destinationFolder)) {
    return Shown(host, FolderProblemMessage("Destination", FolderProblem::OnOpticalDisc));
  }
  if (temp == FolderProblem::OnOpticalDisc) return Shown(host, kTempFolderOnCdrom);
  abort.store(false);
  const double scale = std::min(request.scalePercent, 100.0);
  const int colours = MappedColourCount(request.colourCount);
  const std::string destination = ChooseDestinationName(request.sourcePath, request.destinationPath);

  try {
    std::unique_ptr<RasterReader> source = OpenSource(request, result.error);
    if (!source) return result;
    if (!LargeEnoughToTile(source->width(), source->height(), scale)) return Shown(host, kImageTooSmallMessage);
    if (!SideRatioAcceptable(source->width(), source->height())) {
      result.error = "the image is " + std::to_string(source->width()) + " x " + std::to_string(source->height()) +
                     " pixels; one side may be at most 30 times the other";
      return result;
    }

    WorkFolder work(tempFolder);
    auto pending = std::make_shared<PendingFile>(destination);
    const PassContext context{work.path(), host, abort, request.threads};
    if (!BuildAndWrite(std::move(source), request, colours, scale, context, *pending)) return result;
    if (abort.load()) return result;
    if (request.deferCommit) {
      result.pending = pending;
    } else {
      pending->Commit();
    }
    result.ok = true;
    result.writtenPath = destination;
  } catch (const std::exception& e) {
    // The work folder and the unfinished destination went with their owners.
    result.error = WithReason(e);
  }
  return result;
}

}  // namespace quiltor
