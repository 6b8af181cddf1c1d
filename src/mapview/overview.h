#pragma once
// An overview of the maps in the destination: the thumbnail layer of the
// whole create fitted into a picture of a given width, and the grid a create
// of the selected maps would make. It shows a user how the maps will lie in
// the new projection before a long create starts.
#include <vector>

#include "catalogue/map_record.h"
#include "creation/destination_map.h"
#include "mapview/view_state.h"
#include "raster/bitmap.h"

namespace quiltor::mapview {

struct OverviewPlan {
  creation::DestinationExtent extent;  // of the create, destination units
  creation::DestinationGrid grid;      // the create's pixel grid
  std::vector<int> maps;               // the maps that take part, most detailed first
  // The picture: pixel column c, row r stands for X = originX + c * scale,
  // Y = originY - r * scale.
  ViewState picture;
};

// The create of the selected usable maps at `metresPerPixel`, and a picture
// `width` pixels wide over its extent. nullopt when no selected map has an
// outline point in the destination.
std::optional<OverviewPlan> PlanOverview(const MapCatalogue& catalogue, const creation::DestinationProjection& projection,
                                         double metresPerPixel, int width);

// White, with the thumbnail layer of every map over the planned picture.
Bitmap DrawOverview(const OverviewPlan& plan, const MapCatalogue& catalogue,
                    const creation::DestinationProjection& projection);

}  // namespace quiltor::mapview
