#pragma once
// A small writer of the tiled multi-zoom image, written from the file layout
// alone so that the program's reader is checked against bytes it did not
// produce: file header, the scrambled variant's filler and scheme marker,
// the info header, the zoom percentages, each level's marker, tiles, level
// header and tile offsets, and the trailer with the level-header table.
// Only the scramble table and the scheme markers are the program's own
// constants; how they are applied, item by item, is done here.
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "raster/tiled/tiled_format.h"
#include "support/file_bytes.h"

namespace quiltor::testing {

struct TiledTestLevel {
  int width = 0;
  int height = 0;
  std::function<std::uint8_t(int x, int y)> pixel;  // palette index of (x, y)
  std::array<std::uint8_t, 1024> palette{};          // blue, green, red, 0 per entry
};

// A palette whose every entry is told apart from the others.
inline std::array<std::uint8_t, 1024> DistinctPalette(int seed) {
  std::array<std::uint8_t, 1024> p{};
  for (int i = 0; i < 256; ++i) {
    p[4 * i] = static_cast<std::uint8_t>(i);
    p[4 * i + 1] = static_cast<std::uint8_t>(255 - i);
    p[4 * i + 2] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
  }
  return p;
}

inline TiledTestLevel PatternLevel(int width, int height, int seed) {
  TiledTestLevel level;
  level.width = width;
  level.height = height;
  level.pixel = [seed](int x, int y) { return static_cast<std::uint8_t>((x * 3 + y * 11 + seed) % 250); };
  level.palette = DistinctPalette(seed);
  return level;
}

struct TiledTestOptions {
  bool scrambled = false;
  int markerIndex = 3;                  // into tiled::kSchemeMarkers; -1: use `foreignMarker`
  std::array<std::uint8_t, 4> foreignMarker{0xde, 0xad, 0xbe, 0xef};
  std::uint16_t headerVersion = 1;      // 0: raw 4096-byte tiles
  int fillerLength = 200;
  std::uint8_t rawKey = 0x5a;
  bool explicitZoomCount = false;
  std::int16_t zoomCount = 0;           // written when explicitZoomCount, else levels - 2
  std::uint8_t background = 251;        // index of pixels beyond a level's edge
  // Stored bytes that replace tile (level, index) before scrambling.
  std::map<std::pair<int, int>, std::vector<std::uint8_t>> storedTiles;
};

struct TiledTestFile {
  std::vector<std::uint8_t> bytes;
  std::size_t infoPosition = 0;
  std::vector<std::uint32_t> levelHeaders;  // file position of each level header
  std::uint32_t tablePosition = 0;
};

namespace tiled_test_detail {

inline void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// XOR with (key + table[i mod 26]); i counts from 0 within one item.
inline void Scramble(std::uint8_t* data, std::size_t count, std::uint8_t key) {
  for (std::size_t i = 0; i < count; ++i) {
    data[i] ^= static_cast<std::uint8_t>(key + tiled::kScrambleTable[i % 26]);
  }
}

// Appends one item, scrambled on its own when a key is given.
inline void PutItem(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes, const std::uint8_t* key) {
  const std::size_t at = out.size();
  Put(out, value, bytes);
  if (key != nullptr) Scramble(out.data() + at, static_cast<std::size_t>(bytes), *key);
}

inline std::vector<std::uint8_t> TileBytes(const TiledTestLevel& level, int tx, int ty, std::uint8_t background) {
  std::vector<std::uint8_t> tile(4096, background);
  for (int r = 0; r < 64; ++r) {
    for (int c = 0; c < 64; ++c) {
      const int x = tx * 64 + c;
      const int y = ty * 64 + r;
      // Stored bottom row first.
      if (x < level.width && y < level.height) tile[static_cast<std::size_t>((63 - r) * 64 + c)] = level.pixel(x, y);
    }
  }
  return tile;
}

inline std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> packed(compressBound(raw.size()));
  uLongf length = packed.size();
  if (compress2(packed.data(), &length, raw.data(), raw.size(), 9) != Z_OK) throw std::runtime_error("deflate failed");
  packed.resize(length);
  return packed;
}

}  // namespace tiled_test_detail

