#pragma once
// Whole images for looking at: every row of an opened source gathered into
// one bitmap, and the reason an image could not be opened, in words a user
// can act on.
#include <filesystem>
#include <string>

#include "raster/bitmap.h"
#include "raster/raster_source.h"

namespace quiltor {

// The kind the dispatch reads a file as: its extension in lower case, with
// the dot.
std::string RasterKind(const std::filesystem::path& path);
// The kinds held in the tiled multi-zoom format, whose levels can be listed.
bool IsTiledKind(const std::string& kind);

// Every row of `source`, top row first, read through ReadRasterLine: an 8-bit
// bitmap with the source's palette when its rows are palette indices, a
// 24-bit blue-green-red one otherwise. Throws QuiltorError when the image is
// too large to hold in memory, and passes on the reader's read errors.
Bitmap ReadWholeRaster(RasterSource& source);

// Why OpenRaster answered `failure` for `path`: a missing file, a kind this
// program has no reader for, a protected or unrecognised tiled image, or a
// file the reader or decoder refused.
std::string DescribeOpenFailure(const std::filesystem::path& path, RasterOpenResult failure);

}  // namespace quiltor
