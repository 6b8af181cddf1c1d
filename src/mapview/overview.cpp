#include "mapview/overview.h"

#include <algorithm>

#include "common/rounding.h"
#include "creation/catalogue_sources.h"
#include "mapview/thumbnail_layer.h"
#include "mapview/view_outlines.h"

namespace quiltor::mapview {

std::optional<OverviewPlan> PlanOverview(const MapCatalogue& catalogue, const creation::DestinationProjection& projection,
                                         double metresPerPixel, int width) {
  std::vector<creation::GeoOutline> outlines;
  const std::vector<creation::CatalogueEntry> entries = creation::CatalogueEntries(catalogue, outlines);
  const creation::DrawnRegion noRegion;
  OverviewPlan plan;
  plan.maps = creation::GetSelectedMapArray(creation::CreateMode::SelectedMaps, projection, noRegion, entries,
                                            creation::OutlinesOverlapTest);
  std::vector<const creation::GeoOutline*> selected;
  for (const int m : plan.maps) selected.push_back(entries[static_cast<std::size_t>(m)].outline);
  const auto extent =
      creation::ComputeDestinationExtent(projection, creation::CreateMode::SelectedMaps, noRegion, selected);
  if (!extent || !(extent->maxX > extent->minX)) return std::nullopt;
  plan.extent = *extent;
  plan.grid = creation::ComputeDestinationGrid(projection, *extent, metresPerPixel);

  ViewState& picture = plan.picture;
  picture.width = std::max(width, 1);
  picture.scale = (extent->maxX - extent->minX) / picture.width;
  picture.height = std::max(1, RoundHalfEvenToInt((extent->maxY - extent->minY) / picture.scale));
  picture.originX = extent->minX;
  picture.originY = extent->maxY;
  return plan;
}

Bitmap DrawOverview(const OverviewPlan& plan, const MapCatalogue& catalogue,
                    const creation::DestinationProjection& projection) {
  ViewOutlines outlines;
  outlines.Project(catalogue, projection);
  outlines.Place(plan.picture);
  return DrawBackground(plan.picture, catalogue, outlines, true);
}

}  // namespace quiltor::mapview
