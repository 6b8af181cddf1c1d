#include "creation/create_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/error.h"
#include "creation/catalogue_sources.h"
#include "creation/row_plan.h"
#include "creation_fakes.h"
#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"
#include "support/rectangle_maps.h"
#include "pipeline/zoom_plan.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor::creation {
namespace {

using quiltor::testing::CapturedImage;
using quiltor::testing::CopyingStages;
using quiltor::testing::FramedImage;
using quiltor::testing::FramedSource;
using quiltor::testing::PlainProjection;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

bool IsColour(const std::uint8_t* p, int b, int g, int r) { return p[0] == b && p[1] == g && p[2] == r; }
bool IsBackground(const std::uint8_t* p) { return IsColour(p, 247, 247, 247); }
bool IsMagenta(const std::uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] > 200; }

// Destination column and row of a latitude/longitude in the plain projection.
std::pair<int, int> PixelOf(const CreateReport& report, double lat, double lon) {
  return {static_cast<int>(std::lround((lon * 1000 - report.extent.minX) / report.grid.pixelSize)),
          static_cast<int>(std::lround((report.extent.maxY - lat * 1000) / report.grid.pixelSize))};
}

int CountIf(const std::vector<std::string>& events, const std::string& text) {
  return static_cast<int>(std::count(events.begin(), events.end(), text));
}

CreateSettings PlainSettings(const TempFolder& temp, double mpp = 1) {
  CreateSettings s;
  s.projection = PlainProjection();
  s.metresPerPixel = mpp;
  s.tempFolder = temp.path().string();
  s.destinationFile = (temp.path() / "out" / "merged.qtx2").string();
  std::filesystem::create_directories(temp.path() / "out");
  s.maxLoadedMaps = 25;
  return s;
}

bool OnlyOutputLeft(const TempFolder& temp) {
  for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
    if (entry.path().filename() != "out") return false;
  return true;
}

TEST(SampleWeights, FixedPointBilinearOrPlainMean) {
  const BilinearWeights w = SampleWeights(10.25, 3.5, 1.0);
  EXPECT_EQ(w.a, 12288);
  EXPECT_EQ(w.b, 4096);
  EXPECT_EQ(w.c, 12288);
  EXPECT_EQ(w.d, 4096);
  const BilinearWeights mean = SampleWeights(10.25, 3.5, 0.6);
  EXPECT_EQ(mean.a + mean.b + mean.c + mean.d, 32768);
  EXPECT_EQ(mean.a, 8192);
  EXPECT_EQ(mean.d, 8192);
  const BilinearWeights above = SampleWeights(10.25, 3.5, 0.6000001);
  EXPECT_EQ(above.b, 4096);
}

TEST(AdaptiveRowTransform, ExactAtFewPointsInterpolatesAndSplits) {
  struct Case {
    const char* what;
    int n;
    bool curved;  // the transform bends the row by more than a pixel
    int expectedExact;
  } cases[] = {
      {"six points go one by one", 6, false, 6},
      {"seven straight points", 7, false, 3},
      {"a long straight row: still three", 1000, false, 3},
      {"a curved row is split until straight", 1000, true, -1},
  };
  for (const Case& c : cases) {
    std::vector<double> x(static_cast<std::size_t>(c.n)), outX(x.size()), outY(x.size());
    for (int i = 0; i < c.n; ++i) x[static_cast<std::size_t>(i)] = 100.0 + i * 2.0;
    int exact = 0;
    const auto f = [&c](double X) { return c.curved ? X * 0.5 + (X - 100) * (X - 100) * 0.0001 : X * 0.5; };
    const PointTransform transform = [&](double* px, double* py, int n) {
      exact += n;
      for (int i = 0; i < n; ++i) {
        const double X = px[i];
        px[i] = f(X);
        py[i] = py[i] * 2 + 1;
      }
    };
    AdaptiveRowTransform({x.data(), 5.0, c.n}, 0, c.n, 1.0, transform, outX.data(), outY.data());
    if (c.expectedExact > 0) EXPECT_EQ(exact, c.expectedExact) << c.what;
    else EXPECT_GT(exact, 3) << c.what;
    EXPECT_LE(exact, c.n) << c.what;
    for (int i = 0; i < c.n; ++i) {
      EXPECT_NEAR(outX[static_cast<std::size_t>(i)], f(100.0 + i * 2.0), 1.0) << c.what << " at " << i;
      EXPECT_NEAR(outY[static_cast<std::size_t>(i)], 11.0, 1e-9) << c.what;
    }
  }
}

