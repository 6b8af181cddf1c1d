// A create of 16 overlapping UTM source maps of 4000 x 3000 pixels (a 4 x 4
// block of sheets, each overlapping its neighbours by about a tenth) merged
// into one Transverse Mercator destination of about 100 megapixels. The
// sources are drawn on the fly (their pixels are a function of the
// position) so that the figures measure the reprojection, the spans, the
// sampling and the stages after them, not a decoder. Argument: a divisor of
// both image sizes (2 gives 2000 x 1500 sources and a destination of a
// quarter the size).
//
// BM_CreateRowLoop: the row loop alone (rows counted, not stored); with a
//   second argument of 1 the sources are decoded in memory beforehand and
//   sampled straight from their bitmaps, as the whole-image formats are.
// BM_WholeCreate: the row loop into the true-colour temporary image,
//   sharpening, the tiled image with all zoom levels and the calibration
//   file, with the seconds of each stage.
// BM_WholeCreatePeakMemory: the peak resident memory of a whole create in a
//   fresh process, at half and at full size (twice the width, four times the
//   area).
// Counters: destination and source megapixels per second, exact
// projections per destination row, peak resident memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "creation/catalogue_sources.h"
#include "creation/create_job.h"
#include "creation/pipeline_stages.h"
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"
#include "peak_memory.h"

namespace {

using namespace quiltor;
using namespace quiltor::creation;
namespace fs = std::filesystem;

class DrawnRaster : public RasterReader {
 public:
  DrawnRaster(int w, int h, int seed) : seed_(seed) {
    width_ = w;
    height_ = h;
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* buffer) override {
    for (int x = 0; x < width_; ++x) FetchPixel(x, y, buffer + 3 * x);
  }
  void FetchPixel(int x, int y, std::uint8_t* out) override {
    // Broad bands with a little texture: something like a map, which the
    // colour reduction and the tile compression see as such.
    out[0] = static_cast<std::uint8_t>(((x / 64 + y / 48 + seed_) % 5) * 50 + (x & 7));
    out[1] = static_cast<std::uint8_t>(((x / 96 + seed_) % 4) * 60 + (y & 3));
    out[2] = static_cast<std::uint8_t>(((y / 80 + 2 * seed_) % 6) * 40);
  }

 private:
  int seed_;
};

// A drawn image decoded whole into memory, as the whole-image formats
// (PNG, GIF, BMP, ...) are at open time: sampled straight from the bitmap.
class DecodedRaster : public RasterReader {
 public:
  explicit DecodedRaster(std::shared_ptr<const Bitmap> image) : image_(std::move(image)) {
    width_ = image_->width();
    height_ = image_->height();
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* buffer) override { std::copy_n(image_->row(y), image_->stride(), buffer); }
  void FetchPixel(int x, int y, std::uint8_t* out) override { image_->PixelBgr(x, y, out); }
  const Bitmap* DecodedImage() const override { return image_.get(); }

