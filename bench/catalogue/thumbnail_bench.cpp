// A scan of 2500 maps with thumbnails, as at the first start (every image
// reduced and every thumbnail warped), again as at the next start (every
// projected thumbnail loaded from its file), without thumbnails for
// comparison, and the thumbnail pass after a change of the destination,
// which may read only the cached 500-pixel image thumbnails.
//
// The maps are the five sample maps, 500 copies each; every copy has its own
// image file (a hard link), since the cache files are named after the image.
// QUILTOR_BENCH_MAPS sets a smaller number of maps. The CPU column is the
// whole process's, worker thread included, so it holds on a busy machine
// where the real time does not.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "catalogue/open_map_thread.h"
#include "catalogue/raster_image_queries.h"
#include "common/worker_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace {

namespace fs = std::filesystem;
using namespace quiltor;

int MapCount() {
  if (const char* n = std::getenv("QUILTOR_BENCH_MAPS")) return std::max(5, std::atoi(n));
  return kMaxMaps;
}

// The map file text with its image line (line 3) naming `image`.
std::string WithImage(const fs::path& mapFile, const std::string& image) {
  std::ifstream in(mapFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  std::size_t start = 0;
  for (int line = 0; line < 2; ++line) start = s.find('\n', start) + 1;
  const std::size_t end = s.find('\r', start);
  return s.replace(start, end - start, image);
}

class ThumbnailFixture {
 public:
  ThumbnailFixture() {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("quiltor-thumbnail-bench-" + std::to_string(rd()));
    maps_ = root_ / "maps";
    fs::create_directories(maps_);
    const fs::path samples = fs::path(QUILTOR_SOURCE_DIR) / "samples";
    std::vector<std::pair<fs::path, fs::path>> sheets;  // map file, image file
    for (const auto& entry : fs::directory_iterator(samples)) {
      const fs::path& p = entry.path();
      if (p.extension() != ".map") continue;
      for (const auto& image : fs::directory_iterator(samples)) {
        if (image.path().stem() == p.stem() && image.path().extension() != ".map") sheets.emplace_back(p, image.path());
      }
    }
    for (int i = 0; count_ < MapCount(); ++i) {
      for (const auto& [map, image] : sheets) {
        if (count_ >= MapCount()) break;
        const std::string stem = map.stem().string() + "-" + std::to_string(i);
        const std::string imageName = stem + image.extension().string();
        fs::create_hard_link(image, maps_ / imageName);
        std::ofstream(maps_ / (stem + ".map"), std::ios::binary) << WithImage(map, imageName);
        ++count_;
      }
    }
    std::string message;
    folders_ = *PrepareThumbnailFolders({root_ / "Image Thumbnails", root_ / "Image Thumbnails" / "Projected"}, message);
  }
  ~ThumbnailFixture() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // One scan of the whole folder into a fresh catalogue, as at a start of
  // the program; returns the thumbnail reports.
  std::vector<ThumbnailReport> Run(WorkerMode mode, bool thumbnails, const std::string& zone, int& loaded) {
    QuietHost host;
    ImageSearchContext search;
    geodesy::DestinationSettings destination;
    destination.mapProjection = "(UTM) Universal Transverse Mercator";
    destination.zone = zone;
    if (mode == WorkerMode::Scan) catalogue_ = std::make_unique<MapCatalogue>();
    if (mode == WorkerMode::Scan) loadedFolders_ = FolderList();
    WorkerJob job{*catalogue_,   loadedFolders_, FolderList({maps_.string()}), geodesy::BuiltInProjectionCatalogue(),
                  search,        RasterImageQueries(), folders_, WorkerSettings{destination, 200, thumbnails}};
    OpenMapThread worker(mode, std::move(job), host);
    worker.Start();
    worker.Wait();
    loaded = catalogue_->count();
    return worker.Reports();
  }
  int count() const { return count_; }

 private:
  fs::path root_;
  fs::path maps_;
  ThumbnailFolders folders_;
  int count_ = 0;
  std::unique_ptr<MapCatalogue> catalogue_ = std::make_unique<MapCatalogue>();
  FolderList loadedFolders_;
};

ThumbnailFixture& Fixture() {
  static ThumbnailFixture fixture;
  return fixture;
}

void Count(benchmark::State& state, const std::vector<ThumbnailReport>& reports, int loaded) {
  int imagesReduced = 0, imageThumbnailsRead = 0, warped = 0, reused = 0;
  for (const auto& r : reports) {
    imagesReduced += r.build.imageStage == StageOutcome::Built;
    imageThumbnailsRead += r.build.imageStage == StageOutcome::Reused;
    warped += r.build.projectedStage == StageOutcome::Built;
    reused += r.build.projectedStage == StageOutcome::Reused;
  }
  state.counters["maps"] = loaded;
  state.counters["imagesReduced"] = imagesReduced;
  state.counters["imageThumbsRead"] = imageThumbnailsRead;
  state.counters["warped"] = warped;
  state.counters["reused"] = reused;
  if (loaded != Fixture().count()) state.SkipWithError("not every map was loaded");
}

void BM_ScanWithoutThumbnails(benchmark::State& state) {
  int loaded = 0;
  std::vector<ThumbnailReport> reports;
  for (auto _ : state) reports = Fixture().Run(WorkerMode::Scan, false, "32", loaded);
  Count(state, reports, loaded);
}

void BM_ScanBuildingThumbnails(benchmark::State& state) {
  int loaded = 0;
  std::vector<ThumbnailReport> reports;
  for (auto _ : state) reports = Fixture().Run(WorkerMode::Scan, true, "32", loaded);
  Count(state, reports, loaded);
}

void BM_ScanReusingThumbnails(benchmark::State& state) {
  int loaded = 0;
  std::vector<ThumbnailReport> reports;
  for (auto _ : state) reports = Fixture().Run(WorkerMode::Scan, true, "32", loaded);
  Count(state, reports, loaded);
}

void BM_RebuildAfterProjectionChange(benchmark::State& state) {
  int loaded = 0;
  std::vector<ThumbnailReport> reports;
  int zone = 33;
  for (auto _ : state) reports = Fixture().Run(WorkerMode::Thumbnails, true, std::to_string(zone++), loaded);
  Count(state, reports, loaded);
}

// In this order: the first thumbnail scan finds an empty cache, and the
// scan without thumbnails comes after the reusing one, so both read map
// files the system has cached.
BENCHMARK(BM_ScanBuildingThumbnails)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1);
BENCHMARK(BM_ScanReusingThumbnails)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1);
BENCHMARK(BM_ScanWithoutThumbnails)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1);
BENCHMARK(BM_RebuildAfterProjectionChange)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1);

}  // namespace
