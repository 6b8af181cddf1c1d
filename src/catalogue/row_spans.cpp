#include "catalogue/row_spans.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "catalogue/map_record.h"

namespace quiltor {
namespace {

struct EdgeCrossing {
  std::int64_t firstColumn;  // first integer column at or right of the crossing
  int direction;             // +1 edge going down the image, -1 going up
};

}  // namespace

TLineXY WindingRowEntries(std::span<const BorderPoint> border, std::int32_t y, std::int32_t width) {
  TLineXY line;
  const std::size_t n = border.size();
  if (n < 3) return line;
  // Every edge whose rows cover y (top row included, bottom row not) changes
  // the winding number for all columns at or right of where it crosses y.
  std::vector<EdgeCrossing> crossings;
  crossings.reserve(8);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1 == n) ? 0 : i + 1;
    const std::int64_t xi = border[i].x, yi = border[i].y;
    const std::int64_t xj = border[j].x, yj = border[j].y;
    if (yi == yj || y < std::min(yi, yj) || y >= std::max(yi, yj)) continue;
    // Crossing column xc = xi + (y - yi)(xj - xi)/(yj - yi); column x is right
    // of the edge when x >= xc, i.e. x >= ceil(xc), computed exactly.
    std::int64_t num = xi * (yj - yi) + (y - yi) * (xj - xi);
    std::int64_t den = yj - yi;
    if (den < 0) {
      num = -num;
      den = -den;
    }
    std::int64_t q = num / den;
    if (num % den != 0 && num > 0) ++q;  // integer division truncates toward zero
    crossings.push_back({q, yj > yi ? 1 : -1});
  }
  std::sort(crossings.begin(), crossings.end(),
            [](const EdgeCrossing& a, const EdgeCrossing& b) { return a.firstColumn < b.firstColumn; });
  int winding = 0;
  bool inside = false;
  std::size_t k = 0;
  auto applyUpTo = [&](std::int64_t column) {
    while (k < crossings.size() && crossings[k].firstColumn <= column) winding += crossings[k++].direction;
  };
  applyUpTo(0);
  if (winding != 0) {
    line.Append(0, y);
    inside = true;
  }
  // Only the columns where the winding number changes can start or end a run.
  while (k < crossings.size() && crossings[k].firstColumn <= width) {
    const std::int64_t column = crossings[k].firstColumn;
    applyUpTo(column);
    const bool nowInside = winding != 0;
    if (nowInside != inside) {
      line.Append(static_cast<std::int32_t>(column), y);
      inside = nowInside;
    }
  }
  // A run still open at the right edge ends there, so the row's last span is
  // kept rather than left without a partner.
  if (inside) line.Append(width, y);
  return line;
}

std::vector<TLineXY> ComputeRowSpans(std::span<const BorderPoint> border, std::int32_t width, std::int32_t height) {
  std::vector<TLineXY> rows(static_cast<std::size_t>(std::max(height, 0)));
  for (std::int32_t y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = RowSpansOfRow(border, y, width);
  return rows;
}

TLineXY RowSpansOfRow(std::span<const BorderPoint> border, std::int32_t y, std::int32_t width) {
  std::array<double, kMaxBorderPoints> borderX{}, borderY{};
  const std::size_t n = std::min<std::size_t>(border.size(), kMaxBorderPoints);
  for (std::size_t i = 0; i < n; ++i) {
    borderX[i] = border[i].x;
    borderY[i] = border[i].y;
  }
  TLineXY line = RowCrossings(std::span<const double>(borderX.data(), n), std::span<const double>(borderY.data(), n),
                              y, width);
  // Two crossings are the common convex row. Any other count (none, one,
  // several) is settled by the integer border's winding: that also finds
  // rows lying wholly inside a border that extends past both image edges
  // and the inside end of a border that leaves the image on the left.
  if (line.n() != 2) line = WindingRowEntries(border, y, width);
  return line;
}

TLineXY RowSpans(const Map_record& record, std::int32_t y) {
  if (y < 0 || y >= record.height) return {};
  return RowSpansOfRow(record.border, y, record.width);
}

}  // namespace quiltor
