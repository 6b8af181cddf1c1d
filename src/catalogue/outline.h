#pragma once
// Outline geometry of a source map: where image rows cross the border, point
// in outline, and whether an outline meets a drawn region.
//
// It lives in the catalogue because the map reader builds each map's row spans
// from it when a map is read; creation builds on the catalogue and uses the
// same functions.
//
// An outline is n points (1..100) in border order; the polygon is closed by
// the edge from the last point back to the first.
#include <cstdint>
#include <span>
#include <vector>

#include "geodesy/builtin_formulas.h"  // LatLon

namespace quiltor {

// The border crossings of one image row, in ascending column order. Read in
// pairs they give the inside spans of the row: [X[0], X[1]], [X[2], X[3]], ...
// both ends included; an odd last crossing opens no span. Y holds the row
// number beside each crossing. Columns are pixels and may lie outside the
// image (negative, or beyond its width) when the border does.
struct TLineXY {
  std::vector<std::int32_t> X;
  std::vector<std::int32_t> Y;

  int n() const { return static_cast<int>(X.size()); }
  void Append(std::int32_t x, std::int32_t y) {
    X.push_back(x);
    Y.push_back(y);
  }
  // True when column x lies in one of the row's spans.
  bool Covers(std::int32_t x) const;
  friend bool operator==(const TLineXY&, const TLineXY&) = default;
};

struct PlanePoint {
  double x = 0;
  double y = 0;
};

// Crossing of the closed segments p1p2 and p3p4 (end points included).
// Parallel and collinear segments report no crossing, even when they overlap.
bool SegmentIntersection(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint p4, PlanePoint& crossing);

// Crossings of the outline (pixel columns X, rows Y) with the row segment
// from (0, y) to (width, y), each rounded to the nearest integer (ties to
// even) and sorted by column. A vertex exactly on the row gives one crossing
// for each of its two edges; a horizontal edge on the row gives none.
TLineXY RowCrossings(std::span<const double> X, std::span<const double> Y, std::int32_t y, std::int32_t width);

// True when `point` lies inside the outline or on its edges or vertices, by
// the even-odd rule. Coordinates are any planar unit (pixels, metres or
// degrees) as long as outline and point share it.
bool PointInOutline(std::span<const PlanePoint> outline, PlanePoint point);

// True when the outline and the region (for a create the closed five-point
// rectangle of the destination extent), both in WGS 84 degrees, have a
// non-empty intersection. Polygons with fewer than three points, or whose
// shape is invalid beyond repair, never overlap.
bool OutlinesOverlap(std::span<const geodesy::LatLon> outline, std::span<const geodesy::LatLon> region);

}  // namespace quiltor
