#include "raster/tiled/tiled_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <zlib.h>

#include "raster/raster_source.h"
#include "raster/tiled/tiled_format.h"
#include "raster/tiled/tiled_reader.h"
#include "support/file_bytes.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

// A level held in memory: palette indices row by row.
struct MemoryLevel {
  int width, height;
  Palette palette{};
  std::vector<std::uint8_t> pixels;
  MemoryLevel(int w, int h, int seed) : width(w), height(h), pixels(std::size_t(w) * h) {
    for (int i = 0; i < 256; ++i) palette[i] = Rgbquad{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
    palette[200] = Rgbquad{250, 251, 252, 0};  // nearest to white: the background
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pixels[std::size_t(y) * w + x] = std::uint8_t((x * 7 + y * 13 + seed) % 150);
  }
  ZoomLevelImage Image() const {
    return {width, height, palette, [this](int row, std::uint8_t* buffer) {
              std::copy_n(pixels.data() + std::size_t(row) * width, width, buffer);
            }};
  }
};

void WriteFile(const std::filesystem::path& path, bool scrambled, const std::vector<MemoryLevel>& levels,
               const std::vector<float>& zoom, int threads = 1) {
  ByteFile file(path, "wb");
  std::atomic<bool> abort{false};
  QuietHost host;
  TiledImageWriter writer(file, scrambled, abort, host, threads);
  writer.WriteHeader(levels[0].width, levels[0].height, zoom);
  for (const MemoryLevel& level : levels) ASSERT_TRUE(writer.WriteZoomLevel(level.Image()));
  writer.WriteTrailer();
  file.Close();
}

TEST(TiledWriterTest, BackgroundIsTheEntryNearestWhite) {
  Palette p{};
  p[3] = Rgbquad{255, 255, 250, 0};
  p[9] = Rgbquad{250, 255, 255, 0};  // as near: the lower index wins
  EXPECT_EQ(BackgroundIndex(p), 3);
}

TEST(TiledWriterTest, LevelsReadBackThroughTheReader) {
  // 130 x 70 needs 3 x 2 tiles with background beyond the image; 128 x 64 is
  // an exact multiple and still gets an extra column and row of tiles.
  const std::vector<MemoryLevel> levels = {MemoryLevel(130, 70, 1), MemoryLevel(128, 64, 2), MemoryLevel(33, 18, 3)};
  const std::vector<float> zoom = {100, 98.5F, 25.4F};
  for (bool scrambled : {false, true}) {
    SCOPED_TRACE(scrambled ? "scrambled" : "plain");
    testing::TempFolder temp;
    const auto path = temp / (scrambled ? "out.qtxx3" : "out.qtx2");
    WriteFile(path, scrambled, levels, zoom);

    auto opening = TiledReader::Open(path, true);
    ASSERT_TRUE(opening.reader) << opening.message;
    TiledReader& reader = *opening.reader;
    EXPECT_EQ(reader.width(), 130);
    EXPECT_EQ(reader.height(), 70);
    EXPECT_EQ(reader.zoomCount(), 1);
    EXPECT_EQ(reader.LevelCount(), 3);
    EXPECT_EQ(reader.scrambled(), scrambled);
    std::vector<std::uint8_t> row(130);
    for (int y = 0; y < 70; ++y) {
      reader.ReadRow(y, row.data());
      ASSERT_TRUE(std::equal(row.begin(), row.end(), levels[0].pixels.begin() + y * 130)) << "row " << y;
    }
    for (int n = 0; n < 3; ++n) {
      SCOPED_TRACE("level " + std::to_string(n));
      const MemoryLevel& want = levels[n];
      reader.LoadZoomLevel(n);
      EXPECT_EQ(reader.levelWidth(), want.width);
      EXPECT_EQ(reader.levelHeight(), want.height);
      EXPECT_EQ(reader.tilesX(), want.width / 64 + 1);
      EXPECT_EQ(reader.tilesY(), want.height / 64 + 1);
      EXPECT_EQ(reader.levelPalette(), want.palette);
      // Every tile byte outside the level holds the background index.
      std::vector<std::uint8_t> tile(4096);
      for (int ty = 0; ty < reader.tilesY(); ++ty)
        for (int tx = 0; tx < reader.tilesX(); ++tx) {
          ASSERT_TRUE(reader.DecodeTile(tx + ty * reader.tilesX(), tile.data()));
          for (int r = 0; r < 64; ++r)
            for (int c = 0; c < 64; ++c) {
              const int x = tx * 64 + c, y = ty * 64 + r;
              const std::uint8_t expect =
                  (x < want.width && y < want.height) ? want.pixels[std::size_t(y) * want.width + x] : 200;
              ASSERT_EQ(tile[tiled::TileByteIndex(r, c)], expect) << "pixel " << x << "," << y;
            }
        }
    }
  }
}

// A reader written straight from the plain layout, independent of the
// program's reader: trailer, level headers, tiles stored bottom row first.
struct HandLevel {
  int width = 0, height = 0;
  Palette palette{};
  std::vector<std::uint8_t> pixels;
};
struct HandFile {
  int width = 0, height = 0, zoomCount = 0;
  std::vector<HandLevel> levels;
};

std::uint32_t U32(const std::vector<std::uint8_t>& f, std::size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (std::uint32_t(f[at + 3]) << 24);
}

HandFile ReadByHand(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> f = testing::ReadFileBytes(path);
  HandFile h;
  EXPECT_EQ(f[0], 0x78);
  EXPECT_EQ(f[1], 0x77);
  h.width = int(U32(f, 14 + 4));
  h.height = int(U32(f, 14 + 8));
  h.zoomCount = std::int16_t(f[14 + 44] | (f[14 + 45] << 8));
  const std::uint32_t table = U32(f, f.size() - 4);
  const std::size_t levels = (f.size() - 4 - table) / 4;
  for (std::size_t n = 0; n < levels; ++n) {
    const std::uint32_t at = U32(f, table + 4 * n);
    HandLevel level;
    level.width = int(U32(f, at));
    level.height = int(U32(f, at + 4));
    const int tilesX = f[at + 8] | (f[at + 9] << 8), tilesY = f[at + 10] | (f[at + 11] << 8);
    for (int i = 0; i < 256; ++i)
      level.palette[i] = Rgbquad{f[at + 12 + i * 4], f[at + 13 + i * 4], f[at + 14 + i * 4], f[at + 15 + i * 4]};
    const std::size_t offsets = at + 12 + 1024;
    EXPECT_EQ(f[U32(f, offsets) - 4], 0x77);  // the level marker right before tile 0
    level.pixels.resize(std::size_t(level.width) * level.height);
    for (int t = 0; t < tilesX * tilesY; ++t) {
      const std::uint32_t start = U32(f, offsets + 4 * t), end = U32(f, offsets + 4 * (t + 1));
      std::vector<std::uint8_t> tile(4096);
      uLongf size = 4096;
      EXPECT_EQ(uncompress(tile.data(), &size, f.data() + start, end - start), Z_OK);
      for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
          const int x = (t % tilesX) * 64 + c, y = (t / tilesX) * 64 + r;
          if (x < level.width && y < level.height) level.pixels[std::size_t(y) * level.width + x] = tile[(63 - r) * 64 + c];
        }
    }
    EXPECT_EQ(U32(f, offsets + 4 * tilesX * tilesY), at);  // the last offset is the level header
    h.levels.push_back(std::move(level));
  }
  return h;
}

