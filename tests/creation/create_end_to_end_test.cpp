// A whole create on the committed fixture maps, from the folder scan to the
// calibration file: a UTM sheet (60 m, green land), a Transverse Mercator
// sheet on European 1950 (110 m, brown) and a latitude/longitude overview
// (about 300 m, beige), each with a white collar and a magenta legend bar,
// overlapping, with coloured landmark squares at known positions. The
// tiled image the create wrote is decoded again from its layout and checked
// against what the fixtures were drawn with and what the written
// calibration file says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/row_spans.h"
#include "catalogue/raster_image_queries.h"
#include "common/paths.h"
#include "creation/catalogue_sources.h"
#include "creation/create_run.h"
#include "geodesy/datum.h"
#include "settings/image_search.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"
#include "support/tiled_layout_reader.h"
#include "written_map.h"

namespace quiltor::creation {
namespace {

namespace fs = std::filesystem;
using quiltor::testing::LayoutColour;
using quiltor::testing::LayoutLevel;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

const fs::path kFixtures = fs::path(QUILTOR_SOURCE_DIR) / "tests" / "fixtures" / "creation";

struct Landmark {
  const char* name;
  double lat, lon;
  int r, g, b;
};
// As drawn by scripts/make-samples.py (landmarks.csv beside the fixtures).
constexpr Landmark kLandmarks[] = {
    {"red", 46.150, 7.050, 230, 0, 0},
    {"green", 46.230, 7.180, 0, 200, 0},
    {"cyan", 46.080, 6.920, 0, 200, 230},
    {"orange", 46.300, 6.980, 255, 140, 0},
};

bool Magenta(const LayoutColour& c) { return c.red > 190 && c.blue > 190 && c.green < 90; }
bool NearBackground(const LayoutColour& c) {
  return std::abs(c.red - 247) < 12 && std::abs(c.green - 247) < 12 && std::abs(c.blue - 247) < 12;
}
bool Close(const LayoutColour& c, const Landmark& m) {
  return std::abs(c.red - m.r) < 50 && std::abs(c.green - m.g) < 50 && std::abs(c.blue - m.b) < 50;
}

// A fresh copy of the fixtures, scanned as a create of these folders scans
// them, and a create of all of them into a temporary output folder.
struct FixtureCreate {
  TempFolder temp;
  RecordingHost host;
  CreateFlags flags;
  MapCatalogue catalogue;
  FolderList loaded;
  CatalogueCreate create;
  fs::path maps = temp / "maps";
  fs::path work = temp / "work";

  FixtureCreate() {
    fs::create_directories(maps);
    fs::create_directories(work);
    fs::create_directories(temp / "out");
    for (const auto& entry : fs::directory_iterator(kFixtures)) fs::copy_file(entry.path(), maps / entry.path().filename());
    std::atomic<bool> noAbort{false};
    ScanMapFolders({maps.string()}, catalogue, loaded, geodesy::BuiltInProjectionCatalogue(), host, noAbort);
    create.configuration = DefaultCreateConfiguration(temp.path().string());
    geodesy::DestinationSettings& d = create.configuration.destination;
    d.mapProjection = "(UTM) Universal Transverse Mercator";
    d.zone = "32";
    d.metersPerPixel = "75";
    create.configuration.configure.tempFolder = work.string();
    create.configuration.configure.numberOfColors = 128;
    create.destinationFile = (temp / "out" / "merged.qtx2").string();
  }

  CreateOutcome Run(WorkerHost& via) {
    return CreateFromCatalogue(catalogue, geodesy::BuiltInProjectionCatalogue(), create, via, flags);
  }
  CreateOutcome Run() { return Run(host); }

