#pragma once
// The mouse position as the status bar shows it, for example
// "33° 52.417´ S   151° 12.500´ E".
#include <optional>
#include <string>

#include "creation/destination_map.h"  // DestinationProjection
#include "geodesy/builtin_formulas.h"   // LatLon
#include "mapview/view_state.h"

namespace quiltor::mapview {

// Whole degrees, "° ", minutes with three decimals, "´ " and the hemisphere
// letter of each axis, latitude first, three spaces between. North and
// east are the values >= 0. Minutes that round up to 60.000 carry into the
// degrees ("34° 0.000´ S", never "33° 60.000´ S").
std::string PositionText(geodesy::LatLon position);

// The WGS 84 position under view pixel (x, y): the inverse destination
// projection, or the coordinates themselves on "Latitude/Longitude".
// nullopt when the inverse fails.
std::optional<geodesy::LatLon> PositionAt(const ViewState& view, const creation::DestinationProjection& projection,
                                          double x, double y);

}  // namespace quiltor::mapview
