#include "creation/row_plan.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "creation/row_sampling.h"
#include "geodesy/great_circle.h"

namespace quiltor::creation {

namespace {

// The box of the outline points the destination can show.
ProjectedExtent OutlineBox(const DestinationProjection& projection, const GeoOutline& outline) {
  ProjectedExtent box{kEmptyBoxEdge, -kEmptyBoxEdge, kEmptyBoxEdge, -kEmptyBoxEdge};
  for (std::size_t k = 0; k < outline.lat.size(); ++k) {
    double x = outline.lon[k], y = outline.lat[k];
    if (!projection.isLatLon()) {
      const std::optional<geodesy::EastingNorthing> en = projection.forward({outline.lat[k], outline.lon[k]});
      if (!en) continue;  // a point the destination cannot show does not widen the box
      x = en->easting;
      y = en->northing;
    }
    box.Widen(x, y);
  }
  return box;
}

}  // namespace

double BoxMargin(const DestinationProjection& projection, const ProjectedExtent& box) {
  if (!projection.isLatLon()) return kBoxMargin;
  const double latitude = std::min(std::max(std::fabs(box.minY), std::fabs(box.maxY)), 90.0);
  const double longitude = (box.minX + box.maxX) / 2.0;
  const geodesy::LatLon east =
      geodesy::DestinationPoint({.latitude = latitude, .longitude = longitude}, 90.0, kBoxGroundMargin);
  const double bulge = kBoxBulgeShare * std::max(box.maxX - box.minX, box.maxY - box.minY);
  const double degrees = std::fabs(east.longitude - longitude) + bulge;
  // A step east across the antimeridian comes out near 360 degrees, one at
  // a pole may come out as anything: the margin stays as wide as ever.
  return degrees < kBoxMargin ? degrees : kBoxMargin;
}

RowPlan::RowPlan(const DestinationProjection& projection, const DestinationExtent& extent,
                 const DestinationGrid& grid, double metresPerPixel, const std::vector<CreationSource>& sources) {
  const double s = grid.pixelSize;
  pixelSize_ = s;
  columnX_.resize(static_cast<std::size_t>(grid.width));
  double X = extent.minX;
  for (double& x : columnX_) {
    x = X;
    X += s;
  }
  rowY_.resize(static_cast<std::size_t>(grid.height));
  double Y = extent.maxY;
  for (double& y : rowY_) {
    y = Y;
    Y -= s;
  }
  maps_.reserve(sources.size());
  for (const CreationSource& source : sources) maps_.push_back(ReachOf(projection, extent, metresPerPixel, source));
  for (std::size_t i = 0; i < maps_.size(); ++i)
    if (maps_[i].meetsRows()) byFirstRow_.push_back(i);
  std::stable_sort(byFirstRow_.begin(), byFirstRow_.end(),
                   [this](std::size_t a, std::size_t b) { return maps_[a].firstRow < maps_[b].firstRow; });
}

MapReach RowPlan::ReachOf(const DestinationProjection& projection, const DestinationExtent& extent,
                          double metresPerPixel, const CreationSource& source) const {
  const ProjectedExtent box = OutlineBox(projection, source.outline);
  const double margin = BoxMargin(projection, box);
  MapReach m;
  m.maxX = box.maxX + margin;
  m.maxY = box.maxY + margin;
  m.minX = box.minX - margin;
  m.minY = box.minY - margin;
  m.scaleRatio = source.metresPerPixel / pixelSize_;
  m.tolerance = RowTolerance(source.metresPerPixel, metresPerPixel);
  // Written so that a box with a NaN edge meets nothing.
  const bool meetsExtent = m.minX <= m.maxX && m.minY <= m.maxY && extent.minX <= m.maxX && extent.maxX >= m.minX;
  if (!meetsExtent) return m;
  // The columns whose X lies within the box widened once more; X grows from
  // column to column, so they are one run.
  const auto first = std::lower_bound(columnX_.begin(), columnX_.end(), box.minX - kBoxMargin - kColumnMargin);
  const auto end = std::upper_bound(first, columnX_.end(), box.maxX + kBoxMargin + kColumnMargin);
  m.firstColumn = static_cast<std::int32_t>(first - columnX_.begin());
  m.columnCount = static_cast<std::int32_t>(end - first);
  FindSampledColumns(m);
  // Y falls from row to row: the rows within the box are one run too.
  const auto top = std::partition_point(rowY_.begin(), rowY_.end(), [&m](double y) { return y > m.maxY; });
  const auto below = std::partition_point(top, rowY_.end(), [&m](double y) { return y >= m.minY; });
  m.firstRow = static_cast<std::int32_t>(top - rowY_.begin());
  m.lastRow = static_cast<std::int32_t>(below - rowY_.begin()) - 1;
  return m;
}

void RowPlan::FindSampledColumns(MapReach& m) const {
  // Stepped from the first candidate column as the sampler steps it, which
  // may differ from ColumnX in the last bits; X still grows, so the columns
  // within the box are one run.
  m.sampleFirst = m.sampleEnd = m.firstColumn;
  if (m.columnCount <= 0) return;
  double X = ColumnX(0) + m.firstColumn * pixelSize_;
  const std::int32_t end = m.firstColumn + m.columnCount;
  std::int32_t c = m.firstColumn;
  for (; c < end && X < m.minX; ++c) X += pixelSize_;
  m.sampleFirst = m.sampleEnd = c;
  for (; c < end && X <= m.maxX; ++c) X += pixelSize_;
  m.sampleEnd = c;
}

const std::vector<std::size_t>& MapsOfRows::At(std::int32_t r, std::vector<std::size_t>& left) {
  const std::vector<std::size_t>& order = plan_.ByFirstRow();
  for (; next_ < order.size() && plan_.Map(order[next_]).firstRow <= r; ++next_) {
    const std::size_t i = order[next_];
    if (plan_.Map(i).lastRow < r) continue;  // all its rows were skipped
    meeting_.insert(std::lower_bound(meeting_.begin(), meeting_.end(), i), i);
  }
  const auto gone = std::stable_partition(meeting_.begin(), meeting_.end(),
                                          [this, r](std::size_t i) { return plan_.Map(i).lastRow >= r; });
  left.assign(gone, meeting_.end());
  meeting_.erase(gone, meeting_.end());
  return meeting_;
}

}  // namespace quiltor::creation