// A map sampled in a few columns of a long row gets, in those columns,
// the very values the whole row would give (the merged pixels depend on
// them to the last bit), at the cost of the halves that hold them only.
TEST(AdaptiveRowTransform, WantedColumnsComeOutAsInTheWholeRow) {
  const int n = 4000;
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = -30.0 + i * 0.015;
  int exact = 0;
  const PointTransform bent = [&exact](double* px, double* py, int count) {
    exact += count;
    for (int i = 0; i < count; ++i) {
      const double lon = px[i];
      px[i] = 1000 * std::sin(lon * 0.05) + 3 * lon * lon;
      py[i] = py[i] * 7 + lon * lon * 0.5;
    }
  };
  std::vector<double> wholeX(x.size()), wholeY(x.size());
  AdaptiveRowTransform({x.data(), 12.5, n}, 0, n, 0.125, bent, wholeX.data(), wholeY.data());
  const int wholeExact = exact;
  for (const auto& [first, end] : {std::pair{0, 1}, {1800, 1900}, {2047, 2049}, {3990, 4000}, {-5, 3}, {3999, 4100}}) {
    exact = 0;
    std::vector<double> partX(x.size(), NAN), partY(x.size(), NAN);
    AdaptiveRowTransform({x.data(), 12.5, n}, first, end, 0.125, bent, partX.data(), partY.data());
    for (int i = 0; i < n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (i >= first && i < end) {
        EXPECT_EQ(partX[k], wholeX[k]) << first << " at " << i;  // bit for bit
        EXPECT_EQ(partY[k], wholeY[k]) << first << " at " << i;
      } else {
        EXPECT_TRUE(std::isnan(partX[k])) << first << ": column " << i << " was written";
      }
    }
    EXPECT_LT(exact * 4, wholeExact) << first;
  }
}

// A Lambert Conformal Conic sheet far from its central meridian, whose
// pixel rows are strongly curved on the ground, three times coarser than the
// destination: every destination pixel of a grid over it, interpolated along
// its row as the create does, lies within an eighth of a destination pixel
// of where the exact chain (every point projected) puts it, in a
// latitude/longitude and a Mercator destination.
TEST(AdaptiveRowTransform, CurvedCoarseSourceStaysWithinAnEighthPixelOfTheExactChain) {
  geodesy::ProjectionSetup conic;
  conic.lat0 = 40;
  conic.lon0 = 0;
  conic.lat1 = 35;
  conic.lat2 = 55;
  const geodesy::Projection lcc = geodesy::Projection::Create(
      geodesy::BuiltInProjectionCatalogue(), "Lambert Conformal Conic", conic, geodesy::Datums().FindDatum("WGS 84"));
  ASSERT_TRUE(lcc.CanProject());
  const double sourceMpp = 600, destinationMpp = 200;
  const geodesy::EastingNorthing origin = lcc.Forward({47.0, 18.0}).value();
  const auto toPixel = [&](double lat, double lon, double& col, double& row) {
    const std::optional<geodesy::EastingNorthing> en = lcc.Forward({lat, lon});
    col = en ? (en->easting - origin.easting) / sourceMpp : std::nan("");
    row = en ? (origin.northing - en->northing) / sourceMpp : std::nan("");
  };
  for (const char* name : {"Latitude/Longitude", "Mercator"}) {
    const DestinationProjection destination = MakeDestinationProjection(quiltor::testing::DestinationNamed(name));
    GeoOutline sheet;
    sheet.lat = {47.0, 47.0, 45.5, 45.5};
    sheet.lon = {18.0, 21.0, 21.0, 18.0};
    const DestinationExtent extent =
        ComputeDestinationExtent(destination, CreateMode::SelectedMaps, DrawnRegion(), {&sheet}).value();
    const DestinationGrid grid = ComputeDestinationGrid(destination, extent, destinationMpp);
    const double tolerance = RowTolerance(sourceMpp, destinationMpp);
    const auto exact = [&](double* x, double* y, int n) {
      for (int i = 0; i < n; ++i) {
        geodesy::LatLon ll{y[i], x[i]};
        if (!destination.isLatLon()) ll = destination.inverse({x[i], y[i]}).value();
        toPixel(ll.latitude, ll.longitude, x[i], y[i]);
      }
    };
    double worst = 0;
    std::int64_t projected = 0;
    std::vector<double> columnX(static_cast<std::size_t>(grid.width)), x(columnX.size()), y(x.size()),
        ex(x.size()), ey(x.size());
    for (std::size_t c = 0; c < x.size(); ++c) columnX[c] = extent.minX + static_cast<double>(c) * grid.pixelSize;
    for (std::int32_t r = 0; r < grid.height; ++r) {
      const double rowY = extent.maxY - r * grid.pixelSize;
      ex = columnX;
      std::fill(ey.begin(), ey.end(), rowY);
      const PointTransform projectedExactly = [&](double* px, double* py, int n) {
        projected += n;
        exact(px, py, n);
      };
      AdaptiveRowTransform({columnX.data(), rowY, grid.width}, 0, grid.width, tolerance, projectedExactly, x.data(),
                           y.data());
      exact(ex.data(), ey.data(), grid.width);
      for (std::size_t c = 0; c < x.size(); ++c)
        worst = std::max(worst, std::hypot(x[c] - ex[c], y[c] - ey[c]) * sourceMpp / destinationMpp);
    }
    EXPECT_LE(worst, kSubPixelTolerance) << name << ": destination pixels off the exact chain";
    EXPECT_LT(projected, static_cast<std::int64_t>(grid.width) * grid.height / 4) << name;
  }
}

