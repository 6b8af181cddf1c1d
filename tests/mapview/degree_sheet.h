#pragma once
// A usable map on a latitude/longitude rectangle with a thumbnail of one
// colour, for the tests of what the view draws.
#include <gtest/gtest.h>

#include <cstdint>

#include "catalogue/map_record.h"

namespace quiltor::mapview::testing {

// Colours as blue, green, red bytes.
struct Colour {
  std::uint8_t blue = 0, green = 0, red = 0;
};

inline void AddDegreeSheet(MapCatalogue& catalogue, double south, double west, double north, double east,
                           bool selected, Colour colour) {
  Map_record& map = catalogue.FreshWorkSlot();
  map.selected = selected;
  const double corners[4][2] = {{north, west}, {north, east}, {south, east}, {south, west}};
  for (const auto& [latitude, longitude] : corners) {
    BorderPoint p;
    p.latitude = latitude;
    p.longitude = longitude;
    map.border.push_back(p);
  }
  Bitmap thumb(4, 4, 24);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      thumb.row(y)[3 * x] = colour.blue;
      thumb.row(y)[3 * x + 1] = colour.green;
      thumb.row(y)[3 * x + 2] = colour.red;
    }
  }
  map.thumbnail = std::move(thumb);
  ASSERT_TRUE(catalogue.CommitWorkSlot());
}

}  // namespace quiltor::mapview::testing
