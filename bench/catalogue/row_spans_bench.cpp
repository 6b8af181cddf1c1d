// Row spans of a large source map with a non-convex border: the reader builds
// them once per map, and a 20000 x 20000 image with a 100-point border must
// not hold up a folder scan.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "catalogue/row_spans.h"

namespace {

struct Border {
  std::vector<double> x, y;
  std::vector<quiltor::BorderPoint> points;  // the same border as the map reader holds it
};

// A 100-point star-like border: radius alternating between 45% and 25% of
// the image, so almost every row crosses it four or more times.
Border StarBorder(int size) {
  Border b;
  const double centre = size / 2.0;
  for (int k = 0; k < 100; ++k) {
    const double angle = 2 * std::numbers::pi * k / 100;
    const double radius = size * ((k % 2 == 0) ? 0.45 : 0.25);
    const auto x = static_cast<std::int32_t>(std::lround(centre + radius * std::cos(angle)));
    const auto y = static_cast<std::int32_t>(std::lround(centre + radius * std::sin(angle)));
    b.x.push_back(x);
    b.y.push_back(y);
    b.points.push_back({x, y});
  }
  return b;
}

void BM_RowSpansNonConvex(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const Border b = StarBorder(size);
  for (auto _ : state) {
    auto rows = quiltor::ComputeRowSpans(b.points, size, size);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetComplexityN(size);
}
BENCHMARK(BM_RowSpansNonConvex)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The same rows rescanned with one point-in-polygon test per pixel, the way
// the spans were first built; shown at the small size only, for the ratio.
bool InsideByWinding(const Border& b, std::int64_t x, std::int64_t y) {
  int winding = 0;
  const std::size_t n = b.points.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    const std::int64_t x1 = b.points[i].x, y1 = b.points[i].y, x2 = b.points[j].x, y2 = b.points[j].y;
    if (y1 <= y && y < y2 && (x - x1) * (y2 - y1) >= (y - y1) * (x2 - x1)) ++winding;
    if (y2 <= y && y < y1 && (x - x2) * (y1 - y2) >= (y - y2) * (x1 - x2)) --winding;
  }
  return winding != 0;
}

void BM_RowSpansPerPixelTest(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const Border b = StarBorder(size);
  for (auto _ : state) {
    std::vector<quiltor::TLineXY> rows(static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
      quiltor::TLineXY line = quiltor::RowCrossings(b.x, b.y, y, size);
      if (line.n() != 2) {
        line = {};
        bool inside = false;
        for (int x = 0; x <= size; ++x) {
          const bool in = InsideByWinding(b, x, y);
          if (in != inside) line.Append(x, y);
          inside = in;
        }
        if (inside) line.Append(size, y);
      }
      rows[static_cast<std::size_t>(y)] = std::move(line);
    }
    benchmark::DoNotOptimize(rows.data());
  }
}
BENCHMARK(BM_RowSpansPerPixelTest)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