TEST(ProgressStep, WiderRowsReportMoreOften) {
  EXPECT_EQ(ProgressStep(5000), 10);
  EXPECT_EQ(ProgressStep(6001), 5);
  EXPECT_EQ(ProgressStep(12001), 2);
  EXPECT_EQ(ProgressStep(20000), 1);
}

// Detail map (blue, 1 m pixels) inside an overview (green, 2 m pixels), and
// a small red map apart from both, each with a magenta collar.
struct Mosaic {
  TempFolder temp;
  RecordingHost host;
  CreateFlags flags;
  CapturedImage image;
  int brokenOpens = 0;

  std::vector<CreationSource> Sources(bool withBrokenMap = false) {
    auto detail = FramedImage(200, 200, 5, 200, 0, 0);
    // A block of exact background bytes in the detail map: the overview shows through.
    for (int y = 100; y < 120; ++y)
      for (int x = 100; x < 120; ++x)
        std::fill_n(&detail[(static_cast<std::size_t>(y) * 200 + x) * 3], 3, std::uint8_t{247});
    std::vector<CreationSource> sources;
    sources.push_back(FramedSource("detail.png", 0.1, 0.35, 0.001, 200, 200, 5, detail));
    if (withBrokenMap)
      sources.push_back(FramedSource("broken.png", 0.0, 0.4, 0.002, 200, 200, 5, {}, &brokenOpens, true));
    sources.push_back(FramedSource("overview.gif", 0.0, 0.4, 0.002, 200, 200, 5, FramedImage(200, 200, 5, 0, 180, 0)));
    sources.push_back(FramedSource("apart.jpg", 0.5, 0.1, 0.001, 100, 100, 5, FramedImage(100, 100, 5, 0, 0, 220)));
    return sources;
  }
};