  fs::path output() const { return create.destinationFile; }
  fs::path mapFile() const { return ChangeExtension(create.destinationFile, ".map"); }
  bool WorkFolderEmpty() const { return fs::is_empty(work); }
  int Count(const std::string& event) const {
    return int(std::count(host.events.begin(), host.events.end(), event));
  }
};

TEST(CreateEndToEnd, MergedMapCutsCollarsKeepsDetailOnTopAndPutsLandmarksWhereItsMapSays) {
  FixtureCreate c;
  ASSERT_EQ(c.catalogue.count(), 3);
  // The corners are written on European 1950 and must read back onto WGS 84.
  c.create.configuration.destination.mapDatum = "European 1950";
  const CreateOutcome outcome = c.Run();
  ASSERT_EQ(outcome.report.resultText, kResultComplete) << (c.host.mapErrors.empty() ? "" : c.host.mapErrors[0]);
  ASSERT_TRUE(outcome.report.outputWritten);
  EXPECT_TRUE(c.WorkFolderEmpty());
  ASSERT_TRUE(outcome.log.show);
  EXPECT_EQ(outcome.log.lines.front().rfind("Start : ", 0), 0u);
  EXPECT_EQ(outcome.log.lines.back().rfind("Elapsed Time (hh:mm:ss) : ", 0), 0u);

  const quiltor::testing::LayoutFile file = quiltor::testing::ReadTiledLayout(c.output());
  ASSERT_FALSE(file.levels.empty());
  const LayoutLevel& image = file.levels[0];
  ASSERT_EQ(image.width, outcome.report.grid.width);
  ASSERT_EQ(image.height, outcome.report.grid.height);

  // (e) the calibration file: projection, datum, size and corners.
  const Map_record written = quiltor::testing::ReadWrittenMap(c.mapFile());
  EXPECT_EQ(written.projectionName, "(UTM) Universal Transverse Mercator");
  EXPECT_EQ(written.datum, geodesy::Datums().FindDatum("European 1950"));
  EXPECT_EQ(written.width, image.width);
  EXPECT_EQ(written.height, image.height);
  const geodesy::Projection destination = geodesy::ReadDestinationProjection(
      c.create.configuration.destination, geodesy::BuiltInProjectionCatalogue());
  // Pixel (W, H) is one step past the grid's last column and row, wherever
  // the extent the grid was sized from ended.
  const DestinationExtent e = GridEdges(outcome.report.grid);
  const struct {
    double px, py, X, Y;
  } corners[] = {{0, 0, e.minX, e.maxY}, {double(image.width), double(image.height), e.maxX, e.minY}};
  for (const auto& corner : corners) {
    const geodesy::LatLon want = destination.Inverse({corner.X, corner.Y}).value();
    const double lat = want.latitude, lon = want.longitude;
    const geodesy::LatLon back = PixelToLatLon(written, {corner.px, corner.py});
    // The corners are written to a ten-thousandth of a minute.
    EXPECT_NEAR(back.latitude, lat, 2e-5) << corner.px;
    EXPECT_NEAR(back.longitude, lon, 2e-5) << corner.px;
  }

  // (a) not a single pixel of a magenta legend bar.
  int magenta = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) magenta += Magenta(image.At(x, y));
  EXPECT_EQ(magenta, 0) << "legend pixels of a collar reached the merged map";

  // (c) each landmark square sits, within a pixel, where the written
  // calibration file puts the landmark's latitude and longitude. The square
  // was drawn centred on the source pixel nearest to the landmark, in the
  // most detailed map whose border holds it.
  for (const Landmark& mark : kLandmarks) {
    geodesy::LatLon centre{mark.lat, mark.lon};
    for (int i = 0; i < c.catalogue.count(); ++i) {
      const Map_record& m = c.catalogue[i];
      const PixelPosition p = LatLonToPixel(m, {.latitude = mark.lat, .longitude = mark.lon});
      if (p.y < 0 || p.y >= m.height || !RowSpans(m, p.y).Covers(p.x)) continue;
      centre = PixelToLatLon(m, PointOf(p));
      break;
    }
    const PixelPosition expected = LatLonToPixel(written, centre);
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = std::max(0, expected.y - 10); y < std::min(image.height, expected.y + 10); ++y)
      for (int x = std::max(0, expected.x - 10); x < std::min(image.width, expected.x + 10); ++x)
        if (Close(image.At(x, y), mark)) {
          sx += x;
          sy += y;
          ++n;
        }
    ASSERT_GT(n, 0) << mark.name << " landmark missing";
    EXPECT_NEAR(sx / n, expected.x, 1.0) << mark.name;
    EXPECT_NEAR(sy / n, expected.y, 1.0) << mark.name;
  }

