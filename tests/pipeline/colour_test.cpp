#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

#include "common/error.h"
#include "pipeline/colour_lookup.h"
#include "pipeline/colour_quantizer.h"

namespace quiltor {
namespace {

Rgbquad Bgr(int b, int g, int r) { return Rgbquad{std::uint8_t(b), std::uint8_t(g), std::uint8_t(r), 0}; }

TEST(ColourQuantizerTest, FewerColoursThanAskedGiveOneEntryEach) {
  TColorQuantizer q(10);
  const std::vector<Rgbquad> colours = {Bgr(255, 0, 0), Bgr(0, 0, 255), Bgr(0, 255, 0), Bgr(9, 9, 9)};
  for (int rep = 0; rep < 3; ++rep)
    for (const Rgbquad& c : colours) q.AddColour(c.red, c.green, c.blue);
  EXPECT_EQ(q.leafCount(), 4);
  Palette p{};
  q.ExportPalette(p);
  // Depth first, child index = red bit * 4 + green bit * 2 + blue bit.
  EXPECT_EQ(p[0], Bgr(9, 9, 9));
  EXPECT_EQ(p[1], Bgr(255, 0, 0));
  EXPECT_EQ(p[2], Bgr(0, 255, 0));
  EXPECT_EQ(p[3], Bgr(0, 0, 255));
  EXPECT_EQ(p[4], Rgbquad{});
}

TEST(ColourQuantizerTest, ManyColoursFillExactlyTheAskedCount) {
  TColorQuantizer q(254);
  for (int r = 0; r < 256; r += 8)
    for (int g = 0; g < 256; g += 16)
      for (int b = 0; b < 256; b += 32) q.AddColour(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
  EXPECT_LE(q.leafCount(), 254);
  EXPECT_GT(q.leafCount(), 200);
  Palette p{};
  p.fill(Bgr(1, 2, 3));
  q.ExportPalette(p);
  EXPECT_EQ(p[static_cast<std::size_t>(q.leafCount())], Bgr(1, 2, 3));  // untouched beyond the leaves
}

TEST(ColourQuantizerTest, MergesNewestDeepestNodeFirst) {
  TColorQuantizer q(100);
  q.InsertColour(0, 0, 0);
  q.InsertColour(1, 0, 0);    // shares the level-7 node with (0, 0, 0)
  q.InsertColour(254, 0, 0);  // a newer level-7 node
  q.InsertColour(255, 0, 0);
  ASSERT_EQ(q.leafCount(), 4);
  q.ReduceOneNode();
  EXPECT_EQ(q.leafCount(), 3);
  Palette p{};
  q.ExportPalette(p);
  EXPECT_EQ(p[0], Bgr(0, 0, 0));
  EXPECT_EQ(p[1], Bgr(0, 0, 1));
  EXPECT_EQ(p[2], Bgr(0, 0, 254));  // (254 + 255) div 2
  q.ReduceOneNode();
  EXPECT_EQ(q.leafCount(), 2);
  q.ExportPalette(p);
  EXPECT_EQ(p[0], Bgr(0, 0, 0));
  EXPECT_EQ(p[1], Bgr(0, 0, 254));
}

TEST(ColourQuantizerTest, RunAddedAtOnceBuildsTheSameTreeAsPixelByPixel) {
  // Runs of a colour interleaved with others, with so few colours allowed
  // that merges happen all along.
  std::mt19937 random(11);
  std::vector<std::pair<Rgbquad, int>> runs;
  for (int i = 0; i < 400; ++i) {
    runs.push_back({Bgr(int(random() & 0xFF), int(random() & 0xFF), int(random() & 0xFF)), 1 + int(random() % 9)});
  }
  for (int colours : {6, 40, 254}) {
    TColorQuantizer single(colours);
    TColorQuantizer batched(colours);
    for (const auto& [c, times] : runs) {
      for (int t = 0; t < times; ++t) single.AddColour(c.red, c.green, c.blue);
      batched.AddColour(c.red, c.green, c.blue, times);
    }
    ASSERT_EQ(batched.leafCount(), single.leafCount()) << colours;
    Palette want{}, got{};
    single.ExportPalette(want);
    batched.ExportPalette(got);
    EXPECT_EQ(got, want) << colours;
  }
}

TEST(ColourQuantizerTest, TooManyBitsRefused) {
  try {
    TColorQuantizer q(10, 9);
    FAIL();
  } catch (const QuiltorError& e) {
    EXPECT_STREQ(e.what(), "ColorBits must be 8 or less");
  }
}

TEST(ColourLookupTest, NearestEntryTiesKeepLowerIndex) {
  Palette p{};
  p.fill(Bgr(200, 200, 200));
  p[5] = Bgr(10, 10, 10);
  p[9] = Bgr(10, 10, 10);
  EXPECT_EQ(NearestPaletteEntry(p, 256, 12, 10, 10), 5);
  EXPECT_EQ(NearestPaletteEntry(p, 5, 12, 10, 10), 0);  // entry 5 not counted
  EXPECT_EQ(NearestPaletteEntry(p, 0, 12, 10, 10), 0);
}

TEST(ColourLookupTest, EveryCellHoldsTheNearestEntryWithTiesToTheLowerIndex) {
  // Palettes with repeated entries (ties everywhere) and every count the
  // passes use, against the search written out plainly.
  std::mt19937 random(5);
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[i] = i % 3 == 2 ? p[i - 1] : Bgr(int(random() & 0xFF), int(random() & 0xFF), int(random() & 0xFF));
  }
  for (int count : {1, 7, 84, 256}) {
    SCOPED_TRACE(count);
    ColourLookup lookup;
    lookup.Build(p, count, 2);
    for (int b = 0; b < 256; b += 4)
      for (int g = 0; g < 256; g += 12)
        for (int r = 0; r < 256; r += 4) {
          int want = 0, nearest = 1 << 30;
          for (int i = 0; i < count; ++i) {
            const int d = (p[i].red - r) * (p[i].red - r) + (p[i].green - g) * (p[i].green - g) +
                          (p[i].blue - b) * (p[i].blue - b);
            if (d < nearest) want = i, nearest = d;
          }
          ASSERT_EQ(lookup.Lookup(std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)), want) << b << " " << g << " " << r;
        }
  }
}

TEST(ColourLookupTest, PureWhiteMapsToTheTreeEntryNotTheAddedWhite) {
  TColorQuantizer q(20);
  for (int i = 0; i < 50; ++i) q.AddColour(255, 255, 255);
  Palette p{};
  q.ExportPalette(p);
  p[20] = Bgr(0, 0, 0);
  p[21] = Bgr(255, 255, 255);
  ColourLookup lookup;
  lookup.Build(p, 22);
  EXPECT_EQ(lookup.Lookup(255, 255, 255), 0);
}

TEST(ColourLookupTest, CellAnswersForItsLowerCorner) {
  Palette p{};
  p[0] = Bgr(0, 0, 0);
  p[1] = Bgr(6, 6, 6);
  ColourLookup lookup;
  lookup.Build(p, 2);
  // (7, 7, 7) lies nearer entry 1 but its cell's corner (4, 4, 4) is nearer 1
  // too; (3, 3, 3) shares the cell of (0, 0, 0).
  EXPECT_EQ(lookup.Lookup(3, 3, 3), 0);
  EXPECT_EQ(lookup.Lookup(4, 4, 4), 1);
  EXPECT_EQ(lookup.Lookup(7, 7, 7), 1);
  std::uint8_t row[] = {3, 3, 3, 6, 6, 6};
  std::uint8_t out[2];
  lookup.MapRow(3, row, p, 2, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 1);
}

TEST(TopColoursTest, ThreeColoursByFrequencyThenRepeat) {
  Palette p{};
  p[3] = Bgr(3, 3, 3);
  p[7] = Bgr(7, 7, 7);
  p[9] = Bgr(9, 9, 9);
  // 200 x 300: 7 on the left half, 3 and 9 share the right half by rows.
  const TopColours top = SampleTopColours(200, 300, p, [](int y, std::uint8_t* row) {
    for (int x = 0; x < 200; ++x) row[x] = x < 100 ? 7 : (y < 180 ? 3 : 9);
  });
  EXPECT_EQ(top[0], (TopColour{7, 7, 7}));
  EXPECT_EQ(top[1], (TopColour{3, 3, 3}));
  EXPECT_EQ(top[2], (TopColour{9, 9, 9}));
  for (std::size_t k = 3; k < top.size(); ++k) EXPECT_EQ(top[k], (TopColour{9, 9, 9}));
}

TEST(TopColoursTest, CountedAsRowsAreWrittenEqualsSampledAfterwards) {
  // Sides under 100 pixels sample their first row or column 100 times; the
  // rows arrive out of order and the skewed content makes every count matter.
  Palette p{};
  for (int i = 0; i < 256; ++i) p[i] = Bgr(i, 255 - i, i / 2);
  for (const auto& [w, h] : {std::pair{200, 300}, std::pair{50, 30}, std::pair{250, 99}, std::pair{1234, 567}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    auto pixel = [](int x, int y) { return std::uint8_t(((x * 7 + y * 3) % 40) * ((x + y) % 3 == 0 ? 1 : 2)); };
    const TopColours want = SampleTopColours(w, h, p, [&](int y, std::uint8_t* row) {
      for (int x = 0; x < w; ++x) row[x] = pixel(x, y);
    });
    TopColourCount count(w, h);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) row[x] = pixel(x, y);
      count.AddRow(y, row.data());
    }
    EXPECT_EQ(count.Top(p), want);
    if (w >= 100 && h >= 100) {
      EXPECT_NE(want[0], want[1]);  // a grid that sees several colours
    }
  }
}

}  // namespace
}  // namespace quiltor
