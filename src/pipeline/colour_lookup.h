#pragma once
// Mapping true colour to palette indices: the nearest-entry search, a
// 64 x 64 x 64 lookup table built from it, and the table of the 20 most
// frequent colours of the full-size image that the zoom levels keep.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "raster/bitmap.h"

namespace quiltor {

// Index of the entry of the first min(count, 256) entries nearest to the
// colour (squared distance); ties keep the lower index.
int NearestPaletteEntry(const Palette& palette, int count, std::uint8_t blue, std::uint8_t green,
                        std::uint8_t red);

class ColourLookup {
 public:
  ColourLookup();
  // Fills every cell with the nearest of the first `count` entries (count
  // above 256 counts as 256) to the cell's lower corner, on `threads`
  // threads (0: one per core).
  void Build(const Palette& palette, int count, int threads = 1);
  std::uint8_t Lookup(std::uint8_t blue, std::uint8_t green, std::uint8_t red) const {
    return table_[static_cast<std::size_t>(blue >> 2) * 4096 + static_cast<std::size_t>(green >> 2) * 64 +
                  static_cast<std::size_t>(red >> 2)];
  }
  // Maps `width` pixels of blue, green, red (pixelMode 3) or palette indices
  // into `palette` (pixelMode 1) to indices of the built palette.
  void MapRow(int pixelMode, const std::uint8_t* src, const Palette& srcPalette, int width,
              std::uint8_t* out) const;

 private:
  std::vector<std::uint8_t> table_;
};

// Blue, green, red of the 20 most frequent colours.
struct TopColour {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  friend bool operator==(const TopColour&, const TopColour&) = default;
};
using TopColours = std::array<TopColour, 20>;

// Reads row y of palette indices (width bytes) into `buffer`.
using IndexRowReader = std::function<void(int y, std::uint8_t* buffer)>;

// The count behind the top colours: a 100 x 100 grid of an 8-bit image,
// rows and columns i * (side div 100) for i = 0 to 99 (a side under 100
// pixels samples its first row or column 100 times). Rows may be handed
// over in any order as the image is written, each once; rows off the grid
// are passed over.
class TopColourCount {
 public:
  TopColourCount(int width, int height);
  static constexpr int kGrid = 100;
  bool Sampled(int y) const { return Samples(y) > 0; }
  void AddRow(int y, const std::uint8_t* indices);
  // The most frequent palette colours, most frequent first (the lowest
  // index among equal counts); once no sampled colour is left, the last
  // pick repeats.
  TopColours Top(const Palette& palette) const;

 private:
  int Samples(int y) const;  // how often the grid samples row y
  int dx_;
  int dy_;
  std::array<std::int64_t, 256> histogram_{};
};

// Samples the grid of an 8-bit image by reading its rows.
TopColours SampleTopColours(int width, int height, const Palette& palette, const IndexRowReader& readRow);

}  // namespace quiltor
