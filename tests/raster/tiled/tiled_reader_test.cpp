// The tiled image reader against files built by the layout writer of the
// tests: plain and scrambled variants, zoom-level choice, the tile cache,
// header queries with scheme versions, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/error.h"
#include "raster/raster_source.h"
#include "raster/tiled/tiled_format.h"
#include "raster/tiled/tiled_reader.h"
#include "raster/tiled_test_writer.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BuildTiledFile;
using testing::PatternLevel;
using testing::TiledTestFile;
using testing::TiledTestLevel;
using testing::TiledTestOptions;
using testing::WriteFileBytes;

void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 128 x 64 image (tilesX 3, tilesY 2: the exact multiple still gets a
// background column and row), a 40 x 20 level and a 20 x 10 overview.
std::vector<TiledTestLevel> ThreeLevels() { return {PatternLevel(128, 64, 1), PatternLevel(40, 20, 2), PatternLevel(20, 10, 3)}; }

struct VariantCase {
  const char* name;
  TiledTestOptions options;
  const char* extension;
  int schemeVersion;
};

TiledTestOptions Scrambled(int markerIndex) {
  TiledTestOptions o;
  o.scrambled = true;
  o.markerIndex = markerIndex;
  o.rawKey = static_cast<std::uint8_t>(0x31 * markerIndex + 7);
  return o;
}

TiledTestOptions RawTiles() {
  TiledTestOptions o;
  o.headerVersion = 0;
  return o;
}

TEST(TiledReaderTest, EveryReadableVariantGivesTheWrittenPixels) {
  const VariantCase cases[] = {
      {"plain", {}, ".qtx2", -1},
      {"plain, raw tiles", RawTiles(), ".qtx2", -1},
      {"scheme 0, first marker", Scrambled(1), ".qtxx3", 0},
      {"scheme 0, second marker", Scrambled(2), ".qtxx3", 0},
      {"scheme 1, the writer's marker", Scrambled(3), ".qtxx3", 1},
      {"scheme 1, whole tiles scrambled", Scrambled(4), ".qtxx3", 1},
      {"scheme 2", Scrambled(5), ".qtxx3", 2},
  };
  testing::TempFolder folder;
  const std::vector<TiledTestLevel> levels = ThreeLevels();
  const TiledTestLevel& full = levels[0];
  for (const VariantCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = folder / (std::string("image") + c.extension);
    WriteFileBytes(path, BuildTiledFile(levels, c.options).bytes);

    std::int32_t width = 0, height = 0, scheme = 0, mode = 0;
    ASSERT_TRUE(QueryRasterInfo(path, width, height, scheme, mode));
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 64);
    EXPECT_EQ(scheme, c.schemeVersion);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(CheckRasterExtension(path), 0);

    RasterOpenResult failure{};
    auto source = OpenRaster(path, failure);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->kind(), c.extension);
    EXPECT_EQ(source->pixelMode(), 1);
    EXPECT_EQ(source->palette()[9], (Rgbquad{9, 246, static_cast<std::uint8_t>(9 * 7 + 1), 0}));
    Bytes row(128, 0xEE);
    for (int y = 0; y < 64; ++y) {
      ReadRasterLine(source.get(), y, row.data());
      for (int x = 0; x < 128; ++x) ASSERT_EQ(row[x], full.pixel(x, y)) << x << "," << y;
    }
    std::uint8_t bgr[3];
    source->FetchPixel(127, 63, bgr);
    const std::uint8_t index = full.pixel(127, 63);
    EXPECT_EQ(bgr[0], full.palette[4 * index]);
    EXPECT_EQ(bgr[1], full.palette[4 * index + 1]);
    EXPECT_EQ(bgr[2], full.palette[4 * index + 2]);

    // Every level decodes whole, the overview with its own palette.
    for (int n = 0; n < 3; ++n) {
      const auto image = DecodeTiledImage(path, n == 2 ? kLastLevel : n);
      ASSERT_TRUE(image.has_value()) << n;
      ASSERT_EQ(image->width(), levels[n].width);
      ASSERT_EQ(image->height(), levels[n].height);
      EXPECT_EQ(image->palette()[5].red, levels[n].palette[4 * 5 + 2]);
      for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) ASSERT_EQ(image->row(y)[x], levels[n].pixel(x, y)) << n;
    }
  }
}

