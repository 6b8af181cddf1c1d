#include "pipeline/sharpen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/error.h"
#include "raster/raster_source.h"
#include "raster/scratch/temp_image.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

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
  const SharpenOutcome outcome = SharpenRows(
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
  EXPECT_TRUE(outcome.complete);
  if (peakRows) *peakRows = outcome.peakRows;
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

// A busy true-colour picture: every channel differs, so a mix-up of bytes,
// rows or columns shows.
std::vector<std::uint8_t> PatternRow(int y, int width) {
  std::vector<std::uint8_t> row(std::size_t(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = std::uint8_t((x * 37 + y * 11) % 256);
    row[x * 3 + 1] = std::uint8_t((x * x + y * 5) % 256);
    row[x * 3 + 2] = std::uint8_t(((x ^ y) * 13) % 256);
  }
  return row;
}

// What SharpenRows makes of the pattern, row by row.
std::vector<std::vector<std::uint8_t>> SharpenedPattern(int width, int height, int threads = 1,
                                                        const SharpenKernel& kernel = StandardSharpenKernel()) {
  std::vector<std::vector<std::uint8_t>> rows;
  SharpenRows(
      width, height, kernel,
      [width](int y, std::uint8_t* buffer) {
        const auto row = PatternRow(y, width);
        std::copy(row.begin(), row.end(), buffer);
      },
      [&rows, width](int y, const std::uint8_t* row) {
        EXPECT_EQ(y, int(rows.size()));
        rows.emplace_back(row, row + std::size_t(width) * 3);
      },
      {}, nullptr, threads);
  return rows;
}

// Rows computed side by side on several threads come out the same and in
// order, also for a 5 x 5 kernel that reaches furthest into the window.
TEST(SharpenTest, SameRowsOnAnyNumberOfThreads) {
  SharpenKernel wide = StandardSharpenKernel();
  wide.weights[0] = wide.weights[24] = -1;
  wide.weights[12] += 2;
  for (const SharpenKernel& kernel : {StandardSharpenKernel(), wide}) {
    const auto one = SharpenedPattern(31, 29, 1, kernel);
    ASSERT_EQ(one.size(), 29u);
    EXPECT_EQ(SharpenedPattern(31, 29, 3, kernel), one);
  }
}

// The rule for one output byte, pixel by pixel: a neighbour in row 0 or
// column 0, or beyond the image, is replaced by the centre pixel.
std::uint8_t RuleByte(const std::vector<std::vector<std::uint8_t>>& image, int width, int height,
                      const SharpenKernel& kernel, int x, int y, int c) {
  int sum = 0;
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const int w = kernel.weights[std::size_t((dy + 2) * 5 + dx + 2)];
      const bool inside = y + dy >= 1 && y + dy <= height - 1 && x + dx >= 1 && x + dx <= width - 1;
      const int nx = inside ? x + dx : x, ny = inside ? y + dy : y;
      sum += w * image[std::size_t(ny)][std::size_t(nx) * 3 + c];
    }
  }
  const int divisor = kernel.divisor == 0 ? 1 : kernel.divisor;
  return std::uint8_t(std::clamp(sum / divisor, 0, 255));
}

// Every byte against the rule, for kernels that take the whole-row way
// (3 x 3 and 5 x 5, sums in 16 or 32 bits) and those that go pixel by pixel
// (a divisor that is no power of two, 0, or negative), on images from a
// single pixel to ones with an interior, full of clamped sums.
TEST(SharpenTest, EveryByteFollowsTheRule) {
  const SharpenKernel standard = StandardSharpenKernel();
  SharpenKernel wide = standard;  // reaches two rows and columns out
  wide.weights[0] = wide.weights[4] = wide.weights[20] = wide.weights[24] = -1;
  wide.weights[12] += 4;
  SharpenKernel strong = standard;  // sums beyond 16 bits
  strong.weights[12] = 300;
  strong.divisor = 256;
  SharpenKernel wideStrong = wide;
  wideStrong.weights[2] = -150;
  wideStrong.divisor = 64;
  SharpenKernel byTen = standard;
  byTen.divisor = 10;
  SharpenKernel byZero = standard;
  byZero.divisor = 0;
  SharpenKernel negative = standard;
  negative.divisor = -16;
  const SharpenKernel kernels[] = {standard, wide, strong, wideStrong, byTen, byZero, negative};
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 6}, {6, 5}, {7, 19}, {40, 23}};

  std::uint32_t noise = 7;
  for (const auto& size : sizes) {
    const int width = size[0], height = size[1];
    std::vector<std::vector<std::uint8_t>> image(std::size_t(height), std::vector<std::uint8_t>(std::size_t(width) * 3));
    for (auto& row : image)
      for (auto& byte : row) {
        noise = noise * 1103515245u + 12345u;
        byte = std::uint8_t(noise >> 24);
      }
    for (std::size_t k = 0; k < std::size(kernels); ++k) {
      SCOPED_TRACE("kernel " + std::to_string(k) + ", " + std::to_string(width) + " x " + std::to_string(height));
      int rowsOut = 0;
      const SharpenOutcome outcome = SharpenRows(
          width, height, kernels[k],
          [&image](int y, std::uint8_t* buffer) { std::copy(image[y].begin(), image[y].end(), buffer); },
          [&](int y, const std::uint8_t* row) {
            ASSERT_EQ(y, rowsOut++);
            for (int x = 0; x < width; ++x)
              for (int c = 0; c < 3; ++c)
                ASSERT_EQ(row[x * 3 + c], RuleByte(image, width, height, kernels[k], x, y, c))
                    << "x " << x << " y " << y << " byte " << c;
          },
          {}, nullptr, 2);
      EXPECT_TRUE(outcome.complete);
      EXPECT_EQ(rowsOut, height);
    }
  }
}

