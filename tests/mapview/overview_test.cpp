#include "mapview/overview.h"

#include <gtest/gtest.h>

#include "mapview/degree_sheet.h"

namespace quiltor::mapview {
namespace {

void AddMap(MapCatalogue& catalogue, double south, double west, double north, double east, std::uint8_t red) {
  testing::AddDegreeSheet(catalogue, south, west, north, east, true, {0, 0, red});
}

TEST(Overview, FitsTheCreateExtentIntoTheGivenWidth) {
  MapCatalogue catalogue;
  AddMap(catalogue, 45, 6, 46, 7, 200);  // the detailed sheet first
  AddMap(catalogue, 44, 6, 46, 10, 100);
  const creation::DestinationProjection latLon{geodesy::ProjectionKind("Latitude/Longitude"), nullptr, nullptr};
  const auto plan = PlanOverview(catalogue, latLon, 100, 400);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->maps, (std::vector<int>{0, 1}));
  EXPECT_DOUBLE_EQ(plan->extent.minX, 6);
  EXPECT_DOUBLE_EQ(plan->extent.maxY, 46);
  EXPECT_EQ(plan->picture.width, 400);
  EXPECT_DOUBLE_EQ(plan->picture.scale, 4.0 / 400);
  EXPECT_EQ(plan->picture.height, 200);
  EXPECT_GT(plan->grid.width, 0);

  const Bitmap picture = DrawOverview(*plan, catalogue, latLon);
  ASSERT_EQ(picture.width(), 400);
  std::uint8_t bgr[3];
  picture.PixelBgr(50, 50, bgr);  // 6.5 E, 45.5 N: on both sheets
  EXPECT_EQ(bgr[2], 200);         // the detailed one lies on top
  picture.PixelBgr(300, 150, bgr);  // 9 E, 44.5 N: the coarse sheet alone
  EXPECT_EQ(bgr[2], 100);
}

TEST(Overview, NothingToPlanWithoutSelectedMaps) {
  MapCatalogue catalogue;
  AddMap(catalogue, 45, 6, 46, 7, 200);
  catalogue[0].selected = false;
  EXPECT_FALSE(PlanOverview(catalogue, {geodesy::ProjectionKind("Latitude/Longitude"), nullptr, nullptr}, 100, 400));
}

}  // namespace
}  // namespace quiltor::mapview
