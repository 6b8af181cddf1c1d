#include "creation/destination_map.h"

#include <cmath>

#include "common/rounding.h"
#include "geodesy/great_circle.h"

namespace quiltor::creation {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
}  // namespace

std::vector<geodesy::LatLon> GeoOutline::Points() const {
  std::vector<geodesy::LatLon> points;
  points.reserve(lat.size());
  for (std::size_t k = 0; k < lat.size() && k < lon.size(); ++k)
    points.push_back({.latitude = lat[k], .longitude = lon[k]});
  return points;
}

std::optional<DestinationExtent> ComputeDestinationExtent(const DestinationProjection& projection, CreateMode mode,
                                                          const DrawnRegion& region,
                                                          const std::vector<const GeoOutline*>& selectedOutlines) {
  if (mode != CreateMode::SelectedMaps) return DestinationExtent{region.minX, region.maxX, region.minY, region.maxY};
  DestinationExtent box{180, -180, 90, -90};
  bool any = false;
  for (const GeoOutline* outline : selectedOutlines) {
    for (std::size_t k = 0; k < outline->lat.size(); ++k) {
      double x = outline->lon[k], y = outline->lat[k];
      if (!projection.isLatLon()) {
        const std::optional<geodesy::EastingNorthing> en = projection.forward({outline->lat[k], outline->lon[k]});
        if (!en) continue;
        x = en->easting;
        y = en->northing;
      }
      if (!any && !projection.isLatLon()) box = {x, x, y, y};
      any = true;
      if (x < box.minX) box.minX = x;
      if (x > box.maxX) box.maxX = x;
      if (y < box.minY) box.minY = y;
      if (y > box.maxY) box.maxY = y;
    }
  }
  if (!any) return std::nullopt;
  return box;
}

double DestinationPixelSize(const DestinationProjection& projection, const DestinationExtent& extent, double mpp) {
  const double xc = (extent.minX + extent.maxX) / 2.0;
  const double yc = (extent.minY + extent.maxY) / 2.0;
  if (projection.isLatLon()) {
    const geodesy::LatLon east = geodesy::DestinationPoint({.latitude = yc, .longitude = xc}, 90.0, 200.0 * mpp);
    return std::fabs(east.longitude - xc) / 200.0;
  }
  if (projection.kind.IsMercator()) {
    // A centre with no latitude leaves no scale to correct for.
    const std::optional<geodesy::LatLon> centre = projection.inverse({xc, yc});
    return centre ? mpp / std::cos(centre->latitude * kDegree) : mpp;
  }
  return mpp;
}

DestinationGrid ComputeDestinationGrid(const DestinationProjection& projection, const DestinationExtent& extent,
                                       double mpp) {
  DestinationGrid grid;
  grid.pixelSize = DestinationPixelSize(projection, extent, mpp);
  grid.width = RoundHalfEvenToInt(std::fabs(extent.maxX - extent.minX) / grid.pixelSize);
  grid.height = RoundHalfEvenToInt(std::fabs(extent.maxY - extent.minY) / grid.pixelSize);
  grid.originX = extent.minX;
  grid.originY = extent.maxY;
  return grid;
}

DestinationExtent GridEdges(const DestinationGrid& grid) {
  return {grid.originX, grid.originX + grid.width * grid.pixelSize, grid.originY - grid.height * grid.pixelSize,
          grid.originY};
}

GeoOutline RegionOutline(const DestinationProjection& projection, const DrawnRegion& region) {
  double latN = region.maxY, lonW = region.minX, latS = region.minY, lonE = region.maxX;
  if (!projection.isLatLon()) {
    const std::optional<geodesy::LatLon> northWest = projection.inverse({region.minX, region.maxY});
    const std::optional<geodesy::LatLon> southEast = projection.inverse({region.maxX, region.minY});
    if (!northWest || !southEast) return {};
    latN = northWest->latitude;
    lonW = northWest->longitude;
    latS = southEast->latitude;
    lonE = southEast->longitude;
  }
  GeoOutline outline;
  outline.lon = {lonW, lonW, lonE, lonE, lonW};
  outline.lat = {latN, latS, latS, latN, latN};
  return outline;
}

}  // namespace quiltor::creation
