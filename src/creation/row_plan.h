#pragma once
// Where each source map takes part in the destination grid, worked out once
// per create and only read afterwards, by any number of row workers at once:
// the X of every column and the Y of every row as the row loop steps through
// them, and per map its widened box, its candidate columns and the rows it
// meets. MapsOfRows walks the rows downwards and answers which maps meet
// each, without testing every map on every row.
#include <cstdint>
#include <vector>

#include "catalogue/border.h"
#include "creation/creation_source.h"
#include "creation/destination_map.h"

namespace quiltor::creation {

// A map's box is that of its outline points, and the border between two
// points may bulge beyond it in the destination projection: the box is
// widened by this many destination units on every side before any test.
inline constexpr double kBoxMargin = 100.0;
// A latitude/longitude destination's units are degrees: there the box is
// widened by the same ground distance, kBoxGroundMargin metres, in degrees
// of longitude where they are shortest, so that a map meets only the rows
// and columns near it. A border edge between two outline points bulges by
// a share of its length (about a hundredth for a sheet of several degrees
// on a conic or transverse projection), so the box is widened by
// kBoxBulgeShare of its larger side as well. Never by more than kBoxMargin.
inline constexpr double kBoxGroundMargin = 100.0;
inline constexpr double kBoxBulgeShare = 0.125;
// The candidate columns of a row reach this much further beyond the box
// widened by kBoxMargin units (in every destination, degrees too), so that
// the row transform's exact end points lie outside every column that can be
// sampled and the interpolation inside is anchored on both sides. The
// positions interpolated, and so the merged pixels, depend on these ends.
inline constexpr double kColumnMargin = 100.0;
// The box before the first outline point: beyond any destination coordinate,
// so the first point the destination can show sets it. A map none of whose
// points can be shown keeps this inverted box and meets no row.
inline constexpr double kEmptyBoxEdge = 99999999.0;

// One map's place in the grid. Its candidate columns of a row are
// firstColumn ... firstColumn + columnCount - 1, the same in every row it
// meets; of them, sampleFirst ... sampleEnd - 1 lie within its box and may
// be sampled. It meets rows firstRow ... lastRow (none when lastRow < firstRow).
struct MapReach {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;  // the outline's box widened by BoxMargin
  std::int32_t firstColumn = 0;
  std::int32_t columnCount = 0;
  std::int32_t sampleFirst = 0;
  std::int32_t sampleEnd = 0;
  std::int32_t firstRow = 0;
  std::int32_t lastRow = -1;
  double scaleRatio = 0;  // source metres per pixel / destination pixel size
  double tolerance = 0;   // of the row transform, in source pixels (RowTolerance)
  bool meetsRows() const { return sampleEnd > sampleFirst && lastRow >= firstRow; }
};

// How far the box of outline points `box` is widened on every side, in
// destination units: kBoxMargin, or in degrees kBoxGroundMargin metres and
// kBoxBulgeShare of the box's larger side.
double BoxMargin(const DestinationProjection& projection, const ProjectedExtent& box);

class RowPlan {
 public:
  // `metresPerPixel` is the destination's pixel scale on the ground.
  RowPlan(const DestinationProjection& projection, const DestinationExtent& extent, const DestinationGrid& grid,
          double metresPerPixel, const std::vector<CreationSource>& sources);

  // X of column c and Y of row r, accumulated step by step from the
  // extent's west and north edges as the grid was always walked.
  double ColumnX(std::int32_t c) const { return columnX_[static_cast<std::size_t>(c)]; }
  double RowY(std::int32_t r) const { return rowY_[static_cast<std::size_t>(r)]; }
  const double* ColumnXs() const { return columnX_.data(); }
  double PixelSize() const { return pixelSize_; }
  std::int32_t Width() const { return static_cast<std::int32_t>(columnX_.size()); }
  const MapReach& Map(std::size_t i) const { return maps_[i]; }
  std::size_t MapCount() const { return maps_.size(); }
  // The maps that meet any row, ordered by their first row (list order among equals).
  const std::vector<std::size_t>& ByFirstRow() const { return byFirstRow_; }

 private:
  MapReach ReachOf(const DestinationProjection& projection, const DestinationExtent& extent, double metresPerPixel,
                   const CreationSource& source) const;
  void FindSampledColumns(MapReach& m) const;

  double pixelSize_ = 0;
  std::vector<double> columnX_;
  std::vector<double> rowY_;
  std::vector<MapReach> maps_;
  std::vector<std::size_t> byFirstRow_;
};

// The maps meeting each row, in list order, for rows asked for from top to
// bottom (rows may be skipped).
class MapsOfRows {
 public:
  explicit MapsOfRows(const RowPlan& plan) : plan_(plan) {}
  // The maps meeting row r; `left` receives the maps that met the rows asked
  // for before and meet neither r nor any later row.
  const std::vector<std::size_t>& At(std::int32_t r, std::vector<std::size_t>& left);

 private:
  const RowPlan& plan_;
  std::size_t next_ = 0;  // into plan_.ByFirstRow(): the first map not yet met
  std::vector<std::size_t> meeting_;
};

}  // namespace quiltor::creation