 private:
  std::shared_ptr<const Bitmap> image_;
};

std::shared_ptr<const Bitmap> Decode(DrawnRaster& drawn) {
  auto image = std::make_shared<Bitmap>(drawn.width(), drawn.height(), 24);
  for (int y = 0; y < drawn.height(); ++y) drawn.ReadRow(y, image->row(y));
  return image;
}

class CountingWriter : public TempRowWriter {
 public:
  void WriteRow(const std::uint8_t* row) override { checksum_ += row[0]; }
  bool Finish() override { return true; }
  std::uint64_t checksum_ = 0;
};

geodesy::Projection Destination(const std::string& projection, const std::string& zone, const std::string& meridian) {
  geodesy::DestinationSettings settings;
  settings.mapProjection = projection;
  settings.zone = zone;
  settings.centralMeridian = meridian;
  settings.latOrigin = "0";
  settings.scaleFactor = "0.9996";
  settings.falseEasting = "500000";
  settings.falseNorthing = "0";
  return geodesy::ReadDestinationProjection(settings, geodesy::BuiltInProjectionCatalogue());
}

struct BenchCreate {
  int divisor;
  int w, h;  // of each source
  geodesy::Projection utm, tm;
  std::vector<CreationSource> sources;
  CreateSettings settings;
};

BenchCreate MakeCreate(int divisor, const std::string& tempFolder) {
  BenchCreate b;
  b.divisor = divisor;
  b.w = 4000 / divisor;
  b.h = 3000 / divisor;
  const int w = b.w, h = b.h;
  const double sourceMpp = 5.0 * divisor;
  b.utm = Destination("(UTM) Universal Transverse Mercator", "32", "");
  b.tm = Destination("Transverse Mercator", "", "8.7");
  const geodesy::Projection utm = b.utm;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const double west = -40000 + i * 18000.0, north = 5150000 - j * 13500.0;
      CreationSource s;
      s.imageFile = "sheet-" + std::to_string(j * 4 + i) + ".png";
      s.width = w;
      s.height = h;
      s.metresPerPixel = sourceMpp;
      const double cx[4] = {0, double(w - 1), double(w - 1), 0}, cy[4] = {0, 0, double(h - 1), double(h - 1)};
      for (int k = 0; k < 4; ++k) {
        const geodesy::LatLon ll = utm.Inverse({west + cx[k] * sourceMpp, north - cy[k] * sourceMpp}).value();
        s.outline.lat.push_back(ll.latitude);
        s.outline.lon.push_back(ll.longitude);
      }
      s.rowSpans = [w](std::int32_t) { return std::vector<std::int32_t>{0, w - 1}; };
      s.toPixel = [utm, west, north, sourceMpp](double lat, double lon, double& col, double& row) {
        const geodesy::EastingNorthing en = utm.Forward({lat, lon}).value_or(geodesy::EastingNorthing{NAN, NAN});
        col = (en.easting - west) / sourceMpp;
        row = (north - en.northing) / sourceMpp;
      };
      const int seed = j * 4 + i;
      s.open = [w, h, seed] { return std::make_unique<DrawnRaster>(w, h, seed); };
      b.sources.push_back(std::move(s));
    }
  CreateSettings& settings = b.settings;
  settings.projection = MakeDestinationProjection(b.tm);
  settings.metresPerPixel = 6.8 * divisor;
  settings.tempFolder = tempFolder;
  settings.destinationFile = (fs::path(tempFolder) / "bench-create.qtx2").string();
  return b;
}

