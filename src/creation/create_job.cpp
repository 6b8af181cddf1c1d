#include "creation/create_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>

#include "catalogue/border.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/text.h"
#include "pipeline/zoom_plan.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::creation {

namespace fs = std::filesystem;

namespace {

// The border spans of the source rows a map used last, one slot per row
// modulo the slot count: neighbouring destination rows sample neighbouring
// source rows, so most lookups find their row computed.
class RowSpanCache {
 public:
  const std::vector<std::int32_t>& Row(const CreationSource& source, std::int32_t y) {
    Slot& slot = slots_[static_cast<std::size_t>(y) % slots_.size()];
    if (slot.row != y) {
      slot.spans = source.rowSpans ? source.rowSpans(y) : std::vector<std::int32_t>{};
      slot.row = y;
    }
    return slot.spans;
  }

 private:
  struct Slot {
    std::int32_t row = -1;
    std::vector<std::int32_t> spans;
  };
  std::vector<Slot> slots_ = std::vector<Slot>(1024);
};

}  // namespace

struct CreateJob::MapState {
  CreationSource source;
  RowSpanCache spans;
  double boundsMinX = 0, boundsMaxX = 0, boundsMinY = 0, boundsMaxY = 0;
  std::vector<double> rowX, rowY;
  std::int32_t rowFirst = 0;
  std::int32_t rowCount = 0;
  double scaleRatio = 0;
  std::uint32_t openedAt = 0;
  std::unique_ptr<RasterReader> raster;
  // The image could not be opened: the map gives no pixels for the rest of
  // this create, and is not tried again on every row.
  bool openFailed = false;
};

