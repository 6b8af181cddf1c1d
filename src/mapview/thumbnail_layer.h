#pragma once
// The background of the map view: plain white with every map's projected
// thumbnail stretched into the box its outline covers on the screen. The
// window caches it and paints outlines and names over a copy, so this runs
// only when the view's origin, scale or size change.
#include "catalogue/map_record.h"
#include "mapview/view_outlines.h"
#include "mapview/view_state.h"
#include "raster/bitmap.h"

namespace quiltor::mapview {

// Paints the thumbnails of the catalogue into `background` (24-bit, the
// view's size), with `outlines` placed for that view. Unselected maps first,
// then selected ones, so a selected map lies on top; within each pass from
// the last catalogue index down to 0, so the more detailed maps, which sort
// first, end on top. Magenta thumbnail pixels (no map there) let what is
// below show through.
void PaintThumbnailLayer(Bitmap& background, const MapCatalogue& catalogue, const ViewOutlines& outlines);

// One thumbnail stretched into a box of view pixels (both corners inside).
// A box reaching past the view is clipped, and the part of the thumbnail that
// the clipped-off strip would have shown is left out: each cut, in view
// pixels, scaled by thumbnail size / (box size + 1) to whole thumbnail pixels.
void StretchThumbnail(Bitmap& background, const Bitmap& thumbnail, const ViewBox& box);

// A white view-sized bitmap with the thumbnail layer when thumbnails are in
// use: the view's background. `outlines` must be placed for `view`.
Bitmap DrawBackground(const ViewState& view, const MapCatalogue& catalogue, const ViewOutlines& outlines,
                      bool useThumbnails);

}  // namespace quiltor::mapview
