// The one dispatch that opens every image: the extension alone chooses the
// reader, the three failure codes, refusals with words for the user, the map
// image check, and pixel access agreeing with row access on every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "raster/pnm_pattern.h"
#include "raster/raster_source.h"
#include "raster/tiled_test_writer.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RasterFixture;
using testing::ReadFixture;

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A 5 x 2 chart with 3-bit colours: text header, Ctrl-Z, two run-coded
// rows, the big-endian row index and its position.
Bytes SmallChart() {
  const std::string header =
      "VER/3.0\r\nBSB/NA=Small,RA=5,3\r\nIFM/3\r\nRGB/1,200,0,0\r\nRGB/2,0,150,0\r\nRGB/3,0,0,100\r\n";
  Bytes out(header.begin(), header.end());
  out.push_back(0x1A);
  out.push_back(0);
  std::vector<std::uint32_t> rows;
  // Run byte: colour in bits 6..4, run length - 1 in bits 3..0.
  const std::vector<Bytes> encoded = {{1, 0x11, 0x22, 0x00}, {2, 0x31, 0x10, 0x21, 0x00}};
  for (const Bytes& row : encoded) {
    rows.push_back(static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), row.begin(), row.end());
  }
  const auto indexAt = static_cast<std::uint32_t>(out.size());
  rows.push_back(indexAt);
  for (std::uint32_t p : rows) PutBe32(out, p);
  PutBe32(out, indexAt);
  return out;
}

class DispatchTest : public ::testing::Test {
 protected:
  std::filesystem::path Put(const Bytes& bytes, const std::string& name) {
    const auto path = folder_ / name;
    testing::WriteFileBytes(path, bytes);
    return path;
  }
  std::filesystem::path Copy(const std::string& fixture, const std::string& name) { return Put(ReadFixture(fixture), name); }
  std::filesystem::path Tiled(const std::string& name, bool scrambled) {
    testing::TiledTestOptions options;
    options.scrambled = scrambled;
    return Put(testing::BuildTiledFile({testing::PatternLevel(70, 66, 5), testing::PatternLevel(35, 33, 6)}, options).bytes,
               name);
  }
  testing::TempFolder folder_;
};

struct OpenCase {
  const char* name;
  std::filesystem::path path;
  bool opens;
  RasterOpenResult failure;  // when it does not open
  const char* kind;          // when it opens: the lower-case extension
  int pixelMode;
  const char* refusal;
};

