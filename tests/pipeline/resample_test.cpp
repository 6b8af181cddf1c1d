#include "pipeline/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/error.h"

namespace quiltor {
namespace {

// An independent reference: the Mitchell filter and the separable weighted
// sums in double precision, straight from the definitions, without caches.
double Mitchell(double x) {
  const double a = std::fabs(x);
  if (a < 1) return (7 * a * a * a - 12 * a * a + 16.0 / 3) / 6;
  if (a < 2) return (-7.0 / 3 * a * a * a + 12 * a * a - 20 * a + 32.0 / 3) / 6;
  return 0;
}

std::vector<std::vector<std::pair<int, double>>> ReferenceWeights(int n, int m) {
  const double scale = double(m - 1) / double(n - 1);
  const double fscale = scale < 1 ? 1 / scale : 1;
  const double width = 2.0 * fscale;
  std::vector<std::vector<std::pair<int, double>>> sets(m);
  for (int i = 0; i < m; ++i) {
    const double c = i / scale;
    for (int j = int(std::floor(c - width)); j <= int(std::ceil(c + width)); ++j) {
      int k = j < 0 ? -j : (j >= n ? 2 * n - j - 1 : j);
      k = std::max(0, std::min(k, n - 1));
      const double w = Mitchell((c - j) / fscale) / fscale;
      if (w != 0) sets[i].push_back({k, w});
    }
  }
  return sets;
}

double ClampRound(double v) { return v > 255 ? 255 : (v < 0 ? 0 : std::nearbyint(v)); }

Bitmap RandomImage(int w, int h, unsigned seed) {
  Bitmap b(w, h, 24);
  std::mt19937 gen(seed);
  for (int y = 0; y < h; ++y)
    for (std::size_t i = 0; i < b.stride(); ++i) b.row(y)[i] = static_cast<std::uint8_t>(gen() & 0xFF);
  return b;
}

Bitmap ReferenceResample(const Bitmap& src, int dw, int dh) {
  const auto cols = ReferenceWeights(src.width(), dw);
  const auto rows = ReferenceWeights(src.height(), dh);
  // Horizontal pass first, with its own rounding, as the engine stores rows.
  std::vector<std::vector<double>> h(src.height(), std::vector<double>(dw * 3));
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < dw; ++x)
      for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (auto [k, w] : cols[x]) s += w * src.row(y)[k * 3 + c];
        h[y][x * 3 + c] = ClampRound(s);
      }
  Bitmap out(dw, dh, 24);
  for (int y = 0; y < dh; ++y)
    for (int i = 0; i < dw * 3; ++i) {
      double s = 0;
      for (auto [k, w] : rows[y]) s += w * h[k][i];
      out.row(y)[i] = static_cast<std::uint8_t>(ClampRound(s));
    }
  return out;
}

TEST(ResampleTest, MatchesDoublePrecisionReferenceBothWays) {
  struct Case {
    int w, h;
    double percent;
  };
  for (const Case& c : {Case{40, 30, 25}, Case{40, 30, 50}, Case{37, 23, 13}, Case{12, 9, 150}, Case{10, 16, 300},
                        Case{20, 20, 100}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.percent));
    const Bitmap src = RandomImage(c.w, c.h, 7);
    const Bitmap got = ResampleBitmap(src, c.percent);
    ASSERT_EQ(got.width(), ResampledLength(c.w, c.percent));
    ASSERT_EQ(got.height(), ResampledLength(c.h, c.percent));
    const Bitmap want = ReferenceResample(src, got.width(), got.height());
    int worst = 0;
    for (int y = 0; y < got.height(); ++y)
      for (std::size_t i = 0; i < got.stride(); ++i) worst = std::max(worst, std::abs(got.row(y)[i] - want.row(y)[i]));
    EXPECT_LE(worst, 1);  // single against double precision: at most one step
  }
}

TEST(ResampleTest, RowPassGivesTheBytesOfThePlainSingleSum) {
  // The zoom levels were always made with single-precision sums in tap
  // order; the row pass must give exactly those bytes (a level made again
  // must not change), from true-colour and from palette rows, including the
  // pixels past the last group of four.
  std::mt19937 gen(3);
  Palette palette{};
  for (auto& e : palette) e = Rgbquad{std::uint8_t(gen()), std::uint8_t(gen()), std::uint8_t(gen()), std::uint8_t(gen())};
  alignas(16) float lanes[1024] = {};
  for (int i = 0; i < 256; ++i) {
    lanes[4 * i] = palette[i].blue, lanes[4 * i + 1] = palette[i].green, lanes[4 * i + 2] = palette[i].red;
  }
  for (const auto& [n, m] : {std::pair{103, 26}, std::pair{40, 39}, std::pair{17, 51}, std::pair{9, 3}}) {
    SCOPED_TRACE(std::to_string(n) + " to " + std::to_string(m));
    const auto sets = BuildContributors(n, m, FilterFor(FilterKind::Mitchell));
    const ContributorTable table(sets);
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(n));
    for (auto& b : indices) b = static_cast<std::uint8_t>(gen() & 0xFF);
    std::vector<std::uint8_t> bgr(std::size_t(n) * 3 + 1);
    for (int x = 0; x < n; ++x) std::copy_n(&palette[indices[x]].blue, 3, &bgr[x * 3]);
    std::vector<std::uint8_t> fromBgr(std::size_t(m) * 3), fromPalette(std::size_t(m) * 3);
    ResampleRow(bgr.data(), fromBgr.data(), table);
    ResamplePaletteRow(indices.data(), palette, lanes, fromPalette.data(), table);
    for (int x = 0; x < m; ++x)
      for (int c = 0; c < 3; ++c) {
        float sum = 0.0F;
        for (const Contributor& t : sets[x]) sum += t.weight * static_cast<float>(bgr[t.index * 3 + c]);
        const int want = sum > 255.0F ? 255 : (sum < 0.0F ? 0 : int(std::nearbyint(sum)));
        ASSERT_EQ(fromBgr[x * 3 + c], want) << "pixel " << x << " channel " << c;
        ASSERT_EQ(fromPalette[x * 3 + c], want) << "palette row, pixel " << x << " channel " << c;
      }
  }
}

