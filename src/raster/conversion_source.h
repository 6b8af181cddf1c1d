#pragma once
// Opening an image for the tiled conversion and for thumbnails, chosen by
// the file extension: tiled chart images, TIFF and nautical charts are read
// row by row from the file; bitmap, JPEG, PNG, GIF and old tiled ".qtx"
// images are decoded whole first.
#include <memory>
#include <string>

#include "raster/bitmap.h"
#include "raster/raster_reader.h"

namespace quiltor {

// Rows of an in-memory bitmap: palette indices for an 8-bit bitmap, blue,
// green, red otherwise.
class BitmapRows : public RasterReader {
 public:
  explicit BitmapRows(Bitmap bitmap);
  void ReadRow(int y, std::uint8_t* buffer) override;
  void FetchPixel(int x, int y, std::uint8_t* out) override;

 private:
  Bitmap bitmap_;
};

// nullptr when the file is missing, of a kind not handled here, or refused
// by its reader.
std::unique_ptr<RasterReader> OpenImageForConversion(const std::string& path);

}  // namespace quiltor
