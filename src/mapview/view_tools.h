#pragma once
// The mouse tools of the map view ("Select", "Region", "Drag", "Zoom In")
// as a plain state machine over the view state and the drawn region. The
// widget forwards its mouse events here and draws what the tools' state
// says: the background shifted while dragging, the rubber band, the hover
// box.
#include <optional>
#include <string_view>

#include "creation/destination_map.h"  // DrawnRegion
#include "mapview/view_state.h"

namespace quiltor::mapview {

enum class ViewTool { Select, Region, Drag, ZoomIn };
enum class MouseButton { Left, Right, Other };

// The rectangle of a band in view pixels, corners in either order.
struct Band {
  ViewPixel start;
  ViewPixel corner;
};

// The DrawnRegion a region band gives: its corners in destination units,
// ordered so that minX < maxX and minY < maxY whatever the drag direction.
// nullopt when the band has no width or no height.
std::optional<creation::DrawnRegion> RegionOfBand(const ViewState& view, const Band& band);

// The band's corners in destination units fitted into the view.
void ZoomToBand(ViewState& view, const Band& band);

// What a mouse move asks the widget to do.
enum class MoveEffect {
  LiveDrag,     // show the cached background shifted by DragOffset(); no overlay
  Band,         // draw the rubber band (the hover box is hidden)
  Hover,        // update the highlights under the mouse and repaint the overlay
};

class ViewTools {
 public:
  ViewTools(ViewState& view, creation::DrawnRegion& region) : view_(view), region_(region) {}

  ViewTool tool() const { return tool_; }
  void SetTool(ViewTool tool) { tool_ = tool; }
  // The zoom limit of the destination projection (MaxScaleOf).
  void SetMaxScale(double maxScale) { maxScale_ = maxScale; }

  void Press(MouseButton button, ViewPixel at);
  MoveEffect Move(ViewPixel at, bool leftDown);
  // Pans, zooms or sets the region as the tool and the movement say. The
  // caller repaints afterwards.
  void Release(MouseButton button, ViewPixel at);

  ViewPixel lastPosition() const { return last_; }
  // How far the mouse is from where the button went down.
  ViewPixel DragOffset() const { return {last_.x - press_.x, last_.y - press_.y}; }
  bool dragging() const { return dragging_; }
  const std::optional<Band>& band() const { return band_; }
  // Whether the hover box may be shown.
  bool hover() const { return hover_; }
  void SetHover(bool hover) { hover_ = hover; }

 private:
  bool Pans() const { return tool_ == ViewTool::Drag || tool_ == ViewTool::Select; }
  bool Bands() const { return tool_ == ViewTool::Region || tool_ == ViewTool::ZoomIn; }
  void ZoomAtMouse(double factor, ViewPixel at);
  void FinishBand(ViewPixel at);

  ViewState& view_;
  creation::DrawnRegion& region_;
  ViewTool tool_ = ViewTool::Drag;
  double maxScale_ = kMaxUnitsPerPixel;
  ViewPixel last_, press_;
  bool moved_ = false;
  bool dragging_ = false;  // the left button is down with a panning tool
  bool hover_ = false;
  std::optional<Band> band_;
};

}  // namespace quiltor::mapview
