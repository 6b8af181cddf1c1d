#include "raster/sharpen.h"

#include <gtest/gtest.h>

#include <vector>

namespace quiltor {
namespace {

// A grey image held in memory; each pixel's three bytes are equal.
struct GreyImage {
  int w, h;
  std::vector<std::uint8_t> v;
  GreyImage(int width, int height, std::uint8_t fill) : w(width), h(height), v(std::size_t(width) * height, fill) {}
  std::uint8_t& at(int x, int y) { return v[std::size_t(y) * w + x]; }
};

GreyImage Sharpen(GreyImage& in, int* peakRows = nullptr) {
  GreyImage out(in.w, in.h, 0);
  const int peak = SharpenRows(
      in.w, in.h, StandardSharpenKernel(),
      [&](int y, std::uint8_t* buf) {
        for (int x = 0; x < in.w; ++x) buf[x * 3] = buf[x * 3 + 1] = buf[x * 3 + 2] = in.at(x, y);
      },
      [&](int y, const std::uint8_t* row) {
        for (int x = 0; x < in.w; ++x) {
          EXPECT_EQ(row[x * 3], row[x * 3 + 2]);
          out.at(x, y) = row[x * 3];
        }
      });
  if (peakRows) *peakRows = peak;
  return out;
}

TEST(SharpenTest, FlatImageUnchanged) {
  GreyImage in(20, 30, 137);
  GreyImage out = Sharpen(in);
  EXPECT_EQ(out.v, in.v);
}

TEST(SharpenTest, LonePixelBrightensAndNeighboursClampToZero) {
  GreyImage in(12, 12, 0);
  in.at(5, 5) = 100;
  GreyImage out = Sharpen(in);
  EXPECT_EQ(out.at(5, 5), 175);  // 2800 div 16
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (dx || dy) {
        EXPECT_EQ(out.at(5 + dx, 5 + dy), 0);
      }
}

TEST(SharpenTest, EdgeTapsTakeTheCentreValue) {
  // Row 0 and column 0 are never used as neighbours, and nothing below the
  // last row: those taps take the centre pixel's value.
  GreyImage in(10, 10, 50);
  for (int i = 0; i < 10; ++i) in.at(i, 0) = in.at(0, i) = 200;
  for (int x = 0; x < 10; ++x) in.at(x, 9) = 80;
  for (int x = 1; x < 10; ++x) in.at(x, 8) = 40;
  GreyImage out = Sharpen(in);
  EXPECT_EQ(out.at(1, 1), 50);  // the 200s of row 0 and column 0 are not seen
  // Last row: above -4 * 40, centre row 24 * 80, below (centre) -4 * 80: 1440 / 16.
  EXPECT_EQ(out.at(5, 9), 90);
}

TEST(SharpenTest, TallImageKeepsSeventeenRows) {
  GreyImage in(8, 500, 10);
  for (int y = 0; y < 500; ++y) in.at(3, y) = static_cast<std::uint8_t>(y);
  int peak = 0;
  GreyImage out = Sharpen(in, &peak);
  EXPECT_EQ(peak, 17);
  // An interior pixel against the direct sum.
  const int x = 4, y = 250;
  int sum = 28 * in.at(x, y) - 2 * (in.at(x - 1, y) + in.at(x + 1, y) + in.at(x, y - 1) + in.at(x, y + 1)) -
            (in.at(x - 1, y - 1) + in.at(x + 1, y - 1) + in.at(x - 1, y + 1) + in.at(x + 1, y + 1));
  EXPECT_EQ(out.at(x, y), std::clamp(sum / 16, 0, 255));
}

TEST(SharpenTest, KernelRadius) {
  SharpenKernel k = StandardSharpenKernel();
  EXPECT_EQ(k.Radius(), 1);
  k.weights[0] = 1;
  EXPECT_EQ(k.Radius(), 2);
}

}  // namespace
}  // namespace quiltor
