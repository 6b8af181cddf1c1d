#pragma once
// The map a create produces: its extent in destination units, its pixel
// grid, the minimum-size rule and the drawn region as a latitude/longitude
// outline. Everything here works on WGS 84; the destination projection
// reaches these functions as its kind and two conversions, so the same rules
// serve the creation job, the view and the tests.
//
// Destination units: metres (or the projection's own units) of the
// destination projection; for "Latitude/Longitude" X is the longitude and Y
// the latitude, in degrees.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geodesy/projection.h"

namespace quiltor::creation {

// Destination (X, Y) from WGS 84 latitude/longitude, and back; nothing for a
// point the projection cannot convert. Both may be called from several
// threads at once.
using ForwardFn = std::function<std::optional<geodesy::EastingNorthing>(geodesy::LatLon)>;
using InverseFn = std::function<std::optional<geodesy::LatLon>(geodesy::EastingNorthing)>;

struct DestinationProjection {
  geodesy::ProjectionKind kind;
  ForwardFn forward;
  InverseFn inverse;
  bool isLatLon() const { return kind.IsLatLon(); }
};

struct DestinationExtent {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

// Pixel column c, row r stands for X = minX + c s, Y = maxY - r s.
struct DestinationGrid {
  double pixelSize = 0;  // s, destination units per pixel
  std::int32_t width = 0;
  std::int32_t height = 0;
  double originX = 0;  // minX
  double originY = 0;  // maxY
};

// Where the grid's pixel (0, 0) and pixel (W, H), one step past its last
// column and row, lie: (minX, maxY) and (minX + W s, maxY - H s). The far
// edges differ from the extent the grid was sized from by up to half a pixel.
DestinationExtent GridEdges(const DestinationGrid& grid);

enum class CreateMode { SelectedMaps, RegionSelectedMaps, RegionAllMaps };

// A region counts as drawn once its minX or maxX differs from this.
inline constexpr double kNoRegion = -7777.0;

struct DrawnRegion {
  double minX = kNoRegion, maxX = kNoRegion, minY = kNoRegion, maxY = kNoRegion;
  bool drawn() const { return minX != kNoRegion || maxX != kNoRegion; }
};

// One map's outline in WGS 84 degrees, point k at index k.
struct GeoOutline {
  std::vector<double> lat;
  std::vector<double> lon;
  // The points as positions, in order.
  std::vector<geodesy::LatLon> Points() const;
};

// The extent of a create: the drawn region in the region modes; otherwise the
// box of every outline point of the selected maps (strictly-outside points
// widen it). Outline points the projection cannot convert are left out.
// Empty when no selected map has an outline point left.
std::optional<DestinationExtent> ComputeDestinationExtent(const DestinationProjection& projection, CreateMode mode,
                                                          const DrawnRegion& region,
                                                          const std::vector<const GeoOutline*>& selectedOutlines);

// Pixel size for `mpp` metres per pixel: a degree value for
// "Latitude/Longitude" (200 mpp east of the centre, divided by 200), the
// centre-latitude scale for "Mercator", mpp itself for every other projection.
double DestinationPixelSize(const DestinationProjection& projection, const DestinationExtent& extent, double mpp);

// Pixel size plus width and height (nearest integer, ties to even).
DestinationGrid ComputeDestinationGrid(const DestinationProjection& projection, const DestinationExtent& extent,
                                       double mpp);

// The drawn region as the closed five-point latitude/longitude outline
// (lonW, latN), (lonW, latS), (lonE, latS), (lonE, latN), (lonW, latN);
// without points when a corner has no latitude/longitude.
GeoOutline RegionOutline(const DestinationProjection& projection, const DrawnRegion& region);

}  // namespace quiltor::creation
