#include "creation/pipeline_stages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "geodesy/datum.h"
#include "geodesy/projection.h"
#include "geodesy/projection_catalogue.h"
#include "raster/raster_source.h"
#include "raster/scratch/temp_image.h"
#include "support/file_bytes.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"
#include "support/tiled_layout_reader.h"

namespace quiltor::creation {
namespace {

using quiltor::testing::ReadTiledLayout;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

// A merged map with what the stages after the rows must treat faithfully:
// smooth shading for the colour reduction, hard edges and one-pixel lines
// for the sharpening, and a speckle that no two rows share.
void WriteMergedMap(const std::filesystem::path& path, int width, int height) {
  TrueColourTempWriter writer(path, width, height);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  std::uint32_t noise = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const int speckle = static_cast<int>((noise >> 16) % 9) - 4;
      int b = (x * 255) / width, g = (y * 255) / height, r = ((x + y) * 97) % 256;
      if ((x / 41 + y / 53) % 3 == 0) b = 250, g = 250, r = 245;  // paper
      if (x % 67 == 5 || y % 59 == 7) b = 20, g = 10, r = 30;     // grid lines
      std::uint8_t* p = row.data() + static_cast<std::size_t>(x) * 3;
      p[0] = static_cast<std::uint8_t>(std::clamp(b + speckle, 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(g + speckle, 0, 255));
      p[2] = static_cast<std::uint8_t>(std::clamp(r - speckle, 0, 255));
    }
    writer.WriteRow(row.data());
  }
  writer.Finish();
}

// FNV-1a over every level's size, palette and decoded pixels: the picture a
// viewer shows, whatever the deflate made of the tiles.
std::uint64_t DecodedDigest(const std::filesystem::path& tiled) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&h](std::uint8_t byte) { h = (h ^ byte) * 1099511628211ull; };
  auto mixInt = [&mix](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) mix(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const testing::LayoutFile file = ReadTiledLayout(tiled);
  mixInt(static_cast<std::uint32_t>(file.levels.size()));
  for (const testing::LayoutLevel& level : file.levels) {
    mixInt(static_cast<std::uint32_t>(level.width));
    mixInt(static_cast<std::uint32_t>(level.height));
    for (const testing::LayoutColour& c : level.palette) mix(c.blue), mix(c.green), mix(c.red), mix(c.reserved);
    for (std::uint8_t p : level.pixels) mix(p);
  }
  return h;
}

struct StagesRun {
  bool ok = false;
  std::filesystem::path image;
  bool sampledAgain = false;  // the conversion read rows for its colour statistics itself
};

// Sharpening, tiled image and calibration file, as the create calls them
// with its rows, on the merged map at `merged`.
StagesRun RunStagesAfterRows(const TempFolder& temp, const std::filesystem::path& merged, PipelineOptions options,
                             const std::string& name) {
  RecordingHost host;
  CreateFlags flags;
  CalibrationTarget target;
  target.destination =
      geodesy::Projection::Create(geodesy::BuiltInProjectionCatalogue(), "Latitude/Longitude", {}, geodesy::WGS84Datum());
  target.datum = geodesy::WGS84Datum();
  target.metersPerPixelText = "100";
  CreateStages stages = PipelineStages(options, target, host, flags);
  const std::filesystem::path work = temp.path() / ("work-" + name);
  std::filesystem::create_directories(work);
  const std::filesystem::path sharpened = work / "sharpened.qtxx0";
  StagesRun run;
  run.image = temp.path() / (name + ".qtx2");
  {
    // The merged rows reach the stages one by one, as the row loop hands them on.
    const std::unique_ptr<RasterSource> rows = OpenRaster(merged);
    std::unique_ptr<TempRowWriter> writer = stages.beginTempImage(sharpened.string(), rows->width(), rows->height());
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rows->width()) * 3);
    for (int y = 0; y < rows->height(); ++y) {
      ReadRasterLine(rows.get(), y, row.data());
      writer->WriteRow(row.data());
    }
    if (!writer->Finish()) return run;
  }
  if (!stages.convertToTiled(sharpened.string(), run.image.string(), work.string())) return run;
  DestinationGrid grid;
  grid.pixelSize = 0.001;
  grid.width = 460;
  grid.height = 380;
  stages.writeMapFile(DestinationExtent{10, 10.46, 50, 50.38}, grid);
  run.ok = std::filesystem::exists(run.image);
  for (const std::string& e : host.events) run.sampledAgain |= e.rfind("status: Mapping Colors - Pass 1", 0) == 0;
  return run;
}

// The decoded picture of every level is pinned: how the stages after the
// rows are arranged (what streams, what runs in parallel, which deflate)
// must not change a pixel or a palette entry. At full size the sharpening
// gathers the colour statistics, so the conversion reads the sharpened map
// only to map it.
TEST(StagesAfterRows, DecodedLevelsStayThePicture) {
  struct Case {
    const char* name;
    PipelineOptions options;
    std::uint64_t digest;
    bool sampledAgain;
  };
  const Case cases[] = {
      {"full-size", {128, 100}, 0x28f825deaad24ca4, false},
      {"resized", {200, 70}, 0xd8e684fa56a3848e, false},
  };
  TempFolder temp;
  const std::filesystem::path merged = temp.path() / "merged.qtxx0";
  WriteMergedMap(merged, 460, 380);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StagesRun run = RunStagesAfterRows(temp, merged, c.options, c.name);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(DecodedDigest(run.image), c.digest) << std::hex << DecodedDigest(run.image);
    EXPECT_EQ(run.sampledAgain, c.sampledAgain);
  }
}

TEST(StagesAfterRows, SameFileOnAnyNumberOfThreads) {
  TempFolder temp;
  const std::filesystem::path merged = temp.path() / "merged.qtxx0";
  WriteMergedMap(merged, 460, 380);
  std::vector<std::uint8_t> first;
  for (const int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    const StagesRun run = RunStagesAfterRows(temp, merged, {128, 100, threads}, "threads" + std::to_string(threads));
    ASSERT_TRUE(run.ok);
    const std::vector<std::uint8_t> bytes = testing::ReadFileBytes(run.image);
    if (first.empty()) first = bytes;
    EXPECT_EQ(bytes, first);
  }
}

}  // namespace
}  // namespace quiltor::creation
