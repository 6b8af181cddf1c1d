// Landmarks of known latitude and longitude, drawn as small soft dots into a
// latitude/longitude source sheet near the four corners of the map a create
// makes from it. The written calibration file must place every landmark
// where the created image shows it (the dot's intensity-weighted centre),
// within a tenth of a pixel, with and without a resize: the far corner is
// where a calibration written at the wrong edge or at the wrong resized
// position is furthest off.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/calibration.h"
#include "common/text.h"
#include "creation/catalogue_sources.h"
#include "creation/create_run.h"
#include "creation/destination_map.h"
#include "support/bmp_file.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"
#include "support/tiled_layout_reader.h"
#include "written_map.h"

namespace quiltor::creation {
namespace {

namespace fs = std::filesystem;
using quiltor::testing::LayoutLevel;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

constexpr double kMpp = 50;
constexpr double kCentreLat = 47.05, kCentreLon = 8.5;

// The source sheet: 0.0006 degree pixels, its calibration points at the
// corners (0, 0) and (width, height).
struct Sheet {
  int width = 500, height = 900;
  double west = 8.35, north = 47.32, step = 0.0006;
  double Column(double lon) const { return (lon - west) / step; }
  double Row(double lat) const { return (north - lat) / step; }
};

constexpr std::uint8_t kGround = 70;   // every channel of the plain sheet
constexpr double kDotHeight = 120;     // added to green and red at a dot's centre
constexpr double kDotSigma = 3.5;      // source pixels

std::string DegreesMinutes(double v) {
  const double whole = std::trunc(std::fabs(v));
  return FormatInt(static_cast<std::int64_t>(whole)) + "," + FormatFixed((std::fabs(v) - whole) * 60.0, 6);
}

std::string SheetMapText(const Sheet& s, const std::string& image) {
  const double south = s.north - s.height * s.step, east = s.west + s.width * s.step;
  const std::array<std::array<double, 4>, 4> points = {
      {{0, 0, s.north, s.west}, {double(s.width), 0, s.north, east}, {double(s.width), double(s.height), south, east},
       {0, double(s.height), south, s.west}}};
  std::ostringstream t;
  t << "Tervane Map Data File Version 2.2\r\nLandmark sheet\r\n" << image
    << "\r\n1 ,Map Code,\r\nWGS 84,,0.0000,0.0000,\r\nReserved 1\r\n"
       "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n";
  for (int k = 0; k < 4; ++k) {
    const auto& p = points[std::size_t(k)];
    t << "Point0" << k + 1 << ",xy," << int(p[0]) << "," << int(p[1]) << ",in, deg," << DegreesMinutes(p[2])
      << ",N," << DegreesMinutes(p[3]) << ",E, grid,   ,  ,  ,N\r\n";
  }
  t << "MMPNUM,4\r\n";
  for (int k = 0; k < 4; ++k)
    t << "MMPXY," << k + 1 << "," << int(points[std::size_t(k)][0]) << "," << int(points[std::size_t(k)][1]) << "\r\n";
  for (int k = 0; k < 4; ++k)
    t << "MMPLL," << k + 1 << "," << FormatFixed(points[std::size_t(k)][3], 6) << ","
      << FormatFixed(points[std::size_t(k)][2], 6) << "\r\n";
  return t.str();
}

// The sheet with a dot centred on each landmark.
void WriteSheet(const fs::path& folder, const Sheet& s, const std::vector<geodesy::LatLon>& landmarks) {
  std::vector<double> lift(std::size_t(s.width) * s.height, 0.0);
  const int reach = int(std::ceil(4 * kDotSigma));
  for (const geodesy::LatLon& mark : landmarks) {
    const double cx = s.Column(mark.longitude), cy = s.Row(mark.latitude);
    for (int y = std::max(int(cy) - reach, 0); y <= std::min(int(cy) + reach, s.height - 1); ++y)
      for (int x = std::max(int(cx) - reach, 0); x <= std::min(int(cx) + reach, s.width - 1); ++x) {
        const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        lift[std::size_t(y) * s.width + x] += kDotHeight * std::exp(-r2 / (2 * kDotSigma * kDotSigma));
      }
  }
  std::vector<std::uint8_t> pixels(std::size_t(s.width) * s.height * 3, kGround);
  for (std::size_t i = 0; i < lift.size(); ++i) {
    const auto value = static_cast<std::uint8_t>(std::lround(kGround + lift[i]));
    pixels[3 * i + 1] = value;  // green
    pixels[3 * i + 2] = value;  // red; blue stays, so no pixel reads as the unfilled background
  }
  quiltor::testing::WriteBmp24(folder / "sheet.bmp", s.width, s.height, pixels);
  std::ofstream(folder / "sheet.map", std::ios::binary) << SheetMapText(s, (folder / "sheet.bmp").string());
}

// Where the dot around (x, y) is drawn: the centre of its green and red
// above the level around it, in a window of `radius` pixels.
std::pair<double, double> DotCentre(const LayoutLevel& image, double x, double y, int radius) {
  const int x0 = int(std::lround(x)), y0 = int(std::lround(y));
  const auto lift = [&](int px, int py) {
    const auto& c = image.At(px, py);
    return double(c.green) + double(c.red);
  };
  double ring = 0;
  int ringCount = 0;
  for (int k = -radius; k <= radius; ++k) {
    ring += lift(x0 + k, y0 - radius) + lift(x0 + k, y0 + radius) + lift(x0 - radius, y0 + k) +
            lift(x0 + radius, y0 + k);
    ringCount += 4;
  }
  const double level = ring / ringCount;
  double sum = 0, sx = 0, sy = 0;
  for (int py = y0 - radius; py <= y0 + radius; ++py)
    for (int px = x0 - radius; px <= x0 + radius; ++px) {
      const double w = lift(px, py) - level;
      sum += w;
      sx += w * px;
      sy += w * py;
    }
  return {sx / sum, sy / sum};
}

TEST(CreatedMapCalibration, LandmarksNearEveryCornerAreWhereTheWrittenMapFilePutsThem) {
  struct Case {
    const char* projection;
    int resize;
  };
  const Case cases[] = {
      {"Latitude/Longitude", 100},
      {"Latitude/Longitude", 50},
      {"(UTM) Universal Transverse Mercator", 100},
      {"(UTM) Universal Transverse Mercator", 50},
      {"Mercator", 50},
  };
  const Sheet sheet;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.projection) + " at " + std::to_string(c.resize) + " %");
    TempFolder temp;
    fs::create_directories(temp / "maps");
    fs::create_directories(temp / "work");
    CatalogueCreate create;
    create.configuration = DefaultCreateConfiguration(temp.path().string());
    geodesy::DestinationSettings& d = create.configuration.destination;
    d.mapProjection = c.projection;
    d.zone = "32";
    d.metersPerPixel = FormatShortest(kMpp);
    create.configuration.configure.tempFolder = (temp / "work").string();
    create.configuration.configure.resizePercent = c.resize;
    create.destinationFile = (temp / "merged.qtx2").string();
    const geodesy::Projection destination =
        geodesy::ReadDestinationProjection(d, geodesy::BuiltInProjectionCatalogue());
    const DestinationProjection projection = MakeDestinationProjection(destination);

