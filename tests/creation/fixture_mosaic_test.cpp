// The row loop on the committed fixture maps through the real chain: the
// map file reader and calibration, the projection engine, the row spans of
// the borders and the image decoders. The fixtures are a UTM sheet (60 m,
// green land), a Transverse Mercator sheet on European 1950 (110 m, brown)
// and a latitude/longitude overview (about 300 m, beige), each with a white
// collar and a magenta legend bar, and coloured landmark squares at known
// latitudes and longitudes. The merged rows are checked before any
// sharpening or palette reduction, so colours can be compared exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/row_spans.h"
#include "common/paths.h"
#include "creation/catalogue_sources.h"
#include "creation/create_job.h"
#include "creation_fakes.h"
#include "geodesy/destination_setup.h"
#include "raster/formats/format_readers.h"
#include "settings/image_search.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor::creation {
namespace {

namespace fs = std::filesystem;
using quiltor::testing::CapturedImage;
using quiltor::testing::CopyingStages;
using quiltor::testing::RecordingHost;
using quiltor::testing::TempFolder;

const fs::path kFixtures = fs::path(QUILTOR_SOURCE_DIR) / "tests" / "fixtures" / "creation";

// A decoded image served pixel by pixel.
class BitmapRaster : public RasterReader {
 public:
  explicit BitmapRaster(Bitmap bitmap) : bitmap_(std::move(bitmap)) {
    width_ = bitmap_.width();
    height_ = bitmap_.height();
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* buffer) override {
    for (int x = 0; x < width_; ++x) bitmap_.PixelBgr(x, y, buffer + 3 * x);
  }
  void FetchPixel(int x, int y, std::uint8_t* out) override { bitmap_.PixelBgr(x, y, out); }

