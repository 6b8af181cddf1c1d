#pragma once
// The maps' outlines as the view draws them: each map's border projected once
// into destination units, then placed in view pixels whenever the origin or
// the scale changes; and the hit test that tells which outlines contain a
// view pixel.
#include <span>
#include <vector>

#include "catalogue/map_record.h"
#include "creation/destination_map.h"  // DestinationProjection
#include "mapview/view_state.h"

namespace quiltor::mapview {

// The smallest box holding an outline's view pixels.
struct ViewBox {
  std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  // True when some of the box lies in a view of width x height pixels.
  bool Meets(int width, int height) const { return minX < width && minY < height && maxX >= 0 && maxY >= 0; }
};

// Destination units of a WGS 84 point: the destination's forward
// projection, or the longitude and latitude themselves on a
// latitude/longitude destination. nullopt when the point cannot be
// projected.
std::optional<PlanePoint> DestinationOf(const creation::DestinationProjection& projection, geodesy::LatLon position);

// The hit test of the view: even-odd crossings of a horizontal ray to the
// left of (x, y). Edges are walked from the last point to the first, then
// first to second, and so on; an edge counts when y lies in the half-open
// interval between its end points' y (the lower end in, the upper end out),
// so a point level with a shared vertex is counted once.
bool InsideOutline(std::span<const ViewPixel> outline, std::int32_t x, std::int32_t y);

class ViewOutlines {
 public:
  // Projects the border of every map of the catalogue (points that cannot be
  // projected are left out). Only usable maps get an outline: the others are
  // neither drawn nor hit.
  void Project(const MapCatalogue& catalogue, const creation::DestinationProjection& projection);
  // Places every projected outline in view pixels.
  void Place(const ViewState& view);

  // The number of maps projected (the catalogue's count at Project).
  int count() const { return static_cast<int>(maps_.size()); }
  std::span<const ViewPixel> Pixels(int map) const { return maps_[Slot(map)].pixels; }
  std::span<const PlanePoint> Destination(int map) const { return maps_[Slot(map)].destination; }
  // The box of a placed outline; an outline without points has none.
  const std::optional<ViewBox>& Box(int map) const { return maps_[Slot(map)].box; }

  // True when map `map`'s outline contains the view pixel.
  bool Contains(int map, ViewPixel point) const;
  // Every map whose outline contains the view pixel, in catalogue order.
  std::vector<int> MapsAt(ViewPixel point) const;

 private:
  struct Outline {
    std::vector<PlanePoint> destination;
    std::vector<ViewPixel> pixels;
    std::optional<ViewBox> box;
  };
  static std::size_t Slot(int map) { return static_cast<std::size_t>(map); }
  std::vector<Outline> maps_;
};

}  // namespace quiltor::mapview
