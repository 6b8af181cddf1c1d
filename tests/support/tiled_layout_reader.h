#pragma once
// A reader of the plain tiled image layout written straight from the layout,
// independent of the program's own reader, so that tests can check what a
// writer or a whole create produced: the trailer's table of level headers,
// each level's size, tile counts and palette, and its 64 x 64 deflated
// tiles stored bottom row first. Anything that does not fit the layout
// throws std::runtime_error.
#include <zlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "support/file_bytes.h"

namespace quiltor::testing {

struct LayoutColour {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

struct LayoutLevel {
  int width = 0, height = 0;
  std::array<LayoutColour, 256> palette{};
  std::vector<std::uint8_t> pixels;  // palette indices, row 0 at the top
  const LayoutColour& At(int x, int y) const { return palette[pixels[std::size_t(y) * width + x]]; }
};

struct LayoutFile {
  int width = 0, height = 0, zoomCount = 0;
  std::vector<LayoutLevel> levels;  // full size first
};

inline std::uint32_t LayoutU32(const std::vector<std::uint8_t>& f, std::size_t at) {
  if (at + 4 > f.size()) throw std::runtime_error("tiled file: offset beyond the end");
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (std::uint32_t(f[at + 3]) << 24);
}

inline LayoutLevel ReadLayoutLevel(const std::vector<std::uint8_t>& f, std::uint32_t at) {
  LayoutLevel level;
  level.width = int(LayoutU32(f, at));
  level.height = int(LayoutU32(f, at + 4));
  if (at + 12 + 1024 > f.size()) throw std::runtime_error("tiled file: level header cut short");
  const int tilesX = f[at + 8] | (f[at + 9] << 8), tilesY = f[at + 10] | (f[at + 11] << 8);
  // One tile more than the level needs when its side is a multiple of 64.
  if (tilesX != level.width / 64 + 1 || tilesY != level.height / 64 + 1)
    throw std::runtime_error("tiled file: tile counts do not fit the level size");
  for (int i = 0; i < 256; ++i)
    level.palette[std::size_t(i)] = {f[at + 12 + i * 4], f[at + 13 + i * 4], f[at + 14 + i * 4], f[at + 15 + i * 4]};
  const std::size_t offsets = at + 12 + 1024;
  if (f[LayoutU32(f, offsets) - 4] != 0x77) throw std::runtime_error("tiled file: no level marker before tile 0");
  level.pixels.resize(std::size_t(level.width) * level.height);
  std::vector<std::uint8_t> tile(4096);
  for (int t = 0; t < tilesX * tilesY; ++t) {
    const std::uint32_t start = LayoutU32(f, offsets + 4 * t), end = LayoutU32(f, offsets + 4 * (t + 1));
    uLongf size = 4096;
    if (end < start || end > f.size() || uncompress(tile.data(), &size, f.data() + start, end - start) != Z_OK ||
        size != 4096)
      throw std::runtime_error("tiled file: a tile does not inflate to 64 x 64");
    for (int r = 0; r < 64; ++r)
      for (int c = 0; c < 64; ++c) {
        const int x = (t % tilesX) * 64 + c, y = (t / tilesX) * 64 + r;
        if (x < level.width && y < level.height) level.pixels[std::size_t(y) * level.width + x] = tile[(63 - r) * 64 + c];
      }
  }
  if (LayoutU32(f, offsets + 4 * tilesX * tilesY) != at)
    throw std::runtime_error("tiled file: the last tile offset is not the level header");
  return level;
}

inline LayoutFile ReadTiledLayout(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> f = ReadFileBytes(path);
  if (f.size() < 64 || f[0] != 0x78 || f[1] != 0x77) throw std::runtime_error("not a plain tiled file");
  LayoutFile file;
  file.width = int(LayoutU32(f, 14 + 4));
  file.height = int(LayoutU32(f, 14 + 8));
  file.zoomCount = std::int16_t(f[14 + 44] | (f[14 + 45] << 8));
  const std::uint32_t table = LayoutU32(f, f.size() - 4);
  if (table >= f.size() - 4) throw std::runtime_error("tiled file: level table beyond the end");
  for (std::size_t n = 0; n < (f.size() - 4 - table) / 4; ++n)
    file.levels.push_back(ReadLayoutLevel(f, LayoutU32(f, table + 4 * n)));
  return file;
}

}  // namespace quiltor::testing
