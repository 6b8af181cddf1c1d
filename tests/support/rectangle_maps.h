#pragma once
// Catalogue maps whose border is a latitude/longitude rectangle, for the
// tests of what the view draws and hits.
#include <string>

#include "catalogue/map_record.h"

namespace quiltor::testing {

// Adds a map with the border north-west, north-east, south-east, south-west
// (degrees, WGS 84). Returns its catalogue index.
inline int AddRectangleMap(MapCatalogue& catalogue, const std::string& title, double south, double west,
                           double north, double east, bool selected = true, std::int32_t status = kMapUsable) {
  Map_record& map = catalogue.FreshWorkSlot();
  map.title = title;
  map.status = status;
  map.selected = selected;
  const double corners[4][2] = {{north, west}, {north, east}, {south, east}, {south, west}};
  for (const auto& [latitude, longitude] : corners) {
    BorderPoint point;
    point.latitude = latitude;
    point.longitude = longitude;
    map.border.push_back(point);
  }
  catalogue.CommitWorkSlot();
  return catalogue.count() - 1;
}

}  // namespace quiltor::testing
