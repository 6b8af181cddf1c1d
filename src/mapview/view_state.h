#pragma once
// Where the map view looks: the destination point at its top-left corner,
// its scale and its size, the two transforms between view pixels and
// destination units, and the zooms.
//
// Destination units are those of the destination projection (metres, or
// degrees with X the longitude for "Latitude/Longitude"). View pixels count
// x to the right and y downward from the top-left pixel, so Y decreases as
// y grows: the right and bottom edges are originX + width * scale and
// originY - height * scale.
#include <cstdint>
#include <string_view>

#include "catalogue/border.h"   // ProjectedExtent
#include "catalogue/outline.h"  // PlanePoint
#include "geodesy/projection.h"

namespace quiltor::mapview {

struct ViewPixel {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const ViewPixel&, const ViewPixel&) = default;
};

// A scale of 0 or this means that no view has been set up yet.
inline constexpr double kNoViewScale = -7777.0;
// One zoom step: a click, a wheel notch or a key.
inline constexpr double kZoomStep = 1.4;
// The coarsest scale a zoom may reach: 50 000 units per pixel, or 2 degrees
// per pixel on a "Latitude/Longitude" destination.
inline constexpr double kMaxUnitsPerPixel = 50000.0;
inline constexpr double kMaxDegreesPerPixel = 2.0;

// The zoom limit of a destination projection.
double MaxScaleOf(const geodesy::ProjectionKind& destination);

struct ViewState {
  double originX = 0;  // destination X at the left edge
  double originY = 0;  // destination Y at the top edge
  double scale = 0;    // destination units per view pixel
  int width = 0;       // view size in pixels
  int height = 0;

  bool HasView() const { return scale != 0 && scale != kNoViewScale; }

  // Destination -> view, each coordinate to the nearest integer, ties to even.
  ViewPixel ToView(double X, double Y) const;
  // View -> destination.
  PlanePoint ToDestination(double x, double y) const;

  // The scale becomes `newScale` and the view is centred on (X, Y). A scale
  // beyond `maxScale` is refused: the view only re-centres on (X, Y) at the
  // scale it had. A scale that is not positive is refused the same way.
  void ZoomAt(double newScale, double X, double Y, double maxScale);
  // Zooms keeping the destination point under view pixel (x, y) where it
  // is, as the mouse wheel does; a refused scale leaves the view unchanged.
  void ZoomAbout(double newScale, double x, double y, double maxScale);
  // Fits the box into the view: the larger of its two scales, centred. A
  // box without width and height, or a view without size, changes nothing.
  void ZoomToExtent(const ProjectedExtent& box);
  // Moves the picture by (dx, dy) view pixels, as a drag of the mouse does.
  void Pan(double dx, double dy);
};

// The keys of the cached background: the origin, scale and size it was drawn
// for. A command marks the view for a full redraw by clearing them, so that
// no real view matches.
class DrawnKeys {
 public:
  bool Matches(const ViewState& view) const;
  void Store(const ViewState& view);
  void Clear() { stored_ = false; }

 private:
  bool stored_ = false;
  ViewState keys_{};
};

}  // namespace quiltor::mapview
