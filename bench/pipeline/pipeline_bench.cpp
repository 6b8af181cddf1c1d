// Speed of each stage of the tiled conversion on a large true-colour image,
// and the peak memory of a whole conversion at two image sizes (which must
// stay flat: every stage streams rows).
//
// The image side defaults to 10000 pixels; QUILTOR_BENCH_SIDE overrides it.
// The source is painted row by row in memory, as the creation job would
// hand rows over, so the figures are the pipeline's alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/worker_host.h"
#include "pipeline/level_pass.h"
#include "raster/raster_source.h"
#include "pipeline/sharpen.h"
#include "raster/scratch/temp_image.h"
#include "pipeline/tiled_conversion.h"
#include "raster/tiled/tiled_writer.h"
#include "raster/scratch/work_folder.h"
#include "peak_memory.h"

namespace quiltor {
namespace {

int BenchSide() {
  const char* side = std::getenv("QUILTOR_BENCH_SIDE");
  return side ? std::max(400, std::atoi(side)) : 10000;
}

// A map-like picture: smooth shaded relief with a handful of flat colours
// and thin lines, so that compression and colour reduction see realistic
// content rather than noise.
void PaintRow(int y, int width, std::uint8_t* row) {
  for (int x = 0; x < width; ++x) {
    std::uint8_t* p = row + std::size_t(x) * 3;
    const double relief = 0.5 + 0.5 * std::sin(x * 0.0031) * std::cos(y * 0.0027);
    const bool water = (x / 700 + y / 500) % 5 == 0;
    const bool road = (x + 2 * y) % 997 < 3 || (3 * x - y + 100000) % 1499 < 2;
    if (road) {
      p[0] = 30, p[1] = 60, p[2] = 200;
    } else if (water) {
      p[0] = 230, p[1] = 200, p[2] = 150;
    } else {
      p[0] = std::uint8_t(120 + 80 * relief), p[1] = std::uint8_t(170 + 60 * relief), p[2] = std::uint8_t(150 + 90 * relief);
    }
  }
}

// The merged map as the creation job hands it over: a true-colour image
// served row by row (painted on the fly, so that the figures are those of
// the pipeline and not of a decoder).
class PaintedImage : public RasterReader {
 public:
  explicit PaintedImage(int side) {
    width_ = height_ = side;
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* row) override { PaintRow(y, width_, row); }
  void FetchPixel(int, int, std::uint8_t*) override {}
};

struct BenchImages {
  std::filesystem::path folder;
  int side = 0;
};

const BenchImages& Images() {
  static BenchImages images = [] {
    BenchImages b;
    b.side = BenchSide();
    b.folder = std::filesystem::temp_directory_path() / ("quiltor-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(b.folder);
    return b;
  }();
  return images;
}

TiledConversionRequest PaintedRequest(int side, const std::filesystem::path& folder) {
  TiledConversionRequest request;
  request.sourcePath = "painted";
  request.destinationPath = (folder / "whole.qtx2").string();
  request.tempFolder = folder.string();
  request.openSource = [side](const std::string&) { return std::make_unique<PaintedImage>(side); };
  return request;
}

void SetMegapixels(benchmark::State& state, double pixels) {
  state.counters["Mpx/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ColourMapping(benchmark::State& state) {
  const BenchImages& images = Images();
  QuietHost host;
  std::atomic<bool> abort{false};
  for (auto _ : state) {
    WorkFolder work(images.folder);
    PaintedImage source(images.side);
    MapColoursPass(source, 254, PassContext{work.path(), host, abort});
  }
  SetMegapixels(state, double(images.side) * images.side);
}

// One level pass from the full-size palette image (level 0): resample,
// quantise, sharpen and map. Rate in source megapixels per second.
void BM_LevelPass(benchmark::State& state) {
  const BenchImages& images = Images();
  const double percent = double(state.range(0)) / 10.0;
  QuietHost host;
  std::atomic<bool> abort{false};
  WorkFolder work(images.folder);
  const PassContext context{work.path(), host, abort};
  PaintedImage source(images.side);
  MapColoursPass(source, 254, context);
  auto base = OpenRaster(work / LevelFileName(0));
  const TopColours top = SampleTopColours(*base);
  for (auto _ : state) LevelPass(1, *base, 62, percent, top, context);
  SetMegapixels(state, double(images.side) * images.side);
}

// Sharpening a row stream of the full size, as the level pass does for
// every level before it maps the rows, on 1 and 2 threads (the merged map's
// rows go through the same sharpener as they are merged).
void BM_Sharpening(benchmark::State& state) {
  const BenchImages& images = Images();
  WorkFolder work(images.folder);
  {
    RowStreamWriter stream(work / "temp.qtx0", images.side);
    std::vector<std::uint8_t> row(std::size_t(images.side) * 3);
    for (int y = 0; y < images.side; ++y) {
      PaintRow(y, images.side, row.data());
      stream.WriteRow(row.data());
    }
    stream.Finish();
  }
  for (auto _ : state) {
    RowStreamReader stream(work / "temp.qtx0", images.side);
    std::size_t checksum = 0;
    SharpenRows(
        images.side, images.side, StandardSharpenKernel(), [&stream](int, std::uint8_t* row) { stream.ReadRow(row); },
        [&checksum](int, const std::uint8_t* row) { checksum += row[0]; }, {}, nullptr,
        static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(checksum);
  }
  SetMegapixels(state, double(images.side) * images.side);
}

// Sharpening a full-size true-colour temporary image into another.
void BM_SharpenTempImage(benchmark::State& state) {
  const BenchImages& images = Images();
  QuietHost host;
  WorkFolder work(images.folder);
  {
    TrueColourTempWriter merged(work / "merged.qtxx0", images.side, images.side);
    std::vector<std::uint8_t> row(std::size_t(images.side) * 3);
    for (int y = 0; y < images.side; ++y) {
      PaintRow(y, images.side, row.data());
      merged.WriteRow(row.data());
    }
    merged.Finish();
  }
  for (auto _ : state) {
    if (!SharpenTempImage((work / "merged.qtxx0").string(), (work / "sharp.qtxx0").string(), host)) {
      state.SkipWithError("sharpening stopped");
    }
  }
  SetMegapixels(state, double(images.side) * images.side);
}

void BM_TileWriting(benchmark::State& state) {
  const BenchImages& images = Images();
  QuietHost host;
  std::atomic<bool> abort{false};
  WorkFolder work(images.folder);
  {
    PaintedImage source(images.side);
    MapColoursPass(source, 254, PassContext{work.path(), host, abort});
  }
  auto base = OpenRaster(work / LevelFileName(0));
  for (auto _ : state) {
    ByteFile file(work / "out.qtx2", "wb");
    TiledImageWriter writer(file, false, abort, host);
    writer.WriteHeader(base->width(), base->height(), {100, 50});
    writer.WriteZoomLevel({base->width(), base->height(), base->palette(),
                           [&base](int row, std::uint8_t* buffer) { base->ReadRow(row, buffer); }});
    writer.WriteTrailer();
    file.Close();
  }
  SetMegapixels(state, double(images.side) * images.side);
}

void BM_WholeConversion(benchmark::State& state) {
  const BenchImages& images = Images();
  QuietHost host;
  std::atomic<bool> abort{false};
  for (auto _ : state) {
    const auto result = ConvertToTiledImage(PaintedRequest(images.side, images.folder), host, abort);
    if (!result.ok) state.SkipWithError(result.error.c_str());
  }
  SetMegapixels(state, double(images.side) * images.side);
}

// Peak resident memory of a whole conversion in a child process, at half
// and at twice the benchmark side (5000^2 and 20000^2 by default: 16 times
// the pixels).
void BM_PeakMemory(benchmark::State& state) {
  const BenchImages& images = Images();
  const int side = state.range(0) == 0 ? images.side / 2 : images.side * 2;
  const auto folder = images.folder / ("peak-" + std::to_string(side));
  std::filesystem::create_directories(folder);
  long peakKiB = 0;
  for (auto _ : state) {
    // A fresh process, so that its peak counts only the conversion.
    peakKiB = bench::ChildPeakKiB({{"QUILTOR_BENCH_PEAK_SIDE", std::to_string(side)},
                                   {"QUILTOR_BENCH_PEAK_FOLDER", folder.string()}});
    if (peakKiB < 0) state.SkipWithError("conversion failed");
  }
  state.counters["side"] = side;
  state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
  std::filesystem::remove_all(folder);
}

BENCHMARK(BM_ColourMapping)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LevelPass)->Arg(250)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Sharpening)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SharpenTempImage)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TileWriting)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WholeConversion)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PeakMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::temp_directory_path() / ("quiltor-bench-" + std::to_string(::getpid())), ec);
  }
} cleanup;

}  // namespace
}  // namespace quiltor

// The child of BM_PeakMemory: one whole conversion, then exit.
int main(int argc, char** argv) {
  if (const char* side = std::getenv("QUILTOR_BENCH_PEAK_SIDE")) {
    quiltor::QuietHost host;
    std::atomic<bool> abort{false};
    const std::filesystem::path folder = std::getenv("QUILTOR_BENCH_PEAK_FOLDER");
    if (!quiltor::ConvertToTiledImage(quiltor::PaintedRequest(std::atoi(side), folder), host, abort).ok) return 1;
    quiltor::bench::ReportPeakToParent();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