inline TiledTestFile BuildTiledFile(const std::vector<TiledTestLevel>& levels, const TiledTestOptions& options = {}) {
  using namespace tiled_test_detail;
  TiledTestFile file;
  std::vector<std::uint8_t>& out = file.bytes;
  const std::uint8_t rawKey = options.rawKey;
  std::uint8_t key = rawKey;
  bool wholeTile = false;
  std::array<std::uint8_t, 4> marker = options.foreignMarker;
  if (options.scrambled && options.markerIndex >= 0) {
    const tiled::SchemeMarker& known = tiled::kSchemeMarkers[static_cast<std::size_t>(options.markerIndex)];
    marker = known.bytes;
    key = static_cast<std::uint8_t>(rawKey + known.keyAdjustment);
    wholeTile = known.wholeTileScramble;
  }
  const std::uint8_t* itemKey = options.scrambled ? &key : nullptr;

  // File header: magic, reserved, tile size, header version, data offset.
  Put(out, options.scrambled ? 0x7780 : 0x7778, 2);
  Put(out, 0, 4);
  Put(out, 64, 2);
  Put(out, options.headerVersion, 2);
  Put(out, 1078, 4);
  if (options.scrambled) {
    Scramble(out.data(), 14, rawKey);
    out[0] = 0x80;
    out[1] = 0x77;
    out.push_back(static_cast<std::uint8_t>(options.fillerLength));
    for (int i = 0; i < options.fillerLength; ++i) out.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    if (options.fillerLength > 147) out[15 + 147] = rawKey;
    const std::size_t at = out.size();
    out.insert(out.end(), marker.begin(), marker.end());
    Scramble(out.data() + at, 4, rawKey);
  }

  file.infoPosition = out.size();
  const TiledTestLevel& full = levels.front();
  const std::size_t info = out.size();
  Put(out, 40, 4);
  Put(out, static_cast<std::uint32_t>(full.width), 4);
  Put(out, static_cast<std::uint32_t>(full.height), 4);
  Put(out, 1, 2);
  Put(out, 8, 2);
  Put(out, 0, 4);
  Put(out, static_cast<std::uint32_t>(full.width) * static_cast<std::uint32_t>(full.height), 4);
  Put(out, 0, 4);
  Put(out, 0, 4);
  Put(out, 256, 4);
  Put(out, 256, 4);
  if (options.scrambled) Scramble(out.data() + info, 40, key);
  Put(out, 0x1234, 2);
  Put(out, 0x1234, 2);
  const int zoomCount = options.explicitZoomCount ? options.zoomCount : static_cast<int>(levels.size()) - 2;
  Put(out, static_cast<std::uint16_t>(zoomCount), 2);
  for (std::size_t n = 0; n < levels.size(); ++n) {
    const float percent = 100.0f * static_cast<float>(levels[n].width) / static_cast<float>(full.width);
    std::uint32_t bits;
    std::memcpy(&bits, &percent, 4);
    Put(out, bits, 4);
  }

  for (std::size_t n = 0; n < levels.size(); ++n) {
    const TiledTestLevel& level = levels[n];
    const int tilesX = level.width / 64 + 1;
    const int tilesY = level.height / 64 + 1;
    Put(out, 0x77777777, 4);
    std::vector<std::uint32_t> offsets;
    for (int t = 0; t < tilesX * tilesY; ++t) {
      offsets.push_back(static_cast<std::uint32_t>(out.size()));
      std::vector<std::uint8_t> stored;
      const auto replaced = options.storedTiles.find({static_cast<int>(n), t});
      if (replaced != options.storedTiles.end()) {
        stored = replaced->second;
      } else {
        stored = TileBytes(level, t % tilesX, t / tilesX, options.background);
        if (options.headerVersion != 0) stored = Deflate(stored);
      }
      if (options.scrambled) Scramble(stored.data(), wholeTile ? stored.size() : std::min<std::size_t>(16, stored.size()), key);
      out.insert(out.end(), stored.begin(), stored.end());
    }
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    file.levelHeaders.push_back(static_cast<std::uint32_t>(out.size()));
    PutItem(out, static_cast<std::uint32_t>(level.width), 4, itemKey);
    PutItem(out, static_cast<std::uint32_t>(level.height), 4, itemKey);
    PutItem(out, static_cast<std::uint16_t>(tilesX), 2, itemKey);
    PutItem(out, static_cast<std::uint16_t>(tilesY), 2, itemKey);
    const std::size_t paletteAt = out.size();
    out.insert(out.end(), level.palette.begin(), level.palette.end());
    if (options.scrambled) Scramble(out.data() + paletteAt, 1024, key);
    for (std::uint32_t offset : offsets) PutItem(out, offset, 4, itemKey);
  }

  file.tablePosition = static_cast<std::uint32_t>(out.size());
  for (std::uint32_t header : file.levelHeaders) PutItem(out, header, 4, itemKey);
  PutItem(out, file.tablePosition, 4, itemKey);
  return file;
}

}  // namespace quiltor::testing