void WritePatternTempImage(const std::filesystem::path& path, int width, int height) {
  TrueColourTempWriter writer(path, width, height);
  for (int y = 0; y < height; ++y) writer.WriteRow(PatternRow(y, width).data());
  writer.Finish();
}

// Sets the abort flag once a status text is shown.
class AbortOnStatus : public testing::RecordingHost {
 public:
  explicit AbortOnStatus(std::atomic<bool>& flag) : flag_(flag) {}
  void SetStatusText(const std::string& text) override {
    RecordingHost::SetStatusText(text);
    flag_ = true;
  }

 private:
  std::atomic<bool>& flag_;
};

TEST(SharpenTempImageTest, EqualsSharpenRowsOnTheSamePixels) {
  testing::TempFolder temp;
  const int w = 41, h = 37;
  WritePatternTempImage(temp / "merged.qtxx0", w, h);
  testing::RecordingHost host;
  ASSERT_TRUE(SharpenTempImage((temp / "merged.qtxx0").string(), (temp / "sharp.qtxx0").string(), host));
  EXPECT_EQ(host.events, (std::vector<std::string>{"status: Sharpening : 10 of 37", "status: Sharpening : 20 of 37",
                                                   "status: Sharpening : 30 of 37"}));

  std::unique_ptr<RasterSource> sharp = OpenRaster(temp / "sharp.qtxx0");
  ASSERT_TRUE(sharp);
  ASSERT_EQ(sharp->pixelMode(), 3);
  ASSERT_EQ(sharp->width(), w);
  ASSERT_EQ(sharp->height(), h);
  const auto expected = SharpenedPattern(w, h);
  std::vector<std::uint8_t> row(std::size_t(w) * 3);
  for (int y = 0; y < h; ++y) {
    ReadRasterLine(sharp.get(), y, row.data());
    ASSERT_EQ(row, expected[y]) << "row " << y;
  }
}

TEST(SharpenTempImageTest, AbortAndBadSourcesLeaveNoOutput) {
  testing::TempFolder temp;
  WritePatternTempImage(temp / "merged.qtxx0", 20, 30);
  const std::string out = (temp / "sharp.qtxx0").string();

  std::atomic<bool> abort{false};
  AbortOnStatus host(abort);
  EXPECT_FALSE(SharpenTempImage((temp / "merged.qtxx0").string(), out, host, &abort));
  EXPECT_FALSE(std::filesystem::exists(out));

  QuietHost quiet;
  {
    PaletteTempWriter palette(temp / "level.qtx0", 20, 30, Palette{});
    const std::vector<std::uint8_t> indices(20, 0);
    for (int y = 0; y < 30; ++y) palette.WriteRow(indices.data());
    palette.Finish();
  }
  for (const char* source : {"absent.qtxx0", "level.qtx0"}) {
    SCOPED_TRACE(source);
    EXPECT_THROW(SharpenTempImage((temp / source).string(), out, quiet), QuiltorError);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  // Into itself: refused before anything is written, the merged map intact.
  const auto mergedSize = std::filesystem::file_size(temp / "merged.qtxx0");
  EXPECT_THROW(SharpenTempImage((temp / "merged.qtxx0").string(), (temp / "." / "merged.qtxx0").string(), quiet),
               QuiltorError);
  EXPECT_EQ(std::filesystem::file_size(temp / "merged.qtxx0"), mergedSize);
}

}  // namespace
}  // namespace quiltor
