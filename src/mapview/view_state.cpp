#include "mapview/view_state.h"

#include <algorithm>
#include <cmath>

#include "common/rounding.h"

namespace quiltor::mapview {

double MaxScaleOf(const geodesy::ProjectionKind& destination) {
  return destination.IsLatLon() ? kMaxDegreesPerPixel : kMaxUnitsPerPixel;
}

ViewPixel ViewState::ToView(double X, double Y) const {
  return {RoundHalfEvenToInt((X - originX) / scale), RoundHalfEvenToInt((originY - Y) / scale)};
}

PlanePoint ViewState::ToDestination(double x, double y) const { return {x * scale + originX, originY - y * scale}; }

void ViewState::ZoomAt(double newScale, double X, double Y, double maxScale) {
  if (newScale > 0 && newScale <= maxScale && std::isfinite(newScale)) scale = newScale;
  originX = X - (width / 2.0) * scale;
  originY = Y + (height / 2.0) * scale;
}

void ViewState::ZoomAbout(double newScale, double x, double y, double maxScale) {
  if (!(newScale > 0 && newScale <= maxScale && std::isfinite(newScale))) return;
  const PlanePoint fixed = ToDestination(x, y);
  scale = newScale;
  originX = fixed.x - x * scale;
  originY = fixed.y + y * scale;
}

void ViewState::ZoomToExtent(const ProjectedExtent& box) {
  if (width <= 0 || height <= 0) return;
  const double fitted = std::max((box.maxX - box.minX) / width, (box.maxY - box.minY) / height);
  if (!(fitted > 0) || !std::isfinite(fitted)) return;
  scale = fitted;
  originX = (box.minX + box.maxX) / 2 - (width / 2.0) * scale;
  originY = (box.minY + box.maxY) / 2 + (height / 2.0) * scale;
}

void ViewState::Pan(double dx, double dy) {
  originX -= scale * dx;
  originY += scale * dy;
}

bool DrawnKeys::Matches(const ViewState& view) const {
  return stored_ && keys_.originX == view.originX && keys_.originY == view.originY && keys_.scale == view.scale &&
         keys_.width == view.width && keys_.height == view.height;
}

void DrawnKeys::Store(const ViewState& view) {
  keys_ = view;
  stored_ = true;
}

}  // namespace quiltor::mapview
