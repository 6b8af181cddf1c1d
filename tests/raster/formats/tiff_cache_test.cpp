// TIFF files larger than the 25 MiB block cache, written here with libtiff:
// rows and pixels stay right while strips and tiles are evicted and decoded
// again, including the case of a cache that holds fewer than twenty strips.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "raster/formats/format_readers.h"
#include "support/memory_probe.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

constexpr int kWidth = 8192;
constexpr int kHeight = 1536;

std::uint8_t Red(int x, int) { return static_cast<std::uint8_t>(x); }
std::uint8_t Green(int, int y) { return static_cast<std::uint8_t>(y); }
std::uint8_t Blue(int x, int y) { return static_cast<std::uint8_t>(x / 256 + y / 128 * 7); }

// An RGB image in strips of `rowsPerStrip` rows, or in tiles of `tile`
// pixels when tile > 0.
void WriteTiff(const std::filesystem::path& path, int rowsPerStrip, int tile) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1);
  if (tile > 0) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tile);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, tile);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(tile) * tile * 3);
    for (int ty = 0; ty < kHeight; ty += tile) {
      for (int tx = 0; tx < kWidth; tx += tile) {
        for (int y = 0; y < tile; ++y) {
          for (int x = 0; x < tile; ++x) {
            std::uint8_t* p = &buffer[(static_cast<std::size_t>(y) * tile + x) * 3];
            p[0] = Red(tx + x, ty + y);
            p[1] = Green(tx + x, ty + y);
            p[2] = Blue(tx + x, ty + y);
          }
        }
        TIFFWriteTile(tiff, buffer.data(), static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0);
      }
    }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(kWidth) * 3);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        row[x * 3] = Red(x, y);
        row[x * 3 + 1] = Green(x, y);
        row[x * 3 + 2] = Blue(x, y);
      }
      TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
    }
  }
  TIFFClose(tiff);
}

void ExpectPattern(RasterReader& reader, int randomFetches) {
  ASSERT_EQ(reader.width(), kWidth);
  ASSERT_EQ(reader.height(), kHeight);
  ASSERT_EQ(reader.pixelMode(), 3);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(kWidth) * 3);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < kHeight; i += 7) {
      const int y = pass == 0 ? i : kHeight - 1 - i;
      reader.ReadRow(y, row.data());
      for (int x = 0; x < kWidth; x += 61) {
        ASSERT_EQ(row[x * 3], Blue(x, y)) << x << "," << y;
        ASSERT_EQ(row[x * 3 + 1], Green(x, y));
        ASSERT_EQ(row[x * 3 + 2], Red(x, y));
      }
    }
  }
  std::mt19937 random(7);
  for (int i = 0; i < randomFetches; ++i) {
    const int x = static_cast<int>(random() % kWidth);
    const int y = static_cast<int>(random() % kHeight);
    std::uint8_t bgr[3];
    reader.FetchPixel(x, y, bgr);
    ASSERT_EQ(bgr[0], Blue(x, y)) << x << "," << y;
    ASSERT_EQ(bgr[1], Green(x, y));
    ASSERT_EQ(bgr[2], Red(x, y));
  }
}

TEST(TiffCache, BigStripsEvictedAndReloaded) {
  // 3 MiB strips: the cache holds eight of the twelve.
  testing::TempFolder folder;
  const auto path = folder / "strips.tif";
  WriteTiff(path, 128, 0);
  const auto reader = OpenTiffReader(path);
  ASSERT_NE(reader, nullptr);
  // Random pixels over more strips than the cache holds decode a strip at
  // almost every miss: a few hundred show the reloads are right.
  ExpectPattern(*reader, 300);
}

TEST(TiffCache, OneStripLargerThanTheCacheIsReadByScanline) {
  // One 36 MiB strip, as scans are often stored: read row by row, within
  // the cache's budget, and right in any order. libtiff holds the strip's
  // compressed bytes while it decodes them; the decoded rows stay within
  // the 25 MiB cache.
  testing::TempFolder folder;
  const auto path = folder / "one-strip.tif";
  WriteTiff(path, kHeight, 0);
  const std::size_t budget = std::filesystem::file_size(path) + (32u << 20);
  const auto child = [&]() {
        bool right = false;
        const bool small = testing::PeakWithin(budget, [&] {
          const auto reader = OpenTiffReader(path);
          if (reader == nullptr) return;
          std::vector<std::uint8_t> row(static_cast<std::size_t>(kWidth) * 3);
          right = true;
          for (const int y : {0, kHeight - 1, 5, kHeight / 2, 4}) {
            reader->ReadRow(y, row.data());
            for (int x = 0; x < kWidth; x += 97)
              right = right && row[x * 3] == Blue(x, y) && row[x * 3 + 1] == Green(x, y) && row[x * 3 + 2] == Red(x, y);
          }
        });
        std::exit(small && right ? 0 : 1);
      };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
  const auto reader = OpenTiffReader(path);
  ASSERT_NE(reader, nullptr);
  ExpectPattern(*reader, 20);
}

// A 628-byte file claiming 16424 x 28206 pixels in one JPEG strip: a clean
// read of nothing, at the cost of a row, not of the 1.4 GB strip.
TEST(TiffCache, ADamagedHugeStripCostsARow) {
  testing::TempFolder folder;
  const auto path = folder / "claims.tif";
  {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 16424);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 28206);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 28206);
    std::vector<std::uint8_t> junk(400);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 37 + 11);
    TIFFWriteRawStrip(tiff, 0, junk.data(), static_cast<tmsize_t>(junk.size()));
    TIFFClose(tiff);
  }
  const auto child = [&]() {
        const bool small = testing::PeakWithin(40u << 20, [&] {
          const auto reader = OpenTiffReader(path);
          if (reader == nullptr) return;
          std::vector<std::uint8_t> row(static_cast<std::size_t>(reader->width()) * 3);
          for (const int y : {0, 1, 20000, 3}) reader->ReadRow(y, row.data());
          std::uint8_t pixel[3];
          reader->FetchPixel(100, 100, pixel);
        });
        std::exit(small ? 0 : 1);
      };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(TiffCache, TilesEvictedAndReloaded) {
  // 192 KiB tiles: 133 cached of 192.
  testing::TempFolder folder;
  const auto path = folder / "tiles.tif";
  WriteTiff(path, 0, 256);
  const auto reader = OpenTiffReader(path);
  ASSERT_NE(reader, nullptr);
  ExpectPattern(*reader, 5000);
}

}  // namespace
}  // namespace quiltor
