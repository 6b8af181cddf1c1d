#pragma once
// Whole images for looking at: every row of an opened source gathered into
// one bitmap, and the reason an image could not be opened, in words a user
// can act on.
#include <filesystem>
#include <string>

#include "raster/bitmap.h"
#include "raster/raster_source.h"

namespace quiltor {

// Every row of `source`, top row first, read through ReadRasterLine: an 8-bit
// bitmap with the source's palette when its rows are palette indices, a
// 24-bit blue-green-red one otherwise. Throws QuiltorError when the image is
// too large to hold in memory, and passes on the reader's read errors.
Bitmap ReadWholeRaster(RasterSource& source);

// Why OpenRaster answered `failure` and `refusal` for `path`: a missing
// file, a kind this program has no reader for, a protected or unrecognised
// tiled image, the reader's own words, or a file the reader or decoder
// refused.
std::string DescribeOpenFailure(const std::filesystem::path& path, RasterOpenResult failure,
                                const std::string& refusal);

}  // namespace quiltor
