// A folder scan of 500 maps without thumbnails: reading each map file,
// finding and sizing its image, calibrating and building its row spans, as
// "Scan Folders" does. The maps are the sample maps (five projections, four
// image kinds) copied 100 times each, with their images beside them.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>

#include "catalogue/folder_scan.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/raster_image_queries.h"
#include "common/worker_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace {

namespace fs = std::filesystem;
using namespace quiltor;

constexpr int kCopies = 100;

// The scan folder, made once and removed at exit.
class ScanFolderFixture {
 public:
  ScanFolderFixture() {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("quiltor-scan-bench-" + std::to_string(rd()));
    fs::create_directories(folder_);
    const fs::path samples = fs::path(QUILTOR_SOURCE_DIR) / "samples";
    for (const auto& entry : fs::directory_iterator(samples)) {
      const fs::path& p = entry.path();
      if (p.extension() != ".map") {
        fs::copy_file(p, folder_ / p.filename());
        continue;
      }
      for (int i = 0; i < kCopies; ++i) {
        fs::copy_file(p, folder_ / (p.stem().string() + "-" + std::to_string(i) + ".map"));
        ++maps_;
      }
    }
  }
  ~ScanFolderFixture() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string folder() const { return folder_.string(); }
  int maps() const { return maps_; }

 private:
  fs::path folder_;
  int maps_ = 0;
};

const ScanFolderFixture& Fixture() {
  static const ScanFolderFixture fixture;
  return fixture;
}

void BM_ScanFolderOf500Maps(benchmark::State& state) {
  const ScanFolderFixture& fixture = Fixture();
  const ImageSearchContext search;
  QuietHost host;
  const MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, RasterImageQueries(), host, {}};
  int loaded = 0;
  for (auto _ : state) {
    MapCatalogue catalogue;
    FolderList folders;
    std::atomic<bool> abort{false};
    ScanSession session{catalogue, folders, context, abort};
    ScanNewFolders(session, FolderList({fixture.folder()}));
    catalogue.SortByScale();
    loaded = catalogue.count();
    benchmark::DoNotOptimize(catalogue[0].metresPerPixel);
  }
  if (loaded != fixture.maps()) state.SkipWithError("not every map was loaded");
  // Maps per second; its inverse is the time per map.
  state.SetItemsProcessed(state.iterations() * loaded);
}
BENCHMARK(BM_ScanFolderOf500Maps)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
