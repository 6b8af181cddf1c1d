// Row spans of a large source map with a non-convex border: the reader builds
// them once per map, and a 20000 x 20000 image with a 100-point border must
// not hold up a folder scan.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "catalogue/row_spans.h"

namespace {

struct Border {
  std::vector<double> x, y;
  std::vector<std::int32_t> px, py;
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
    b.px.push_back(x);
    b.py.push_back(y);
  }
  return b;
}

void BM_RowSpansNonConvex(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const Border b = StarBorder(size);
  for (auto _ : state) {
    auto rows = quiltor::ComputeRowSpans(b.x, b.y, b.px, b.py, size, size);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetComplexityN(size);
}
BENCHMARK(BM_RowSpansNonConvex)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
