#include "raster/bitmap.h"

#include <gtest/gtest.h>

#include "common/error.h"

namespace quiltor {
namespace {

TEST(Bitmap, RefusesSizesItCannotHold) {
  struct Case { int width, height, bits; };
  for (const Case c : {Case{0, 10, 8}, Case{10, -1, 24}, Case{10, 10, 16}, Case{70000, 70000, 24}}) {
    EXPECT_THROW(Bitmap(c.width, c.height, c.bits), QuiltorError) << c.width << "x" << c.height << "@" << c.bits;
  }
}

TEST(Bitmap, PalettePixelResolvesThroughTheColourTable) {
  Bitmap bitmap(2, 1, 8);
  bitmap.palette()[7] = Rgbquad{1, 2, 3, 0};
  bitmap.row(0)[1] = 7;
  std::uint8_t bgr[3] = {};
  bitmap.PixelBgr(1, 0, bgr);
  EXPECT_EQ(bgr[0], 1);
  EXPECT_EQ(bgr[1], 2);
  EXPECT_EQ(bgr[2], 3);
}

TEST(Bitmap, ExpandsPackedRowsMostSignificantFirst) {
  const std::uint8_t oneBit[] = {0b10100000};
  std::uint8_t out[4] = {};
  ExpandPackedRow(oneBit, 1, 3, out);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 1);
  const std::uint8_t fourBit[] = {0x3c, 0x50};
  ExpandPackedRow(fourBit, 4, 3, out);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[1], 12);
  EXPECT_EQ(out[2], 5);
}

}  // namespace
}  // namespace quiltor
