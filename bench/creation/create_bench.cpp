// The row loop of a create: 16 overlapping UTM source maps of 4000 x 3000
// pixels (a 4 x 4 block of sheets, each overlapping its neighbours by about
// a tenth) merged into one Transverse Mercator destination of about 100
// megapixels. The sources are drawn on the fly (their pixels are a function
// of the position) so that the figures measure the reprojection, the spans
// and the sampling, not a decoder. Argument: a divisor of both image sizes
// (2 gives 2000 x 1500 sources and a destination of a quarter the size).
//
// Counters: destination and source megapixels per second, exact
// projections per destination row, and the peak resident memory.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "creation/create_job.h"
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"

namespace {

using namespace quiltor;
using namespace quiltor::creation;

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
    out[0] = static_cast<std::uint8_t>(x + seed_);
    out[1] = static_cast<std::uint8_t>(y);
    out[2] = static_cast<std::uint8_t>((x ^ y) + 40 * seed_);
  }

 private:
  int seed_;
};

class CountingWriter : public TempRowWriter {
 public:
  void WriteRow(const std::uint8_t* row) override { checksum_ += row[0]; }
  void Finish() override {}
  std::uint64_t checksum_ = 0;
};

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

geodesy::DestinationSetup Setup(const std::string& projection, const std::string& zone, const std::string& meridian) {
  geodesy::DestinationSettings settings;
  settings.mapProjection = projection;
  settings.zone = zone;
  settings.centralMeridian = meridian;
  settings.latOrigin = "0";
  settings.scaleFactor = "0.9996";
  settings.falseEasting = "500000";
  settings.falseNorthing = "0";
  return geodesy::ReadDestinationSetup(settings, geodesy::BuiltInProjectionCatalogue());
}

void BM_CreateRowLoop(benchmark::State& state) {
  const int divisor = static_cast<int>(state.range(0));
  const int w = 4000 / divisor, h = 3000 / divisor;
  const double sourceMpp = 5.0 * divisor;
  const auto utm = std::make_shared<geodesy::DestinationSetup>(Setup("(UTM) Universal Transverse Mercator", "32", ""));
  const auto tm = std::make_shared<geodesy::DestinationSetup>(Setup("Transverse Mercator", "", "8.7"));
  const std::int32_t wgs84 = geodesy::WGS84Datum();

  std::vector<CreationSource> sources;
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
        const auto ll = geodesy::ProjectInverse(utm->handle, utm->shortName, west + cx[k] * sourceMpp,
                                                north - cy[k] * sourceMpp, utm->setup, wgs84);
        s.outline.lat.push_back(ll.latitude);
        s.outline.lon.push_back(ll.longitude);
      }
      s.rowSpans.assign(static_cast<std::size_t>(h), {0, w - 1});
      s.toPixel = [utm, wgs84, west, north, sourceMpp](double lat, double lon, double& col, double& row) {
        const auto en = geodesy::ProjectForward(utm->handle, utm->shortName, lat, lon, utm->setup, wgs84);
        col = (en.easting - west) / sourceMpp;
        row = (north - en.northing) / sourceMpp;
      };
      const int seed = j * 4 + i;
      s.open = [w, h, seed] { return std::make_unique<DrawnRaster>(w, h, seed); };
      sources.push_back(std::move(s));
    }

  CreateReport report;
  for (auto _ : state) {
    CreateSettings settings;
    settings.projection.shortName = tm->shortName;
    settings.projection.forward = [tm, wgs84](double lat, double lon, double& x, double& y) {
      const auto en = geodesy::ProjectForward(tm->handle, tm->shortName, lat, lon, tm->setup, wgs84);
      x = en.easting;
      y = en.northing;
    };
    settings.projection.inverse = [tm, wgs84](double x, double y, double& lat, double& lon) {
      const auto ll = geodesy::ProjectInverse(tm->handle, tm->shortName, x, y, tm->setup, wgs84);
      lat = ll.latitude;
      lon = ll.longitude;
    };
    settings.metresPerPixel = 6.8 * divisor;
    settings.tempFolder = "/tmp";
    settings.destinationFile = "/tmp/bench-create.qtx2";
    CreateStages stages;
    stages.beginTempImage = [](const std::string&, std::int32_t, std::int32_t) {
      return std::make_unique<CountingWriter>();
    };
    stages.sharpen = [](const std::string&, const std::string&) { return true; };
    stages.convertToTiled = [](const std::string&, const std::string&, const std::string&) { return true; };
    stages.writeMapFile = [](const DestinationExtent&, const DestinationGrid&) {};
    QuietHost host;
    CreateFlags flags;
    CreateJob job(settings, sources, stages, host, flags);
    report = job.Run();
    benchmark::DoNotOptimize(report);
  }
  const double destinationPixels = double(report.grid.width) * report.grid.height;
  const double sourcePixels = 16.0 * w * h;
  state.counters["dest_MP"] = destinationPixels / 1e6;
  state.counters["dest_MP/s"] = benchmark::Counter(destinationPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["src_MP/s"] = benchmark::Counter(sourcePixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["exact/row"] = report.grid.height ? double(report.exactProjections) / report.grid.height : 0;
  state.counters["peak_MiB"] = PeakResidentKiB() / 1024.0;
}
BENCHMARK(BM_CreateRowLoop)->Arg(2)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