TEST(CreateJob, MostDetailedMapOnTopCollarsCutBackgroundKept) {
  Mosaic m;
  CreateSettings settings = PlainSettings(m.temp);
  CreateJob job(settings, m.Sources(), CopyingStages(m.image), m.host, m.flags);
  const CreateReport report = job.Run();
  ASSERT_EQ(report.resultText, kResultComplete);
  EXPECT_TRUE(m.flags.creationDone);
  ASSERT_EQ(m.image.width, report.grid.width);
  EXPECT_GE(report.grid.width, 300);

  int magenta = 0;
  for (int y = 0; y < m.image.height; ++y)
    for (int x = 0; x < m.image.width; ++x) magenta += IsMagenta(m.image.pixel(x, y));
  EXPECT_EQ(magenta, 0) << "collar pixels reached the merged map";

  const auto [dx, dy] = PixelOf(report, 0.25, 0.2);  // inside both maps
  EXPECT_TRUE(IsColour(m.image.pixel(dx, dy), 200, 0, 0));
  const auto [ox, oy] = PixelOf(report, 0.05, 0.05);  // overview only
  EXPECT_TRUE(IsColour(m.image.pixel(ox, oy), 0, 180, 0));
  const auto [hx, hy] = PixelOf(report, 0.35 - 0.110, 0.1 + 0.110);  // the 247 block of the detail map
  EXPECT_TRUE(IsColour(m.image.pixel(hx, hy), 0, 180, 0));
  const auto [ax, ay] = PixelOf(report, 0.05, 0.55);  // the map apart
  EXPECT_TRUE(IsColour(m.image.pixel(ax, ay), 0, 0, 220));
  const auto [gx, gy] = PixelOf(report, 0.3, 0.5);  // nobody covers this
  EXPECT_TRUE(IsBackground(m.image.pixel(gx, gy)));
  // Three exact points per map and row, not one per pixel.
  EXPECT_LT(report.exactProjections, static_cast<std::int64_t>(report.grid.width) * report.grid.height / 10);
  EXPECT_TRUE(std::filesystem::exists(settings.destinationFile));
  EXPECT_TRUE(OnlyOutputLeft(m.temp));
  // Each stage starts and finishes once, in order, for the window's labels and ticks.
  std::vector<std::string> stages;
  for (const std::string& e : m.host.events)
    if (e.rfind("started: ", 0) == 0 || e.rfind("finished: ", 0) == 0) stages.push_back(e);
  EXPECT_EQ(stages, (std::vector<std::string>{"started: Generating map ... ", "finished: Generating map ... ",
                                              "started: Sharpening ...", "finished: Sharpening ...",
                                              "started: Saving image ...", "finished: Saving image ..."}));
}

TEST(CreateJob, SourceThatCannotBeOpenedIsLoggedOnceAndSkipped) {
  Mosaic m;
  CreateJob job(PlainSettings(m.temp), m.Sources(true), CopyingStages(m.image), m.host, m.flags);
  const CreateReport report = job.Run();
  EXPECT_EQ(report.resultText, kResultComplete);
  EXPECT_EQ(m.brokenOpens, 1);
  EXPECT_EQ(CountIf(m.host.events, "action: ERROR Opening Map : broken.png"), 1);
  ASSERT_EQ(report.openFailures.size(), 1u);  // and why, for the command line's --verbose and JSON
  EXPECT_EQ(report.openFailures[0].imageFile, "/maps/broken.png");
  EXPECT_EQ(report.openFailures[0].cause, "the image could not be opened");
  const auto [ox, oy] = PixelOf(report, 0.05, 0.05);  // the next map fills what the broken one would have
  EXPECT_TRUE(IsColour(m.image.pixel(ox, oy), 0, 180, 0));
}

// Narrow vertical strips side by side, each needed by every row.
std::vector<CreationSource> Strips(int count) {
  std::vector<CreationSource> sources;
  for (int i = 0; i < count; ++i)
    sources.push_back(FramedSource("s" + std::to_string(i), i * 0.025, 0.32, 0.001, 25, 330, 0,
                                   FramedImage(25, 330, 0, 10, std::uint8_t(i * 10), 10)));
  return sources;
}