  // (b) beside the red landmark all three maps cover the ground: the UTM
  // sheet's green land wins. Inside the European 1950 sheet but off the UTM
  // sheet, its brown wins over the overview.
  const PixelPosition red = LatLonToPixel(written, {.latitude = 46.15, .longitude = 7.05});
  const LayoutColour beside = image.At(red.x + 8, red.y);
  EXPECT_GT(beside.green, beside.red + 30) << "a less detailed map painted over the UTM sheet";
  const PixelPosition middle = LatLonToPixel(written, {.latitude = 46.22, .longitude = 6.95});
  const LayoutColour brown = image.At(middle.x, middle.y);
  EXPECT_GT(brown.red, brown.green) << "the Transverse Mercator sheet lost to the overview";

  // (d) the overview is a latitude/longitude rectangle, tilted in UTM, so a
  // top corner of the box around it is ground no map covers.
  EXPECT_TRUE(NearBackground(image.At(0, 0)) || NearBackground(image.At(image.width - 1, 0)));
}

TEST(CreateEndToEnd, SourceGoneOrDamagedAfterTheScanIsLoggedOnceAndTheCreateGoesOn) {
  for (const bool remove : {true, false}) {
    FixtureCreate c;
    const fs::path image = c.maps / "fx-middle-tm-ed50.png";
    if (remove)
      fs::remove(image);
    else
      std::ofstream(image, std::ios::trunc) << "not an image any more";
    const CreateOutcome outcome = c.Run();
    const char* what = remove ? "removed" : "damaged";
    EXPECT_EQ(outcome.report.resultText, kResultComplete) << what;
    EXPECT_EQ(c.Count("action: ERROR Opening Map : fx-middle-tm-ed50.png"), 1) << what;
    EXPECT_TRUE(fs::exists(c.output())) << what;
    EXPECT_TRUE(fs::exists(c.mapFile())) << what;
    EXPECT_TRUE(c.WorkFolderEmpty()) << what;
  }
}

TEST(CreateEndToEnd, DestinationFolderThatCannotBeWrittenIsRefusedBeforeAnythingStarts) {
  struct Case {
    const char* what;
    std::string folder;
    const char* message;
  };
  FixtureCreate c;
  const fs::path plainFile = c.temp / "a-file";
  std::ofstream(plainFile) << "x";
  // /proc takes no new files, whoever runs the test.
  const Case cases[] = {
      {"missing", (c.temp / "no-such-folder").string(), "The Destination Folder is not valid"},
      {"a file", plainFile.string(), "The Destination Folder is not valid"},
      {"read-only", "/proc", "The Destination Folder cannot be written to"},
  };
  for (const Case& k : cases) {
    RecordingHost host;
    c.create.destinationFile = (fs::path(k.folder) / "merged.qtx2").string();
    const CreateOutcome outcome = c.Run(host);
    EXPECT_FALSE(outcome.started) << k.what;
    EXPECT_EQ(host.messages, std::vector<std::string>{k.message}) << k.what;
    EXPECT_FALSE(fs::exists(c.create.destinationFile)) << k.what;
    EXPECT_TRUE(c.WorkFolderEmpty()) << k.what;
  }
}

// Presses Abort the moment the create window shows a given status text.
class AbortAt : public RecordingHost {
 public:
  AbortAt(std::string prefix, CreateFlags& flags) : prefix_(std::move(prefix)), flags_(flags) {}
  void SetStatusText(const std::string& text) override {
    RecordingHost::SetStatusText(text);
    if (text.rfind(prefix_, 0) == 0) {
      flags_.abortRequested = true;
      flags_.conversionAbort = true;
    }
  }

 private:
  std::string prefix_;
  CreateFlags& flags_;
};

TEST(CreateEndToEnd, AbortAtEachStageLeavesNoOutputAndNoTemporaryFiles) {
  for (const char* stage : {"Row - 20 ", "Sharpening : ", "Creating 25.0% Zoom", "Writing "}) {
    FixtureCreate c;
    AbortAt host(stage, c.flags);
    const CreateOutcome outcome = c.Run(host);
    EXPECT_EQ(outcome.report.resultText, kResultAborted) << stage;
    EXPECT_FALSE(outcome.log.show) << stage;
    EXPECT_FALSE(fs::exists(c.output())) << stage;
    EXPECT_FALSE(fs::exists(c.mapFile())) << stage;
    EXPECT_TRUE(c.WorkFolderEmpty()) << stage;
    EXPECT_EQ(std::distance(fs::directory_iterator(c.temp / "out"), fs::directory_iterator{}), 0) << stage;
  }
}

}  // namespace
}  // namespace quiltor::creation