TEST(TiledWriterTest, PlainFileMatchesTheLayoutReadByHand) {
  const std::vector<MemoryLevel> levels = {MemoryLevel(70, 65, 4), MemoryLevel(20, 10, 5)};
  testing::TempFolder temp;
  const auto path = temp / "hand.qtx2";
  WriteFile(path, false, levels, {100, 28.6F});
  const HandFile parsed = ReadByHand(path);
  ASSERT_EQ(parsed.levels.size(), 2u);
  EXPECT_EQ(parsed.width, 70);
  EXPECT_EQ(parsed.height, 65);
  EXPECT_EQ(parsed.zoomCount, 0);
  for (std::size_t n = 0; n < 2; ++n) {
    EXPECT_EQ(parsed.levels[n].width, levels[n].width);
    EXPECT_EQ(parsed.levels[n].height, levels[n].height);
    EXPECT_EQ(parsed.levels[n].palette, levels[n].palette);
    EXPECT_EQ(parsed.levels[n].pixels, levels[n].pixels);
  }
}

TEST(TiledWriterTest, SameFileOnAnyNumberOfThreads) {
  // Eight tiles to a row, so that every worker gets some.
  const std::vector<MemoryLevel> levels = {MemoryLevel(500, 150, 1), MemoryLevel(125, 38, 2)};
  testing::TempFolder temp;
  for (const bool scrambled : {false, true}) {
    SCOPED_TRACE(scrambled ? "scrambled" : "plain");
    WriteFile(temp / "one.qtx2", scrambled, levels, {100, 25}, 1);
    const std::vector<std::uint8_t> one = testing::ReadFileBytes(temp / "one.qtx2");
    for (const int threads : {2, 3}) {
      WriteFile(temp / "more.qtx2", scrambled, levels, {100, 25}, threads);
      EXPECT_EQ(testing::ReadFileBytes(temp / "more.qtx2"), one) << threads << " threads";
    }
  }
}

