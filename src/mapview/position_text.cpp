#include "mapview/position_text.h"

#include <cmath>

#include "common/text.h"

namespace quiltor::mapview {
namespace {

// "33° 52.417´ " of |degrees|, with the hemisphere letter after it.
std::string AxisText(double degrees, char positive, char negative) {
  const double magnitude = std::fabs(degrees);
  double whole = std::trunc(magnitude);
  double minutes = (magnitude - whole) * 60.0;
  // Minutes are shown to three decimals; 59.9996 must read as the next degree.
  if (FormatFixed(minutes, 3) == "60.000") {
    whole += 1;
    minutes = 0;
  }
  return FormatInt(static_cast<std::int64_t>(whole)) + "\u00B0 " + FormatFixed(minutes, 3) + "\u00B4 " +
         (degrees >= 0 ? positive : negative);
}

}  // namespace

std::string PositionText(geodesy::LatLon position) {
  return AxisText(position.latitude, 'N', 'S') + "   " + AxisText(position.longitude, 'E', 'W');
}

std::optional<geodesy::LatLon> PositionAt(const ViewState& view, const creation::DestinationProjection& projection,
                                          double x, double y) {
  const PlanePoint p = view.ToDestination(x, y);
  if (projection.isLatLon()) return geodesy::LatLon{.latitude = p.y, .longitude = p.x};
  return projection.inverse({.easting = p.x, .northing = p.y});
}

}  // namespace quiltor::mapview