namespace {

// A destination point with no latitude/longitude has no source pixel.
constexpr double kNoSourcePixel = std::numeric_limits<double>::quiet_NaN();

std::uint32_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The inside span of a row that holds column x: its index pair, or -1.
int SpanOf(const std::vector<std::int32_t>& crossings, std::int32_t x) {
  for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
    if (x >= crossings[k] && x <= crossings[k + 1]) return static_cast<int>(k);
  return -1;
}

bool RowHolds(RowSpanCache& spans, const CreationSource& source, int row, std::int32_t x) {
  return row >= 0 && row < source.height && SpanOf(spans.Row(source, row), x) >= 0;
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

BilinearWeights SampleWeights(double x, double y, double scaleRatio) {
  if (scaleRatio <= 0.6) return {8192, 8192, 8192, 8192};
  const std::int64_t fx = static_cast<std::int64_t>(RoundHalfEven(x * 32768.0)) & 0x7FFF;
  const std::int64_t fy = static_cast<std::int64_t>(RoundHalfEven(y * 32768.0)) & 0x7FFF;
  const std::int64_t gy = 32768 - fy;
  const std::int64_t wb = (fx * gy) >> 15;
  const std::int64_t wd = (fx * fy) >> 15;
  return {static_cast<std::int32_t>(gy - wb), static_cast<std::int32_t>(wb), static_cast<std::int32_t>(fy - wd),
          static_cast<std::int32_t>(wd)};
}

void SampleBilinear(RasterReader& raster, std::uint8_t* pixel, double x, double y, double scaleRatio) {
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  if (x0 < 0 || y0 < 0 || x0 > raster.width() - 1 || y0 > raster.height() - 1)
    throw QuiltorError("sample outside the image");
  const int x1 = x0 + 1 > raster.width() - 1 ? x0 : x0 + 1;
  const int y1 = y0 + 1 > raster.height() - 1 ? y0 : y0 + 1;
  std::uint8_t a[3], b[3], c[3], d[3];
  // Each fetch goes through the destination pixel, so a reader that leaves
  // it unchanged repeats the previous neighbour.
  const auto fetch = [&](int px, int py, std::uint8_t* out) {
    raster.FetchPixel(px, py, pixel);
    std::copy(pixel, pixel + 3, out);
  };
  fetch(x0, y0, a);
  fetch(x1, y0, b);
  fetch(x0, y1, c);
  fetch(x1, y1, d);
  const BilinearWeights w = SampleWeights(x, y, scaleRatio);
  for (int k = 0; k < 3; ++k)
    pixel[k] = static_cast<std::uint8_t>((a[k] * w.a + b[k] * w.b + c[k] * w.c + d[k] * w.d) >> 15);
}

void AdaptiveRowTransform(double* x, double* y, int n, double tolerance, const PointTransform& transform) {
  if (n <= 0) return;
  const int mid = (n - 1) / 2;
  if (y[0] == y[n - 1] && y[0] == y[mid] && x[0] != x[n - 1] && x[0] != x[mid] && tolerance != 0 && n > 6) {
    double px[3] = {x[0], x[mid], x[n - 1]};
    double py[3] = {y[0], y[mid], y[n - 1]};
    transform(px, py, 3);
    const double span = x[n - 1] - x[0];
    const double t = (px[2] - px[0]) / span;
    const double w = (py[2] - py[0]) / span;
    const double e = std::fabs((x[mid] - x[0]) * t + px[0] - px[1]) + std::fabs((x[mid] - x[0]) * w + py[0] - py[1]);
    if (e > tolerance) {
      AdaptiveRowTransform(x, y, mid, tolerance, transform);
      AdaptiveRowTransform(x + mid, y + mid, n - mid, tolerance, transform);
      return;
    }
    const double x0 = x[0];
    for (int i = n - 1; i >= 0; --i) {
      const double dx = x[i] - x0;
      x[i] = t * dx + px[0];
      y[i] = w * dx + py[0];
    }
    return;
  }
  transform(x, y, n);
}

CreateJob::CreateJob(CreateSettings settings, std::vector<CreationSource> sources, CreateStages stages,
                     WorkerHost& host, CreateFlags& flags, MillisecondClock clock)
    : settings_(std::move(settings)), stages_(std::move(stages)), host_(host), flags_(flags),
      clock_(clock ? std::move(clock) : MillisecondClock(SteadyMilliseconds)) {
  maps_.resize(sources.size());
  for (std::size_t i = 0; i < sources.size(); ++i) maps_[i].source = std::move(sources[i]);
}

CreateJob::~CreateJob() { CloseAllMaps(); }

CreateReport CreateJob::Run() {
  CreateReport report;
  try {
    report = RunStages();
  } catch (const std::exception& e) {
    report.resultText = kResultFailed;
    host_.AppendMapError(std::string(kResultFailed) + " : " + e.what(), {});
  }
  CloseAllMaps();
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
  for (const MapState& m : maps_) outlines.push_back(&m.source.outline);
  const auto extent = ComputeDestinationExtent(settings_.projection, settings_.mode, settings_.region, outlines);
  if (!extent) return report;
  extent_ = *extent;
  grid_ = ComputeDestinationGrid(settings_.projection, extent_, settings_.metresPerPixel);
  report.extent = extent_;
  report.grid = grid_;
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
  std::random_device seed;
  workFolder_ = std::make_unique<WorkFolder>(fs::path(StripTrailingSeparator(TrimSpaces(settings_.tempFolder))),
                                             kCreateWorkFolderPrefix);
  report.started = true;

  const std::string tempFile = NewWorkFile(ChangeExtension(FileNamePart(settings_.destinationFile), ".qtxx0"));
  const bool completed = RowLoop(tempFile);
  host_.StageFinished(Stage::GeneratingMap);
  if (!completed || flags_.abortRequested) {
    RemoveQuietly(tempFile);
    report.resultText = kResultAborted;
    return report;
  }

  host_.StageStarted(Stage::Sharpening);
  const std::string sharpened = NewWorkFile("temp" + FormatInt(seed() % 100000u) + ".qtxx0");
  const bool sharpenedWhole = stages_.sharpen(tempFile, sharpened);
  RemoveQuietly(tempFile);
  if (!sharpenedWhole || flags_.abortRequested) {
    RemoveQuietly(sharpened);
    report.resultText = kResultAborted;
    return report;
  }
  host_.StageFinished(Stage::Sharpening);
  host_.StageStarted(Stage::SavingImage);
  const bool converted = stages_.convertToTiled(sharpened, settings_.destinationFile, workFolder_->path().string());
  RemoveQuietly(sharpened);
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

void CreateJob::PrepareMaps() {
  const bool latlon = settings_.projection.isLatLon();
  for (MapState& m : maps_) {
    ProjectedExtent bounds{99999999.0, -99999999.0, 99999999.0, -99999999.0};
    const GeoOutline& o = m.source.outline;
    for (std::size_t k = 0; k < o.lat.size(); ++k) {
      double x = o.lon[k], y = o.lat[k];
      if (!latlon) {
        const std::optional<geodesy::EastingNorthing> en = settings_.projection.forward({o.lat[k], o.lon[k]});
        if (!en) continue;  // a point the destination cannot show does not widen the box
        x = en->easting;
        y = en->northing;
      }
      bounds.Widen(x, y);
    }
    m.boundsMaxX = bounds.maxX + 100;
    m.boundsMaxY = bounds.maxY + 100;
    m.boundsMinX = bounds.minX - 100;
    m.boundsMinY = bounds.minY - 100;
    m.rowX.assign(static_cast<std::size_t>(grid_.width), 0.0);
    m.rowY.assign(static_cast<std::size_t>(grid_.width), 0.0);
    m.scaleRatio = m.source.metresPerPixel / grid_.pixelSize;
    m.openedAt = 0;
  }
}

bool CreateJob::RowLoop(const std::string& tempFile) {
  auto writer = stages_.beginTempImage(tempFile, grid_.width, grid_.height);
  std::vector<std::uint8_t> rowBuffer(static_cast<std::size_t>(grid_.width) * 3);
  startTick_ = clock_();
  loadedCount_ = 0;
  maxLoadedMaps_ = std::max(settings_.maxLoadedMaps, 3);
  host_.ResetActionList();
  host_.StageStarted(Stage::GeneratingMap);
  PrepareMaps();
  const int step = ProgressStep(grid_.width);
  double rowY = extent_.maxY;
  bool completed = true;
  try {
    for (std::int32_t r = 0; r < grid_.height; ++r) {
      if (flags_.abortRequested) {
        completed = false;
        break;
      }
      if (r % step == 0) host_.SetStatusText("Row - " + FormatInt(r) + " of " + FormatInt(grid_.height));
      ScanRow(r, rowY, rowBuffer);
      writer->WriteRow(rowBuffer.data());
      rowY -= grid_.pixelSize;
    }
  } catch (...) {
    writer->Finish();
    RemoveQuietly(tempFile);
    CloseAllMaps();
    throw;
  }
  writer->Finish();
  CloseAllMaps();
  return completed;
}

void CreateJob::ScanRow(std::int32_t, double rowY, std::vector<std::uint8_t>& rowBuffer) {
  std::fill(rowBuffer.begin(), rowBuffer.end(), kBackgroundByte);
  opensThisRow_ = 0;
  std::int32_t filled = 0;
  const std::int32_t W = grid_.width;
  const double s = grid_.pixelSize;
  for (MapState& m : maps_) {
    if (filled >= W) break;
    if (rowY > m.boundsMaxY || rowY < m.boundsMinY) {
      if (m.raster) m.raster->ReleaseCaches();
      continue;
    }
    if (extent_.minX > m.boundsMaxX || extent_.maxX < m.boundsMinX) continue;
    if (m.openFailed) continue;
    // Columns whose X lies within the map's box widened by another 100 units.
    m.rowCount = 0;
    bool firstSet = false;
    double X = extent_.minX;
    for (std::int32_t c = 0; c < W; ++c) {
      if (X > m.boundsMaxX + 100) break;
      if (X >= m.boundsMinX - 100) {
        if (!firstSet) {
          m.rowFirst = c;
          firstSet = true;
        }
        m.rowX[static_cast<std::size_t>(m.rowCount)] = X;
        m.rowY[static_cast<std::size_t>(m.rowCount)] = rowY;
        ++m.rowCount;
      }
      X += s;
    }
    if (m.rowCount < 1) continue;
    TransformMapRow(m);
    const std::int32_t cStart = std::max(m.rowFirst, 0);
    const std::int32_t cEnd = std::min(m.rowFirst + m.rowCount, W);
    if (!m.raster) OpenCachedMap(m);
    if (!m.raster) continue;
    X = extent_.minX + cStart * s;
    for (std::int32_t c = cStart; c < cEnd; ++c, X += s) {
      std::uint8_t* pixel = &rowBuffer[static_cast<std::size_t>(c) * 3];
      if (pixel[0] != kBackgroundByte || pixel[1] != kBackgroundByte || pixel[2] != kBackgroundByte) continue;
      if (X > m.boundsMaxX || X < m.boundsMinX) continue;
      const std::size_t i = static_cast<std::size_t>(c - m.rowFirst);
      const double fx = m.rowX[i], fy = m.rowY[i];
      if (!std::isfinite(fx) || !std::isfinite(fy)) continue;
      const std::int32_t sx = RoundHalfEvenToInt(fx), sy = RoundHalfEvenToInt(fy);
      if (sx < 0 || sx > m.source.width - 1 || sy < 0 || sy > m.source.height - 1) continue;
      const std::vector<std::int32_t>& crossings = m.spans.Row(m.source, sy);
      const int span = SpanOf(crossings, sx);
      if (span < 0) continue;
      // The four neighbours of the sample must lie inside the border too:
      // at the edge of a span the sample is pulled onto the span, so that
      // not even a share of a collar pixel reaches the merged map.
      const double lo = crossings[static_cast<std::size_t>(span)], hi = crossings[static_cast<std::size_t>(span) + 1];
      const double sampleX = std::clamp(fx, lo, hi);
      const int y0 = static_cast<int>(fy);
      const bool rowsInside = RowHolds(m.spans, m.source, y0, sx) &&
                              (y0 + 1 > m.source.height - 1 || RowHolds(m.spans, m.source, y0 + 1, sx));
      const double sampleY = rowsInside ? fy : static_cast<double>(sy);
      try {
        SampleBilinear(*m.raster, pixel, sampleX, sampleY, m.scaleRatio);
        ++filled;
      } catch (const std::exception&) {
        // A pixel that cannot be read is left as it is; the row goes on.
      }
    }
  }
}

void CreateJob::TransformMapRow(MapState& m) {
  const DestinationProjection& dest = settings_.projection;
  const auto transform = [&](double* x, double* y, int n) {
    exactProjections_ += n;
    for (int i = 0; i < n; ++i) {
      double lat = y[i], lon = x[i];
      if (!dest.isLatLon()) {
        const std::optional<geodesy::LatLon> ll = dest.inverse({x[i], y[i]});
        if (!ll) {
          x[i] = y[i] = kNoSourcePixel;
          continue;
        }
        lat = ll->latitude;
        lon = ll->longitude;
      }
      m.source.toPixel(lat, lon, x[i], y[i]);
    }
  };
  AdaptiveRowTransform(m.rowX.data(), m.rowY.data(), m.rowCount, 1.0, transform);
}

void CreateJob::OpenCachedMap(MapState& m) {
  ++opensThisRow_;
  if (opensThisRow_ >= maxLoadedMaps_ + 5) {
    maxLoadedMaps_ += 5;
    host_.AppendActionLine("Max Loaded Maps = " + FormatInt(maxLoadedMaps_));
  }
  if (loadedCount_ >= maxLoadedMaps_) {
    // First opened, first closed; among equal opening times the later map goes.
    MapState* oldest = nullptr;
    for (MapState& other : maps_)
      if (other.raster && (!oldest || other.openedAt <= oldest->openedAt)) oldest = &other;
    if (oldest) {
      oldest->raster.reset();
      --loadedCount_;
      host_.AppendActionLine("Closing Map : " + FileNamePart(oldest->source.imageFile));
    }
  }
  const std::string name = FileNamePart(m.source.imageFile);
  std::string cause = "no image opener";
  try {
    if (m.source.open) m.raster = m.source.open();
    if (!m.raster) cause = "the image could not be opened";
  } catch (const std::exception& e) {
    m.raster.reset();
    cause = e.what();
  }
  if (!m.raster) {
    m.openFailed = true;
    openFailures_.push_back({m.source.imageFile, cause});
    host_.AppendActionLine("ERROR Opening Map : " + name);
    return;
  }
  const std::uint32_t now = clock_();
  m.openedAt = now >= startTick_ ? now - startTick_ : startTick_ - now;
  ++loadedCount_;
  host_.AppendActionLine("Opening Map : " + name);
  host_.AppendActionLine("Number Maps Loaded = " + FormatInt(loadedCount_));
}

void CreateJob::CloseAllMaps() {
  for (MapState& m : maps_) m.raster.reset();
  loadedCount_ = 0;
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
