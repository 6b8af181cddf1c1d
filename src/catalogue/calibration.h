#pragma once
// Calibration of a source map (the pixel <-> projected transform fitted from
// the calibration points of its map file) and the conversions the rest of the
// program uses. All conversions only read the record and may run on several
// threads at once (view, scan worker, creation thread).
//
// Units: projected points are easting/northing in metres of the map's
// projection on WGS 84, false origin included (degrees of longitude /
// latitude for "Latitude/Longitude"); latitude/longitude are decimal degrees
// on WGS 84.
#include <optional>
#include <string_view>

#include "catalogue/map_record.h"
#include "catalogue/outline.h"
#include "common/pixel_point.h"
#include "geodesy/builtin_formulas.h"
#include "geodesy/projection_catalogue.h"
#include "geodesy/projection.h"

namespace quiltor {

// Fits record's transform from the usable calibration points of `points` and
// the record's projection (projectionName, projectionIndex, setup, datum,
// wgs84Datum, polyCal and both projection handles must be set). `catalogue`
// supplies the GridCode by which grid-only points are read. Sets `method`:
// '0' with fewer than two usable points (success, but no transform), '2' with
// two, '3' with three, '5' with four or more, '6' with more than six and
// PolyCal. Returns false when the points cannot define a transform: a pixel
// text that is not an integer, a coordinate text that is not a number, two
// points on one pixel row or column ('2'), collinear points ('3', '5', '6');
// `cause`, when given, then says which. Points placed off the globe
// (latitude beyond 90, longitude beyond 180, minutes beyond 60) and UTM
// zones outside 1..60 fail as well.
bool CalibrateMap(Map_record& record, const CalibrationPointTable& points,
                  const geodesy::ProjectionCatalogue& catalogue, std::string* cause = nullptr);

// The zone number of a UTM zone text: its leading digits ("55H" gives 55).
std::optional<int> UtmZoneNumber(std::string_view zone);

// Pixel to projected. Not finite when the map has no transform ('0').
geodesy::EastingNorthing PixelToProjected(const Map_record& record, PixelPoint pixel);

// Projected to pixel (not rounded); the creation thread maps whole rows of
// destination pixels with it. Not finite when the map has no transform.
PixelPoint ProjectedToPixel(const Map_record& record, geodesy::EastingNorthing projected);

// Pixel to latitude/longitude on WGS 84 through the map's projection. Both
// values are kNoGeographicPosition (-777) when there is no position.
geodesy::LatLon PixelToLatLon(const Map_record& record, PixelPoint pixel);

// Latitude/longitude on WGS 84 to the nearest pixel (ties to even). Both
// values are kNoPixelPosition (-1) when there is no position.
PixelPosition LatLonToPixel(const Map_record& record, geodesy::LatLon position);

// Where a border point lies in a destination projection: its degrees for
// latitude/longitude, otherwise its projection, NaN when the destination
// cannot project it (so that it widens no box).
BorderPlacement PlacementIn(const geodesy::Projection& destination);

// Bounding box of the map's border points in a destination projection. For
// latitude/longitude the box is in degrees and taken from the border's
// latitude/longitude directly (kNoDegreesExtent without points); otherwise
// it starts at the first point's projection.
ProjectedExtent MapExtentInProjection(const Map_record& record, const geodesy::Projection& destination);

// Sets record.metresPerPixel: the ground length of 200 pixels to the right
// of the border's centre, divided by 200; measured as a UTM easting
// difference when both ends fall in one UTM zone.
void ComputeScale(Map_record& record);

}  // namespace quiltor
