#include "catalogue/border.h"

#include <algorithm>

namespace quiltor {

void ProjectedExtent::Widen(double x, double y) {
  minX = std::min(minX, x);
  maxX = std::max(maxX, x);
  minY = std::min(minY, y);
  maxY = std::max(maxY, y);
}

void ProjectedExtent::Widen(const ProjectedExtent& other) {
  Widen(other.minX, other.minY);
  Widen(other.maxX, other.maxY);
}

PlanePoint DegreesOf(const BorderPoint& point) { return {point.longitude, point.latitude}; }

ProjectedExtent BorderExtent(std::span<const BorderPoint> border, const BorderPlacement& place,
                             std::optional<ProjectedExtent> start) {
  if (!start) {
    if (border.empty()) return {};
    const PlanePoint first = place(border.front());
    start = ProjectedExtent{first.x, first.x, first.y, first.y};
    border = border.subspan(1);
  }
  ProjectedExtent box = *start;
  for (const BorderPoint& point : border) {
    const PlanePoint p = place(point);
    box.Widen(p.x, p.y);
  }
  return box;
}

}  // namespace quiltor
