// Thumbnails warped into the destination, their two cache stages and the
// worker that builds them, over the sample maps and small maps made here.
#include "catalogue/thumbnails.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>

#include "catalogue/calibration.h"
#include "catalogue/map_file_support.h"  // tests/catalogue
#include "catalogue/open_map_thread.h"
#include "catalogue/raster_image_queries.h"
#include "geodesy/datum.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

namespace fs = std::filesystem;

geodesy::DestinationSettings Destination(const std::string& projection) {
  geodesy::DestinationSettings d;
  d.mapProjection = projection;
  return d;
}

geodesy::DestinationSettings Utm(const std::string& zone) {
  geodesy::DestinationSettings d = Destination("(UTM) Universal Transverse Mercator");
  d.zone = zone;
  return d;
}

TEST(ProjectionKey, FollowsTheParametersEachProjectionUses) {
  geodesy::DestinationSettings tm = Destination("Transverse Mercator");
  tm.latOrigin = " 0 ";
  tm.centralMeridian = "100";
  tm.scaleFactor = "1";
  tm.falseEasting = "0";
  tm.falseNorthing = "0";
  tm.zone = "99";  // not used by this projection
  geodesy::DestinationSettings lcc = Destination("Lambert Conformal Conic");
  lcc.latOrigin = "7";  // not part of its key
  lcc.centralMeridian = "10";
  lcc.latitude1 = "45";
  lcc.latitude2 = "50";
  geodesy::DestinationSettings albers = Destination("Albers Equal Area");
  albers.latOrigin = "-10";
  albers.centralMeridian = "132";
  albers.latitude1 = "-18";
  albers.latitude2 = "-36";
  geodesy::DestinationSettings laea = Destination("(A)Lambert Azimuthual Equal Area");
  laea.latOrigin = "52";
  laea.centralMeridian = "10";
  geodesy::DestinationSettings sinus = Destination("Sinusoidal");
  sinus.centralMeridian = "-60";
  struct Case {
    geodesy::DestinationSettings settings;
    const char* key;
  };
  const Case cases[] = {
      {Utm("56"), "(UTM)56"},
      {Utm(" 32T "), "(UTM)32"},  // trimmed, then its first two characters
      {tm, "Trans0100100"},
      {lcc, "Lambe104550"},
      {albers, "Alber-10132-18-36"},
      {laea, "(A)La5210"},
      {sinus, "Sinus-60"},
      {Destination("Latitude/Longitude"), "Latit"},
      {Destination("(BNG) British National Grid"), "(BNG)"},
      {Destination("Vertical Near-Sided Perspective"), ""},  // outside the table: no key at all
  };
  for (const auto& c : cases) EXPECT_EQ(ProjectionKey(c.settings), c.key) << c.settings.mapProjection;
}

TEST(ThumbnailSizes, LongerSideFixedOtherRounded) {
  EXPECT_EQ(FitThumbnail(4000.0 / 3000.0, kImageThumbnailSide), (ThumbnailSize{500, 375}));
  EXPECT_EQ(FitThumbnail(3000.0 / 4000.0, kImageThumbnailSide), (ThumbnailSize{375, 500}));
  EXPECT_EQ(FitThumbnail(2.0, 200), (ThumbnailSize{200, 100}));
  EXPECT_EQ(FitThumbnail(1.0, 200), (ThumbnailSize{200, 200}));
  EXPECT_EQ(FitThumbnail(0.0125, 200), (ThumbnailSize{2, 200}));  // 2.5 rounds to even
}

TEST(ThumbnailFolders, PortableBesideTheProgramOtherwiseInTheCache) {
  const ThumbnailFolders portable = ThumbnailFolderLocation("/opt/q/quiltor.ini", "/opt/q", "/home/u/.cache/quiltor");
  EXPECT_EQ(portable.images, fs::path("/opt/q/System Files/Image Thumbnails"));
  EXPECT_EQ(portable.projected, fs::path("/opt/q/System Files/Image Thumbnails/Projected"));
  const ThumbnailFolders cached =
      ThumbnailFolderLocation("/home/u/.config/quiltor/quiltor.ini", "/opt/q", "/home/u/.cache/quiltor");
  EXPECT_EQ(cached.projected, fs::path("/home/u/.cache/quiltor/Image Thumbnails/Projected"));
}

