#pragma once
// The in-memory image of the whole-image formats and of thumbnails: 8-bit
// palette indices with a 256-entry colour table, or 24-bit blue-green-red,
// rows stored top-down.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quiltor {

// One palette entry, bytes in the order blue, green, red, reserved.
struct Rgbquad {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;
  friend bool operator==(const Rgbquad&, const Rgbquad&) = default;
};

using Palette = std::array<Rgbquad, 256>;

// Largest image a decoder may allocate in memory (bytes of pixel data). A
// header claiming more is refused rather than trusted.
inline constexpr std::size_t kMaxBitmapBytes = std::size_t{1} << 31;

class Bitmap {
 public:
  Bitmap() = default;
  // bitsPerPixel is 8 or 24; pixels start zeroed. Throws QuiltorError for a
  // size that is not positive or beyond kMaxBitmapBytes.
  Bitmap(int width, int height, int bitsPerPixel);

  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bitsPerPixel_; }
  int bytesPerPixel() const { return bitsPerPixel_ / 8; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  std::size_t stride() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(bytesPerPixel()); }

  std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride(); }
  const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride(); }

  Palette& palette() { return palette_; }
  const Palette& palette() const { return palette_; }

  // Blue, green, red of pixel (x, y): the palette entry for 8-bit images.
  void PixelBgr(int x, int y, std::uint8_t* out) const;

  // An 8-bit bitmap whose every index names one of the first `colourCount`
  // palette entries. A decoder refuses an image that indexes past the colour
  // table its file stored: such a file is damaged.
  bool IndicesWithin(int colourCount) const;

 private:
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 24;
  Palette palette_{};
  std::vector<std::uint8_t> pixels_;
};

// Unpacks one row of 1- or 4-bit pixels (most significant bits first) into
// one byte per pixel, as the 1- and 4-bit to 8-bit conversion needs.
void ExpandPackedRow(const std::uint8_t* packed, int bitsPerPixel, int width, std::uint8_t* out);

}  // namespace quiltor
