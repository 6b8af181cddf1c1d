#include "catalogue/outline.h"

#include <geos_c.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/rounding.h"

namespace quiltor {

bool TLineXY::Covers(std::int32_t x) const {
  for (std::size_t i = 0; i + 1 < X.size(); i += 2)
    if (x >= X[i] && x <= X[i + 1]) return true;
  return false;
}

namespace {

bool RangesOverlap(double a1, double a2, double b1, double b2) {
  return std::max(a1, a2) >= std::min(b1, b2) && std::max(b1, b2) >= std::min(a1, a2);
}

bool BetweenZeroAnd(double value, double d) {
  return d > 0 ? (value >= 0 && value <= d) : (value <= 0 && value >= d);
}

}  // namespace

bool SegmentIntersection(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint p4, PlanePoint& crossing) {
  if (!RangesOverlap(p1.x, p2.x, p3.x, p4.x)) return false;
  if (!RangesOverlap(p1.y, p2.y, p3.y, p4.y)) return false;
  const PlanePoint a{p2.x - p1.x, p2.y - p1.y};
  const PlanePoint b{p3.x - p4.x, p3.y - p4.y};
  const PlanePoint c{p1.x - p3.x, p1.y - p3.y};
  const double d = a.y * b.x - a.x * b.y;
  const double alpha = b.y * c.x - b.x * c.y;
  const double beta = a.x * c.y - a.y * c.x;
  if (!BetweenZeroAnd(alpha, d) || !BetweenZeroAnd(beta, d)) return false;
  if (d == 0) return false;
  // Lines a1 x + b1 y = c1 through p1p2 and a2 x + b2 y = c2 through p3p4.
  const double a1 = p2.y - p1.y;
  const double b1 = p1.x - p2.x;
  const double c1 = a1 * p1.x + b1 * p1.y;
  const double a2 = p4.y - p3.y;
  const double b2 = p3.x - p4.x;
  const double c2 = a2 * p3.x + b2 * p3.y;
  const double det = a1 * b2 - a2 * b1;
  if (det == 0) return false;
  crossing = {(b2 * c1 - b1 * c2) / det, (a1 * c2 - a2 * c1) / det};
  return true;
}

TLineXY RowCrossings(std::span<const double> X, std::span<const double> Y, std::int32_t y, std::int32_t width) {
  TLineXY line;
  const std::size_t n = std::min(X.size(), Y.size());
  if (n < 2) return line;
  const PlanePoint scanStart{0.0, static_cast<double>(y)};
  const PlanePoint scanEnd{static_cast<double>(width), static_cast<double>(y)};
  std::vector<std::int32_t> columns;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1 == n) ? 0 : i + 1;
    PlanePoint crossing;
    if (SegmentIntersection({X[i], Y[i]}, {X[j], Y[j]}, scanStart, scanEnd, crossing))
      columns.push_back(RoundHalfEvenToInt(crossing.x));
  }
  std::sort(columns.begin(), columns.end());
  for (std::int32_t column : columns) line.Append(column, y);
  return line;
}

bool PointInOutline(std::span<const PlanePoint> outline, PlanePoint point) {
  const std::size_t n = outline.size();
  const double x = point.x, y = point.y;
  int crossed = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1 == n) ? 0 : i + 1;
    const double xi = outline[i].x, yi = outline[i].y, xj = outline[j].x, yj = outline[j].y;
    if (x == xi && y == yi) return true;
    if (yi == y && yj == y && x >= std::min(xi, xj) && x <= std::max(xi, xj)) return true;
    if (y >= std::min(yi, yj) && y <= std::max(yi, yj) && x <= std::max(xi, xj) && yi != yj) {
      const double m = xi + (y - yi) * (xj - xi) / (yj - yi);
      if (x == m) return true;
      // A ray through a vertex must count it once: each edge owns its lower
      // row but not its upper one.
      if (x < m && y < std::max(yi, yj)) ++crossed;
    }
  }
  return crossed % 2 == 1;
}

