#include "mapview/view_tools.h"

#include <algorithm>

namespace quiltor::mapview {

std::optional<creation::DrawnRegion> RegionOfBand(const ViewState& view, const Band& band) {
  if (band.start.x == band.corner.x || band.start.y == band.corner.y) return std::nullopt;
  const PlanePoint a = view.ToDestination(band.start.x, band.start.y);
  const PlanePoint b = view.ToDestination(band.corner.x, band.corner.y);
  creation::DrawnRegion region;
  region.minX = std::min(a.x, b.x);
  region.maxX = std::max(a.x, b.x);
  region.minY = std::min(a.y, b.y);
  region.maxY = std::max(a.y, b.y);
  return region;
}

void ZoomToBand(ViewState& view, const Band& band) {
  const PlanePoint a = view.ToDestination(band.start.x, band.start.y);
  const PlanePoint b = view.ToDestination(band.corner.x, band.corner.y);
  view.ZoomToExtent({.minX = std::min(a.x, b.x),
                     .maxX = std::max(a.x, b.x),
                     .minY = std::min(a.y, b.y),
                     .maxY = std::max(a.y, b.y)});
}

void ViewTools::Press(MouseButton button, ViewPixel at) {
  press_ = last_ = at;
  moved_ = false;
  dragging_ = button == MouseButton::Left && Pans();
  if (button == MouseButton::Left && Bands()) band_ = Band{at, at};
}

MoveEffect ViewTools::Move(ViewPixel at, bool leftDown) {
  last_ = at;
  moved_ = true;
  if (leftDown && Pans() && dragging_) return MoveEffect::LiveDrag;
  if (leftDown && Bands()) {
    hover_ = false;
    if (band_) band_->corner = at;
    return MoveEffect::Band;
  }
  hover_ = true;
  return MoveEffect::Hover;
}

void ViewTools::ZoomAtMouse(double factor, ViewPixel at) {
  const PlanePoint centre = view_.ToDestination(at.x, at.y);
  view_.ZoomAt(view_.scale * factor, centre.x, centre.y, maxScale_);
}

void ViewTools::FinishBand(ViewPixel at) {
  Band band = *band_;
  band.corner = at;
  band_.reset();
  if (tool_ == ViewTool::Region) {
    if (auto region = RegionOfBand(view_, band)) region_ = *region;
  } else {
    ZoomToBand(view_, band);  // a click without movement zoomed before the band was looked at
  }
}

void ViewTools::Release(MouseButton button, ViewPixel at) {
  const bool wasDragging = dragging_;
  dragging_ = false;
  last_ = at;
  if (tool_ == ViewTool::Select && !moved_) return;
  hover_ = true;
  const bool clickZooms = tool_ != ViewTool::Select;
  if (button == MouseButton::Left && Pans() && moved_ && wasDragging) {
    view_.Pan(at.x - press_.x, at.y - press_.y);
  } else if (button == MouseButton::Left && !moved_ && clickZooms) {
    ZoomAtMouse(1 / kZoomStep, at);
  } else if (button == MouseButton::Right && !moved_ && clickZooms) {
    ZoomAtMouse(kZoomStep, at);
  } else if (band_) {
    FinishBand(at);
  }
  // A band left by a click that zoomed instead ends with the click.
  band_.reset();
}

}  // namespace quiltor::mapview