TEST(TiledReaderTest, TileGridAndStorageOrder) {
  testing::TempFolder folder;
  const auto path = folder / "grid.qtx2";
  WriteFileBytes(path, BuildTiledFile({PatternLevel(100, 100, 0), PatternLevel(128, 64, 0)}).bytes);
  auto opening = TiledReader::Open(path, false);
  ASSERT_NE(opening.reader, nullptr);
  TiledReader& reader = *opening.reader;
  EXPECT_EQ(reader.tilesX(), 2);
  EXPECT_EQ(reader.tilesY(), 2);
  EXPECT_EQ(reader.LevelCount(), 2);
  reader.LoadZoomLevel(1);
  EXPECT_EQ(reader.tilesX(), 3);
  EXPECT_EQ(reader.tilesY(), 2);
  reader.LoadZoomLevel(0);
  // Pixel (0, 0) is byte 4032 of tile 0, pixel (63, 63) byte 63.
  std::uint8_t tile[4096];
  ASSERT_TRUE(reader.DecodeTile(0, tile));
  const TiledTestLevel level = PatternLevel(100, 100, 0);
  EXPECT_EQ(tile[4032], level.pixel(0, 0));
  EXPECT_EQ(tile[63], level.pixel(63, 63));
  EXPECT_EQ(tile[4095], level.pixel(63, 0));
  // The right half of tile 1 lies beyond the 100-pixel edge: background.
  ASSERT_TRUE(reader.DecodeTile(1, tile));
  EXPECT_EQ(tile[4032 + 40], TiledTestOptions{}.background);
  EXPECT_THROW(reader.LoadZoomLevel(2), QuiltorError);
}

TEST(TiledReaderTest, RowsOfAnotherLoadedLevel) {
  // Level 1 here has more tiles (3 x 2) than the full-size level (2 x 2) that
  // the cache was laid out for; its rows are as wide as the level.
  testing::TempFolder folder;
  const auto path = folder / "levels.qtx2";
  const TiledTestLevel wide = PatternLevel(128, 64, 8);
  WriteFileBytes(path, BuildTiledFile({PatternLevel(100, 100, 7), wide}).bytes);
  for (bool cached : {true, false}) {
    SCOPED_TRACE(cached ? "cached" : "uncached");
    auto opening = TiledReader::Open(path, cached);
    ASSERT_NE(opening.reader, nullptr);
    opening.reader->LoadZoomLevel(1);
    Bytes row(128, 0xEE);
    opening.reader->ReadRow(5, row.data());
    for (int x = 0; x < 128; ++x) ASSERT_EQ(row[x], wide.pixel(x, 5)) << x;
  }
}

struct ThumbnailCase {
  const char* name;
  std::vector<int> widths;  // level widths, full size first; the last is the overview
  int zoomCount;
  int chosenWidth;
};

TEST(TiledReaderTest, ThumbnailLevelChoice) {
  const ThumbnailCase cases[] = {
      // Levels 1..zoomCount-1 are examined from the smallest up; the first
      // that reaches 500 pixels is kept when it stays within 3000.
      {"first level reaching 500 is kept", {4000, 3500, 600, 200, 100}, 3, 600},
      {"first level reaching 500 is over 3000", {4000, 3200, 100, 50}, 2, 50},
      {"no level reaches 500", {400, 300, 200, 100}, 2, 100},
      {"zoom count 1", {4000, 600, 300}, 1, 300},
      {"zoom count 0", {4000, 300}, 0, 300},
      {"one level only", {700}, -1, 700},
  };
  testing::TempFolder folder;
  for (const ThumbnailCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TiledTestLevel> levels;
    for (int w : c.widths) levels.push_back(PatternLevel(w, 8, w));
    TiledTestOptions options;
    options.explicitZoomCount = true;
    options.zoomCount = static_cast<std::int16_t>(c.zoomCount);
    const auto path = folder / "thumb.qtx2";
    WriteFileBytes(path, BuildTiledFile(levels, options).bytes);
    const auto image = DecodeTiledImage(path, kThumbnailLevel);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width(), c.chosenWidth);
    const TiledTestLevel chosen = PatternLevel(c.chosenWidth, 8, c.chosenWidth);
    EXPECT_EQ(image->row(7)[c.chosenWidth - 1], chosen.pixel(c.chosenWidth - 1, 7));
  }
}

