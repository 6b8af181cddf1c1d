#pragma once
// The creation job's view of the catalogue: the destination projection,
// each selected Map_record as a CreationSource, and the catalogue entries
// with the outline overlap test for the map list.
//
// The records must outlive the job that uses what is made here: the
// conversions refer to them, they are not copied. Nothing changes the
// catalogue while a create runs.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/map_record.h"
#include "creation/create_flow.h"
#include "creation/destination_map.h"
#include "geodesy/projection.h"

namespace quiltor::creation {

// Forward and inverse through the destination projection (made on WGS 84);
// the conversions hold their own copy of it.
DestinationProjection MakeDestinationProjection(const geodesy::Projection& destination);

// Opens a source image; answers none, or throws saying why, when it cannot.
using RasterOpener = std::function<std::unique_ptr<RasterReader>(const std::string& imageFile)>;

// The map's outline, row spans and the chain from latitude/longitude to its
// pixels (its own projection on WGS 84, then its grid-to-pixel transform).
CreationSource SourceFromRecord(const Map_record& record, RasterOpener open);

// The map's WGS 84 border as an outline.
GeoOutline OutlineOfRecord(const Map_record& record);

// One entry per catalogue map; `outlines` receives the outlines the entries
// point to (it must outlive them).
std::vector<CatalogueEntry> CatalogueEntries(const MapCatalogue& catalogue, std::vector<GeoOutline>& outlines);

// The polygon intersection test of the map list.
bool OutlinesOverlapTest(const GeoOutline& map, const GeoOutline& region);

}  // namespace quiltor::creation
