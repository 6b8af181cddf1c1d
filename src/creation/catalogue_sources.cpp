#include "creation/catalogue_sources.h"

#include "catalogue/calibration.h"
#include "catalogue/outline.h"
#include "catalogue/row_spans.h"
#include "geodesy/datum.h"
#include "geodesy/projection_engine.h"

namespace quiltor::creation {

DestinationProjection MakeDestinationProjection(const geodesy::DestinationSetup& setup) {
  DestinationProjection projection;
  projection.shortName = setup.shortName;
  const geodesy::DestinationSetup* s = &setup;
  const std::int32_t wgs84 = geodesy::WGS84Datum();
  projection.forward = [s, wgs84](double lat, double lon, double& x, double& y) {
    const geodesy::EastingNorthing en = geodesy::ProjectForward(s->handle, s->shortName, lat, lon, s->setup, wgs84);
    x = en.easting;
    y = en.northing;
  };
  projection.inverse = [s, wgs84](double x, double y, double& lat, double& lon) {
    const geodesy::LatLon ll = geodesy::ProjectInverse(s->handle, s->shortName, x, y, s->setup, wgs84);
    lat = ll.latitude;
    lon = ll.longitude;
  };
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
  const std::int32_t wgs84 = geodesy::WGS84Datum();
  source.toPixel = [map, wgs84](double lat, double lon, double& column, double& row) {
    double X = lon, Y = lat;
    if (map->shortProjection != "Latit") {
      const geodesy::EastingNorthing en =
          geodesy::ProjectForward(map->projWGS84, map->shortProjection, lat, lon, map->setup, wgs84);
      X = en.easting;
      Y = en.northing;
    }
    const PlanePoint pixel = ProjectedToPixel(*map, X, Y);
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
  return OutlinesOverlap(map.lat, map.lon, region.lon, region.lat);
}

}  // namespace quiltor::creation
