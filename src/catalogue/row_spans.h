#pragma once
// Per-row border spans of a source map: for an image row, the columns at
// which the row enters and leaves the map's border, so that the creation
// thread and the view can tell inside pixels by comparing a few integers.
// A row's spans are computed from the border's edges when asked for, so a
// map costs the size of its border whatever height its image header claims.
#include <cstdint>
#include <span>
#include <vector>

#include "catalogue/border.h"
#include "catalogue/outline.h"

namespace quiltor {

struct Map_record;

// Spans of rows 0..height-1 of an image `width` pixels wide, from the pixel
// positions of `border`.
// A row with exactly two crossings of the border (RowCrossings) keeps
// them. Every other row (no crossing, a lone crossing, or the several of a
// non-convex border) is rebuilt from the border under the non-zero
// winding rule: each run of inside columns within 0..width gives its first
// column and the first column after it, and a run reaching the right edge is
// closed at `width`. A pixel (x, y) is inside when the border winds around the
// point just below and right of it, so left and top edges are inside, right
// and bottom edges not.
std::vector<TLineXY> ComputeRowSpans(std::span<const BorderPoint> border, std::int32_t width, std::int32_t height);

// The inside runs of row y of the border, as ComputeRowSpans uses them for
// rows that do not cross the border exactly twice.
TLineXY WindingRowEntries(std::span<const BorderPoint> border, std::int32_t y, std::int32_t width);

// The spans of row y alone, as ComputeRowSpans gives them for that row.
TLineXY RowSpansOfRow(std::span<const BorderPoint> border, std::int32_t y, std::int32_t width);

// The spans of image row y of a record, from its border and image width;
// empty for a row outside the image.
TLineXY RowSpans(const Map_record& record, std::int32_t y);

}  // namespace quiltor
