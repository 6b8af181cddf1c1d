// Thumbnails written as PNG, read back through libpng's own simplified
// reader (not this program's PNG decoder).
#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "raster/formats/format_readers.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

// The file as red, green, blue bytes, decoded by libpng's simplified API.
std::vector<std::uint8_t> ReadBackRgb(const std::filesystem::path& path, int& width, int& height, bool& indexed) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return {};
  indexed = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

Bitmap MakeBitmap(int bits) {
  Bitmap bitmap(7, 5, bits);
  for (int i = 0; i < 256; ++i) {
    bitmap.palette()[i] = Rgbquad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                  static_cast<std::uint8_t>(i * 3), 0};
  }
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7 * bitmap.bytesPerPixel(); ++x) bitmap.row(y)[x] = static_cast<std::uint8_t>(x * 37 + y * 11);
  }
  return bitmap;
}

TEST(PngWriter, IndexedAndTrueColourBitmapsReadBackTheSame) {
  testing::TempFolder folder;
  for (int bits : {8, 24}) {
    const Bitmap bitmap = MakeBitmap(bits);
    const auto path = folder / ("thumb" + std::to_string(bits) + ".png");
    ASSERT_TRUE(WritePngImage(path, bitmap));
    int width = 0;
    int height = 0;
    bool indexed = false;
    const auto rgb = ReadBackRgb(path, width, height, indexed);
    ASSERT_EQ(width, 7);
    ASSERT_EQ(height, 5);
    EXPECT_EQ(indexed, bits == 8);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) {
        std::uint8_t bgr[3];
        bitmap.PixelBgr(x, y, bgr);
        const std::uint8_t* got = &rgb[(static_cast<std::size_t>(y) * 7 + x) * 3];
        ASSERT_EQ(got[0], bgr[2]) << bits << " " << x << "," << y;
        ASSERT_EQ(got[1], bgr[1]);
        ASSERT_EQ(got[2], bgr[0]);
      }
    }
  }
}

TEST(PngWriter, RefusesWhatItCannotWrite) {
  testing::TempFolder folder;
  EXPECT_FALSE(WritePngImage(folder / "empty.png", Bitmap()));
  EXPECT_FALSE(WritePngImage(folder / "no-such-folder" / "x.png", MakeBitmap(8)));
}

}  // namespace
}  // namespace quiltor