    // A region of about 320.8 x 640.6 pixels around the centre: the grid's
    // far edges lie 0.2 and 0.4 pixels beyond the region's. Its rows are the
    // short side, so that their curve through the sheet stays far below
    // what the row transform interpolates away.
    geodesy::EastingNorthing centre{kCentreLon, kCentreLat};
    if (!projection.isLatLon()) centre = destination.Forward({kCentreLat, kCentreLon}).value();
    const double s =
        DestinationPixelSize(projection, {centre.easting, centre.easting, centre.northing, centre.northing}, kMpp);
    create.mode = CreateMode::RegionAllMaps;
    create.region.minX = centre.easting - 160.4 * s;
    create.region.maxX = centre.easting + 160.4 * s;
    create.region.minY = centre.northing - 320.3 * s;
    create.region.maxY = centre.northing + 320.3 * s;

    // Landmarks some 16 pixels in from each corner, off the pixel centres.
    const DrawnRegion& r = create.region;
    const std::array<std::pair<double, double>, 4> inward = {{{r.minX + 16.3 * s, r.maxY - 16.6 * s},
                                                              {r.maxX - 16.7 * s, r.maxY - 15.8 * s},
                                                              {r.maxX - 16.4 * s, r.minY + 16.2 * s},
                                                              {r.minX + 15.9 * s, r.minY + 16.5 * s}}};
    std::vector<geodesy::LatLon> landmarks;
    for (const auto& [X, Y] : inward)
      landmarks.push_back(projection.isLatLon() ? geodesy::LatLon{Y, X} : destination.Inverse({X, Y}).value());
    WriteSheet(temp / "maps", sheet, landmarks);

    RecordingHost host;
    CreateFlags flags;
    MapCatalogue catalogue;
    FolderList loaded;
    std::atomic<bool> noAbort{false};
    ScanMapFolders({(temp / "maps").string()}, catalogue, loaded, geodesy::BuiltInProjectionCatalogue(), host,
                   noAbort);
    ASSERT_EQ(catalogue.count(), 1);
    const CreateOutcome outcome = CreateFromCatalogue(catalogue, geodesy::BuiltInProjectionCatalogue(), create, host, flags);
    ASSERT_EQ(outcome.report.resultText, kResultComplete) << (host.mapErrors.empty() ? "" : host.mapErrors[0]);

    const LayoutLevel image = quiltor::testing::ReadTiledLayout(create.destinationFile).levels.at(0);
    const Map_record written = quiltor::testing::ReadWrittenMap(temp / "merged.map");
    ASSERT_EQ(written.width, image.width);
    ASSERT_EQ(written.height, image.height);
    EXPECT_EQ(outcome.report.imageWidth, image.width);
    EXPECT_EQ(outcome.report.imageHeight, image.height);

    const int radius = c.resize == 100 ? 12 : 7;
    for (std::size_t k = 0; k < landmarks.size(); ++k) {
      const auto planar = written.projWGS84.Forward(landmarks[k]).value();
      const PixelPoint expected = ProjectedToPixel(written, planar);
      const auto [x, y] = DotCentre(image, expected.x, expected.y, radius);
      EXPECT_NEAR(x, expected.x, 0.1) << "landmark " << k;
      EXPECT_NEAR(y, expected.y, 0.1) << "landmark " << k;
    }
  }
}

}  // namespace
}  // namespace quiltor::creation
