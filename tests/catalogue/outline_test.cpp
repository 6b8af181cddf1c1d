#include "catalogue/outline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quiltor {
namespace {

struct SegmentCase {
  const char* name;
  PlanePoint p1, p2, p3, p4;
  bool found;
  PlanePoint expected;
};

TEST(SegmentIntersection, Table) {
  const SegmentCase cases[] = {
      {"proper crossing", {0, 0}, {10, 10}, {0, 10}, {10, 0}, true, {5, 5}},
      {"touching at an end point", {0, 0}, {5, 5}, {5, 5}, {10, 0}, true, {5, 5}},
      {"end point on the other segment", {5, 0}, {5, 5}, {0, 5}, {10, 5}, true, {5, 5}},
      {"x ranges apart", {0, 0}, {1, 1}, {2, 0}, {3, 1}, false, {}},
      {"y ranges apart", {0, 0}, {10, 1}, {0, 5}, {10, 6}, false, {}},
      {"lines cross beyond the segments", {0, 0}, {4, 4}, {10, 0}, {6, 4}, false, {}},
      {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, false, {}},
      {"collinear overlap gives nothing", {0, 0}, {10, 0}, {5, 0}, {15, 0}, false, {}},
  };
  for (const auto& c : cases) {
    PlanePoint at{-1, -1};
    EXPECT_EQ(SegmentIntersection(c.p1, c.p2, c.p3, c.p4, at), c.found) << c.name;
    if (c.found) {
      EXPECT_DOUBLE_EQ(at.x, c.expected.x) << c.name;
      EXPECT_DOUBLE_EQ(at.y, c.expected.y) << c.name;
    }
  }
}

struct RowCase {
  const char* name;
  std::vector<double> xs, ys;
  int row;
  int width;
  std::vector<std::int32_t> expected;
};

TEST(RowCrossings, Table) {
  const std::vector<double> rectX{0, 100, 100, 0}, rectY{0, 0, 50, 50};
  const RowCase cases[] = {
      {"rectangle, inner row", rectX, rectY, 10, 100, {0, 100}},
      {"rectangle, top edge on the row", rectX, rectY, 0, 100, {0, 100}},
      {"row below the outline", rectX, rectY, 60, 100, {}},
      {"half columns round to even", {12.5, 13.5, 13.5, 12.5}, {0, 0, 20, 20}, 5, 100, {12, 14}},
      {"border beyond the left edge is cut at the image", {-30, 40, 40, -30}, {0, 0, 20, 20}, 5, 100, {40}},
      {"vertex on the row counts for both edges", {50, 80, 50, 20}, {0, 30, 60, 30}, 30, 100, {20, 20, 80, 80}},
      {"one point has no edges", {5}, {5}, 5, 100, {}},
  };
  for (const auto& c : cases) {
    const TLineXY line = RowCrossings(c.xs, c.ys, c.row, c.width);
    EXPECT_EQ(line.X, c.expected) << c.name;
    EXPECT_EQ(line.Y, std::vector<std::int32_t>(c.expected.size(), c.row)) << c.name;
  }
}

TEST(TLineXY, CoversTheClosedSpansOnly) {
  TLineXY line;
  for (int x : {10, 20, 30, 40, 50}) line.Append(x, 0);  // the odd last crossing opens nothing
  for (int x : {10, 15, 20, 30, 40}) EXPECT_TRUE(line.Covers(x)) << x;
  for (int x : {9, 21, 29, 41, 50, 60}) EXPECT_FALSE(line.Covers(x)) << x;
}

TEST(PointInOutline, Table) {
  // An L shape: the notch (6..10, 4..10) is outside. The notch is not
  // symmetric in x and y, so a point given as (y, x) lands elsewhere.
  const std::vector<PlanePoint> outline{{0, 0}, {10, 0}, {10, 4}, {6, 4}, {6, 10}, {0, 10}};
  struct Case {
    PlanePoint point;
    bool inside;
  } const cases[] = {
      {{2, 2}, true},   {{8, 2}, true},   {{2, 8}, true},   {{8, 8}, false},  {{-1, 5}, false}, {{11, 2}, false},
      {{0, 0}, true},   {{10, 4}, true},  {{5, 0}, true},   {{6, 7}, true},   {{0, 5}, true},   {{3, 10}, true},
      {{8, 4}, true},   {{20, 20}, false},
      // Rays through the vertices at row 4 must not count them twice.
      {{2, 4}, true},   {{-1, 4}, false}, {{-1, 10}, false}, {{-1, 0}, false},
      // Outside only in this orientation of the L.
      {{9, 6}, false},  {{6, 9}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PointInOutline(outline, c.point), c.inside) << c.point.x << "," << c.point.y;
}

TEST(OutlinesOverlap, Table) {
  // Map outline as latitude, longitude: a 1-degree square at 50..51 N, 0..1 E.
  const std::vector<geodesy::LatLon> map{{50, 0}, {50, 1}, {51, 1}, {51, 0}};
  struct Case {
    const char* name;
    std::vector<geodesy::LatLon> region;
    bool overlap;
  } const cases[] = {
      {"region overlaps a corner", {{50.5, 0.5}, {50.5, 2}, {52, 2}, {52, 0.5}, {50.5, 0.5}}, true},
      {"region inside the map", {{50.2, 0.2}, {50.2, 0.4}, {50.4, 0.4}, {50.4, 0.2}, {50.2, 0.2}}, true},
      {"map inside the region", {{45, -5}, {45, 5}, {55, 5}, {55, -5}, {45, -5}}, true},
      {"region far away", {{10, 10}, {10, 11}, {11, 11}, {11, 10}, {10, 10}}, false},
      {"shared edge only", {{50, 1}, {50, 2}, {51, 2}, {51, 1}, {50, 1}}, false},
      {"open region ring is closed", {{50.5, 0.5}, {50.5, 2}, {52, 2}, {52, 0.5}}, true},
      {"degenerate region", {{50.5, 0.5}, {50.6, 0.6}}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(OutlinesOverlap(map, c.region), c.overlap) << c.name;
}

TEST(OutlinesOverlap, SelfCrossingBorderDoesNotFail) {
  // A bow-tie border (invalid polygon) still answers from its repaired shape.
  const std::vector<geodesy::LatLon> bowTie{{0, 0}, {1, 1}, {0, 1}, {1, 0}};
  using Region = std::vector<geodesy::LatLon>;
  EXPECT_FALSE(OutlinesOverlap(bowTie, Region{{0.05, 0.4}, {0.05, 0.6}, {0.2, 0.6}, {0.2, 0.4}}));
  EXPECT_TRUE(OutlinesOverlap(bowTie, Region{{0.4, 0.8}, {0.4, 0.9}, {0.6, 0.9}, {0.6, 0.8}}));
  EXPECT_FALSE(OutlinesOverlap(bowTie, Region{{5, 5}, {5, 6}, {6, 6}, {6, 5}}));
}

}  // namespace
}  // namespace quiltor
