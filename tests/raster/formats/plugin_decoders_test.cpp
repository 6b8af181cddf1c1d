// The readers of the kinds decoded by outside libraries, over stand-in
// libraries built from the C files in standins/: pixels and rows against the
// pattern the stand-ins serve (including the partial last block column and
// row), both block caches' evictions, MrSID's strip of rows, the chart tile
// assembly and the ".hdr" tile folder, failing blocks and tiles, an outdated
// library, and the dispatch and thumbnails with the stand-ins on
// QUILTOR_PLUGIN_DIR.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "pipeline/thumbnail.h"
#include "raster/formats/plugin_readers.h"
#include "raster/raster_source.h"
#include "standin_image.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bgr = std::array<std::uint8_t, 3>;

const std::filesystem::path kStandins = QUILTOR_STANDIN_PLUGINS;
const std::filesystem::path kOutdated = QUILTOR_OUTDATED_PLUGINS;

void WriteStandin(const std::filesystem::path& path, int width, int height, int failColumn = -1, int failRow = -1) {
  std::ofstream(path) << "STANDIN " << width << ' ' << height << ' ' << failColumn << ' ' << failRow << '\n';
}

Bgr Pattern(int x, int y) {
  Bgr bgr;
  StandinPixel(x, y, bgr.data());
  return bgr;
}

Bgr Fetch(RasterReader& reader, int x, int y) {
  Bgr out{7, 7, 7};
  reader.FetchPixel(x, y, out.data());
  return out;
}


// A stand-in library, loaded from the build's stand-in folder alone.
template <typename Library>
Library Standin(std::optional<Library> (*load)(std::span<const std::filesystem::path>, PluginMissing&)) {
  PluginMissing missing;
  const std::vector<std::filesystem::path> folders{kStandins};
  std::optional<Library> library = load(folders, missing);
  EXPECT_TRUE(library) << missing.reason;
  return *library;
}

EcwLibrary Ecw() { return Standin(LoadEcwLibrary); }
MrSidLibrary MrSid() { return Standin(LoadMrSidLibrary); }
MaptechLibrary Maptech() { return Standin(LoadMaptechLibrary); }

struct EcwCounts {
  int opens = 0, closes = 0, sets = 0;
};

EcwCounts Counts(const EcwLibrary& library) {
  using CountsFn = void (*)(int*, int*, int*);
  EcwCounts c;
  reinterpret_cast<CountsFn>(library.library.Symbol("StandinEcwCounts"))(&c.opens, &c.closes, &c.sets);
  return c;
}

struct StripLoad {
  int count = 0;
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};

StripLoad LastLoad(const MrSidLibrary& library) {
  using LoadsFn = void (*)(int*, std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*);
  StripLoad s;
  reinterpret_cast<LoadsFn>(library.library.Symbol("StandinMrSidLoads"))(&s.count, &s.x, &s.y, &s.width, &s.height);
  return s;
}

// Points in every block kind of a 300 x 200 image: whole blocks, the partial
// last column (44 pixels) and row (72 rows), and their corner.
const std::vector<std::pair<int, int>> kProbePoints = {{0, 0},     {127, 127}, {128, 0},   {255, 127},
                                                       {256, 5},   {299, 0},   {10, 128},  {130, 199},
                                                       {299, 199}, {256, 128}, {200, 150}, {77, 33}};

// Row access and pixel access of a true-colour reader against the pattern.
void ExpectPattern(RasterReader& reader) {
  ASSERT_EQ(reader.pixelMode(), 3);
  for (const auto& [x, y] : kProbePoints) EXPECT_EQ(Fetch(reader, x, y), Pattern(x, y)) << x << "," << y;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(reader.width()) * 3);
  for (int y : {0, 127, 128, 150, 199}) {
    reader.ReadRow(y, row.data());
    for (int x = 0; x < reader.width(); ++x) {
      ASSERT_EQ((Bgr{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]}), Pattern(x, y)) << x << "," << y;
    }
  }
}

TEST(EcwReader, ServesPixelsAndRowsOfEveryBlockIncludingThePartialLastOnes) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.ecw", 300, 200);
  std::unique_ptr<RasterReader> reader = OpenEcwReader(Ecw(), dir / "a.ecw");
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->width(), 300);
  EXPECT_EQ(reader->height(), 200);
  ExpectPattern(*reader);
}

