#pragma once
// The contract between the format dispatch (raster_source) and the streamed
// readers (tiled, temporary, TIFF, chart, plug-ins). A reader keeps its file
// open and every bit of its state in itself; it is used by one thread.
#include <cstdint>

#include "raster/bitmap.h"

namespace quiltor {

class RasterReader {
 public:
  virtual ~RasterReader() = default;

  int width() const { return width_; }
  int height() const { return height_; }
  // 1: rows are palette indices into palette(); 3: rows are blue, green, red.
  int pixelMode() const { return pixelMode_; }
  const Palette& palette() const { return palette_; }

  // Copies row y (0 is the top row) into `buffer` (width * pixelMode bytes).
  // The caller has checked 0 <= y < height. Read errors throw QuiltorError.
  virtual void ReadRow(int y, std::uint8_t* buffer) = 0;

  // Writes blue, green, red of pixel (x, y) to `out`; the caller has checked
  // the bounds. A reader without pixel access leaves `out` unchanged.
  virtual void FetchPixel(int x, int y, std::uint8_t* out) = 0;

  // Drops decoded rows, strips, tiles or blocks kept for speed.
  virtual void ReleaseCaches() {}

  // The whole image, when the reader holds it decoded in memory: pixels can
  // then be read from it directly, as FetchPixel would give them. Null for a
  // streamed reader.
  virtual const Bitmap* DecodedImage() const { return nullptr; }

 protected:
  int width_ = 0;
  int height_ = 0;
  int pixelMode_ = 1;
  Palette palette_{};
};

}  // namespace quiltor