TEST(ResampleTest, EnlargementKeepsFlatAreasFlat) {
  Bitmap src(8, 8, 24);
  for (int y = 0; y < 8; ++y) std::fill(src.row(y), src.row(y) + src.stride(), std::uint8_t{120});
  const Bitmap big = ResampleBitmap(src, 200);
  for (int y = 0; y < big.height(); ++y)
    for (std::size_t i = 0; i < big.stride(); ++i) ASSERT_NEAR(big.row(y)[i], 120, 1) << "row " << y;
}

TEST(ResampleTest, FullSizeSoftensDetail) {
  // Mitchell weighs the neighbours at distance 1 with 1/18: a lone bright
  // pixel loses some of its value to them even at 100 %.
  Bitmap src(9, 9, 24);
  src.row(4)[4 * 3] = 180;
  const Bitmap out = ResampleBitmap(src, 100);
  EXPECT_LT(out.row(4)[4 * 3], 180);
  EXPECT_GT(out.row(4)[3 * 3], 0);
}

TEST(ResampleTest, PaletteSourceUsesPaletteColours) {
  Bitmap src(10, 10, 8);
  src.palette()[3] = Rgbquad{10, 20, 30, 0};
  for (int y = 0; y < 10; ++y) std::fill(src.row(y), src.row(y) + 10, std::uint8_t{3});
  const Bitmap out = ResampleBitmap(src, 50);
  EXPECT_EQ(out.bitsPerPixel(), 24);
  EXPECT_EQ(out.row(2)[6], 10);
  EXPECT_EQ(out.row(2)[7], 20);
  EXPECT_EQ(out.row(2)[8], 30);
}

TEST(ResampleTest, ReadsEverySourceRowOnceWithBoundedCache) {
  const int w = 50, h = 2000;
  int reads = 0;
  std::vector<int> timesRead(h, 0);
  Palette pal{};
  Resampler r(w, h, 3, pal, ResampledLength(w, 10), ResampledLength(h, 10), [&](int row, std::uint8_t* buf) {
    ++reads;
    ++timesRead[row];
    std::fill(buf, buf + w * 3, static_cast<std::uint8_t>(row & 0xFF));
  });
  std::vector<std::uint8_t> out(r.dstWidth() * 3);
  while (!r.done()) r.NextRow(out.data());
  EXPECT_EQ(reads, h);
  for (int row = 0; row < h; ++row) ASSERT_EQ(timesRead[row], 1) << row;
  // The 10 % filter spans about 41 source rows; the cache stays near that.
  EXPECT_LE(r.peakCachedRows(), 2 * r.cacheLimit() + 10);
}

TEST(ResampleTest, SinglePixelSideIsRefused) {
  EXPECT_THROW(BuildContributors(1, 5, FilterFor(FilterKind::Mitchell)), QuiltorError);
  EXPECT_THROW(BuildContributors(5, 1, FilterFor(FilterKind::Mitchell)), QuiltorError);
}

TEST(ResampleTest, FilterTableValues) {
  struct Case {
    FilterKind kind;
    const char* name;
    float support, x, want;
  };
  for (const Case& c : {Case{FilterKind::Box, "Box", 0.5F, 0.5F, 1.0F}, Case{FilterKind::Box, "Box", 0.5F, -0.5F, 0.0F},
                        Case{FilterKind::Triangle, "Triangle", 1, 0.25F, 0.75F},
                        Case{FilterKind::Hermite, "Hermite", 1, 0.5F, 0.5F},
                        Case{FilterKind::Bell, "Bell", 1.5F, 1.0F, 0.125F},
                        Case{FilterKind::BSpline, "B-Spline", 2, 0, 2.0F / 3},
                        Case{FilterKind::Lanczos3, "Lanczos3", 3, 1, 0},
                        Case{FilterKind::Mitchell, "Mitchell", 2, 1, 1.0F / 18},
                        Case{FilterKind::Mitchell, "Mitchell", 2, 0, 16.0F / 18}}) {
    const ResampleFilter& f = FilterFor(c.kind);
    EXPECT_STREQ(f.name, c.name);
    EXPECT_FLOAT_EQ(f.support, c.support);
    EXPECT_NEAR(f.weight(c.x), c.want, 1e-6) << c.name << " at " << c.x;
  }
}

TEST(ResampleTest, ContributorsMirrorAtBothEdges) {
  const auto sets = BuildContributors(10, 10, FilterFor(FilterKind::Mitchell));
  ASSERT_EQ(sets.front().size(), 3u);  // taps -1, 0, 1 (±2 weigh zero)
  EXPECT_EQ(sets.front()[0].index, 1);
  EXPECT_EQ(sets.back().back().index, 9);  // tap 10 mirrors to 2*10-10-1
}

}  // namespace
}  // namespace quiltor