TEST(CreateJob, LoadedMapsGrowWhenOneRowNeedsMoreAndCloseFirstOpened) {
  struct Case {
    const char* what;
    int strips, maxLoaded;
    bool constantClock;
    std::vector<std::string> expected;  // the first closing lines, in order
    std::string growth;
  } cases[] = {
      {"first opened, first closed", 5, 2, false, {"Closing Map : s0", "Closing Map : s1"}, ""},
      {"equal opening times: the later map first", 5, 2, true, {"Closing Map : s2", "Closing Map : s3"}, ""},
      {"fifteen maps in one row with room for ten", 15, 10, false, {"Closing Map : s0"}, "Max Loaded Maps = 15"},
  };
  for (const Case& c : cases) {
    TempFolder temp;
    RecordingHost host;
    CreateFlags flags;
    CapturedImage image;
    CreateSettings settings = PlainSettings(temp);
    settings.maxLoadedMaps = c.maxLoaded;
    settings.threads = 1;  // each row worker keeps these rules for its own images
    std::uint32_t tick = 1000;
    MillisecondClock clock = [&tick, &c] { return c.constantClock ? tick : tick++; };
    CreateJob job(settings, Strips(c.strips), CopyingStages(image), host, flags, clock);
    const CreateReport report = job.Run();
    ASSERT_EQ(report.resultText, kResultComplete) << c.what;
    std::vector<std::string> closing;
    for (const std::string& e : host.events)
      if (e.rfind("action: Closing Map", 0) == 0) closing.push_back(e.substr(8));
    ASSERT_GE(closing.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(closing[i], c.expected[i]) << c.what;
    if (!c.growth.empty()) {
      EXPECT_EQ(CountIf(host.events, "action: " + c.growth), 1) << c.what;
      EXPECT_EQ(report.maxLoadedMaps, 15) << c.what;
      EXPECT_EQ(closing.size(), 4u) << c.what << ": after growing, no map is closed again";
    }
  }
}

// The merged bytes of three dozen overlapping, bent maps with a small open
// image budget, as recorded from the row loop that walked every row and
// column on one thread: a faster way of finding the columns and maps of a
// row must not move a single pixel, and neither may the number of row
// workers. The "Action List" is the same for any number of workers too: the
// image that cannot be opened is reported once, and with room for every
// image each is opened once, the count going up by one each time.
TEST(CreateJob, ScatteredMapsMergeToTheRecordedBytesOnAnyNumberOfThreads) {
  for (const int maxLoaded : {5, 100}) {
    std::vector<std::string> singleThreadActions;
    for (const int threads : {1, 2, 3}) {
      TempFolder temp;
      RecordingHost host;
      CreateFlags flags;
      CapturedImage image;
      CreateSettings settings = PlainSettings(temp);
      settings.maxLoadedMaps = maxLoaded;
      settings.threads = threads;
      // Opening times a millisecond apart: on a real clock, maps opened in
      // the same millisecond close in an order the timing decides.
      std::uint32_t tick = 0;
      CreateJob job(settings, quiltor::testing::ScatteredSources(), CopyingStages(image), host, flags,
                    [&tick] { return tick++; });
      const CreateReport report = job.Run();
      ASSERT_EQ(report.resultText, kResultComplete) << threads;
      ASSERT_EQ(image.rows.size(), static_cast<std::size_t>(report.grid.width) * report.grid.height * 3);
      EXPECT_EQ(quiltor::testing::RowsDigest(image.rows), 0x9f924cd6fe4f5eb5ull) << threads << " threads";
      ASSERT_EQ(report.openFailures.size(), 1u) << threads;
      EXPECT_EQ(report.openFailures[0].imageFile, "/maps/scatter17.png");
      EXPECT_EQ(CountIf(host.events, "action: ERROR Opening Map : scatter17.png"), 1) << threads;
      std::vector<std::string> actions;
      for (const std::string& e : host.events)
        if (e.rfind("action: ", 0) == 0) actions.push_back(e);
      if (threads == 1) singleThreadActions = actions;
      EXPECT_EQ(actions, singleThreadActions) << threads << " threads, room for " << maxLoaded;
      if (maxLoaded == 100) {
        std::vector<std::string> opened;
        for (std::size_t k = 0; k < actions.size(); ++k) {
          if (actions[k].rfind("action: Opening Map : ", 0) != 0) continue;
          opened.push_back(actions[k]);
          ASSERT_LT(k + 1, actions.size());
          EXPECT_EQ(actions[k + 1], "action: Number Maps Loaded = " + std::to_string(opened.size())) << threads;
        }
        std::sort(opened.begin(), opened.end());
        EXPECT_EQ(std::unique(opened.begin(), opened.end()), opened.end()) << "an image opened twice";
        EXPECT_EQ(opened.size(), 35u) << threads;
      }
      // The progress text counts up, row after row.
      int last = -1;
      for (const std::string& e : host.events)
        if (e.rfind("status: Row - ", 0) == 0) {
          const int row = std::stoi(e.substr(14));
          EXPECT_GT(row, last);
          last = row;
        }
    }
  }
}

// The scattered maps under a latitude/longitude destination, whose units
// are degrees: a map takes part only in the rows and columns near it, and
// the merged bytes are those recorded when every map took part in every
// row and column.
TEST(CreateJob, LatitudeLongitudeDestinationMergesOnlyNearbyMapsToTheRecordedBytes) {
  TempFolder temp;
  RecordingHost host;
  CreateFlags flags;
  CapturedImage image;
  CreateSettings settings = PlainSettings(temp, 60);
  settings.projection = MakeDestinationProjection(quiltor::testing::DestinationNamed("Latitude/Longitude"));
  settings.threads = 2;
  const std::vector<CreationSource> sources = quiltor::testing::ScatteredSources();
  CreateJob job(settings, sources, CopyingStages(image), host, flags);
  const CreateReport report = job.Run();
  ASSERT_EQ(report.resultText, kResultComplete);
  EXPECT_GT(report.grid.width, 600);
  EXPECT_EQ(quiltor::testing::RowsDigest(image.rows), 0xe20405291197799full);

  const RowPlan plan(settings.projection, report.extent, report.grid, settings.metresPerPixel, sources);
  std::int64_t rowsMet = 0;
  for (std::size_t i = 0; i < plan.MapCount(); ++i) rowsMet += std::max(plan.Map(i).lastRow - plan.Map(i).firstRow + 1, 0);
  // Each map covers a part of the area: a row meets a third of them, not all.
  EXPECT_LT(rowsMet, static_cast<std::int64_t>(plan.MapCount()) * report.grid.height / 2);
}

// A source decoded whole is sampled straight from its bitmap, a streamed
// one pixel by pixel through its reader: the merged bytes are the same,
// for true-colour and for palette images.
TEST(CreateJob, DecodedAndStreamedImagesMergeToTheSameBytes) {
  for (const int bits : {24, 8}) {
    std::vector<std::uint8_t> merged[2];
    for (const bool decoded : {false, true}) {
      TempFolder temp;
      RecordingHost host;
      CreateFlags flags;
      CapturedImage image;
      std::vector<CreationSource> sources = quiltor::testing::ScatteredSources();
      for (CreationSource& s : sources) {
        const auto open = s.open;
        s.open = [open, bits, decoded]() -> std::unique_ptr<RasterReader> {
          std::unique_ptr<RasterReader> streamed = open();
          if (!streamed) return nullptr;
          return std::make_unique<quiltor::testing::BitmapRaster>(quiltor::testing::BitmapOf(*streamed, bits), decoded);
        };
      }
      CreateJob job(PlainSettings(temp), std::move(sources), CopyingStages(image), host, flags);
      ASSERT_EQ(job.Run().resultText, kResultComplete);
      merged[decoded] = image.rows;
    }
    EXPECT_TRUE(merged[0] == merged[1]) << bits << " bits";
    if (bits == 24) EXPECT_EQ(quiltor::testing::RowsDigest(merged[1]), 0x9f924cd6fe4f5eb5ull);
  }
}

TEST(CreateJob, TooSmallImageIsRefusedWithoutFiles) {
  Mosaic m;
  CreateJob job(PlainSettings(m.temp, 10), m.Sources(), CopyingStages(m.image), m.host, m.flags);
  const CreateReport report = job.Run();
  EXPECT_FALSE(report.started);
  EXPECT_TRUE(report.resultText.empty());
  EXPECT_TRUE(m.flags.abortRequested);
  EXPECT_TRUE(m.flags.creationDone);
  EXPECT_EQ(m.host.messages, std::vector<std::string>{kImageTooSmallMessage});
  EXPECT_TRUE(OnlyOutputLeft(m.temp));
  EXPECT_TRUE(std::filesystem::is_empty(m.temp.path() / "out"));
}

// Every way a create can end short of a map: no output, no temporary files.
TEST(CreateJob, AbortOrFailureAtEachStageLeavesNothing) {
  enum class Stage { RowLoop, RowFails, Conversion, ConversionFails, CalibrationFile, TempWriteFails };
  struct Case {
    const char* what;
    Stage stage;
    const char* result;
  } cases[] = {
      {"abort during the row loop", Stage::RowLoop, kResultAborted},
      {"a row worker fails", Stage::RowFails, kResultFailed},
      {"abort during the tiled image", Stage::Conversion, kResultAborted},
      {"tiled image fails", Stage::ConversionFails, kResultFailed},
      {"calibration file fails", Stage::CalibrationFile, kResultFailed},
      {"temporary image cannot be written", Stage::TempWriteFails, kResultFailed},
  };
  for (const Case& c : cases) {
    Mosaic m;
    CreateSettings settings = PlainSettings(m.temp);
    CreateStages stages = CopyingStages(m.image, c.stage != Stage::ConversionFails);
    class AbortingHost : public RecordingHost {
     public:
      CreateFlags* flags = nullptr;
      void SetStatusText(const std::string& text) override {
        RecordingHost::SetStatusText(text);
        if (text.rfind("Row - 20 ", 0) == 0) flags->abortRequested = true;
      }
    } host;
    host.flags = &m.flags;
    RecordingHost* sink = &m.host;
    if (c.stage == Stage::RowLoop) sink = &host;
    if (c.stage == Stage::Conversion)
      stages.convertToTiled = [&m](const std::string&, const std::string& dest, const std::string& work) {
        // The conversion writes its destination under a pending name and
        // removes it on abort; only its work files are left for the job.
        (void)dest;
        std::ofstream(std::filesystem::path(work) / "qtx_1.qtx0") << "level";
        m.flags.conversionAbort = true;
        return false;
      };
    if (c.stage == Stage::CalibrationFile)
      stages.writeMapFile = [](const DestinationExtent&, const DestinationGrid&) {
        throw QuiltorError("disk full");
      };
    if (c.stage == Stage::TempWriteFails) {
      auto begin = stages.beginTempImage;
      stages.beginTempImage = [begin](const std::string& path, std::int32_t w, std::int32_t h) {
        class Failing : public TempRowWriter {
         public:
          explicit Failing(std::unique_ptr<TempRowWriter> inner) : inner_(std::move(inner)) {}
          void WriteRow(const std::uint8_t* row) override {
            if (++rows_ > 50) throw QuiltorError("no space left on device");
            inner_->WriteRow(row);
          }
          bool Finish() override { return inner_->Finish(); }

         private:
          std::unique_ptr<TempRowWriter> inner_;
          int rows_ = 0;
        };
        return std::make_unique<Failing>(begin(path, w, h));
      };
    }
    std::vector<CreationSource> sources = m.Sources();
    if (c.stage == Stage::RowFails) {
      auto spans = sources[0].rowSpans;
      sources[0].rowSpans = [spans](std::int32_t y) {
        if (y > 150) throw QuiltorError("border unreadable");
        return spans(y);
      };
    }
    CreateJob job(settings, std::move(sources), stages, *sink, m.flags);
    const CreateReport report = job.Run();
    EXPECT_EQ(report.resultText, c.result) << c.what;
    EXPECT_FALSE(report.outputWritten) << c.what;
    EXPECT_TRUE(m.flags.creationDone) << c.what;
    EXPECT_FALSE(std::filesystem::exists(settings.destinationFile)) << c.what;
    EXPECT_TRUE(OnlyOutputLeft(m.temp)) << c.what << ": temporary files left behind";
    if (std::string(c.result) == kResultFailed) {
      ASSERT_EQ(sink->mapErrors.size(), 1u) << c.what;
      EXPECT_EQ(sink->mapErrors[0].rfind(kResultFailed, 0), 0u) << c.what;
    }
  }
}

TEST(CreateJob, FailedConversionKeepsAnEarlierMapOfTheSameName) {
  for (const bool abort : {false, true}) {
    Mosaic m;
    CreateSettings settings = PlainSettings(m.temp);
    std::ofstream(settings.destinationFile) << "yesterday's map";
    CreateStages stages = CopyingStages(m.image, false);
    if (abort)
      stages.convertToTiled = [&m](const std::string&, const std::string&, const std::string&) {
        m.flags.conversionAbort = true;
        return false;
      };
    CreateJob job(settings, m.Sources(), stages, m.host, m.flags);
    const CreateReport report = job.Run();
    EXPECT_EQ(report.resultText, abort ? kResultAborted : kResultFailed);
    std::ifstream kept(settings.destinationFile);
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "yesterday's map") << (abort ? "abort" : "failure");
  }
}

}  // namespace
}  // namespace quiltor::creation
