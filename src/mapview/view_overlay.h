#pragma once
// The parts of the overlay that are rules rather than drawing: which maps
// are highlighted under the mouse, the hover list, where the hover box goes,
// and what a double-click with the "Select" tool does to the selection.
#include <string>
#include <vector>

#include "catalogue/map_record.h"
#include "mapview/view_outlines.h"

namespace quiltor::mapview {

// Sets every map's `highlighted` by the hit test at `at`. True when any
// map's highlight changed.
bool UpdateHighlights(MapCatalogue& catalogue, const ViewOutlines& outlines, ViewPixel at);

// One line of the hover box.
struct HoverEntry {
  bool selected = false;  // written in blue; unselected maps in grey
  std::string title;
};

// The highlighted maps, unselected ones first, each group in catalogue order.
std::vector<HoverEntry> HoverEntries(const MapCatalogue& catalogue);

// The hover box for the mouse at `at`, text lines `lineHeight` high and the
// widest `textWidth` wide, in a view of width x height.
struct HoverBox {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // the box; right and bottom excluded
  ViewPixel firstLine;  // top-left of entry 0; entry i is i * lineHeight below
};
// The box spans (x + 5, y + 5) to (x + textWidth + 10, y + height) with
// height = lineHeight * entries + 10; x and y are moved left and up just
// enough for the whole box to stay inside the view.
HoverBox PlaceHoverBox(ViewPixel at, int textWidth, int lineHeight, int entries, int width, int height);

// A double-click with the "Select" tool on the maps in `hits`.
struct DoubleClickOutcome {
  int toggled = -1;           // the one map whose selection flipped, or -1
  std::vector<int> choose;    // two or more maps: listed in the "Select Map" window
};
// One map: its `selected` flips (a map that is not usable stays unselected).
// More: nothing changes yet; the maps are offered in the "Select Map" window.
DoubleClickOutcome DoubleClickMaps(MapCatalogue& catalogue, const std::vector<int>& hits);

// The tick of one "Select Map" row (or map-list row) carried into the map:
// `selected` follows the tick, forced off for a map that is not usable.
// Returns the map's resulting selection.
bool SetMapSelected(Map_record& map, bool ticked);

}  // namespace quiltor::mapview