 private:
  Bitmap bitmap_;
};

std::optional<Bitmap> Decode(const std::string& path) {
  const std::string ext = ExtensionPart(path);
  if (EqualsIgnoreCase(ext, ".png")) return DecodePng(path);
  if (EqualsIgnoreCase(ext, ".gif")) return DecodeGif(path);
  return std::nullopt;
}

MapImageQueries DecoderQueries() {
  MapImageQueries q;
  q.checkExtension = [](const std::string&) { return 0; };
  q.queryInfo = [](const std::string& image, std::int32_t& w, std::int32_t& h, std::int32_t& mode) {
    ImageInfo info;
    const bool ok = EqualsIgnoreCase(ExtensionPart(image), ".png") ? QueryPngInfo(image, info) : QueryGifInfo(image, info);
    w = info.width;
    h = info.height;
    mode = info.pixelMode;
    return ok;
  };
  return q;
}

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

class FixtureMosaic : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureMosaic, CollarsCutDetailOnTopLandmarksInPlaceBackgroundKept) {
  TempFolder temp;
  RecordingHost host;
  QuietHost quiet;
  const ImageSearchContext search;
  const MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, DecoderQueries(), quiet, {}};
  MapCatalogue catalogue;
  for (const char* name : {"fx-detail-utm32.map", "fx-middle-tm-ed50.map", "fx-overview-latlon.map"}) {
    ASSERT_EQ(ReadMapFile((kFixtures / name).string(), catalogue.workSlot(), 1, 3, context), kMapLoaded) << name;
    ASSERT_TRUE(catalogue.CommitWorkSlot());
  }
  catalogue.SortByScale();
  ASSERT_EQ(FileNamePart(catalogue[0].mapFile), "fx-detail-utm32.map");
  ASSERT_EQ(FileNamePart(catalogue[2].mapFile), "fx-overview-latlon.map");

  geodesy::DestinationSettings settings;
  settings.mapProjection = GetParam();
  settings.zone = "32";
  const geodesy::Projection destination =
      geodesy::ReadDestinationProjection(settings, geodesy::BuiltInProjectionCatalogue());
  ASSERT_TRUE(destination.CanProject());

  std::vector<CreationSource> sources;
  for (int i = 0; i < catalogue.count(); ++i)
    sources.push_back(SourceFromRecord(catalogue[i], [](const std::string& image) -> std::unique_ptr<RasterReader> {
      auto bitmap = Decode(image);
      if (!bitmap) return nullptr;
      return std::make_unique<BitmapRaster>(std::move(*bitmap));
    }));
  CreateSettings create;
  create.projection = MakeDestinationProjection(destination);
  create.metresPerPixel = 75;
  create.tempFolder = temp.path().string();
  create.destinationFile = (temp / "merged.qtx2").string();
  CreateFlags flags;
  CapturedImage image;
  CreateJob job(create, std::move(sources), CopyingStages(image), host, flags);
  const CreateReport report = job.Run();
  ASSERT_EQ(report.resultText, kResultComplete);
  ASSERT_GE(image.width, 300);

  const auto rgb = [&image](int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return std::array<int, 3>{p[2], p[1], p[0]};
  };
  int magenta = 0, white = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const auto c = rgb(x, y);
      magenta += c[0] > 190 && c[2] > 190 && c[1] < 90;
      white += c[0] > 250 && c[1] > 250 && c[2] > 250;
    }
  EXPECT_EQ(magenta, 0) << "legend pixels of a collar reached the merged map";
  EXPECT_EQ(white, 0) << "collar paper reached the merged map";

  // Each landmark's square lands where the destination grid puts it, within
  // a pixel. The square was drawn centred on the source pixel nearest to the
  // landmark, in the first (most detailed) map whose border holds it.
  for (const Landmark& mark : kLandmarks) {
    double lat = mark.lat, lon = mark.lon;
    for (int i = 0; i < catalogue.count(); ++i) {
      const PixelPosition p = LatLonToPixel(catalogue[i], {.latitude = mark.lat, .longitude = mark.lon});
      if (p.y < 0 || p.y >= catalogue[i].height || !RowSpans(catalogue[i], p.y).Covers(p.x)) continue;
      const geodesy::LatLon centre = PixelToLatLon(catalogue[i], PointOf(p));
      lat = centre.latitude;
      lon = centre.longitude;
      break;
    }
    const auto [X, Y] = create.projection.forward({lat, lon}).value();
    const double ex = (X - report.extent.minX) / report.grid.pixelSize;
    const double ey = (report.extent.maxY - Y) / report.grid.pixelSize;
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = std::max(0, int(ey) - 10); y < std::min(image.height, int(ey) + 10); ++y)
      for (int x = std::max(0, int(ex) - 10); x < std::min(image.width, int(ex) + 10); ++x) {
        const auto c = rgb(x, y);
        if (std::abs(c[0] - mark.r) < 40 && std::abs(c[1] - mark.g) < 40 && std::abs(c[2] - mark.b) < 40) {
          sx += x;
          sy += y;
          ++n;
        }
      }
    ASSERT_GT(n, 0) << mark.name << " landmark missing";
    EXPECT_NEAR(sx / n, ex, 1.0) << mark.name;
    EXPECT_NEAR(sy / n, ey, 1.0) << mark.name;
  }

  // Beside the red landmark all three maps cover the ground; the UTM sheet
  // (green land tint: green above red) wins over the brown and beige ones.
  const geodesy::EastingNorthing red = create.projection.forward({46.150, 7.050}).value();
  const int lx = int((red.easting - report.extent.minX) / report.grid.pixelSize);
  const int ly = int((report.extent.maxY - red.northing) / report.grid.pixelSize);
  const auto beside = rgb(lx + 8, ly);
  EXPECT_GT(beside[1], beside[0] + 30) << "a less detailed map painted over the UTM sheet";
  // Outside the UTM sheet but inside the European 1950 sheet: brown (red above green).
  const geodesy::EastingNorthing west = create.projection.forward({46.22, 6.95}).value();
  const auto middle = rgb(int((west.easting - report.extent.minX) / report.grid.pixelSize),
                          int((report.extent.maxY - west.northing) / report.grid.pixelSize));
  EXPECT_GT(middle[0], middle[1]) << "the Transverse Mercator sheet lost to the overview";

  // The overview is a latitude/longitude rectangle, tilted in UTM: a top
  // corner of the box around it stays background.
  if (destination.IsUtm()) {
    const auto a = rgb(0, 0), b = rgb(image.width - 1, 0);
    EXPECT_TRUE((a == std::array<int, 3>{247, 247, 247}) || (b == std::array<int, 3>{247, 247, 247}));
  }
}

INSTANTIATE_TEST_SUITE_P(Destinations, FixtureMosaic,
                         ::testing::Values("(UTM) Universal Transverse Mercator", "Latitude/Longitude", "Mercator"));

}  // namespace
}  // namespace quiltor::creation
