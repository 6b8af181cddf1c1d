// Every reader against files made by independent encoders: the decoded
// pixels must be the pattern the encoder was given (exactly for lossless
// formats, closely for JPEG).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "raster/formats/format_readers.h"
#include "raster/pnm_pattern.h"

namespace quiltor {
namespace {

using testing::LoadPattern;
using testing::Pattern;
using testing::RasterFixture;

struct PixelErrors {
  int worst = 0;
  double mean = 0;
};

// Compares what `pixelAt` yields (blue, green, red) with the pattern.
PixelErrors Compare(const Pattern& pattern, const std::function<void(int, int, std::uint8_t*)>& pixelAt) {
  PixelErrors errors;
  double sum = 0;
  for (int y = 0; y < pattern.height; ++y) {
    for (int x = 0; x < pattern.width; ++x) {
      std::uint8_t bgr[3];
      pixelAt(x, y, bgr);
      const auto& want = pattern.at(x, y);
      for (int d : {std::abs(bgr[0] - want.blue), std::abs(bgr[1] - want.green), std::abs(bgr[2] - want.red)}) {
        errors.worst = std::max(errors.worst, d);
        sum += d;
      }
    }
  }
  errors.mean = sum / (3.0 * pattern.width * pattern.height);
  return errors;
}

struct WholeImageCase {
  const char* file;
  const char* pattern;
  int bitsPerPixel;
  int worstError;
  double meanError;
};

std::optional<Bitmap> DecodeByExtension(const std::string& file) {
  const auto path = RasterFixture(file);
  const std::string ext = path.extension().string();
  if (ext == ".bmp") return DecodeBmp(path);
  if (ext == ".png") return DecodePng(path);
  if (ext == ".gif") return DecodeGif(path);
  return DecodeJpeg(path);
}

class WholeImageFixture : public ::testing::TestWithParam<WholeImageCase> {};

TEST_P(WholeImageFixture, DecodesTheEncodersPattern) {
  const WholeImageCase& c = GetParam();
  const Pattern pattern = LoadPattern(c.pattern);
  const auto bitmap = DecodeByExtension(c.file);
  ASSERT_TRUE(bitmap.has_value()) << c.file;
  ASSERT_EQ(bitmap->width(), pattern.width);
  ASSERT_EQ(bitmap->height(), pattern.height);
  EXPECT_EQ(bitmap->bitsPerPixel(), c.bitsPerPixel);
  const PixelErrors errors = Compare(pattern, [&](int x, int y, std::uint8_t* out) { bitmap->PixelBgr(x, y, out); });
  EXPECT_LE(errors.worst, c.worstError) << c.file;
  EXPECT_LE(errors.mean, c.meanError) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WholeImageFixture,
    ::testing::Values(
        WholeImageCase{"bmp-1bit.bmp", "bw.pgm", 8, 0, 0}, WholeImageCase{"bmp-4bit.bmp", "pal16.ppm", 8, 0, 0},
        WholeImageCase{"bmp-8bit.bmp", "pal37.ppm", 8, 0, 0}, WholeImageCase{"bmp-rle8.bmp", "pal37.ppm", 8, 0, 0},
        WholeImageCase{"bmp-24bit.bmp", "rgb.ppm", 24, 0, 0},
        WholeImageCase{"bmp-24bit-topdown.bmp", "rgb.ppm", 24, 0, 0},
        // 5 or 6 bits per channel: within one quantisation step of the source.
        WholeImageCase{"bmp-16bit-555.bmp", "rgb.ppm", 24, 8, 5}, WholeImageCase{"bmp-16bit-565.bmp", "rgb.ppm", 24, 8, 5},
        WholeImageCase{"bmp-32bit.bmp", "rgb.ppm", 24, 0, 0}, WholeImageCase{"gif-plain.gif", "pal37.ppm", 8, 0, 0},
        WholeImageCase{"gif-interlaced.gif", "pal37.ppm", 8, 0, 0},
        WholeImageCase{"png-palette8.png", "pal37.ppm", 8, 0, 0},
        WholeImageCase{"png-palette4.png", "pal16.ppm", 8, 0, 0}, WholeImageCase{"png-grey1.png", "bw.pgm", 8, 0, 0},
        WholeImageCase{"png-grey2.png", "grey2.pgm", 8, 0, 0}, WholeImageCase{"png-grey4.png", "grey4.pgm", 8, 0, 0},
        WholeImageCase{"png-grey8.png", "grey8.pgm", 8, 0, 0}, WholeImageCase{"png-grey16.png", "grey8.pgm", 8, 0, 0},
        WholeImageCase{"png-greyalpha.png", "grey8.pgm", 8, 0, 0}, WholeImageCase{"png-rgb.png", "rgb.ppm", 24, 0, 0},
        WholeImageCase{"png-rgba.png", "rgb.ppm", 24, 0, 0}, WholeImageCase{"png-rgb16.png", "rgb.ppm", 24, 0, 0},
        WholeImageCase{"png-rgb-interlaced.png", "rgb.ppm", 24, 0, 0},
        WholeImageCase{"jpeg-colour.jpg", "blocks.ppm", 8, 12, 2},
        WholeImageCase{"jpeg-grey.jpg", "greyblocks.pgm", 8, 8, 2}));

TEST(WholeImageFixture, GreyJpegPaletteIsGrey) {
  const auto bitmap = DecodeJpeg(RasterFixture("jpeg-grey.jpg"));
  ASSERT_TRUE(bitmap.has_value());
  for (const Rgbquad& q : bitmap->palette()) {
    EXPECT_EQ(q.red, q.green);
    EXPECT_EQ(q.green, q.blue);
  }
}

struct TiffCase {
  const char* file;
  const char* pattern;
  int pixelMode;
  int worstError;
  double meanError;
};

class TiffFixture : public ::testing::TestWithParam<TiffCase> {};

// Rows (through the palette when indexed) and single pixels must both give
// the pattern, whatever the strip or tile layout.
TEST_P(TiffFixture, RowsAndPixelsGiveTheEncodersPattern) {
  const TiffCase& c = GetParam();
  const Pattern pattern = LoadPattern(c.pattern);
  const auto reader = OpenTiffReader(RasterFixture(c.file));
  ASSERT_NE(reader, nullptr) << c.file;
  ASSERT_EQ(reader->width(), pattern.width);
  ASSERT_EQ(reader->height(), pattern.height);
  ASSERT_EQ(reader->pixelMode(), c.pixelMode);
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(pattern.width * pattern.height * c.pixelMode));
  for (int y = 0; y < pattern.height; ++y) {
    reader->ReadRow(y, rows.data() + static_cast<std::size_t>(y) * pattern.width * c.pixelMode);
  }
  const PixelErrors fromRows = Compare(pattern, [&](int x, int y, std::uint8_t* out) {
    const std::uint8_t* p = rows.data() + (static_cast<std::size_t>(y) * pattern.width + x) * c.pixelMode;
    if (c.pixelMode == 3) {
      std::copy_n(p, 3, out);
    } else {
      const Rgbquad& q = reader->palette()[*p];
      out[0] = q.blue;
      out[1] = q.green;
      out[2] = q.red;
    }
  });
  EXPECT_LE(fromRows.worst, c.worstError);
  EXPECT_LE(fromRows.mean, c.meanError);
  reader->ReleaseCaches();
  const PixelErrors fromPixels = Compare(pattern, [&](int x, int y, std::uint8_t* out) { reader->FetchPixel(x, y, out); });
  EXPECT_EQ(fromPixels.worst, fromRows.worst);

