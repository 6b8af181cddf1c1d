#include "creation/destination_map.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pipeline/zoom_plan.h"

namespace quiltor::creation {
namespace {

DestinationProjection Named(const std::string& displayName, double inverseLatitude = 0) {
  DestinationProjection p;
  p.kind = geodesy::ProjectionKind(displayName);
  p.forward = [](geodesy::LatLon point) {
    return std::optional<geodesy::EastingNorthing>({point.longitude * 1000, point.latitude * 1000});
  };
  p.inverse = [inverseLatitude](geodesy::EastingNorthing) {
    return std::optional<geodesy::LatLon>({inverseLatitude, 0});
  };
  return p;
}

TEST(DestinationPixelSize, FollowsTheProjectionRule) {
  // Latitude/Longitude: 200 pixels of 100 m east of the centre, in degrees.
  const double equator = DestinationPixelSize(Named("Latitude/Longitude"), {-1, 1, -1, 1}, 100);
  EXPECT_NEAR(equator, 0.000899, 0.000001);
  const double north = DestinationPixelSize(Named("Latitude/Longitude"), {-1, 1, 59, 61}, 100);
  EXPECT_NEAR(north / equator, 2.0, 0.01);
  // Mercator: the scale of the centre latitude.
  EXPECT_NEAR(DestinationPixelSize(Named("Mercator", 60), {0, 1, 0, 1}, 100), 200.0, 1e-9);
  EXPECT_DOUBLE_EQ(DestinationPixelSize(Named("(UTM) Universal Transverse Mercator"), {0, 1, 0, 1}, 37.5), 37.5);
}

TEST(DestinationGrid, RoundsSidesHalfToEvenAndRefusesSmallImages) {
  const auto grid = ComputeDestinationGrid(Named("Transverse Mercator"), {0, 250, 0, 350}, 100);
  EXPECT_EQ(grid.width, 2);   // 2.5
  EXPECT_EQ(grid.height, 4);  // 3.5
  EXPECT_EQ(grid.originX, 0);
  EXPECT_EQ(grid.originY, 350);

  struct Case {
    double widthMetres, heightMetres;
    int resize;
    bool tooSmall;
  } cases[] = {
      {29900, 29900, 100, true}, {30000, 100, 100, false}, {30000, 30000, 50, true}, {60000, 100, 50, false}};
  for (const Case& c : cases) {
    const auto g = ComputeDestinationGrid(Named("Transverse Mercator"), {0, c.widthMetres, 0, c.heightMetres}, 100);
    EXPECT_EQ(!LargeEnoughToTile(g.width, g.height, c.resize), c.tooSmall) << c.widthMetres << " x " << c.heightMetres;
  }
}

TEST(DestinationExtent, BoxOfSelectedOutlinesOrDrawnRegion) {
  GeoOutline a{{46.0, 46.2, 46.1}, {7.0, 7.1, 6.9}};
  GeoOutline b{{45.9}, {7.3}};
  const auto box = ComputeDestinationExtent(Named("Transverse Mercator"), CreateMode::SelectedMaps, {}, {&a, &b});
  ASSERT_TRUE(box);
  EXPECT_DOUBLE_EQ(box->minX, 6900);
  EXPECT_DOUBLE_EQ(box->maxX, 7300);
  EXPECT_DOUBLE_EQ(box->minY, 45900);
  EXPECT_DOUBLE_EQ(box->maxY, 46200);
  const auto degrees = ComputeDestinationExtent(Named("Latitude/Longitude"), CreateMode::SelectedMaps, {}, {&a});
  EXPECT_DOUBLE_EQ(degrees->minX, 6.9);
  EXPECT_DOUBLE_EQ(degrees->maxY, 46.2);

  GeoOutline empty;
  EXPECT_FALSE(ComputeDestinationExtent(Named("Transverse Mercator"), CreateMode::SelectedMaps, {}, {&empty}));
  DrawnRegion region{1, 2, 3, 4};
  const auto drawn = ComputeDestinationExtent(Named("Transverse Mercator"), CreateMode::RegionAllMaps, region, {&a});
  EXPECT_DOUBLE_EQ(drawn->minX, 1);
  EXPECT_DOUBLE_EQ(drawn->maxY, 4);
}

TEST(RegionOutline, ClosedRectangleInLatitudeLongitude) {
  const GeoOutline outline = RegionOutline(Named("Latitude/Longitude"), {6.5, 7.5, 45.5, 46.5});
  EXPECT_EQ(outline.lon, (std::vector<double>{6.5, 6.5, 7.5, 7.5, 6.5}));
  EXPECT_EQ(outline.lat, (std::vector<double>{46.5, 45.5, 45.5, 46.5, 46.5}));
  EXPECT_FALSE(DrawnRegion{}.drawn());
  EXPECT_TRUE((DrawnRegion{kNoRegion, 5, kNoRegion, kNoRegion}.drawn()));
}

}  // namespace
}  // namespace quiltor::creation