TEST(ThumbnailFolders, CreatedWithParentsOrRefusedWithOneMessage) {
  testing::TempFolder tmp;
  std::string message;
  const ThumbnailFolders deep{tmp / "a/b/Image Thumbnails", tmp / "a/b/Image Thumbnails/Projected"};
  ASSERT_TRUE(PrepareThumbnailFolders(deep, message));
  EXPECT_TRUE(fs::is_directory(deep.projected));

  testing::WriteText(tmp / "plain-file", "x");
  const ThumbnailFolders blocked{tmp / "plain-file/Image Thumbnails", tmp / "plain-file/Image Thumbnails/Projected"};
  EXPECT_FALSE(PrepareThumbnailFolders(blocked, message));
  EXPECT_NE(message.find("without thumbnails"), std::string::npos) << message;
}

// A map folder with the UTM sample map and two small degree maps, and the
// thumbnail folders beside it.
class ThumbnailPassTest : public ::testing::Test {
 protected:
  ThumbnailPassTest() {
    fs::create_directories(maps);
    for (const char* name : {"lakeside-detail-utm32.map", "lakeside-detail-utm32.png"}) {
      fs::copy_file(fs::path(QUILTOR_SAMPLES_DIR) / name, maps / name);
    }
    // Each map its own image: the cache files are named after the image.
    for (const char* side : {"west", "east"}) {
      const fs::path image = maps / (std::string(side) + ".bmp");
      testing::WriteTinyBmp(image, 100, 80);
      const double lon = side == std::string("west") ? 6.9 : 7.1;
      testing::WriteText(maps / (std::string(side) + ".map"), testing::LatLonMapText(image.string(), lon, 46.25, side, 0.1));
    }
    std::string message;
    folders = *PrepareThumbnailFolders({tmp / "Image Thumbnails", tmp / "Image Thumbnails/Projected"}, message);
  }

  WorkerJob Job(MapCatalogue& catalogue, FolderList& loaded, const geodesy::DestinationSettings& destination) {
    return WorkerJob{catalogue, loaded, FolderList({maps.string()}), geodesy::BuiltInProjectionCatalogue(),
                     search,    RasterImageQueries(), folders, WorkerSettings{destination, 200, true}};
  }

  // A fresh scan of the folder, as after a restart; the reports by map file name.
  std::map<std::string, ThumbnailBuild> Scan(const geodesy::DestinationSettings& destination) {
    MapCatalogue catalogue;
    FolderList loaded;
    OpenMapThread worker(WorkerMode::Scan, Job(catalogue, loaded, destination), host);
    worker.Start();
    worker.Wait();
    EXPECT_TRUE(worker.WorkerDone());
    std::map<std::string, ThumbnailBuild> byName;
    for (const auto& r : worker.Reports()) byName[fs::path(r.mapFile).filename().string()] = r.build;
    for (int i = 0; i < catalogue.count(); ++i) EXPECT_TRUE(catalogue[i].thumbnail) << catalogue[i].title;
    return byName;
  }

  static void Touch(const fs::path& file) { fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(10)); }

  testing::TempFolder tmp;
  fs::path maps = tmp / "maps";
  ThumbnailFolders folders;
  ImageSearchContext search;
  testing::RecordingHost host;
};

using Stage = StageOutcome;

