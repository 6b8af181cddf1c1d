#pragma once
// Thumbnails of source map images: a small 24-bit picture of the whole image
// and the factor between the image and the thumbnail.
#include <optional>
#include <string>

#include "raster/bitmap.h"

namespace quiltor {

struct Thumbnail {
  Bitmap bitmap;       // 24-bit
  Palette palette{};   // the bitmap's table when it is 8-bit (never, today)
  int pixelMode = 3;
  double scale = 1;    // image pixels per thumbnail pixel
};

// A thumbnail about `targetWidth` pixels wide: tiled images stretch one of
// their small zoom levels to targetWidth x targetHeight, the kinds whose
// decoders reduce the whole image (ECW, MrSID) resample that reduction,
// every other kind is resampled from the full image. Images that cannot be
// read give nullopt.
std::optional<Thumbnail> MakeThumbnail(const std::string& path, int targetWidth, int targetHeight);

// Opens an image file and resamples it into a 24-bit bitmap at `percent`
// percent. QuiltorError when the file cannot be opened or read.
Bitmap ResampleFileToBitmap(const std::string& path, double percent);

// Plain pixel-dropping stretch (no averaging) of an 8- or 24-bit bitmap into
// a 24-bit one of the given size.
Bitmap StretchToBitmap(const Bitmap& source, int width, int height);

}  // namespace quiltor