TEST(EcwReader, The257thBlockReopensTheViewAndFreesBlocksFromTheFirstUntil205Remain) {
  testing::TempFolder dir;
  // 18 x 17 blocks, every one a real block.
  WriteStandin(dir / "big.ecw", 17 * 128 + 50, 16 * 128 + 70);
  const EcwLibrary library = Ecw();
  std::unique_ptr<RasterReader> reader = OpenEcwReader(library, dir / "big.ecw");
  ASSERT_TRUE(reader);
  const auto fetchBlock = [&](int index) {
    const int x = index % 18 * 128 + 3, y = index / 18 * 128 + 4;
    EXPECT_EQ(Fetch(*reader, x, y), Pattern(x, y)) << "block " << index;
  };
  for (int index = 0; index < 256; ++index) fetchBlock(index);
  const EcwCounts full = Counts(library);
  fetchBlock(256);
  const EcwCounts after = Counts(library);
  EXPECT_EQ(after.closes, full.closes + 1);
  EXPECT_EQ(after.opens, full.opens + 1);
  EXPECT_EQ(after.sets, full.sets + 1);
  // Blocks 51..255 stayed (205 of them); 0..50 went.
  for (int kept : {51, 120, 255, 256}) fetchBlock(kept);
  EXPECT_EQ(Counts(library).sets, after.sets);
  fetchBlock(50);
  EXPECT_EQ(Counts(library).sets, after.sets + 1);
  fetchBlock(0);
  EXPECT_EQ(Counts(library).sets, after.sets + 2);
}

TEST(EcwReader, ABlockTheLibraryRefusesLeavesThePixelAndItsPartOfTheRowAsTheyWere) {
  testing::TempFolder dir;
  WriteStandin(dir / "f.ecw", 300, 200, 1, 0);
  std::unique_ptr<RasterReader> reader = OpenEcwReader(Ecw(), dir / "f.ecw");
  ASSERT_TRUE(reader);
  EXPECT_EQ(Fetch(*reader, 130, 5), (Bgr{7, 7, 7}));
  EXPECT_EQ(Fetch(*reader, 260, 5), Pattern(260, 5));
  std::vector<std::uint8_t> row(300 * 3, 9);
  reader->ReadRow(5, row.data());
  EXPECT_EQ((Bgr{row[127 * 3], row[127 * 3 + 1], row[127 * 3 + 2]}), Pattern(127, 5));
  EXPECT_EQ((Bgr{row[128 * 3], row[128 * 3 + 1], row[128 * 3 + 2]}), (Bgr{9, 9, 9}));
  EXPECT_EQ((Bgr{row[256 * 3], row[256 * 3 + 1], row[256 * 3 + 2]}), Pattern(256, 5));
}

TEST(EcwReader, ReleasingTheCachesClosesTheViewAndTheNextPixelReopensIt) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.ecw", 300, 200);
  const EcwLibrary library = Ecw();
  std::unique_ptr<RasterReader> reader = OpenEcwReader(library, dir / "a.ecw");
  ASSERT_TRUE(reader);
  Fetch(*reader, 1, 1);
  const EcwCounts before = Counts(library);
  reader->ReleaseCaches();
  EXPECT_EQ(Counts(library).closes, before.closes + 1);
  EXPECT_EQ(Fetch(*reader, 1, 1), Pattern(1, 1));
  EXPECT_EQ(Counts(library).opens, before.opens + 1);
  EXPECT_EQ(Counts(library).sets, before.sets + 1);
}

TEST(EcwReader, HeaderAndReducedWholeImage) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.ecw", 300, 200);
  std::ofstream(dir / "not.ecw") << "something else";
  const EcwLibrary library = Ecw();
  ImageInfo info;
  ASSERT_TRUE(QueryEcwInfo(library, dir / "a.ecw", info));
  EXPECT_EQ(info.width, 300);
  EXPECT_EQ(info.height, 200);
  EXPECT_EQ(info.pixelMode, 3);
  std::optional<Bitmap> reduced = DecodeEcwReduced(library, dir / "a.ecw", 4);
  ASSERT_TRUE(reduced);
  EXPECT_EQ(reduced->width(), 75);
  EXPECT_EQ(reduced->height(), 50);
  Bgr got;
  reduced->PixelBgr(74, 49, got.data());
  EXPECT_EQ(got, Pattern(296, 196));
  EXPECT_FALSE(QueryEcwInfo(library, dir / "not.ecw", info));
  EXPECT_FALSE(OpenEcwReader(library, dir / "not.ecw"));
}

TEST(MrSidReader, ServesPixelsAndRowsOfEveryBlockIncludingThePartialLastOnes) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.sid", 300, 200);
  std::unique_ptr<RasterReader> reader = OpenMrSidReader(MrSid(), dir / "a.sid");
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->width(), 300);
  EXPECT_EQ(reader->height(), 200);
  ExpectPattern(*reader);
}