// A sample map's image as a level of 3-3-2 bit colours: the scanned
// lettering, lines and shading the tiles of a created map hold.
MemoryLevel SampleMapLevel(const char* name) {
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  const std::unique_ptr<RasterSource> source = OpenRaster(std::filesystem::path(QUILTOR_SAMPLES_DIR) / name, failure);
  if (!source) throw std::runtime_error(std::string("cannot open sample ") + name);
  MemoryLevel level(source->width(), source->height(), 0);
  std::vector<std::uint8_t> row(std::size_t(source->width()) * 3);
  for (int y = 0; y < source->height(); ++y) {
    ReadRasterLine(source.get(), y, row.data());
    for (int x = 0; x < source->width(); ++x) {
      const std::uint8_t* p = row.data() + std::size_t(x) * 3;  // blue, green, red
      level.pixels[std::size_t(y) * level.width + x] = std::uint8_t((p[2] & 0xE0) | ((p[1] >> 3) & 0x1C) | (p[0] >> 6));
    }
  }
  return level;
}

// Something like a scanned map: broad bands of a few colours with a grain of
// neighbouring palette entries, crossed by grid lines.
MemoryLevel GrainyLevel() {
  MemoryLevel level(300, 200, 0);
  std::uint32_t state = 12345;
  for (int y = 0; y < level.height; ++y)
    for (int x = 0; x < level.width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int band = ((x / 37 + y / 23) % 4) * 20;
      level.pixels[std::size_t(y) * level.width + x] =
          std::uint8_t(x % 16 == 0 || y % 16 == 0 ? 140 : band + int(state >> 24) % 5);
    }
  return level;
}

void TilesPackNoLargerThanZlib(const MemoryLevel& level) {
  testing::TempFolder temp;
  WriteFile(temp / "map.qtx2", false, {level}, {100, 50});
  const std::vector<std::uint8_t> f = testing::ReadFileBytes(temp / "map.qtx2");
  const std::uint32_t header = U32(f, U32(f, f.size() - 4));
  const std::size_t offsets = header + 12 + 1024;
  const int tilesX = level.width / 64 + 1, tilesY = level.height / 64 + 1;
  const std::size_t written = U32(f, offsets + 4 * tilesX * tilesY) - U32(f, offsets);

  const auto background = std::uint8_t(BackgroundIndex(level.palette));
  std::size_t zlibBest = 0;
  for (int t = 0; t < tilesX * tilesY; ++t) {
    std::vector<std::uint8_t> tile(4096, background);
    for (int r = 0; r < 64; ++r)
      for (int c = 0; c < 64; ++c) {
        const int x = (t % tilesX) * 64 + c, y = (t / tilesX) * 64 + r;
        if (x < level.width && y < level.height) tile[(63 - r) * 64 + c] = level.pixels[std::size_t(y) * level.width + x];
      }
    std::vector<std::uint8_t> packed(compressBound(4096));
    uLongf length = packed.size();
    ASSERT_EQ(compress2(packed.data(), &length, tile.data(), 4096, 9), Z_OK);
    zlibBest += length;
  }
  EXPECT_LE(written, zlibBest);
}

TEST(TiledWriterTest, TilesOfMapsPackNoLargerThanZlibAtItsBestLevel) {
  for (const char* sample : {"ridge-detail-utm31.jpg", "east-mercator.bmp", "overview-latlon.gif"}) {
    SCOPED_TRACE(sample);
    TilesPackNoLargerThanZlib(SampleMapLevel(sample));
  }
  SCOPED_TRACE("grainy bands");
  TilesPackNoLargerThanZlib(GrainyLevel());
}

TEST(TiledWriterTest, AbortStopsBetweenTiles) {
  testing::TempFolder temp;
  ByteFile file(temp / "a.qtx2", "wb");
  std::atomic<bool> abort{false};
  QuietHost host;
  TiledImageWriter writer(file, false, abort, host);
  writer.WriteHeader(100, 100, {100, 50});
  abort = true;
  EXPECT_FALSE(writer.WriteZoomLevel(MemoryLevel(100, 100, 0).Image()));
  EXPECT_EQ(writer.levelsWritten(), 0);
}

}  // namespace
}  // namespace quiltor