TEST(TiledReaderTest, FullCacheFreesLowestTileIndicesFirst) {
  // 81 x 41 = 3321 tiles, each holding image pixels; one pixel of each tile
  // is fetched, highest index first, so that age and index order disagree.
  testing::TempFolder folder;
  const auto path = folder / "big.qtx2";
  const TiledTestLevel level = PatternLevel(81 * 64 - 1, 41 * 64 - 1, 4);
  WriteFileBytes(path, BuildTiledFile({level}).bytes);
  auto opening = TiledReader::Open(path, true);
  ASSERT_NE(opening.reader, nullptr);
  TiledReader& reader = *opening.reader;
  ASSERT_EQ(reader.tilesX() * reader.tilesY(), 3321);
  const auto fetch = [&](int tile) {
    const int x = (tile % 81) * 64 + 5;
    const int y = (tile / 81) * 64 + 9;
    std::uint8_t bgr[3] = {1, 2, 3};
    reader.FetchPixel(x, y, bgr);
    return bgr[2] == level.palette[4 * level.pixel(x, y) + 2];
  };
  for (int tile = 3071; tile >= 0; --tile) ASSERT_TRUE(fetch(tile));
  EXPECT_EQ(reader.cachedTiles(), kTileCacheCapacity);
  ASSERT_TRUE(fetch(3200));
  // 307 tiles went, 0 to 306, although they were the last ones fetched.
  EXPECT_EQ(reader.cachedTiles(), 2765 + 1);
  EXPECT_FALSE(reader.tileCached(0));
  EXPECT_FALSE(reader.tileCached(306));
  EXPECT_TRUE(reader.tileCached(307));
  EXPECT_TRUE(reader.tileCached(3071));
  EXPECT_TRUE(reader.tileCached(3200));
  // A freed tile decodes again on its next use; rows go through the cache.
  ASSERT_TRUE(fetch(0));
  EXPECT_TRUE(reader.tileCached(0));
  Bytes row(static_cast<std::size_t>(level.width));
  reader.ReadRow(64 * 39 + 1, row.data());
  for (int x = 0; x < level.width; ++x) ASSERT_EQ(row[x], level.pixel(x, 64 * 39 + 1)) << x;
}

struct SchemeCase {
  const char* name;
  int markerIndex;  // -1: a marker this program does not know
};

TEST(TiledReaderTest, SchemesThisReaderCannotReadAreProtectedImages) {
  const SchemeCase cases[] = {
      {"newer-scheme marker", 0}, {"scheme 3", 6}, {"scheme 3, second marker", 7}, {"scheme 4", 8}, {"unknown marker", -1}};
  testing::TempFolder folder;
  for (const SchemeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = folder / "protected.qtxx3";
    WriteFileBytes(path, BuildTiledFile(ThreeLevels(), Scrambled(c.markerIndex)).bytes);
    std::int32_t width = 5, height = 5, scheme = 0, mode = 0;
    EXPECT_FALSE(QueryRasterInfo(path, width, height, scheme, mode));
    EXPECT_EQ(scheme, 99);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(CheckRasterExtension(path), 2);
    RasterOpenResult failure = RasterOpenResult::FileMissing;
    EXPECT_EQ(OpenRaster(path, failure), nullptr);
    EXPECT_EQ(failure, RasterOpenResult::NotOpened);
    EXPECT_FALSE(DecodeTiledImage(path, 0).has_value());
  }
}

enum class Outcome {
  Throws,        // a damaged header: QuiltorError to the caller
  RefusedLoud,   // not this format, and the user is told
  RefusedQuiet,  // not this format, silently
  BadTile,       // opens; tile 1 fails and keeps its buffer
};

struct DamageCase {
  const char* name;
  Bytes bytes;
  Outcome outcome;
};

