#include "mapview/view_state.h"

#include <gtest/gtest.h>

namespace quiltor::mapview {
namespace {

ViewState View(double originX, double originY, double scale, int width = 400, int height = 400) {
  ViewState v;
  v.originX = originX;
  v.originY = originY;
  v.scale = scale;
  v.width = width;
  v.height = height;
  return v;
}

TEST(ViewTransforms, HalfwayPointsGoToTheEvenPixel) {
  const ViewState v = View(1000, 2000, 2);
  struct Case {
    double X, Y;
    ViewPixel expected;
  } cases[] = {
      {1001, 1999, {0, 0}},    // 0.5, 0.5
      {1003, 1997, {2, 2}},    // 1.5, 1.5
      {1005, 1995, {2, 2}},    // 2.5, 2.5
      {999, 2001, {0, 0}},     // -0.5, -0.5
      {997, 2003, {-2, -2}},   // -1.5, -1.5
      {1002.2, 1989.8, {1, 5}},
  };
  for (const Case& c : cases) EXPECT_EQ(v.ToView(c.X, c.Y), c.expected) << c.X << " " << c.Y;
  const PlanePoint back = v.ToDestination(1, 5);
  EXPECT_DOUBLE_EQ(back.x, 1002);
  EXPECT_DOUBLE_EQ(back.y, 1990);
}

TEST(ViewZoom, ZoomAtCentresOnThePointAndRefusesToPassTheLimit) {
  struct Case {
    const char* projection;
    double from, to;
    double expectedScale;
  } cases[] = {
      {"(UTM) Universal Transverse Mercator", 49000, 49000 * 1.4, 49000},  // refused: only re-centres
      {"(UTM) Universal Transverse Mercator", 30000, 30000 * 1.4, 42000},
      {"Transverse Mercator", 50000, 50000, 50000},       // the limit itself is allowed
      {"Latitude/Longitude", 1.5, 1.5 * 1.4, 1.5},
      {"Latitude/Longitude", 1.4, 1.4 * 1.4, 1.96},
      {"(UTM) Universal Transverse Mercator", 10, 0, 10},                 // never to a scale of nothing
  };
  for (const Case& c : cases) {
    ViewState v = View(0, 0, c.from, 400, 300);
    v.ZoomAt(c.to, 500000, 6000000, MaxScaleOf(geodesy::ProjectionKind(c.projection)));
    EXPECT_DOUBLE_EQ(v.scale, c.expectedScale) << c.projection << " " << c.to;
    EXPECT_DOUBLE_EQ(v.originX, 500000 - 200 * c.expectedScale);
    EXPECT_DOUBLE_EQ(v.originY, 6000000 + 150 * c.expectedScale);
  }
}

TEST(ViewZoom, ZoomAboutKeepsThePointUnderTheMouse) {
  ViewState v = View(1000, 5000, 10, 400, 300);
  const PlanePoint before = v.ToDestination(100, 50);
  v.ZoomAbout(10 / 1.4, 100, 50, kMaxUnitsPerPixel);
  EXPECT_DOUBLE_EQ(v.scale, 10 / 1.4);
  const PlanePoint after = v.ToDestination(100, 50);
  EXPECT_NEAR(after.x, before.x, 1e-9);
  EXPECT_NEAR(after.y, before.y, 1e-9);

  ViewState limited = View(1000, 5000, 40000);
  limited.ZoomAbout(40000 * 1.4, 100, 50, kMaxUnitsPerPixel);
  EXPECT_DOUBLE_EQ(limited.scale, 40000);
  EXPECT_DOUBLE_EQ(limited.originX, 1000);
}

TEST(ViewZoom, ZoomToExtentFitsTheLongerSideCentred) {
  ViewState v = View(0, 0, 1, 400, 200);
  v.ZoomToExtent({.minX = 1000, .maxX = 5000, .minY = 8000, .maxY = 9000});  // 4000 x 1000: width decides, 10 per pixel
  EXPECT_DOUBLE_EQ(v.scale, 10);
  EXPECT_DOUBLE_EQ(v.originX, 3000 - 2000);
  EXPECT_DOUBLE_EQ(v.originY, 8500 + 1000);
  v.ZoomToExtent({.minX = 0, .maxX = 100, .minY = 1000, .maxY = 5000});  // 100 x 4000: height decides, 20 per pixel
  EXPECT_DOUBLE_EQ(v.scale, 20);

  ViewState unsized = View(7, 8, 3, 0, 0);
  unsized.ZoomToExtent({.minX = 0, .maxX = 100, .minY = 0, .maxY = 100});
  EXPECT_DOUBLE_EQ(unsized.scale, 3);
  ViewState point = View(7, 8, 3);
  point.ZoomToExtent({.minX = 50, .maxX = 50, .minY = 60, .maxY = 60});  // one point: no scale to fit to
  EXPECT_DOUBLE_EQ(point.scale, 3);
  EXPECT_DOUBLE_EQ(point.originX, 7);
}

TEST(ViewState, NoViewUntilAScaleIsSet) {
  EXPECT_FALSE(View(0, 0, 0).HasView());
  EXPECT_FALSE(View(0, 0, kNoViewScale).HasView());
  EXPECT_TRUE(View(0, 0, 0.001).HasView());
}

TEST(DrawnKeys, AnyChangeOfOriginScaleOrSizeOrAMarkAsksForARedraw) {
  DrawnKeys keys;
  const ViewState v = View(10, 20, 3, 400, 300);
  EXPECT_FALSE(keys.Matches(v));
  keys.Store(v);
  EXPECT_TRUE(keys.Matches(v));
  for (ViewState changed : {View(11, 20, 3, 400, 300), View(10, 21, 3, 400, 300), View(10, 20, 4, 400, 300),
                            View(10, 20, 3, 401, 300), View(10, 20, 3, 400, 301)})
    EXPECT_FALSE(keys.Matches(changed));
  keys.Clear();
  EXPECT_FALSE(keys.Matches(v));
}

}  // namespace
}  // namespace quiltor::mapview
