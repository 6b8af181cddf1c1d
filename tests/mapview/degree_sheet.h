#pragma once
// A usable map on a latitude/longitude rectangle with a thumbnail of one
// colour, for the tests of what the view draws.
#include <cstdint>

#include "catalogue/map_record.h"
#include "support/rectangle_maps.h"

namespace quiltor::mapview::testing {

// Colours as blue, green, red bytes.
struct Colour {
  std::uint8_t blue = 0, green = 0, red = 0;
};

inline void AddDegreeSheet(MapCatalogue& catalogue, double south, double west, double north, double east,
                           bool selected, Colour colour) {
  const int index = quiltor::testing::AddRectangleMap(catalogue, "", south, west, north, east, selected);
  catalogue[index].thumbnail = quiltor::testing::SolidThumbnail(colour.blue, colour.green, colour.red);
}

}  // namespace quiltor::mapview::testing
