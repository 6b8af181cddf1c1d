#include "raster/bitmap.h"

#include "common/error.h"

namespace quiltor {

Bitmap::Bitmap(int width, int height, int bitsPerPixel) : width_(width), height_(height), bitsPerPixel_(bitsPerPixel) {
  if (bitsPerPixel != 8 && bitsPerPixel != 24) throw QuiltorError("bitmap depth must be 8 or 24 bits");
  if (width <= 0 || height <= 0) throw QuiltorError("bitmap size must be positive");
  const std::size_t bytes = stride() * static_cast<std::size_t>(height);
  if (bytes / static_cast<std::size_t>(height) != stride() || bytes > kMaxBitmapBytes) {
    throw QuiltorError("image too large to hold in memory");
  }
  pixels_.assign(bytes, 0);
}

void Bitmap::PixelBgr(int x, int y, std::uint8_t* out) const {
  const std::uint8_t* p = row(y);
  if (bitsPerPixel_ == 8) {
    const Rgbquad& q = palette_[p[x]];
    out[0] = q.blue;
    out[1] = q.green;
    out[2] = q.red;
  } else {
    p += static_cast<std::size_t>(x) * 3;
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
  }
}

bool Bitmap::IndicesWithin(int colourCount) const {
  if (colourCount >= 256) return true;
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* p = row(y);
    for (int x = 0; x < width_; ++x) {
      if (p[x] >= colourCount) return false;
    }
  }
  return true;
}

void ExpandPackedRow(const std::uint8_t* packed, int bitsPerPixel, int width, std::uint8_t* out) {
  const int perByte = 8 / bitsPerPixel;
  const int mask = (1 << bitsPerPixel) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bitsPerPixel * (x % perByte + 1);
    out[x] = static_cast<std::uint8_t>((packed[x / perByte] >> shift) & mask);
  }
}

}  // namespace quiltor