namespace {

// One GEOS context per thread, finished when the thread ends.
class GeosContext {
 public:
  GeosContext() : handle_(GEOS_init_r()) {}
  ~GeosContext() {
    if (handle_ != nullptr) GEOS_finish_r(handle_);
  }
  GeosContext(const GeosContext&) = delete;
  GeosContext& operator=(const GeosContext&) = delete;
  GEOSContextHandle_t get() const { return handle_; }

 private:
  GEOSContextHandle_t handle_;
};

GEOSContextHandle_t ThreadGeosContext() {
  thread_local GeosContext context;
  return context.get();
}

class Geometry {
 public:
  Geometry(GEOSContextHandle_t ctx, GEOSGeometry* geometry) : ctx_(ctx), geometry_(geometry) {}
  ~Geometry() {
    if (geometry_ != nullptr) GEOSGeom_destroy_r(ctx_, geometry_);
  }
  Geometry(Geometry&& other) noexcept : ctx_(other.ctx_), geometry_(std::exchange(other.geometry_, nullptr)) {}
  Geometry(const Geometry&) = delete;
  Geometry& operator=(const Geometry&) = delete;
  Geometry& operator=(Geometry&&) = delete;
  GEOSGeometry* get() const { return geometry_; }
  explicit operator bool() const { return geometry_ != nullptr; }

 private:
  GEOSContextHandle_t ctx_;
  GEOSGeometry* geometry_;
};

// A single-contour polygon (x = longitude, y = latitude), closed if the
// points do not already close it; invalid shapes (self-crossing borders) are
// repaired so that the intersection has a defined answer.
Geometry MakePolygon(GEOSContextHandle_t ctx, std::span<const geodesy::LatLon> points) {
  const std::size_t n = points.size();
  if (n < 3) return Geometry(ctx, nullptr);
  const bool closed =
      points[0].longitude == points[n - 1].longitude && points[0].latitude == points[n - 1].latitude;
  const auto count = static_cast<unsigned>(closed ? n : n + 1);
  if (count < 4) return Geometry(ctx, nullptr);
  GEOSCoordSequence* seq = GEOSCoordSeq_create_r(ctx, count, 2);
  if (seq == nullptr) return Geometry(ctx, nullptr);
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t k = (i == n) ? 0 : i;
    GEOSCoordSeq_setXY_r(ctx, seq, i, points[k].longitude, points[k].latitude);
  }
  GEOSGeometry* ring = GEOSGeom_createLinearRing_r(ctx, seq);  // takes the sequence
  if (ring == nullptr) return Geometry(ctx, nullptr);
  GEOSGeometry* polygon = GEOSGeom_createPolygon_r(ctx, ring, nullptr, 0);  // takes the ring
  if (polygon == nullptr) {
    GEOSGeom_destroy_r(ctx, ring);
    return Geometry(ctx, nullptr);
  }
  Geometry shape(ctx, polygon);
  if (GEOSisValid_r(ctx, shape.get()) == 1) return shape;
  return Geometry(ctx, GEOSMakeValid_r(ctx, shape.get()));
}

}  // namespace

bool OutlinesOverlap(std::span<const geodesy::LatLon> outline, std::span<const geodesy::LatLon> region) {
  GEOSContextHandle_t ctx = ThreadGeosContext();
  if (ctx == nullptr) return false;
  const Geometry outlineShape = MakePolygon(ctx, outline);
  const Geometry regionShape = MakePolygon(ctx, region);
  if (!outlineShape || !regionShape) return false;
  const Geometry common(ctx, GEOSIntersection_r(ctx, outlineShape.get(), regionShape.get()));
  if (!common) return false;
  // Touching along an edge or at a corner leaves no area: that is no overlap.
  double area = 0;
  if (GEOSArea_r(ctx, common.get(), &area) != 1) return false;
  return area > 0;
}

}  // namespace quiltor