TEST_F(DispatchTest, TheExtensionAloneChoosesTheReader) {
  std::filesystem::create_directories(folder_ / "folder.png");
  Bytes wrongTiledMagic = testing::BuildTiledFile({testing::PatternLevel(10, 10, 0)}).bytes;
  wrongTiledMagic[0] = 0;
  using R = RasterOpenResult;
  const OpenCase cases[] = {
      {"PNG", Copy("png-rgb.png", "a.png"), true, {}, ".png", 3, ""},
      {"PNG, upper-case extension", Copy("png-rgb.png", "b.PNG"), true, {}, ".png", 3, ""},
      {"4-bit BMP widened to 8 bits", Copy("bmp-4bit.bmp", "c.bmp"), true, {}, ".bmp", 1, ""},
      {"JPEG", Copy("jpeg-colour.jpg", "d.jpg"), true, {}, ".jpg", 1, ""},
      {"JPEG, upper-case extension", Copy("jpeg-colour.jpg", "e.JPG"), true, {}, ".jpg", 1, ""},
      {"TIFF, upper-case extension", Copy("tiff-rgb-strips.tif", "f.TIF"), true, {}, ".tif", 3, ""},
      {"tiled file read whole", Tiled("g.qtx", false), true, {}, ".qtx", 1, ""},
      {"PNG named .bmp", Copy("png-rgb.png", "h.bmp"), false, R::NotDecoded, "", 0, ""},
      {"BMP named .gif", Copy("bmp-8bit.bmp", "i.gif"), false, R::NotDecoded, "", 0, ""},
      {"BMP named .jpg", Copy("bmp-8bit.bmp", "j.jpg"), false, R::NotDecoded, "", 0, ""},
      {"GIF named .tif", Copy("gif-plain.gif", "k.tif"), false, R::NotOpened, "", 0, ""},
      {"PNG named .qtx2", Copy("png-rgb.png", "k.qtx2"), false, R::NotOpened, "", 0,
       "This qtxx3 format version is not recognised."},
      {"PNG named .txt", Copy("png-rgb.png", "l.txt"), false, R::NotOpened, "", 0, ""},
      {"PNG without extension", Copy("png-rgb.png", "m"), false, R::NotOpened, "", 0, ""},
      {"no decoder in this build", Copy("png-rgb.png", "n.ecw"), false, R::NotOpened, "", 0, ""},
      {"TIFF libtiff refuses", Put(Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F}, "o.tif"), false, R::NotOpened, "", 0, ""},
      {"TIFF layout the reader does not unpack", Copy("tiff-rgb-planar.tif", "p.tif"), false, R::NotOpened, "", 0,
       "This TIF format is not supported"},
      {"tiled file of another format version", Put(wrongTiledMagic, "q.qtx2"), false, R::NotOpened, "", 0,
       "This qtxx3 format version is not recognised."},
      {"no such file", folder_ / "missing.png", false, R::FileMissing, "", 0, ""},
      {"a folder, not a file", folder_ / "folder.png", false, R::FileMissing, "", 0, ""},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    RasterOpenResult failure = c.opens ? RasterOpenResult::FileMissing : RasterOpenResult::NotOpened;
    std::string refusal = "left over";
    std::unique_ptr<RasterSource> source;
    ASSERT_NO_THROW(source = OpenRaster(c.path, failure, refusal));
    EXPECT_EQ(refusal, c.refusal);
    if (!c.opens) {
      EXPECT_EQ(source, nullptr);
      EXPECT_EQ(failure, c.failure);
      continue;
    }
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->kind(), c.kind);
    // Only TIFF among these is streamed; the others are decoded whole.
    EXPECT_EQ(source->decodedWhole(), std::string(c.kind) != ".tif");
    EXPECT_EQ(source->pixelMode(), c.pixelMode);
    EXPECT_EQ(source->fileName(), c.path);
    CloseRaster(source);
    EXPECT_EQ(source, nullptr);
  }
  // Extensions differing only in case decode alike.
  auto lower = OpenRaster(folder_ / "d.jpg");
  auto upper = OpenRaster(folder_ / "e.JPG");
  ASSERT_NE(lower, nullptr);
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(lower->palette(), upper->palette());
  Bytes a(40), b(40);
  ReadRasterLine(lower.get(), 29, a.data());
  ReadRasterLine(upper.get(), 29, b.data());
  EXPECT_EQ(a, b);
}

// A second entry claiming an extension would never be reached, and an
// extension not in lower case with its dot never matches a kind.
TEST(FormatTable, EveryExtensionBelongsToOneEntry) {
  std::vector<std::string_view> seen;
  for (const RasterFormat* format : RasterFormats()) {
    ASSERT_FALSE(format->extensions.empty());
    for (std::string_view extension : format->extensions) {
      EXPECT_EQ(RasterKind(std::string("a") + std::string(extension)), extension);
      EXPECT_EQ(std::count(seen.begin(), seen.end(), extension), 0) << extension;
      seen.push_back(extension);
      EXPECT_EQ(FindRasterFormat(extension), format) << extension;
    }
  }
  EXPECT_EQ(FindRasterFormat(".jpeg"), nullptr);
  EXPECT_EQ(FindRasterFormat(""), nullptr);
}