TEST_F(ThumbnailPassTest, StagesAreReusedWhileTheirSourcesKeepTheirTimes) {
  auto first = Scan(Utm("32"));
  ASSERT_EQ(first.size(), 3u);
  for (const auto& [name, build] : first) {
    EXPECT_EQ(build.code, kThumbnailDone) << name;
    EXPECT_EQ(build.projectedStage, Stage::Built) << name;
  }
  EXPECT_EQ(first["lakeside-detail-utm32.map"].imageStage, Stage::Built);
  EXPECT_EQ(first["lakeside-detail-utm32.map"].projectedFile,
            folders.projected / "lakeside-detail-utm32.png_(UTM)32.mv3");
  EXPECT_TRUE(fs::exists(folders.images / "lakeside-detail-utm32.png.mv3"));
  EXPECT_EQ(fs::last_write_time(folders.images / "lakeside-detail-utm32.png.mv3"),
            fs::last_write_time(maps / "lakeside-detail-utm32.png"));
  EXPECT_EQ(fs::last_write_time(first["west.map"].projectedFile), fs::last_write_time(maps / "west.map"));

  // Unchanged files: every projected thumbnail comes from its file, no image is reduced.
  for (const auto& [name, build] : Scan(Utm("32"))) {
    EXPECT_EQ(build.projectedStage, Stage::Reused) << name;
    EXPECT_EQ(build.imageStage, Stage::None) << name;
  }

  // A newer map file: only its projected thumbnail, from the cached image thumbnail.
  Touch(maps / "lakeside-detail-utm32.map");
  auto touchedMap = Scan(Utm("32"));
  EXPECT_EQ(touchedMap["lakeside-detail-utm32.map"].projectedStage, Stage::Built);
  EXPECT_EQ(touchedMap["lakeside-detail-utm32.map"].imageStage, Stage::Reused);
  EXPECT_EQ(touchedMap["west.map"].projectedStage, Stage::Reused);

  // A newer image: both stages again.
  Touch(maps / "lakeside-detail-utm32.png");
  auto touchedImage = Scan(Utm("32"));
  EXPECT_EQ(touchedImage["lakeside-detail-utm32.map"].projectedStage, Stage::Built);
  EXPECT_EQ(touchedImage["lakeside-detail-utm32.map"].imageStage, Stage::Built);
}

TEST_F(ThumbnailPassTest, DestinationParametersNameTheProjectedFiles) {
  geodesy::DestinationSettings tm = Destination("Transverse Mercator");
  tm.latOrigin = "0";
  tm.centralMeridian = "9";
  tm.scaleFactor = "1";
  tm.falseEasting = "500000";
  tm.falseNorthing = "0";
  const fs::path nine = Scan(tm)["west.map"].projectedFile;
  tm.centralMeridian = "7";
  const auto seven = Scan(tm)["west.map"];
  EXPECT_EQ(seven.projectedStage, Stage::Built);
  EXPECT_NE(seven.projectedFile, nine);
  EXPECT_TRUE(fs::exists(nine));  // the old file stays until the thumbnails are deleted

  // Outside the key table one name serves every setting, so it is reused.
  geodesy::DestinationSettings other = Destination("Vertical Near-Sided Perspective");
  other.centralMeridian = "7";
  const auto before = Scan(other)["west.map"];
  other.centralMeridian = "12";
  const auto after = Scan(other)["west.map"];
  EXPECT_EQ(after.projectedFile, before.projectedFile);
  EXPECT_EQ(after.projectedFile.filename(), "west.bmp_.mv3");
  EXPECT_EQ(after.projectedStage, Stage::Reused);
}

// The centre of the pixels of one landmark colour; the blend at the
// landmark's edges, where the image thumbnail mixed it with the ground
// around it, does not count.
std::optional<PlanePoint> CentreOfColour(const Bitmap& b, int red, int green, int blue) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < b.width(); ++x) {
      std::uint8_t bgr[3];
      b.PixelBgr(x, y, bgr);
      if (std::abs(bgr[2] - red) < 12 && std::abs(bgr[1] - green) < 12 && std::abs(bgr[0] - blue) < 12) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  }
  if (n == 0) return std::nullopt;
  return PlanePoint{sx / n, sy / n};
}

TEST_F(ThumbnailPassTest, WarpedLandmarkLiesWhereTheDestinationPutsIt) {
  geodesy::DestinationSettings mercator = Destination("Mercator");
  MapCatalogue catalogue;
  FolderList loaded;
  WorkerJob job = Job(catalogue, loaded, mercator);
  OpenMapThread worker(WorkerMode::Scan, std::move(job), host);
  worker.Execute();
  const Map_record* lakeside = nullptr;
  for (int i = 0; i < catalogue.count(); ++i) {
    if (catalogue[i].title == "lakeside-detail-utm32") lakeside = &catalogue[i];
  }
  ASSERT_TRUE(lakeside && lakeside->thumbnail);
  const Bitmap& thumb = *lakeside->thumbnail;

  const geodesy::Projection dest = geodesy::ReadDestinationProjection(mercator, geodesy::BuiltInProjectionCatalogue());
  const ProjectedExtent box = MapExtentInProjection(*lakeside, dest);
  const double step = (box.maxX - box.minX) / thumb.width();
  const geodesy::EastingNorthing red = dest.Forward({46.15, 7.05}).value();
  const auto found = CentreOfColour(thumb, 230, 0, 0);
  ASSERT_TRUE(found);
  EXPECT_NEAR(found->x, (red.easting - box.minX) / step, 1.0);
  EXPECT_NEAR(found->y, (box.maxY - red.northing) / step, 1.0);

  // The UTM sheet is turned in Mercator, so the box's corners lie outside it.
  std::uint8_t corner[3];
  thumb.PixelBgr(0, thumb.height() - 1, corner);
  EXPECT_EQ((std::array<int, 3>{corner[2], corner[1], corner[0]}), (std::array<int, 3>{255, 0, 255}));
}

