#include "pipeline/colour_lookup.h"

#include <algorithm>
#include <limits>

#include "common/parallel.h"

namespace quiltor {

namespace {

// The first `count` entries of a palette, one array per primary, for a
// nearest-entry search that the compiler runs on several entries at once.
class PaletteDistances {
 public:
  PaletteDistances(const Palette& palette, int count) : count_(std::clamp(count, 0, 256)) {
    for (int i = 0; i < count_; ++i) {
      const Rgbquad& e = palette[static_cast<std::size_t>(i)];
      red_[static_cast<std::size_t>(i)] = e.red;
      green_[static_cast<std::size_t>(i)] = e.green;
      blue_[static_cast<std::size_t>(i)] = e.blue;
    }
  }

  // The squared distance and the index as one key (distance * 256 +
  // index), so that the smallest key is the nearest entry and, among
  // equally near ones, the lowest index.
  int Nearest(int blue, int green, int red) const {
    if (count_ == 0) return 0;
    int best = std::numeric_limits<int>::max();
    for (int i = 0; i < count_; ++i) {
      const int dr = red_[static_cast<std::size_t>(i)] - red;
      const int dg = green_[static_cast<std::size_t>(i)] - green;
      const int db = blue_[static_cast<std::size_t>(i)] - blue;
      best = std::min(best, ((dr * dr + dg * dg + db * db) << 8) | i);
    }
    return best & 0xFF;
  }

 private:
  int count_;
  std::array<int, 256> red_{};
  std::array<int, 256> green_{};
  std::array<int, 256> blue_{};
};

}  // namespace

int NearestPaletteEntry(const Palette& palette, int count, std::uint8_t blue, std::uint8_t green,
                        std::uint8_t red) {
  return PaletteDistances(palette, count).Nearest(blue, green, red);
}

ColourLookup::ColourLookup() : table_(64 * 64 * 64, 0) {}

void ColourLookup::Build(const Palette& palette, int count, int threads) {
  const PaletteDistances entries(palette, count);
  // Each blue slice of the table is filled on its own.
  ParallelFor(64, WorkerCount(threads), [&](int slice, int) {
    std::size_t cell = static_cast<std::size_t>(slice) * 4096;
    const int b = slice * 4;
    for (int g = 0; g < 256; g += 4) {
      for (int r = 0; r < 256; r += 4) table_[cell++] = static_cast<std::uint8_t>(entries.Nearest(b, g, r));
    }
  });
}

void ColourLookup::MapRow(int pixelMode, const std::uint8_t* src, const Palette& srcPalette, int width,
                          std::uint8_t* out) const {
  if (pixelMode == 3) {
    for (int x = 0; x < width; ++x, src += 3) out[x] = Lookup(src[0], src[1], src[2]);
  } else {
    for (int x = 0; x < width; ++x) {
      const Rgbquad& e = srcPalette[src[x]];
      out[x] = Lookup(e.blue, e.green, e.red);
    }
  }
}

TopColourCount::TopColourCount(int width, int height) : dx_(width / kGrid), dy_(height / kGrid) {}

int TopColourCount::Samples(int y) const {
  if (dy_ == 0) return y == 0 ? kGrid : 0;
  return y % dy_ == 0 && y / dy_ < kGrid ? 1 : 0;
}

void TopColourCount::AddRow(int y, const std::uint8_t* indices) {
  const int times = Samples(y);
  if (times == 0) return;
  for (int j = 0; j < kGrid; ++j) histogram_[indices[static_cast<std::size_t>(j * dx_)]] += times;
}

TopColours TopColourCount::Top(const Palette& palette) const {
  std::array<std::int64_t, 256> histogram = histogram_;
  TopColours top{};
  for (std::size_t k = 0; k < top.size(); ++k) {
    int pick = -1;
    for (int i = 0; i < 256; ++i) {
      if (histogram[static_cast<std::size_t>(i)] > 0 &&
          (pick < 0 || histogram[static_cast<std::size_t>(i)] > histogram[static_cast<std::size_t>(pick)])) {
        pick = i;
      }
    }
    if (pick < 0) {
      if (k > 0) top[k] = top[k - 1];
      continue;
    }
    const Rgbquad& e = palette[static_cast<std::size_t>(pick)];
    top[k] = {e.blue, e.green, e.red};
    histogram[static_cast<std::size_t>(pick)] = 0;
  }
  return top;
}

TopColours SampleTopColours(int width, int height, const Palette& palette, const IndexRowReader& readRow) {
  TopColourCount count(width, height);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(std::max(width, 1)));
  for (int y = 0; y < height; ++y) {
    if (!count.Sampled(y)) continue;
    readRow(y, row.data());
    count.AddRow(y, row.data());
  }
  return count.Top(palette);
}

}  // namespace quiltor
