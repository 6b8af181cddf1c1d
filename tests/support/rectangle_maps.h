#pragma once
// Catalogue maps whose border is a latitude/longitude rectangle, their
// one-colour thumbnails and the destination they are drawn in, for the
// tests of what the view draws and hits.
#include <cstdint>
#include <string>

#include "catalogue/map_record.h"
#include "geodesy/destination_setup.h"

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

// A 24-bit thumbnail of one colour, side x side pixels.
inline Bitmap SolidThumbnail(std::uint8_t blue, std::uint8_t green, std::uint8_t red, int side = 4) {
  Bitmap bitmap(side, side, 24);
  for (int y = 0; y < side; ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < side; ++x) {
      row[3 * x] = blue;
      row[3 * x + 1] = green;
      row[3 * x + 2] = red;
    }
  }
  return bitmap;
}

// The destination of a projection's display name with the Destination Map
// tab's defaults (UTM zone 56), through the built-in projection list.
inline geodesy::Projection DestinationNamed(const std::string& projection) {
  geodesy::DestinationSettings settings;
  settings.mapProjection = projection;
  settings.zone = "56";
  return geodesy::ReadDestinationProjection(settings, geodesy::BuiltInProjectionCatalogue());
}

}  // namespace quiltor::testing