void SetRates(benchmark::State& state, const BenchCreate& b, const CreateReport& report) {
  const double destinationPixels = double(report.grid.width) * report.grid.height;
  const double sourcePixels = 16.0 * b.w * b.h;
  state.counters["dest_MP"] = destinationPixels / 1e6;
  state.counters["dest_MP/s"] = benchmark::Counter(destinationPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["src_MP/s"] = benchmark::Counter(sourcePixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["exact/row"] = report.grid.height ? double(report.exactProjections) / report.grid.height : 0;
}

void BM_CreateRowLoop(benchmark::State& state) {
  BenchCreate b = MakeCreate(static_cast<int>(state.range(0)), fs::temp_directory_path().string());
  if (state.range(1) == 1)
    for (CreationSource& source : b.sources) {
      std::unique_ptr<RasterReader> drawn = source.open();
      const std::shared_ptr<const Bitmap> image = Decode(static_cast<DrawnRaster&>(*drawn));
      source.open = [image] { return std::make_unique<DecodedRaster>(image); };
    }
  CreateReport report;
  for (auto _ : state) {
    CreateStages stages;
    stages.beginTempImage = [](const std::string&, std::int32_t, std::int32_t) {
      return std::make_unique<CountingWriter>();
    };
    stages.convertToTiled = [](const std::string&, const std::string&, const std::string&) { return true; };
    stages.writeMapFile = [](const DestinationExtent&, const DestinationGrid&) {};
    QuietHost host;
    CreateFlags flags;
    CreateJob job(b.settings, b.sources, stages, host, flags);
    report = job.Run();
    benchmark::DoNotOptimize(report);
  }
  SetRates(state, b, report);
  // The benchmark process's own high-water mark so far (it includes the
  // sources and the smaller run before this one).
  state.counters["process_peak_MiB"] = bench::OwnPeakKiB() / 1024.0;
}
BENCHMARK(BM_CreateRowLoop)->Args({2, 0})->Args({1, 0})->Args({2, 1})->Iterations(1)->Unit(benchmark::kSecond);

// Notes when each create stage starts.
class StageClock : public QuietHost {
 public:
  using Clock = std::chrono::steady_clock;
  void StageStarted(Stage stage) override {
    const int n = static_cast<int>(stage) + 1;
    if (n >= 2 && started_[n] == Clock::time_point{}) started_[n] = Clock::now();
  }
  double Between(int from, int to) const { return std::chrono::duration<double>(started_[to] - started_[from]).count(); }
  void Start() { started_[1] = Clock::now(); }
  void End() { started_[4] = Clock::now(); }

 private:
  Clock::time_point started_[5]{};
};

// The whole create in `folder`; false when it did not write its files.
bool WholeCreate(int divisor, const fs::path& folder, CreateReport& report, StageClock& host) {
  fs::create_directories(folder);
  const BenchCreate b = MakeCreate(divisor, folder.string());
  CreateFlags flags;
  CalibrationTarget target;
  target.destination = b.tm;
  target.datum = geodesy::WGS84Datum();
  target.metersPerPixelText = std::to_string(6.8 * divisor);
  CreateJob job(b.settings, b.sources, PipelineStages({256, 100}, target, host, flags), host, flags);
  host.Start();
  report = job.Run();
  host.End();
  return report.outputWritten;
}

fs::path BenchFolder(const std::string& name) {
  return fs::temp_directory_path() / ("quiltor-create-bench-" + std::to_string(::getpid())) / name;
}

void BM_WholeCreate(benchmark::State& state) {
  const int divisor = static_cast<int>(state.range(0));
  const fs::path folder = BenchFolder("whole-" + std::to_string(divisor));
  CreateReport report;
  StageClock host;
  for (auto _ : state)
    if (!WholeCreate(divisor, folder, report, host)) state.SkipWithError("the create wrote no map");
  SetRates(state, MakeCreate(divisor, folder.string()), report);
  state.counters["rows_s"] = host.Between(1, 2);
  state.counters["sharpen_s"] = host.Between(2, 3);
  state.counters["tiled_s"] = host.Between(3, 4);
  std::error_code ec;
  state.counters["file_MiB"] = double(fs::file_size(report.grid.width ? folder / "bench-create.qtx2" : folder, ec)) / 1048576.0;
  fs::remove_all(folder, ec);
}
BENCHMARK(BM_WholeCreate)->Arg(2)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

void BM_WholeCreatePeakMemory(benchmark::State& state) {
  const int divisor = static_cast<int>(state.range(0));
  const fs::path folder = BenchFolder("peak-" + std::to_string(divisor));
  long peakKiB = 0;
  for (auto _ : state) {
    // A fresh process, so that its peak counts only the create.
    peakKiB = bench::ChildPeakKiB({{"QUILTOR_BENCH_CREATE_DIVISOR", std::to_string(divisor)},
                                   {"QUILTOR_BENCH_CREATE_FOLDER", folder.string()}});
    if (peakKiB < 0) state.SkipWithError("the create failed");
  }
  state.counters["divisor"] = divisor;
  state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
  std::error_code ec;
  fs::remove_all(folder, ec);
}
BENCHMARK(BM_WholeCreatePeakMemory)->Arg(2)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(BenchFolder("").parent_path(), ec);
  }
} cleanup;

}  // namespace

// The child of BM_WholeCreatePeakMemory: one whole create, then exit.
int main(int argc, char** argv) {
  if (const char* divisor = std::getenv("QUILTOR_BENCH_CREATE_DIVISOR")) {
    StageClock host;
    CreateReport report;
    if (!WholeCreate(std::atoi(divisor), std::getenv("QUILTOR_BENCH_CREATE_FOLDER"), report, host)) return 1;
    quiltor::bench::ReportPeakToParent();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