// Presses Abort while the second label announces the given map.
class AbortAtMapHost : public testing::RecordingHost {
 public:
  void SetProgressLabel(int label, const std::string& text) override {
    RecordingHost::SetProgressLabel(label, text);
    if (label == 2 && text == abortAt && worker != nullptr) worker->Abort();
  }
  std::string abortAt;
  OpenMapThread* worker = nullptr;
};

TEST_F(ThumbnailPassTest, AbortedRebuildKeepsWhatWasFinishedAndTheLoadedFolders) {
  MapCatalogue catalogue;
  FolderList loaded;
  {
    OpenMapThread scan(WorkerMode::Scan, Job(catalogue, loaded, Utm("32")), host);
    scan.Execute();
  }
  ASSERT_EQ(catalogue.count(), 3);
  RebuildNeededFlag flag;
  flag.Set();
  EXPECT_EQ(PrepareThumbnailRebuild(flag, catalogue, true), ThumbnailRebuild::RunWorker);
  for (int i = 0; i < catalogue.count(); ++i) EXPECT_FALSE(catalogue[i].thumbnail);
  EXPECT_EQ(PrepareThumbnailRebuild(flag, catalogue, true), ThumbnailRebuild::NotNeeded);

  AbortAtMapHost aborting;
  aborting.abortAt = "Map 2 of 3";
  OpenMapThread rebuild(WorkerMode::Thumbnails, Job(catalogue, loaded, Utm("33")), aborting);
  aborting.worker = &rebuild;
  rebuild.Start();
  rebuild.Wait();
  EXPECT_EQ(rebuild.Reports().size(), 2u);
  EXPECT_TRUE(catalogue[0].thumbnail);
  EXPECT_TRUE(catalogue[1].thumbnail);
  EXPECT_FALSE(catalogue[2].thumbnail);
  // The maps are still loaded, so their folder stays listed and a later scan
  // does not read it a second time.
  EXPECT_TRUE(loaded.Contains(maps.string()));
}

TEST_F(ThumbnailPassTest, DeletingRemovesOnlyProjectedFiles) {
  Scan(Utm("32"));
  fs::create_directories(folders.projected / "kept.mv3");  // a folder, not a thumbnail
  testing::WriteText(folders.projected / "notes.txt", "x");
  RebuildNeededFlag rebuildNeeded;
  EXPECT_EQ(DeleteProjectedThumbnails(folders, rebuildNeeded), 3);
  EXPECT_TRUE(rebuildNeeded.IsSet());
  EXPECT_TRUE(fs::is_directory(folders.projected / "kept.mv3"));
  EXPECT_TRUE(fs::exists(folders.projected / "notes.txt"));
  EXPECT_TRUE(fs::exists(folders.images / "west.bmp.mv3"));
  for (const auto& [name, build] : Scan(Utm("32"))) EXPECT_EQ(build.projectedStage, Stage::Built) << name;
}

TEST_F(ThumbnailPassTest, WithoutThumbnailFoldersTheMapsAreStillRead) {
  MapCatalogue catalogue;
  FolderList loaded;
  WorkerJob job = Job(catalogue, loaded, Utm("32"));
  job.thumbnailFolders.reset();
  OpenMapThread worker(WorkerMode::Scan, std::move(job), host);
  worker.Execute();
  EXPECT_EQ(catalogue.count(), 3);
  EXPECT_TRUE(worker.Reports().empty());
  for (int i = 0; i < catalogue.count(); ++i) EXPECT_TRUE(catalogue[i].usable() && !catalogue[i].thumbnail);
}

}  // namespace
}  // namespace quiltor
