#include "mapview/view_overlay.h"

namespace quiltor::mapview {

bool UpdateHighlights(MapCatalogue& catalogue, const ViewOutlines& outlines, ViewPixel at) {
  bool changed = false;
  for (int m = 0; m < catalogue.count(); ++m) {
    const bool inside = m < outlines.count() && outlines.Contains(m, at);
    changed |= catalogue[m].highlighted != inside;
    catalogue[m].highlighted = inside;
  }
  return changed;
}

std::vector<HoverEntry> HoverEntries(const MapCatalogue& catalogue) {
  std::vector<HoverEntry> entries;
  for (const bool selected : {false, true})
    for (int m = 0; m < catalogue.count(); ++m)
      if (catalogue[m].highlighted && catalogue[m].selected == selected)
        entries.push_back({selected, catalogue[m].title});
  return entries;
}

HoverBox PlaceHoverBox(ViewPixel at, int textWidth, int lineHeight, int entries, int width, int height) {
  const int boxHeight = lineHeight * entries + 10;
  std::int32_t x = at.x, y = at.y;
  // The box reaches 10 pixels right of the text; keep that margin inside too.
  if (x + textWidth + 10 > width) x = width - textWidth - 10;
  if (y + boxHeight > height) y = height - boxHeight;
  return {x + 5, y + 5, x + textWidth + 10, y + boxHeight, {x + 8, y + 8}};
}

bool SetMapSelected(Map_record& map, bool ticked) {
  map.selected = ticked && map.usable();
  return map.selected;
}

DoubleClickOutcome DoubleClickMaps(MapCatalogue& catalogue, const std::vector<int>& hits) {
  DoubleClickOutcome outcome;
  if (hits.size() == 1) {
    Map_record& map = catalogue[hits[0]];
    SetMapSelected(map, !map.selected);
    outcome.toggled = hits[0];
  } else if (hits.size() > 1) {
    outcome.choose = hits;
  }
  return outcome;
}

}  // namespace quiltor::mapview
