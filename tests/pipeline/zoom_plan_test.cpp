#include "pipeline/zoom_plan.h"

#include <gtest/gtest.h>

#include <fstream>

#include "raster/scratch/work_folder.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

TEST(ZoomPlanTest, LevelListsForTypicalShapes) {
  struct Case {
    int w, h;
    std::vector<float> percents;
    std::vector<bool> fromLevelOne;  // for levels 2 onwards
  };
  const std::vector<Case> cases = {
      {600, 400, {100, 25, 130.0F / 600 * 100, 50}, {false, false}},
      {6000, 6000, {100, 25, 10, 5, 2.5F, 1, 130.0F / 6000 * 100, 5}, {true, true, true, true, true, true}},
      {1000, 150, {100, 13, 30}, {false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const LevelSize thumb = FixedLevelSize(c.w, c.h, kThumbnailSide);
    const LevelSize overview = FixedLevelSize(c.w, c.h, kOverviewSide);
    const auto zoom = ZoomPercentages(c.w, c.h, thumb.width, overview.width);
    ASSERT_EQ(zoom.size(), c.percents.size());
    for (std::size_t i = 0; i < zoom.size(); ++i) EXPECT_FLOAT_EQ(zoom[i], c.percents[i]) << i;
    for (std::size_t n = 2; n < zoom.size(); ++n) EXPECT_EQ(MadeFromLevelOne(zoom, int(n)), c.fromLevelOne[n - 2]) << n;
    EXPECT_TRUE(SideRatioAcceptable(c.w, c.h));
  }
  EXPECT_EQ(FixedLevelSize(600, 400, 300), (LevelSize{300, 200}));
  EXPECT_EQ(FixedLevelSize(600, 400, 130), (LevelSize{130, 87}));
  EXPECT_EQ(FixedLevelSize(400, 600, 130), (LevelSize{87, 130}));
  EXPECT_FALSE(SideRatioAcceptable(200, 10000));
  EXPECT_FALSE(SideRatioAcceptable(10000, 200));
}

TEST(ZoomPlanTest, NoLevelIsEnlargedFromASmallerLevelOne) {
  // 1600 x 150: level 1 is the 8.1 % thumbnail, the 18.75 % overview must
  // come from the base image, not be blown up from the thumbnail.
  const auto zoom = ZoomPercentages(1600, 150, 130, 300);
  ASSERT_EQ(zoom.size(), 3u);
  EXPECT_FALSE(MadeFromLevelOne(zoom, 2));
}

TEST(ZoomPlanTest, SizeRefusal) {
  EXPECT_TRUE(LargeEnoughToTile(300, 10, 100));
  EXPECT_FALSE(LargeEnoughToTile(299, 299, 100));
  EXPECT_FALSE(LargeEnoughToTile(1000, 1000, 29.9));
  EXPECT_TRUE(LargeEnoughToTile(1000, 1000, 30));
}

TEST(WorkFolderTest, RemovesOnlyItsOwnFolder) {
  testing::TempFolder temp;
  { std::ofstream(temp / "keep.qtx0") << "someone else's"; }
  std::filesystem::path inside;
  {
    WorkFolder a(temp.path());
    WorkFolder b(temp.path());
    EXPECT_NE(a.path(), b.path());
    inside = a / "qtx_0.qtx0";
    std::ofstream(inside) << "x";
    EXPECT_TRUE(std::filesystem::exists(inside));
  }
  EXPECT_FALSE(std::filesystem::exists(inside.parent_path()));
  EXPECT_TRUE(std::filesystem::exists(temp / "keep.qtx0"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);
}

TEST(PendingFileTest, ReplacesOnlyWhenCommitted) {
  testing::TempFolder temp;
  const auto dest = temp / "out.qtx2";
  { std::ofstream(dest) << "old"; }
  {
    PendingFile pending(dest);
    std::ofstream(pending.temporaryPath()) << "half";
  }  // abandoned
  std::ifstream in(dest);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);
  {
    PendingFile pending(dest);
    std::ofstream(pending.temporaryPath()) << "new";
    pending.Commit();
  }
  std::ifstream again(dest);
  again >> text;
  EXPECT_EQ(text, "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);
}

}  // namespace
}  // namespace quiltor