TEST(MrSidReader, RowsComeFromAStripOfAHundredRowsStartingTwentyAboveTheRowAsked) {
  testing::TempFolder dir;
  WriteStandin(dir / "tall.sid", 50, 400);
  const MrSidLibrary library = MrSid();
  std::unique_ptr<RasterReader> reader = OpenMrSidReader(library, dir / "tall.sid");
  ASSERT_TRUE(reader);
  std::vector<std::uint8_t> row(50 * 3);
  struct Case {
    int row;
    bool loads;
    int first, rows;
  };
  const Case cases[] = {{150, true, 130, 100}, {130, false, 0, 0}, {229, false, 0, 0}, {129, true, 109, 100},
                        {390, true, 370, 30},  {399, false, 0, 0}, {0, true, 0, 100}};
  for (const Case& c : cases) {
    const int before = LastLoad(library).count;
    reader->ReadRow(c.row, row.data());
    const StripLoad load = LastLoad(library);
    EXPECT_EQ(load.count, before + (c.loads ? 1 : 0)) << "row " << c.row;
    if (c.loads) {
      EXPECT_EQ((std::array{load.x, load.y, load.width, load.height}), (std::array{0, c.first, 50, c.rows}));
    }
    EXPECT_EQ((Bgr{row[147], row[148], row[149]}), Pattern(49, c.row)) << "row " << c.row;
  }
}

TEST(MrSidReader, AFullBlockCacheDropsTheOldestLoadsUntil480Remain) {
  testing::TempFolder dir;
  // 24 x 24 blocks.
  WriteStandin(dir / "big.sid", 3000, 3000);
  const MrSidLibrary library = MrSid();
  std::unique_ptr<RasterReader> reader = OpenMrSidReader(library, dir / "big.sid");
  ASSERT_TRUE(reader);
  const auto fetchBlock = [&](int index) {
    const int x = index % 24 * 128 + 9, y = index / 24 * 128 + 2;
    EXPECT_EQ(Fetch(*reader, x, y), Pattern(x, y)) << "block " << index;
  };
  // Loaded last index first, so that the oldest are the highest indices.
  for (int index = 532; index >= 0; --index) fetchBlock(index);
  const int full = LastLoad(library).count;
  fetchBlock(533);
  EXPECT_EQ(LastLoad(library).count, full + 1);
  for (int kept : {0, 300, 479, 533}) fetchBlock(kept);
  EXPECT_EQ(LastLoad(library).count, full + 1);
  fetchBlock(480);
  EXPECT_EQ(LastLoad(library).count, full + 2);
  fetchBlock(532);
  EXPECT_EQ(LastLoad(library).count, full + 3);
}

TEST(MrSidReader, ABlockTheLibraryFailsOnLeavesThePixelAndIsAskedForAgain) {
  testing::TempFolder dir;
  WriteStandin(dir / "f.sid", 300, 200, 2, 1);
  const MrSidLibrary library = MrSid();
  std::unique_ptr<RasterReader> reader = OpenMrSidReader(library, dir / "f.sid");
  ASSERT_TRUE(reader);
  EXPECT_EQ(Fetch(*reader, 280, 150), (Bgr{7, 7, 7}));
  const int after = LastLoad(library).count;
  EXPECT_EQ(Fetch(*reader, 281, 151), (Bgr{7, 7, 7}));
  EXPECT_EQ(LastLoad(library).count, after + 1);
  EXPECT_EQ(Fetch(*reader, 10, 150), Pattern(10, 150));
}

TEST(MrSidReader, HeaderAndWholeImageAtALevel) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.sid", 300, 200);
  const MrSidLibrary library = MrSid();
  ImageInfo info;
  ASSERT_TRUE(QueryMrSidInfo(library, dir / "a.sid", info));
  EXPECT_EQ((std::array{info.width, info.height, info.pixelMode}), (std::array{300, 200, 3}));
  std::optional<Bitmap> level2 = DecodeMrSidLevel(library, dir / "a.sid", 2);
  ASSERT_TRUE(level2);
  EXPECT_EQ(level2->width(), 75);
  EXPECT_EQ(level2->height(), 50);
  Bgr got;
  level2->PixelBgr(10, 49, got.data());
  EXPECT_EQ(got, Pattern(40, 196));
}