TEST_F(DispatchTest, MapImageExtensions) {
  Bytes unknownScheme;
  {
    testing::TiledTestOptions options;
    options.scrambled = true;
    options.markerIndex = -1;
    unknownScheme = testing::BuildTiledFile({testing::PatternLevel(10, 10, 0)}, options).bytes;
  }
  const struct {
    std::filesystem::path path;
    int answer;
  } cases[] = {
      {"a.bmp", 0},  {"a.JPG", 0},  {"a.qtx", 0},  {"a.qtx2", 0},
      {"a.png", 0},  {"a.kap", 0},  {"a.NOS", 0},  {"a.tif", 0},  {"a.gif", 0},
      // Their decoder libraries are not on this binary's search path.
      {"a.hdr", 1},  {"a.RML", 1},  {"a.sid", 1},  {"a.ecw", 1},
      {"a.tiff", 1}, {"a.jpeg", 1}, {"a.qtx0", 1}, {"a.qtxx0", 1}, {"a.txt", 1}, {"a", 1},     {"a.map", 1},
      {Tiled("plain.qtxx3", false), 0},
      {Tiled("scrambled.qtxx3", true), 0},
      {Put(unknownScheme, "protected.qtxx3"), 2},
      {Put(unknownScheme, "protected.QTXX3"), 2},
      {folder_ / "missing.qtxx3", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckRasterExtension(c.path), c.answer) << c.path;
}

// Every kind: each pixel fetched equals the pixel of its row, rows and
// pixels outside the image leave the caller's bytes alone, the header query
// agrees with the opened source, and dropped caches are refilled alike.
TEST_F(DispatchTest, PixelsAgreeWithRowsOnEveryKind) {
  const std::filesystem::path paths[] = {
      Copy("bmp-8bit.bmp", "a.bmp"),
      Copy("bmp-24bit.bmp", "b.bmp"),
      Copy("png-palette8.png", "c.png"),
      Copy("png-rgba.png", "d.png"),
      Copy("gif-interlaced.gif", "e.gif"),
      Copy("jpeg-grey.jpg", "f.jpg"),
      Copy("tiff-palette-lzw.tif", "g.tif"),
      Copy("tiff-rgb-tiles-deflate.tif", "h.tif"),
      Copy("tiff-bw-miniswhite.tif", "i.tif"),
      Put(SmallChart(), "j.kap"),
      Tiled("l.qtx2", false),
      Tiled("m.qtxx3", true),
      Tiled("n.qtx", false),
  };
  for (const auto& path : paths) {
    SCOPED_TRACE(path.filename().string());
    RasterOpenResult failure{};
    auto source = OpenRaster(path, failure);
    ASSERT_NE(source, nullptr);
    const int width = source->width();
    const int height = source->height();
    const int mode = source->pixelMode();
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    std::int32_t qw = 0, qh = 0, qmode = 0;
    EXPECT_TRUE(QueryRasterInfo(path, qw, qh, qmode));
    EXPECT_EQ(qw, width);
    EXPECT_EQ(qh, height);
    EXPECT_EQ(qmode, mode);
    const auto allRows = [&] {
      Bytes all(static_cast<std::size_t>(width) * mode * height);
      for (int y = 0; y < height; ++y) ReadRasterLine(source.get(), y, all.data() + static_cast<std::size_t>(y) * width * mode);
      return all;
    };
    const Bytes rows = allRows();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t bgr[3];
        source->FetchPixel(x, y, bgr);
        const std::uint8_t* p = rows.data() + (static_cast<std::size_t>(y) * width + x) * mode;
        const Rgbquad expected = mode == 1 ? source->palette()[p[0]] : Rgbquad{p[0], p[1], p[2], 0};
        ASSERT_EQ(bgr[0], expected.blue) << x << "," << y;
        ASSERT_EQ(bgr[1], expected.green) << x << "," << y;
        ASSERT_EQ(bgr[2], expected.red) << x << "," << y;
      }
    }
    std::uint8_t out[3] = {7, 8, 9};
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {width, 0}, {0, height}}) source->FetchPixel(x, y, out);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{7, 8, 9}));
    Bytes untouched(static_cast<std::size_t>(width) * mode, 0xEE);
    ReadRasterLine(source.get(), -1, untouched.data());
    ReadRasterLine(source.get(), height, untouched.data());
    EXPECT_EQ(untouched, Bytes(untouched.size(), 0xEE));

    ReleaseRasterCaches(source.get());
    EXPECT_EQ(allRows(), rows);
  }
  ReleaseRasterCaches(nullptr);
  ReadRasterLine(nullptr, 0, nullptr);
}

TEST_F(DispatchTest, ChartRowsAndPalette) {
  // The hand-coded runs of SmallChart: the last "RA=" row is never decoded.
  auto chart = OpenRaster(Put(SmallChart(), "chart.kap"));
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->width(), 5);
  EXPECT_EQ(chart->height(), 2);
  Bytes row(5);
  ReadRasterLine(chart.get(), 0, row.data());
  EXPECT_EQ(row, (Bytes{1, 1, 2, 2, 2}));
  ReadRasterLine(chart.get(), 1, row.data());
  EXPECT_EQ(row, (Bytes{3, 3, 1, 2, 2}));
  EXPECT_EQ(chart->palette()[3], (Rgbquad{100, 0, 0, 0}));
  EXPECT_EQ(chart->palette()[0], (Rgbquad{0, 0, 0, 0}));
}

}  // namespace
}  // namespace quiltor