TEST(TiledReaderTest, DamagedFiles) {
  const TiledTestFile good = BuildTiledFile(ThreeLevels());
  const Bytes& g = good.bytes;
  const std::size_t offsets0 = good.levelHeaders[0] + 12 + 1024;  // tile offsets of level 0
  const auto with = [](Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
  };
  const auto cut = [&g](std::size_t keep) { return Bytes(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(keep)); };
  const auto storedTile1 = [](Bytes stored, std::uint16_t headerVersion = 1) {
    TiledTestOptions o;
    o.headerVersion = headerVersion;
    o.storedTiles[{0, 1}] = std::move(stored);
    return BuildTiledFile(ThreeLevels(), o).bytes;
  };
  Bytes shortStream(100, 7);
  shortStream = testing::tiled_test_detail::Deflate(shortStream);
  TiledTestOptions shortFiller = Scrambled(3);
  shortFiller.fillerLength = 149;
  TiledTestOptions headerVersion2 = Scrambled(3);
  headerVersion2.headerVersion = 2;

  const DamageCase cases[] = {
      {"empty", {}, Outcome::Throws},
      {"cut inside the file header", cut(9), Outcome::Throws},
      {"cut inside the info header", cut(30), Outcome::Throws},
      {"trailer cut off", cut(g.size() - 6), Outcome::Throws},
      {"cut inside the last level", cut(good.levelHeaders[2] + 20), Outcome::Throws},
      {"wrong magic", with(g, [](Bytes& b) { b[0] = 0x42; b[1] = 0x4D; }), Outcome::RefusedLoud},
      {"retired magic", with(g, [](Bytes& b) { b[0] = 0x79; }), Outcome::RefusedQuiet},
      {"scrambled header version 2", BuildTiledFile(ThreeLevels(), headerVersion2).bytes, Outcome::RefusedLoud},
      {"filler shorter than the key position", BuildTiledFile(ThreeLevels(), shortFiller).bytes, Outcome::RefusedLoud},
      {"2^31 pixels claimed", with(g, [](Bytes& b) { PutLe32(b, 18, 0x10000); PutLe32(b, 22, 0x8000); }), Outcome::Throws},
      {"2^31 pixels claimed by the level too", with(g, [&good](Bytes& b) {
         PutLe32(b, 18, 0x10000);
         PutLe32(b, 22, 0x8000);
         PutLe32(b, good.levelHeaders[0], 0x10000);
         PutLe32(b, good.levelHeaders[0] + 4, 0x8000);
         b[good.levelHeaders[0] + 8] = 0x01;  // tilesX 1025
         b[good.levelHeaders[0] + 9] = 0x04;
         b[good.levelHeaders[0] + 10] = 0x01;  // tilesY 513
         b[good.levelHeaders[0] + 11] = 0x02;
       }), Outcome::Throws},
      {"negative width", with(g, [](Bytes& b) { PutLe32(b, 18, 0xFFFFFF80); }), Outcome::Throws},
      {"level size differs from the header", with(g, [](Bytes& b) { PutLe32(b, 18, 129); }), Outcome::Throws},
      {"tile count does not fit the level", with(g, [&good](Bytes& b) { b[good.levelHeaders[0] + 8] = 2; }), Outcome::Throws},
      {"level-header table beyond the file", with(g, [](Bytes& b) { PutLe32(b, b.size() - 4, 0x7FFFFFF0); }), Outcome::Throws},
      {"level header beyond the file", with(g, [&good](Bytes& b) { PutLe32(b, good.tablePosition, 0x7FFFFFF0); }), Outcome::Throws},
      {"tile offset beyond the file", with(g, [offsets0](Bytes& b) { PutLe32(b, offsets0 + 8, 0x7FFFFFF0); }), Outcome::BadTile},
      {"tile offsets out of order", with(g, [offsets0, &g](Bytes& b) {
         PutLe32(b, offsets0 + 8, (g[offsets0 + 4] | (g[offsets0 + 5] << 8)) - 1);
       }), Outcome::BadTile},
      {"tile inflates to 100 bytes", storedTile1(shortStream), Outcome::BadTile},
      {"tile is not a zlib stream", storedTile1(Bytes(40, 0x5A)), Outcome::BadTile},
      {"empty tile", storedTile1({}), Outcome::BadTile},
      {"raw tile shorter than 4096 bytes", storedTile1(Bytes(4000, 3), 0), Outcome::BadTile},
      {"raw tile longer than 4096 bytes", storedTile1(Bytes(5000, 3), 0), Outcome::BadTile},
  };
  testing::TempFolder folder;
  const TiledTestLevel full = ThreeLevels()[0];
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = folder / "damaged.qtx2";
    WriteFileBytes(path, c.bytes);
    if (c.outcome == Outcome::Throws) {
      EXPECT_THROW(TiledReader::Open(path, true), QuiltorError);
      std::int32_t w, h, s, m;
      EXPECT_NO_THROW(EXPECT_FALSE(QueryRasterInfo(path, w, h, s, m)));
      continue;
    }
    TiledReader::Opening opening;
    ASSERT_NO_THROW(opening = TiledReader::Open(path, true));
    if (c.outcome != Outcome::BadTile) {
      EXPECT_EQ(opening.reader, nullptr);
      EXPECT_EQ(opening.status, TiledOpenStatus::Unrecognised);
      EXPECT_EQ(opening.message, c.outcome == Outcome::RefusedLoud ? "This qtxx3 format version is not recognised." : "");
      RasterOpenResult failure{};
      EXPECT_EQ(OpenRaster(path, failure), nullptr);
      EXPECT_EQ(failure, RasterOpenResult::NotOpened);
      continue;
    }
    ASSERT_NE(opening.reader, nullptr);
    TiledReader& reader = *opening.reader;
    std::uint8_t tile[4096];
    std::memset(tile, 0xAB, sizeof tile);
    EXPECT_FALSE(reader.DecodeTile(1, tile));
    EXPECT_EQ(std::count(tile, tile + 4096, 0xAB), 4096) << "a failed tile keeps what its buffer held";
    // The neighbours still read; the failed tile's columns stay unfilled.
    Bytes row(128, 0xCD);
    reader.ReadRow(10, row.data());
    for (int x = 0; x < 64; ++x) ASSERT_EQ(row[x], full.pixel(x, 10)) << x;
    for (int x = 64; x < 128; ++x) ASSERT_EQ(row[x], 0) << x;
    std::uint8_t bgr[3] = {9, 9, 9};
    EXPECT_NO_THROW(reader.FetchPixel(70, 10, bgr));
    const auto image = DecodeTiledImage(path, 0);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->row(10)[3], full.pixel(3, 10));
  }
}

}  // namespace
}  // namespace quiltor