TEST(PluginLibrary, ALibraryLackingOneEntryPointCountsAsMissing) {
  PluginMissing missing;
  const std::vector<std::filesystem::path> outdated{kOutdated};
  EXPECT_FALSE(LoadMrSidLibrary(outdated, missing));
  EXPECT_EQ(missing.lackedEntry, "_OpenMrSid2");
  EXPECT_EQ(missing.reason, "it lacks the entry point \"_OpenMrSid2\"");

  testing::TempFolder empty;
  const std::vector<std::filesystem::path> none{empty.path()};
  EXPECT_FALSE(LoadEcwLibrary(none, missing));
  EXPECT_TRUE(missing.lackedEntry.empty());
  EXPECT_EQ(missing.reason, "looked in " + empty.path().string() + ", and the system's library path");
}

// --- Maptech charts ----------------------------------------------------------

std::uint8_t ChartIndex(int x, int y) { return StandinChartIndex(x, y); }

void ExpectChart(const Bitmap& image, int columns, int rows, const Palette& palette) {
  ASSERT_EQ(image.width(), columns * 640);
  ASSERT_EQ(image.height(), rows * 480);
  ASSERT_EQ(image.bitsPerPixel(), 8);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(image.palette()[i], palette[i]) << "colour " << i;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.row(y)[x], ChartIndex(x, y)) << x << "," << y;
  }
}

// The stand-in's colours in the bitmap's order (blue, green, red).
Palette StandinPalette() {
  Palette palette{};
  for (int i = 0; i < 16; ++i) {
    std::uint8_t rgb[3];
    StandinChartColour(i, rgb);
    palette[i] = Rgbquad{rgb[2], rgb[1], rgb[0], 0};
  }
  return palette;
}

// A ".hdr" tile file: a PCX header whose colours are the stand-in's in
// reverse order, then the tile's column and row.
void WriteHdrTile(const std::filesystem::path& path, int column, int row) {
  std::vector<char> bytes(68, 0);
  for (int i = 0; i < 16; ++i) {
    std::uint8_t rgb[3];
    StandinChartColour(15 - i, rgb);
    for (int k = 0; k < 3; ++k) bytes[16 + i * 3 + k] = static_cast<char>(rgb[k]);
  }
  bytes[66] = static_cast<char>(column);
  bytes[67] = static_cast<char>(row);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Palette ReversedStandinPalette() {
  const Palette forward = StandinPalette();
  Palette palette{};
  for (int i = 0; i < 16; ++i) palette[i] = forward[15 - i];
  return palette;
}

TEST(MaptechReader, AnRmlChartIsItsTilesTopRowFirstWithRedAndBlueExchangedInItsColours) {
  testing::TempFolder dir;
  WriteStandin(dir / "chart.rml", 3, 2);
  const MaptechLibrary library = Maptech();
  std::optional<Bitmap> image = DecodeMaptech(library, dir / "chart.rml");
  ASSERT_TRUE(image);
  ExpectChart(*image, 3, 2, StandinPalette());
  ImageInfo info;
  ASSERT_TRUE(QueryMaptechInfo(library, dir / "chart.rml", info));
  EXPECT_EQ((std::array{info.width, info.height, info.pixelMode}), (std::array{1920, 960, 1}));
}

TEST(MaptechReader, AnHdrChartReadsItsTilesBesideItOrInTheChartFolderBesideTheHeaders) {
  testing::TempFolder dir;
  // Beside: X.A01 next to X.hdr.
  WriteStandin(dir / "X.hdr", 2, 2);
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 2; ++column) WriteHdrTile(dir / MaptechTileName("X", column, row), column, row);
  const MaptechLibrary library = Maptech();
  std::optional<Bitmap> beside = DecodeMaptech(library, dir / "X.hdr");
  ASSERT_TRUE(beside);
  ExpectChart(*beside, 2, 2, ReversedStandinPalette());

  // Elsewhere: CHARTS/HEADERS/Y.hdr with its tiles in CHARTS/Y/.
  std::filesystem::create_directories(dir / "CHARTS" / "HEADERS");
  std::filesystem::create_directories(dir / "CHARTS" / "Y");
  WriteStandin(dir / "CHARTS" / "HEADERS" / "Y.hdr", 2, 1);
  for (int column = 0; column < 2; ++column) WriteHdrTile(dir / "CHARTS" / "Y" / MaptechTileName("Y", column, 0), column, 0);
  EXPECT_EQ(HdrTileFolder(dir / "CHARTS" / "HEADERS" / "Y.hdr"), dir / "CHARTS" / "Y");
  std::optional<Bitmap> apart = DecodeMaptech(library, dir / "CHARTS" / "HEADERS" / "Y.hdr");
  ASSERT_TRUE(apart);
  ExpectChart(*apart, 2, 1, ReversedStandinPalette());
}

