#include "mapview/view_outlines.h"

#include <algorithm>
#include <cmath>

namespace quiltor::mapview {

std::optional<PlanePoint> DestinationOf(const creation::DestinationProjection& projection, geodesy::LatLon position) {
  if (projection.isLatLon()) return PlanePoint{position.longitude, position.latitude};
  const std::optional<geodesy::EastingNorthing> p = projection.forward(position);
  if (!p) return std::nullopt;
  return PlanePoint{p->easting, p->northing};
}

bool InsideOutline(std::span<const ViewPixel> outline, std::int32_t x, std::int32_t y) {
  bool inside = false;
  const std::size_t n = outline.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const double xi = outline[j].x, yi = outline[j].y;  // the edge runs from point j to point i
    const double xj = outline[i].x, yj = outline[i].y;
    const bool spans = (yi <= y && y < yj) || (yj <= y && y < yi);
    if (spans && x < xi + (xj - xi) * (y - yi) / (yj - yi)) inside = !inside;
  }
  return inside;
}

void ViewOutlines::Project(const MapCatalogue& catalogue, const creation::DestinationProjection& projection) {
  maps_.assign(static_cast<std::size_t>(catalogue.count()), Outline{});
  for (int m = 0; m < catalogue.count(); ++m) {
    const Map_record& map = catalogue[m];
    if (!map.usable()) continue;
    auto& points = maps_[Slot(m)].destination;
    points.reserve(map.border.size());
    for (const BorderPoint& border : map.border) {
      if (auto point = DestinationOf(projection, {.latitude = border.latitude, .longitude = border.longitude}))
        points.push_back(*point);
    }
  }
}

void ViewOutlines::Place(const ViewState& view) {
  for (Outline& outline : maps_) {
    outline.pixels.clear();
    outline.box.reset();
    for (const PlanePoint& p : outline.destination) outline.pixels.push_back(view.ToView(p.x, p.y));
    if (outline.pixels.empty()) continue;
    ViewBox box{outline.pixels[0].x, outline.pixels[0].y, outline.pixels[0].x, outline.pixels[0].y};
    for (const ViewPixel& q : outline.pixels) {
      box.minX = std::min(box.minX, q.x);
      box.maxX = std::max(box.maxX, q.x);
      box.minY = std::min(box.minY, q.y);
      box.maxY = std::max(box.maxY, q.y);
    }
    outline.box = box;
  }
}

bool ViewOutlines::Contains(int map, ViewPixel point) const {
  const Outline& outline = maps_[Slot(map)];
  // Outside the box no edge can be crossed an odd number of times.
  if (!outline.box || point.x < outline.box->minX || point.x > outline.box->maxX || point.y < outline.box->minY ||
      point.y > outline.box->maxY)
    return false;
  return InsideOutline(outline.pixels, point.x, point.y);
}

std::vector<int> ViewOutlines::MapsAt(ViewPixel point) const {
  std::vector<int> hits;
  for (int m = 0; m < count(); ++m)
    if (Contains(m, point)) hits.push_back(m);
  return hits;
}

}  // namespace quiltor::mapview
