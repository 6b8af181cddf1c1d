#include "creation/catalogue_sources.h"

#include <limits>

#include "catalogue/calibration.h"
#include "catalogue/outline.h"
#include "catalogue/row_spans.h"
#include "geodesy/projection.h"

namespace quiltor::creation {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

DestinationProjection MakeDestinationProjection(const geodesy::Projection& destination) {
  DestinationProjection projection;
  projection.kind = destination.Kind();
  projection.forward = [destination](geodesy::LatLon point) { return destination.Forward(point); };
  projection.inverse = [destination](geodesy::EastingNorthing point) { return destination.Inverse(point); };
  return projection;
}

GeoOutline OutlineOfRecord(const Map_record& record) {
  GeoOutline outline;
  for (const BorderPoint& point : record.border) {
    outline.lat.push_back(point.latitude);
    outline.lon.push_back(point.longitude);
  }
  return outline;
}

CreationSource SourceFromRecord(const Map_record& record, RasterOpener open) {
  CreationSource source;
  source.imageFile = record.imageFile;
  source.width = record.width;
  source.height = record.height;
  source.metresPerPixel = record.metresPerPixel;
  source.outline = OutlineOfRecord(record);
  const Map_record* map = &record;
  source.rowSpans = [map](std::int32_t row) { return RowSpans(*map, row).X; };
  source.toPixel = [map](double lat, double lon, double& column, double& row) {
    // A point the map's projection cannot show has no pixel.
    const std::optional<geodesy::EastingNorthing> en = map->projWGS84.Forward({.latitude = lat, .longitude = lon});
    const PixelPoint pixel = en ? ProjectedToPixel(*map, *en) : PixelPoint{kNaN, kNaN};
    column = pixel.x;
    row = pixel.y;
  };
  const std::string image = record.imageFile;
  source.open = [open, image]() { return open(image); };
  return source;
}

std::vector<CatalogueEntry> CatalogueEntries(const MapCatalogue& catalogue, std::vector<GeoOutline>& outlines) {
  outlines.clear();
  outlines.reserve(static_cast<std::size_t>(catalogue.count()));
  for (int i = 0; i < catalogue.count(); ++i) outlines.push_back(OutlineOfRecord(catalogue[i]));
  std::vector<CatalogueEntry> entries;
  for (int i = 0; i < catalogue.count(); ++i)
    entries.push_back({catalogue[i].usable(), catalogue[i].selected, &outlines[static_cast<std::size_t>(i)]});
  return entries;
}

bool OutlinesOverlapTest(const GeoOutline& map, const GeoOutline& region) {
  return OutlinesOverlap(map.Points(), region.Points());
}

}  // namespace quiltor::creation