TEST(MaptechReader, TileFolderAndTileNames) {
  EXPECT_EQ(HdrTileFolder("/maps/CHARTS/HEADERS/X.hdr"), std::filesystem::path("/maps/CHARTS/X"));
  EXPECT_EQ(HdrTileFolder("/c/HEADERS/Z.HDR"), std::filesystem::path("/c/Z"));
  // Too short a folder to cut: the chart's folder name alone.
  EXPECT_EQ(HdrTileFolder("/ab/X.hdr"), std::filesystem::path("X"));
  struct Case {
    int column, row;
    const char* name;
  };
  for (const Case& c : {Case{0, 0, "X.A01"}, Case{1, 0, "X.B01"}, Case{0, 8, "X.A09"}, Case{2, 9, "X.C10"},
                        Case{25, 41, "X.Z42"}}) {
    EXPECT_EQ(MaptechTileName("X", c.column, c.row), c.name);
  }
}

TEST(MaptechReader, ALostTileOrANonChartFailsTheImage) {
  testing::TempFolder dir;
  WriteStandin(dir / "lost.rml", 2, 2, 1, 1);
  WriteStandin(dir / "gap.hdr", 2, 1);
  WriteHdrTile(dir / "gap.A01", 0, 0);  // gap.B01 is missing
  std::ofstream(dir / "short.hdr") << "STANDIN 1 1";
  WriteHdrTile(dir / "short.A01", 0, 0);
  std::filesystem::resize_file(dir / "short.A01", 67);  // the tile's own bytes cut off
  std::ofstream(dir / "none.rml") << "not a chart";
  const MaptechLibrary library = Maptech();
  for (const char* name : {"lost.rml", "gap.hdr", "short.hdr", "none.rml"}) {
    EXPECT_FALSE(DecodeMaptech(library, dir / name)) << name;
  }
  ImageInfo info;
  EXPECT_FALSE(QueryMaptechInfo(library, dir / "none.rml", info));
}

// --- through the table, with the stand-ins on QUILTOR_PLUGIN_DIR -----------

TEST(PluginDispatch, EveryPluginKindOpensQueriesAndIsAMapImage) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.ecw", 300, 200);
  WriteStandin(dir / "a.sid", 300, 200);
  WriteStandin(dir / "a.rml", 1, 1);
  WriteStandin(dir / "b.hdr", 1, 1);
  WriteHdrTile(dir / "b.A01", 0, 0);
  for (const char* name : {"a.ecw", "a.sid", "a.rml", "b.hdr"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(CheckRasterExtension(dir / name), 0);
    std::int32_t w = 0, h = 0, mode = 0;
    ASSERT_TRUE(QueryRasterInfo(dir / name, w, h, mode));
    std::unique_ptr<RasterSource> source = OpenRaster(dir / name);
    ASSERT_TRUE(source);
    EXPECT_EQ((std::array{source->width(), source->height(), source->pixelMode()}), (std::array{w, h, mode}));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * static_cast<std::size_t>(mode), 0);
    ReadRasterLine(source.get(), 150, row.data());
    Bgr pixel{};
    source->FetchPixel(257, 150, pixel.data());
    if (mode == 3) {
      EXPECT_EQ(pixel, Pattern(257, 150));
      EXPECT_EQ((Bgr{row[257 * 3], row[257 * 3 + 1], row[257 * 3 + 2]}), Pattern(257, 150));
    } else {
      EXPECT_EQ(row[257], ChartIndex(257, 150));
    }
  }
}

TEST(PluginDispatch, ThumbnailsOfEveryPluginKind) {
  testing::TempFolder dir;
  WriteStandin(dir / "a.ecw", 2000, 1000);
  WriteStandin(dir / "a.sid", 3000, 1500);
  WriteStandin(dir / "a.rml", 3, 2);
  struct Case {
    const char* name;
    double scale;
  };
  for (const Case& c : {Case{"a.ecw", 20}, Case{"a.sid", 30}, Case{"a.rml", 19.2}}) {
    SCOPED_TRACE(c.name);
    std::optional<Thumbnail> thumb = MakeThumbnail((dir / c.name).string(), 100, 50);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->bitmap.width(), 100);
    EXPECT_EQ(thumb->bitmap.height(), 50);
    EXPECT_EQ(thumb->pixelMode, 3);
    EXPECT_DOUBLE_EQ(thumb->scale, c.scale);
  }
  // The ECW reduction by 20 is exactly the thumbnail: no resampling blurs it.
  std::optional<Thumbnail> ecw = MakeThumbnail((dir / "a.ecw").string(), 100, 50);
  Bgr got;
  ecw->bitmap.PixelBgr(33, 17, got.data());
  EXPECT_EQ(got, Pattern(660, 340));
}

}  // namespace
}  // namespace quiltor