  ImageInfo info;
  ASSERT_TRUE(QueryTiffInfo(RasterFixture(c.file), info));
  EXPECT_EQ(info.width, pattern.width);
  EXPECT_EQ(info.height, pattern.height);
  EXPECT_EQ(info.pixelMode, c.pixelMode);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffFixture,
    ::testing::Values(TiffCase{"tiff-rgb-strips.tif", "rgb.ppm", 3, 0, 0}, TiffCase{"tiff-rgb-lzw.tif", "rgb.ppm", 3, 0, 0},
                      TiffCase{"tiff-rgb-tiles-deflate.tif", "rgb.ppm", 3, 0, 0},
                      TiffCase{"tiff-rgba-strips.tif", "rgb.ppm", 3, 0, 0},
                      TiffCase{"tiff-rgba-tiles.tif", "rgb.ppm", 3, 0, 0},
                      TiffCase{"tiff-palette-lzw.tif", "pal37.ppm", 1, 0, 0},
                      TiffCase{"tiff-palette-tiles.tif", "pal37.ppm", 1, 0, 0},
                      TiffCase{"tiff-grey8-deflate.tif", "grey8.pgm", 1, 0, 0},
                      TiffCase{"tiff-grey4.tif", "grey4.pgm", 1, 0, 0},
                      // 0 bits are white in a MinIsWhite file.
                      TiffCase{"tiff-bw-miniswhite.tif", "bw.pgm", 1, 0, 0},
                      // 2x2 chroma subsampling blurs the block edges.
                      TiffCase{"tiff-blocks-jpeg.tif", "blocks.ppm", 3, 140, 8}));

TEST(TiffFixture, SeparatePlanesAreRefusedWithTheMessage) {
  try {
    OpenTiffReader(RasterFixture("tiff-rgb-planar.tif"));
    FAIL() << "a planar TIFF must not open";
  } catch (const QuiltorError& error) {
    EXPECT_STREQ(error.what(), "This TIF format is not supported");
  }
}

struct InfoCase {
  const char* file;
  bool (*query)(const std::filesystem::path&, ImageInfo&);
  int pixelMode;
};

TEST(HeaderQuery, ReportsSizeAndPixelMode) {
  const InfoCase cases[] = {
      {"bmp-4bit.bmp", QueryBmpInfo, 1},       {"bmp-24bit-topdown.bmp", QueryBmpInfo, 3},
      {"bmp-16bit-565.bmp", QueryBmpInfo, 3},  {"png-palette8.png", QueryPngInfo, 1},
      {"png-rgba.png", QueryPngInfo, 3},       {"gif-interlaced.gif", QueryGifInfo, 1},
      {"jpeg-colour.jpg", QueryJpegInfo, 1},   {"jpeg-grey.jpg", QueryJpegInfo, 1},
  };
  for (const InfoCase& c : cases) {
    ImageInfo info;
    ASSERT_TRUE(c.query(RasterFixture(c.file), info)) << c.file;
    EXPECT_EQ(info.width, 40) << c.file;
    EXPECT_EQ(info.height, 30) << c.file;
    EXPECT_EQ(info.pixelMode, c.pixelMode) << c.file;
  }
}

}  // namespace
}  // namespace quiltor
