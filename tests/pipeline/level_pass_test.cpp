#include "pipeline/level_pass.h"

#include <gtest/gtest.h>

#include <functional>

#include "raster/raster_source.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

// A true-colour image whose pixel colours come from a function.
class FunctionImage : public RasterReader {
 public:
  using Colour = std::function<Rgbquad(int x, int y)>;
  FunctionImage(int w, int h, Colour colour) : colour_(std::move(colour)) {
    width_ = w;
    height_ = h;
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* row) override {
    for (int x = 0; x < width_; ++x) {
      const Rgbquad c = colour_(x, y);
      row[x * 3] = c.blue, row[x * 3 + 1] = c.green, row[x * 3 + 2] = c.red;
    }
  }
  void FetchPixel(int, int, std::uint8_t*) override {}

 private:
  Colour colour_;
};

struct Mapped {
  Palette palette;
  std::vector<std::vector<std::uint8_t>> rows;
};

Mapped MapColours(RasterReader& source, int colours) {
  testing::TempFolder temp;
  QuietHost host;
  std::atomic<bool> abort{false};
  EXPECT_TRUE(MapColoursPass(source, colours, PassContext{temp.path(), host, abort}));
  auto level = OpenRaster(temp / LevelFileName(0));
  EXPECT_TRUE(level);
  if (!level) return {};
  Mapped m{level->palette(), {}};
  for (int y = 0; y < level->height(); ++y) {
    m.rows.emplace_back(level->width());
    level->ReadRow(y, m.rows.back().data());
  }
  return m;
}

TEST(MapColoursPassTest, FewColoursKeepOneEntryEachThenBlackAndWhite) {
  const Rgbquad a{10, 20, 30, 0}, b{200, 100, 50, 0}, c{90, 90, 250, 0};
  FunctionImage image(40, 25, [&](int x, int) { return x < 10 ? a : (x < 30 ? b : c); });
  const Mapped m = MapColours(image, 10);
  EXPECT_EQ(m.palette[0], a);
  EXPECT_EQ(m.palette[1], b);  // tree order: b's top blue bit is set (child 1), c's red (child 4)
  EXPECT_EQ(m.palette[2], c);
  for (int i = 3; i < 10; ++i) EXPECT_EQ(m.palette[i], Rgbquad{}) << i;
  EXPECT_EQ(m.palette[10], (Rgbquad{0, 0, 0, 0}));
  EXPECT_EQ(m.palette[11], (Rgbquad{255, 255, 255, 0}));
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(m.palette[m.rows[y][x]], x < 10 ? a : (x < 30 ? b : c));
}

TEST(MapColoursPassTest, ManyColoursEndInBlackAndWhiteAt254) {
  FunctionImage image(64, 64, [](int x, int y) {
    return Rgbquad{std::uint8_t(x * 4), std::uint8_t(y * 4), std::uint8_t((x + y) * 2), 0};
  });
  const Mapped m = MapColours(image, 254);
  EXPECT_EQ(m.palette[254], (Rgbquad{0, 0, 0, 0}));
  EXPECT_EQ(m.palette[255], (Rgbquad{255, 255, 255, 0}));
  int used = 0;
  for (int i = 0; i < 254; ++i) used += m.palette[i] != Rgbquad{} ? 1 : 0;
  EXPECT_GT(used, 100);
}

TEST(MapColoursPassTest, PureWhiteMapsToTheTreeEntry) {
  FunctionImage image(30, 30, [](int, int) { return Rgbquad{255, 255, 255, 0}; });
  const Mapped m = MapColours(image, 254);
  EXPECT_EQ(m.palette[0], (Rgbquad{255, 255, 255, 0}));
  for (const auto& row : m.rows)
    for (std::uint8_t i : row) ASSERT_EQ(i, 0);
}

}  // namespace
}  // namespace quiltor
