#include "catalogue/row_spans.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace quiltor {
namespace {

struct Border {
  std::vector<double> x, y;
  std::vector<BorderPoint> points;  // the same border as the map reader holds it
};

Border MakeBorder(const std::vector<std::pair<int, int>>& points) {
  Border b;
  for (auto [x, y] : points) {
    b.x.push_back(x);
    b.y.push_back(y);
    b.points.push_back({x, y});
  }
  return b;
}

// Independent point test: non-zero winding around (x + e, y + e) for a tiny
// e, so pixels on left and top edges are inside, on right and bottom edges not.
bool InsideByWinding(const Border& b, std::int64_t x, std::int64_t y) {
  int winding = 0;
  const std::size_t n = b.points.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    const std::int64_t x1 = b.points[i].x, y1 = b.points[i].y, x2 = b.points[j].x, y2 = b.points[j].y;
    if (y1 == y2) continue;
    if (y1 <= y && y < y2) {  // downward edge; point left of it when cross > 0 ... compare exactly
      // x >= crossing  <=>  (x - x1)(y2 - y1) >= (y - y1)(x2 - x1)
      if ((x - x1) * (y2 - y1) >= (y - y1) * (x2 - x1)) winding += 1;
    } else if (y2 <= y && y < y1) {
      if ((x - x2) * (y1 - y2) >= (y - y2) * (x1 - x2)) winding -= 1;
    }
  }
  return winding != 0;
}

// The row spans with every row that does not cross the real border exactly
// twice rescanned pixel by pixel.
std::vector<TLineXY> BruteForceSpans(const Border& b, int width, int height) {
  std::vector<TLineXY> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    TLineXY line = RowCrossings(b.x, b.y, y, width);
    if (line.n() != 2) {
      line = TLineXY{};
      bool inside = false;
      for (int x = 0; x <= width; ++x) {
        const bool in = InsideByWinding(b, x, y);
        if (in && !inside) {
          line.Append(x, y);
          inside = true;
        } else if (!in && inside && line.n() > 0) {
          line.Append(x, y);
          inside = false;
        }
      }
      if (inside) line.Append(width, y);
    }
    rows[static_cast<std::size_t>(y)] = line;
  }
  return rows;
}

std::vector<TLineXY> FastSpans(const Border& b, int width, int height) {
  return ComputeRowSpans(b.points, width, height);
}

struct SpanCase {
  const char* name;
  std::vector<std::pair<int, int>> points;
  int width, height;
};

TEST(BuildRowSpans, MatchesPixelByPixelWindingTest) {
  const SpanCase cases[] = {
      {"convex quadrilateral", {{10, 5}, {90, 20}, {80, 70}, {5, 60}}, 100, 80},
      {"comb: several spans per row", {{0, 0}, {60, 0}, {60, 50}, {50, 50}, {50, 10}, {40, 10}, {40, 50}, {30, 50},
                                       {30, 10}, {20, 10}, {20, 50}, {10, 50}, {10, 10}, {0, 10}}, 60, 60},
      {"vertices on rows, zig-zag bottom", {{0, 0}, {40, 0}, {40, 20}, {30, 10}, {20, 20}, {10, 10}, {0, 20}}, 40, 25},
      {"narrower than the image", {{30, 20}, {60, 25}, {50, 60}, {35, 50}}, 100, 100},
      {"beyond the image", {{-20, -10}, {130, 5}, {50, 40}, {140, 90}, {-30, 70}}, 100, 80},
      {"self-crossing star (winding, not even-odd)", {{50, 0}, {80, 90}, {5, 35}, {95, 35}, {20, 90}}, 100, 100},
  };
  for (const auto& c : cases) {
    const Border b = MakeBorder(c.points);
    const auto fast = FastSpans(b, c.width, c.height);
    const auto brute = BruteForceSpans(b, c.width, c.height);
    ASSERT_EQ(fast.size(), brute.size()) << c.name;
    for (std::size_t y = 0; y < fast.size(); ++y) EXPECT_EQ(fast[y].X, brute[y].X) << c.name << " row " << y;
  }
}

TEST(BuildRowSpans, CombRowHasThreeSpans) {
  const Border b = MakeBorder({{0, 0}, {60, 0}, {60, 50}, {50, 50}, {50, 10}, {40, 10}, {40, 50}, {30, 50},
                               {30, 10}, {20, 10}, {20, 50}, {10, 50}, {10, 10}, {0, 10}});
  const auto rows = FastSpans(b, 60, 60);
  EXPECT_EQ(rows[30].X, (std::vector<std::int32_t>{10, 20, 30, 40, 50, 60}));
  EXPECT_EQ(rows[5].X, (std::vector<std::int32_t>{0, 60}));
}

TEST(BuildRowSpans, RectangleOnTheImageEdgesCoversEveryRow) {
  const Border b = MakeBorder({{0, 0}, {200, 0}, {200, 100}, {0, 100}});
  const auto rows = FastSpans(b, 200, 100);
  for (std::size_t y = 0; y < rows.size(); ++y) EXPECT_EQ(rows[y].X, (std::vector<std::int32_t>{0, 200})) << y;
}

TEST(BuildRowSpans, BorderBeyondTheImageKeepsItsInsideColumns) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> points;
    int row;
    std::vector<std::int32_t> expected;
  } const cases[] = {
      {"past both sides: no crossing, whole row", {{-5, -5}, {105, -5}, {105, 85}, {-5, 85}}, 40, {0, 100}},
      {"past the right edge", {{50, 0}, {300, 0}, {300, 40}, {50, 40}}, 20, {50, 100}},
      {"past the left edge", {{-30, 0}, {40, 0}, {40, 40}, {-30, 40}}, 20, {0, 40}},
      {"comb past the right edge keeps its last span",
       {{0, 0}, {130, 0}, {130, 50}, {90, 50}, {90, 10}, {50, 10}, {50, 50}, {0, 50}}, 30, {0, 50, 90, 100}},
  };
  for (const auto& c : cases) EXPECT_EQ(FastSpans(MakeBorder(c.points), 100, 80)[static_cast<std::size_t>(c.row)].X, c.expected) << c.name;
}

TEST(BuildRowSpans, RowsOutsideANarrowBorderAreEmpty) {
  const Border narrow = MakeBorder({{30, 20}, {60, 25}, {50, 60}, {35, 50}});
  const auto rows = FastSpans(narrow, 100, 100);
  EXPECT_EQ(rows[10].n(), 0);
  EXPECT_EQ(rows[70].n(), 0);
  EXPECT_EQ(rows[40].n(), 2);
}

TEST(BuildRowSpans, RandomNonConvexBordersMatchBruteForce) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> coordinate(-20, 140);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<std::pair<int, int>> points;
    const int count = 3 + trial % 20;
    for (int k = 0; k < count; ++k) points.emplace_back(coordinate(random), coordinate(random));
    const Border b = MakeBorder(points);
    const auto fast = FastSpans(b, 120, 120);
    const auto brute = BruteForceSpans(b, 120, 120);
    for (std::size_t y = 0; y < fast.size(); ++y) ASSERT_EQ(fast[y].X, brute[y].X) << "trial " << trial << " row " << y;
  }
}

}  // namespace
}  // namespace quiltor
